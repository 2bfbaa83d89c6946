#include "saver/runtime/LogWriter.h"

#include <optional>

#include "common/DateUtil.h"
#include "common/Failure.h"
#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "saver/SaverState.h"
#include "saver/runtime/SaverWindow.h"

namespace {

int g_holds = 0;

}  // namespace

namespace LedgrixRuntimeUtil {

HeldLogList::HeldLogList() {
    ++g_holds;
}

HeldLogList::~HeldLogList() {
    if (--g_holds == 0) ShowHeldLogLines();
}

void ShowHeldLogLines() {
    Window().ShowHeldLogLines();
}

QString LogFileName() {
    const ProgramState& st = State();
    if (!st.dbSLogFileName.isEmpty()) return st.dbSLogFileName;
    return FileUtil::GetParentFolderName(st.WorkstationFilePath) + u'\\' +
           FileUtil::GetBaseName(st.WorkstationFilePath) + QStringLiteral(".log");
}

QString OneLogLine(const QString& text) {
    QString out;
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
        if (!control && c != 0x2028 && c != 0x2029) continue;
        out += QStringView(text).mid(from, i - from);
        from = i + 1;
        if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (control)
            out += QLatin1String("\\x") + QString::number(c, 16).toUpper().rightJustified(2, u'0');
        else
            out += QLatin1String("\\u") + QString::number(c, 16);
    }
    if (from == 0) return text;  // nothing to escape
    out += QStringView(text).mid(from);
    return out;
}

void WriteLog(const QString& text) {
    LedgrixRuntimeUtil::WriteLogLines(QStringList{text});
}

void WriteLogLines(const QStringList& lines) {
    QStringList shown;
    shown.reserve(lines.size());
    for (const QString& line : lines) shown << OneLogLine(line);
    const QString text = shown.join(QStringLiteral("\r\n"));
    Window().AddLogLine(text, g_holds > 0);

    SaverState& sv = Saver();
    // The file gets the whole line; a file that cannot be opened or written loses only this
    // line of the file, never the list line.
    // Only a regular file takes the line: a pipe put in its place would stop the saver, a device
    // would be written over.
    if (!sv.IsLogFileReady || State().dbSLogDisable != 0) return;
    const QString path = LogFileName();
    if (!FileUtil::FileExists(path)) return;
    std::optional<TextFileStream> stream;
    try {
        stream.emplace(path, TextFileStream::Mode::Append);
        sv.LogFileStreamSet = true;
        stream->Write(text + QStringLiteral("\r\n"));
    } catch (const Failure& e) {
        // A line the file keeps part of is told in the list; the file's next line starts on a
        // line of its own.
        if (stream && stream->KeepsPartOfALine())
            Window().AddLogLine(
                DateUtil::Format(DateUtil::Now(), QStringLiteral("yyyy/MM/dd HH:mm:ss AMPM")) +
                    QStringLiteral(" | Error | Ledgrix.System | ") + OneLogLine(e.description),
                g_holds > 0);
    }
}

}  // namespace LedgrixRuntimeUtil

void InstallSaverLog() {
    ProgramHooks::SetLog([](const QStringList& lines) { LedgrixRuntimeUtil::WriteLogLines(lines); });
}
