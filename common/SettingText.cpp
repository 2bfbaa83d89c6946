// The settings text reader and the small text helpers beside it.
#include <QMetaType>
#include <algorithm>

#include "common/FileUtil.h"
#include "common/Numbers.h"
#include "common/ProgramHooks.h"
#include "common/SettingUtil.h"
#include "common/Texts.h"
#include "platform/fileio/FileIO.h"

namespace SettingUtil {
namespace {

const TextPair kUnreadableHead{"Cannot read the setting file:", "無法讀取設定檔:"};
const TextPair kUnreadableCaption{"Setting file error", "無法讀取設定檔"};
const TextPair kNotAFile{"\r\n[%1] is %2, not a file.", "\r\n[%1] 是%2, 不是檔案。"};
const TextPair kFolder{"a folder", "資料夾"};
const TextPair kDevice{"a device", "裝置"};
const TextPair kPipe{"a pipe", "管道"};
const TextPair kSocket{"a socket", "通訊端"};

constexpr QChar kCR = u'\r';
constexpr QChar kLF = u'\n';

int16_t Saturate16(int n) {
    return static_cast<int16_t>(std::min(n, 32767));
}

// The text as the line walk sees it: blanks trimmed, trailing line ends removed.
QString PrepareText(const QString& text) {
    QString t = TrimSpaces(text);
    while (t.endsWith(QStringLiteral("\r\n"))) t.chop(2);
    while (t.endsWith(kCR) || t.endsWith(kLF)) t.chop(1);
    return t;
}

// Walks the lines of a prepared text: CR, CR LF and a lone LF each end a line. Calls
// `line(row, trimmedText)` for every line, numbered from 1; stops early when it returns false.
// Returns the last row number.
template <typename Line>
int WalkLines(const QString& t, Line&& line) {
    int row = 1;
    qsizetype start = 0;
    const qsizetype n = t.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = t[i];
        if (c != kCR && c != kLF) continue;
        if (c == kLF && i > 0 && t[i - 1] == kCR) {
            start = i + 1;
            continue;
        }
        if (!line(row, TrimSpaces(t.mid(start, i - start)))) return row;
        start = i + 1;
        ++row;
    }
    line(row, TrimSpaces(t.mid(start)));
    return row;
}

bool IsNumericSlot(const QVariant& v) {
    switch (v.metaType().id()) {
        case QMetaType::Short:
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::Float:
        case QMetaType::Double:
            return true;
        default:
            return false;
    }
}

QVariant NumberLike(const QVariant& like, const QString& line) {
    const double n = Numbers::LeadingNumber(line);
    switch (like.metaType().id()) {
        case QMetaType::Short:
            if (auto v = Numbers::ToInt16(n)) return QVariant::fromValue<short>(*v);
            break;
        case QMetaType::Int:
            if (auto v = Numbers::ToInt32(n)) return QVariant(static_cast<int>(*v));
            break;
        case QMetaType::LongLong: {
            const double r = Numbers::RoundHalfEven(n);
            if (r >= -9.2e18 && r <= 9.2e18) return QVariant(static_cast<qlonglong>(r));
            break;
        }
        case QMetaType::Float:
            return QVariant(static_cast<float>(n));
        default:
            break;
    }
    return QVariant(n);
}

// Section header: a trimmed line that begins with "[" and ends with "]", whose first "]" stands
// at least two positions after the "[" (so "[]" is none). A value holding brackets, such as
// "dbSCaption=Plant [North]", stays a key line. Sets the upper-cased, trimmed name.
bool IsSectionHeader(const QString& line, QString& name) {
    const QString t = line.trimmed();
    if (!t.startsWith(u'[') || !t.endsWith(u']')) return false;
    const int open = static_cast<int>(line.indexOf(u'[')) + 1;   // 1-based, 0 when missing
    const int close = static_cast<int>(line.indexOf(u']')) + 1;  // 1-based, 0 when missing
    if (close == 0 || close - open < 2) return false;
    name = TrimSpaces(line.mid(open, close - open - 1)).toUpper();
    return true;
}

// Key line: the first "=" at position 3 or later of the trimmed line.
bool IsKeyLine(const QString& line, QString& key, QString& value) {
    const int eq = static_cast<int>(line.indexOf(u'='));
    if (eq < 2) return false;
    key = TrimSpaces(line.left(eq)).toUpper();
    value = TrimSpaces(line.mid(eq + 1));
    return true;
}

// Calls `keyLine(section, key, value)` for every key line of a settings text, in text order, with
// the upper-cased name of the section it stands in; stops early when it returns false.
template <typename KeyLine>
void WalkKeyLines(const QString& settingText, KeyLine&& keyLine) {
    QString current;
    // The whole text is walked: a key beyond line 1000 is found too.
    WalkLines(PrepareText(settingText), [&](int, const QString& line) {
        if (line.isEmpty()) return true;
        QString name, k, v;
        if (IsSectionHeader(line, name)) {
            current = name;
            return true;
        }
        return !IsKeyLine(line, k, v) || keyLine(current, k, v);
    });
}

}  // namespace

