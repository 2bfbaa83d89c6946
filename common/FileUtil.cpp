#include "common/FileUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <filesystem>

#include "common/DateUtil.h"
#include "common/Failure.h"
#include "common/ProgramHooks.h"
#include "common/TextEncoding.h"
#include "common/Texts.h"
#include "platform/fileio/FileIO.h"
#include "platform/fileio/WindowsPath.h"

namespace fs = std::filesystem;

namespace FileUtil {
namespace {

fs::path ToFs(const QString& p) {
    return fs::path(p.toStdString());
}

using WindowsPath::AbsoluteParts;
using WindowsPath::IsDriveRooted;

// Waits until the condition holds or more whole seconds than the time-out have passed.
template <typename Cond>
bool WaitFor(Cond cond, int16_t timeoutSeconds) {
    const double start = DateUtil::Now();
    for (;;) {
        if (DateUtil::SecondsBetween(start, DateUtil::Now()) > timeoutSeconds) return false;
        if (cond()) return true;
        DoEvents();
        if (cond()) return true;
    }
}

Failure AccessError(const QString& path, const QString& why) {
    return Failure(75, QStringLiteral("Path/File access error: ") + path + QStringLiteral(" (") + why + u')');
}

const QByteArray kBom("\xEF\xBB\xBF");
const TextPair kBadBytes{"line %1 holds bytes that are no Big5 character: %2",
                         "第 %1 行含有不是 Big5 字元的位元組: %2"};

// The first line of a file's bytes that holds bytes its encoding has no character for, with its
// number; empty when there is none.
QString BadBytesLine(const QByteArray& bytes, TextEncoding::Encoding encoding) {
    const QStringList lines =
        TextEncoding::Decode(bytes, encoding).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].contains(QChar::ReplacementCharacter))
            return Tx(kBadBytes).arg(QString::number(i + 1), lines[i]);
    return QString();
}

// Creates the missing folders above the target, starting one part above it.
bool MakeParents(const QString& target) {
    const QString parent = GetParentFolderName(target);
    if (parent.isEmpty() || FolderExists(parent)) return true;
    return MakeFullDir(parent);
}

}  // namespace

QString ResolvePath(const QString& path) {
    return WindowsPath::Resolve(path);
}

QString GetAbsolutePathName(const QString& path) {
    return ResolvePath(path);
}

bool IsValidPath(const QString& path) {
    QString p = path;
    if (IsDriveRooted(p)) p = p.mid(2);
    static const QRegularExpression bad(QStringLiteral("[<>|\"*?:\\x00-\\x1f]"));
    if (p.contains(bad)) return false;
    for (const QString& part : p.split(QRegularExpression(QStringLiteral("[\\\\/]")), Qt::SkipEmptyParts))
        if (part.toUtf8().size() > 255) return false;
    return true;
}

bool FileExists(const QString& path) {
    if (path.isEmpty()) return false;
    std::error_code ec;
    return fs::is_regular_file(ToFs(ResolvePath(path)), ec);
}

bool FolderExists(const QString& path) {
    if (path.isEmpty()) return false;
    std::error_code ec;
    return fs::is_directory(ToFs(ResolvePath(path)), ec);
}

