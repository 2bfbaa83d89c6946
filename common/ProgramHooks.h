// What the shared code needs of the program that runs it: the orderly exit, the log writer,
// the processing of pending window messages and the message boxes. Each program installs its
// own; tests install recording fakes.
#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/msgbox/MessageService.h"

// Thrown by the test exit hook in place of ending the process.
struct ProgramExit : std::runtime_error {
    int code;
    explicit ProgramExit(int c) : std::runtime_error("program exit"), code(c) {}
};

// Records every box; answers from a queue, else the box's default button.
class RecordingMessageService : public MessageService {
  public:
    struct Box {
        QString text;
        int style;
        QString title;
    };
    std::vector<Box> boxes;
    std::vector<int> answers;
    int Show(const QString& text, int style, const QString& title) override;
};

namespace ProgramHooks {

using ExitFn = std::function<void(int)>;  // must not return
// One log entry: its lines, each written on a line of its own.
using LogFn = std::function<void(const QStringList&)>;
using EventsFn = std::function<void()>;

void SetExit(ExitFn fn);
// The immediate end without the orderly exit (tests: throws ProgramExit like the exit hook).
void SetEndProcess(ExitFn fn);
void SetLog(LogFn fn);
void SetProcessEvents(EventsFn fn);
void SetMessageService(MessageService* service);  // not owned; installed as the program's service
// The installed service, else one that records the boxes and gives their default answers.
MessageService* Messages();

// For tests: exit throws ProgramExit, logs collect into `log` (an entry's lines joined by CR LF),
// events do nothing, boxes are recorded by `boxes`.
void InstallTestHooks(QStringList* log, RecordingMessageService* boxes);

// The last box shown since the last log line, once: the box that a program ends on right after
// it. Empty when a log line came after the box.
struct ShownBox {
    QString text;
    int style = 0;
    QString title;
};
std::optional<ShownBox> TakeBoxSinceLastLogLine();

}  // namespace ProgramHooks

// The running program's orderly exit. Never returns.
[[noreturn]] void sysExit(int code);
// Ends the process at once, without the orderly exit. Never returns.
[[noreturn]] void EndProcessNow(int code);
// The running program's log writer: one whole log line. Whatever the text holds stays on that
// one line.
void WriteLog(const QString& line);
// One log entry of designed lines (a failure and its description, a line and an empty line):
// each text on a line of its own, and whatever a text holds stays on its line.
void WriteLogLines(const QStringList& lines);
// Processes pending window messages.
void DoEvents();
// One message box through the message service.
int MsgBox(const QString& text, int style = MsgStyle::OkOnly, const QString& title = QString());
