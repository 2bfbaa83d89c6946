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

void WriteLog(const QString& text) {
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
                    QStringLiteral(" | Error | Ledgrix.System | ") + e.description,
                g_holds > 0);
    }
}

}  // namespace LedgrixRuntimeUtil

void InstallSaverLog() {
    ProgramHooks::SetLog([](const QString& line) { LedgrixRuntimeUtil::WriteLog(line); });
}
