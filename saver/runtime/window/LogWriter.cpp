#include "saver/runtime/window/LogWriter.h"

#include <QFontMetrics>
#include <algorithm>

#include "common/Failure.h"
#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "saver/SaverState.h"
#include "saver/runtime/window/frmMain.h"

namespace {

constexpr int kMaxDisplayChars = 500;
constexpr int kMaxListLines = 21;

// The width of a text in the window's font: the widest of its lines.
int TextWidth(const QFontMetrics& metrics, const QString& text) {
    int widest = 0;
    for (QString line : text.split(QChar(u'\n'))) {
        if (line.endsWith(QChar(u'\r'))) line.chop(1);
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    return widest;
}

}  // namespace

namespace LedgrixRuntimeUtil {

QString LogFileName() {
    const ProgramState& st = State();
    if (!st.dbSLogFileName.isEmpty()) return st.dbSLogFileName;
    return FileUtil::GetParentFolderName(st.WorkstationFilePath) + u'\\' +
           FileUtil::GetBaseName(st.WorkstationFilePath) + QStringLiteral(".log");
}

void WriteLog(const QString& text) {
    frmMain& form = MainForm();
    LogListBox* list = form.ListBoxResult;

    const QString display =
        text.size() > kMaxDisplayChars ? text.left(kMaxDisplayChars) + QStringLiteral(" ...") : text;

    // The horizontal extent follows the widest line so far and never shrinks.
    SaverState& sv = Saver();
    const int width = TextWidth(QFontMetrics(form.font()), display);
    if (width > sv.LogListMaxWidth) {
        sv.LogListMaxWidth = width;
        list->SetHorizontalExtent(sv.LogListMaxWidth);
    }

    list->HoldRepaint();
    if (list->count() >= kMaxListLines) delete list->takeItem(0);
    list->addItem(display);
    list->setCurrentRow(list->count() - 1);
    list->scrollToItem(list->item(list->count() - 1));

    // The file gets the whole line; a file that cannot be opened or written loses only this
    // line of the file, never the list line.
    if (sv.IsLogFileReady && State().dbSLogDisable == 0) {
        try {
            TextFileStream stream(LogFileName(), TextFileStream::Mode::Append);
            sv.LogFileStreamSet = true;
            stream.Write(text + QStringLiteral("\r\n"));
        } catch (const Failure&) {
        }
    }
}

}  // namespace LedgrixRuntimeUtil

void InstallSaverLog() {
    ProgramHooks::SetLog([](const QString& line) { LedgrixRuntimeUtil::WriteLog(line); });
}