bool DirExists(const QString& path) {
    QString p = path;
    p.replace(u'\\', u'/');
    if (p.contains(u'*') || p.contains(u'?')) {
        const QFileInfo info(ResolvePath(GetParentFolderName(path)) + u'/' + GetFileName(path));
        const QDir dir(info.path());
        return !dir.entryList({info.fileName()}, QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty();
    }
    std::error_code ec;
    return fs::exists(ToFs(ResolvePath(path)), ec);
}

bool RecreateFolder(const QString& path) {
    std::error_code ec;
    return fs::create_directory(ToFs(ResolvePath(path)), ec) && !ec;
}

bool MakeFullDir(const QString& path, QString* why) {
    if (!IsValidPath(path)) return false;
    const QString target = ResolvePath(path);
    std::error_code ec;
    if (fs::is_directory(ToFs(target), ec)) return true;
    const QStringList parts = AbsoluteParts(target);
    if (parts.size() > 101)
        throw Failure(FailureNumber::IndexOutOfRange, QStringLiteral("Subscript out of range"));
    for (int i = parts.size() - 1; i >= 0; --i) {
        const QString level = u'/' + parts.mid(0, i + 1).join(u'/');
        if (fs::is_directory(ToFs(level), ec)) {
            for (int j = i + 1; j < parts.size(); ++j) {
                std::error_code made;
                fs::create_directory(ToFs(u'/' + parts.mid(0, j + 1).join(u'/')), made);
                if (made && why) *why = QString::fromLocal8Bit(made.message().c_str());
            }
            break;
        }
    }
    // Success means the folder is there now.
    return fs::is_directory(ToFs(target), ec);
}

bool DeleteFileIfExists(const QString& path) {
    const QString p = ResolvePath(path);
    std::error_code ec;
    if (!fs::is_regular_file(ToFs(p), ec)) return true;
    return fs::remove(ToFs(p), ec) && !ec;
}

bool DeleteFolderIfExists(const QString& path) {
    const QString p = ResolvePath(path);
    std::error_code ec;
    if (!fs::is_directory(ToFs(p), ec)) return true;
    fs::remove_all(ToFs(p), ec);
    return !ec && !fs::exists(ToFs(p), ec);
}

bool DeleteFolderAndWait(const QString& path, int16_t timeoutSeconds) {
    if (!DeleteFolderIfExists(path)) return false;
    return WaitFor([&] { return !FolderExists(path); }, timeoutSeconds);
}

bool DeleteFileWait(const QString& path, int16_t timeoutSeconds) {
    if (!DeleteFileIfExists(path)) return false;
    return WaitFor([&] { return !FileExists(path); }, timeoutSeconds);
}

QString ReadTextFile(const QString& path) {
    QString text;
    ReadTextFile(path, text);
    return text;
}

bool ReadTextFile(const QString& path, QString& text) {
    text.clear();
    QByteArray bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    text = TextEncoding::Decode(bytes);
    return true;
}

bool ReadFileBytes(const QString& path, QByteArray& bytes, QString* why) {
    bytes.clear();
    const QString p = ResolvePath(path);
    if (FileIO::KindOf(p) == FileIO::Kind::Missing) return true;
    const QString failure = FileIO::ReadAll(p, bytes);
    if (why) *why = failure;
    return failure.isEmpty();
}

int32_t CreateTextFile(const QString& text, const QString& path) {
    ReplaceTextFile(text, path);
    return static_cast<int32_t>(text.size());
}

void ReplaceTextFile(const QString& text, const QString& path) {
    // Written back in the encoding of the file it replaces; a new file is UTF-8.
    QByteArray old;
    ReadFileBytes(path, old);
    const TextEncoding::Encoding encoding = TextEncoding::Detect(old);
    QByteArray bytes;
    QString why;
    if (!TextEncoding::Encode(text, encoding, bytes, &why)) {
        // A character read from bytes that are no Big5 cannot be written back: the line that holds
        // them is what the engineer must correct.
        const QString line = BadBytesLine(old, encoding);
        if (!line.isEmpty() && why.contains(QLatin1String("(U+FFFD)"))) why = line;
        throw AccessError(path, why);
    }
    if (encoding == TextEncoding::Encoding::Utf8 && old.startsWith(kBom)) bytes.prepend(kBom);
    ReplaceFileBytes(bytes, path);
}

bool CreateFileIfMissing(const QString& path, QString* why) {
    const QString failure = FileIO::CreateIfMissing(ResolvePath(path));
    if (why) *why = failure;
    return failure.isEmpty();
}

void ReplaceFileBytes(const QByteArray& bytes, const QString& path) {
    const QString why = FileIO::Replace(ResolvePath(path), bytes);
    if (!why.isEmpty()) throw AccessError(path, why);
}

bool IsSamePath(const QString& a, const QString& b) {
    return ResolvePath(a) == ResolvePath(b);
}

bool IsSameFile(const QString& a, const QString& b) {
    const FileIO::FileId file = FileIO::IdOf(ResolvePath(a));
    return file.exists && file == FileIO::IdOf(ResolvePath(b));
}

QString GetParentFolderName(const QString& path) {
    QString p = path;
    while (p.size() > 1 && (p.endsWith(u'\\') || p.endsWith(u'/'))) p.chop(1);
    const int cut = std::max(p.lastIndexOf(u'\\'), p.lastIndexOf(u'/'));
    if (cut < 0) return QString();
    if (cut == 0) return p.left(1);
    return p.left(cut);
}

QString GetFileName(const QString& path) {
    QString p = path;
    while (!p.isEmpty() && (p.endsWith(u'\\') || p.endsWith(u'/'))) p.chop(1);
    const int cut = std::max(p.lastIndexOf(u'\\'), p.lastIndexOf(u'/'));
    QString name = p.mid(cut + 1);
    if (IsDriveRooted(name) && name.size() == 2) return QString();
    return name;
}

QString GetBaseName(const QString& path) {
    const QString name = GetFileName(path);
    const int dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

QString GetExtensionName(const QString& path) {
    const QString name = GetFileName(path);
    const int dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

bool CopyFileOverwrite(const QString& source, const QString& target, int16_t timeoutSeconds, bool overwrite,
                       QString* why) {
    if (!FileExists(source)) return false;
    // The copy replaces the target whole in one step, so an existing target is never deleted
    // first: a copy that fails leaves it as it was.
    (void)overwrite;
    const QString failure = FileIO::Copy(ResolvePath(source), ResolvePath(target));
    if (why) *why = failure;
    if (!failure.isEmpty()) return false;
    return WaitFor([&] { return FileExists(target); }, timeoutSeconds);
}

bool CopyFileToFolder(const QString& source, const QString& target, int16_t timeoutSeconds, QString* why) {
    if (!FileExists(source)) return false;
    if (!FileExists(target)) MakeParents(target);
    const QString failure = FileIO::Copy(ResolvePath(source), ResolvePath(target));
    if (why) *why = failure;
    if (!failure.isEmpty()) return false;
    return WaitFor([&] { return FileExists(target); }, timeoutSeconds);
}

bool CopyFileWithBytes(const QString& source, const QString& target, const QByteArray& bytes, QString* why) {
    if (!FileExists(source)) return false;
    if (!FileExists(target)) MakeParents(target);
    const QString failure = FileIO::Copy(ResolvePath(source), ResolvePath(target), bytes);
    if (why) *why = failure;
    return failure.isEmpty();
}

bool CopyFolderTo(const QString& source, const QString& target, int16_t timeoutSeconds) {
    if (!FolderExists(source)) return false;
    if (!FolderExists(target)) MakeParents(target);
    std::error_code ec;
    fs::copy(ToFs(ResolvePath(source)), ToFs(ResolvePath(target)),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec) return false;
    return WaitFor([&] { return FolderExists(target); }, timeoutSeconds);
}

QString ReadFirstLine(const QString& path) {
    QFile f(ResolvePath(path));
    if (!f.open(QIODevice::ReadOnly)) throw Failure(53, QStringLiteral("File not found: ") + path);
    QByteArray line = f.readLine();
    if (line.isEmpty()) throw Failure(62, QStringLiteral("Input past end of file"));
    if (line.startsWith("\xEF\xBB\xBF")) line.remove(0, 3);
    while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
    // A lone CR also ends the first line.
    const int cr = line.indexOf('\r');
    if (cr >= 0) line.truncate(cr);
    return QString::fromUtf8(line);
}

}  // namespace FileUtil

TextFileStream::TextFileStream(const QString& path, Mode mode, const QString& lineEnd)
    : path_(path), lineEnd_(lineEnd.toUtf8()) {
    const QString resolved = FileUtil::ResolvePath(path);
    if (mode == Mode::Append && FileIO::KindOf(resolved) == FileIO::Kind::Missing)
        throw Failure(53, QStringLiteral("File not found: ") + path);
    const QString why = file_.Open(resolved, mode == Mode::Create);
    if (!why.isEmpty()) throw FileUtil::AccessError(path, why);
}

void TextFileStream::Write(const QString& text) {
    const QString why = file_.Append(text.toUtf8(), lineEnd_);
    if (!why.isEmpty())
        throw Failure(57, QStringLiteral("Device I/O error: ") + path_ + QStringLiteral(" (") + why + u')');
}