QString TrimSpaces(const QString& text) {
    int b = 0;
    int e = static_cast<int>(text.size());
    while (b < e && text[b] == u' ') ++b;
    while (e > b && text[e - 1] == u' ') --e;
    return text.mid(b, e - b);
}

bool UpperEquals(QStringView text, QLatin1StringView upper) {
    if (text.size() != upper.size()) {
        // Upper-casing can change the length ("ß" becomes "SS") only beyond ASCII.
        for (const QChar c : text)
            if (c.unicode() >= 0x80) return text.toString().toUpper() == upper;
        return false;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t c = text[i].unicode();
        if (c >= 0x80) return text.toString().toUpper() == upper;
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
        if (c != static_cast<unsigned char>(upper[i].toLatin1())) return false;
    }
    return true;
}

std::optional<QString> FindSettingValue(const QString& section, const QString& key,
                                        const QString& settingText) {
    const QString wantSection = section.toUpper();
    const QString wantKey = key.toUpper();
    std::optional<QString> result;
    WalkKeyLines(settingText, [&](const QString& current, const QString& k, const QString& v) {
        if (k != wantKey || current != wantSection) return true;
        result = v;
        return false;
    });
    return result;
}

QString GetSettingValue(const QString& section, const QString& key, const QString& defaultValue,
                        const QString& settingText) {
    return FindSettingValue(section, key, settingText).value_or(defaultValue);
}

QString MaskPasswordSettings(const QString& settingText) {
    QString out;
    out.reserve(settingText.size());
    const qsizetype n = settingText.size();
    for (qsizetype start = 0; start <= n;) {
        qsizetype end = start;
        while (end < n && settingText[end] != kCR && settingText[end] != kLF) ++end;
        const QString line = settingText.mid(start, end - start);
        QString key, value;
        if (IsKeyLine(TrimSpaces(line), key, value) && key == QLatin1String("DBPASSWORD"))
            out += line.left(line.indexOf(u'=') + 1) + QStringLiteral("****");
        else
            out += line;
        if (end < n) out += settingText[end];  // each line end as it was
        start = end + 1;
    }
    return out;
}

SettingLookup::SettingLookup(const QString& settingText) {
    WalkKeyLines(settingText, [&](const QString& section, const QString& key, const QString& value) {
        const QString name = section + u'\n' + key;
        if (!values_.contains(name)) values_.insert(name, value);  // the first line wins
        return true;
    });
}

std::optional<QString> SettingLookup::Find(const QString& section, const QString& key) const {
    const auto it = values_.constFind(section.toUpper() + u'\n' + key.toUpper());
    if (it == values_.cend()) return std::nullopt;
    return *it;
}

QString SettingLookup::Value(const QString& section, const QString& key, const QString& defaultValue) const {
    return Find(section, key).value_or(defaultValue);
}

int16_t TextToArray(const QString& text, std::vector<QVariant>& rows) {
    const QString t = PrepareText(text);
    if (t.isEmpty()) return 0;
    const bool numeric = !rows.empty() && IsNumericSlot(rows[0]);
    const int upper = static_cast<int>(rows.size()) - 1;
    const QVariant like = rows.empty() ? QVariant() : rows[0];
    const int last = WalkLines(t, [&](int row, const QString& line) {
        if (!line.isEmpty() && row <= upper)
            rows[static_cast<size_t>(row)] = numeric ? NumberLike(like, line) : QVariant(line);
        return true;
    });
    return Saturate16(last);
}

