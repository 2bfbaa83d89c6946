// The saver's log writer: the log list of the main window and the log file.
#pragma once
#include <QString>

namespace LedgrixRuntimeUtil {

// Shows one whole log line in the main window's log list (making the window when it is not made
// yet) and, when file logging is on and the log file is ready, appends it to the log file.
// Whatever the text holds (a tag's message, a file's or a server's text) stays on its line.
void WriteLog(const QString& text);
// One log entry of designed lines: each text on a line of its own, as WriteLog writes one.
void WriteLogLines(const QStringList& lines);

// A text as it stands on one log line: CR, LF, tab and the other control characters (and the
// Unicode line and paragraph separators) become visible escapes "\r", "\n", "\t", "\x1B",
// "\u2028". Other text is kept as it is.
QString OneLogLine(const QString& text);

// While one lives (the outermost one), the list and its extent take the log lines when it ends,
// all at once, or before a box shows or window messages are processed: nothing paints in
// between, so the list shows what it would have shown line by line, for less. The file gets each
// line at once.
class HeldLogList {
  public:
    HeldLogList();
    ~HeldLogList();
    HeldLogList(const HeldLogList&) = delete;
    HeldLogList& operator=(const HeldLogList&) = delete;
};
// Shows the lines held back for the list now.
void ShowHeldLogLines();

// The log file that WriteLog appends to: the configured name, else the workstation settings
// file's name with the extension ".log" in the same folder.
QString LogFileName();

}  // namespace LedgrixRuntimeUtil

// Makes LedgrixRuntimeUtil::WriteLog the program's log procedure.
void InstallSaverLog();