int16_t TextToArray(const QString& text, std::vector<std::vector<QVariant>>& grid) {
    const QString t = PrepareText(text);
    if (t.isEmpty()) return 0;
    const int upperRow = static_cast<int>(grid.size()) - 1;
    int row = 1;
    int col = 1;
    QString cell;
    auto store = [&] {
        const QString c = TrimSpaces(cell);
        if (!c.isEmpty() && row <= upperRow) {
            auto& r = grid[static_cast<size_t>(row)];
            if (col <= static_cast<int>(r.size()) - 1) r[static_cast<size_t>(col)] = QVariant(c);
        }
        cell.clear();
    };
    for (int i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c == kLF && i > 0 && t[i - 1] == kCR) continue;
        if (c == kCR || c == kLF) {
            store();
            if (row == upperRow) return Saturate16(row);
            col = 1;
            ++row;
        } else if (c == u';' || c == u',' || c == u':' || c == u'\t') {
            store();
            ++col;
        } else {
            cell += c;
        }
    }
    store();
    return Saturate16(row);
}

int16_t SplitString(const QString& text, std::vector<QString>& items, const QString& separator) {
    if (text.isEmpty()) return 0;
    const QStringList parts = separator.isEmpty()
                                  ? QStringList{text}
                                  : text.split(separator, Qt::KeepEmptyParts, Qt::CaseSensitive);
    if (items.size() < static_cast<size_t>(parts.size()) + 1)
        items.resize(static_cast<size_t>(parts.size()) + 1);
    for (int k = 0; k < parts.size(); ++k) items[static_cast<size_t>(k) + 1] = parts[k];
    return Saturate16(static_cast<int>(parts.size()));
}

void CutDelimited(const QString& text, const QString& opening, const QString& closing, QString& head,
                  QString& inner) {
    head.clear();
    inner.clear();
    const int open = static_cast<int>(text.indexOf(opening));
    if (open < 0) {
        head = TrimSpaces(text);
        return;
    }
    const int innerStart = open + static_cast<int>(opening.size());
    const int close = static_cast<int>(text.indexOf(closing, innerStart));
    if (close < 0) return;
    head = TrimSpaces(text.left(open));
    inner = TrimSpaces(text.mid(innerStart, close - innerStart));
}

QString NullToEmpty(const QVariant& value) {
    if (!value.isValid() || value.isNull()) return QString();
    switch (value.metaType().id()) {
        case QMetaType::Bool:
            return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        case QMetaType::Float:
        case QMetaType::Double:
            return Numbers::NumberText(value.toDouble());
        default:
            return value.toString();
    }
}

QString NotAFileLine(const QString& path) {
    if (path.isEmpty()) return QString();
    switch (FileIO::KindOf(FileUtil::ResolvePath(path))) {
        case FileIO::Kind::Missing:
        case FileIO::Kind::Regular:
            return QString();
        case FileIO::Kind::Folder:
            return Tx(kNotAFile).arg(path, Tx(kFolder));
        case FileIO::Kind::Device:
            return Tx(kNotAFile).arg(path, Tx(kDevice));
        case FileIO::Kind::Pipe:
            return Tx(kNotAFile).arg(path, Tx(kPipe));
        case FileIO::Kind::Socket:
            return Tx(kNotAFile).arg(path, Tx(kSocket));
    }
    return QString();
}

QString ReadSettingFile(const QString& path) {
    QString text;
    if (!FileUtil::ReadTextFile(path, text)) {
        MsgBox(Tx(kUnreadableHead) + path + NotAFileLine(path), MsgStyle::Critical, Tx(kUnreadableCaption));
        sysExit(-1);
    }
    return text;
}

}  // namespace SettingUtil

namespace LedgrixUtil {

int16_t ParseTagReference(QString& reference, QString& part) {
    if (SettingUtil::TrimSpaces(reference).isEmpty()) return TagRef::Empty;
    const int dot = static_cast<int>(reference.indexOf(u'.'));
    const QString name = dot < 0 ? reference : reference.left(dot);
    const QString written = dot < 0 ? QStringLiteral("VALUE") : reference.mid(dot + 1);
    const QString upper = written.toUpper();
    const bool isMessage = upper == QLatin1String("MSG") || upper == QLatin1String("MESSAGE");
    if (upper != QLatin1String("VALUE") && !isMessage) return TagRef::BadPart;
    if (SettingUtil::TrimSpaces(name).size() > 8) return TagRef::NameTooLong;
    reference = name;
    part = isMessage ? QStringLiteral("MESSAGE") : written;
    return TagRef::Valid;
}

}  // namespace LedgrixUtil
