// What the shared code needs of the program that runs it: the orderly exit, the log writer,
// the processing of pending window messages and the message boxes. Each program installs its
// own; tests install recording fakes.
#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>
#include <vector>

// Thrown by the test exit hook in place of ending the process.
struct ProgramExit : std::runtime_error {
    int code;
    explicit ProgramExit(int c) : std::runtime_error("program exit"), code(c) {}
};

// Message box styles and answers, as the callers pass and compare them.
namespace MsgStyle {
constexpr int OkOnly = 0;
constexpr int OkCancel = 1;
constexpr int YesNo = 4;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
constexpr int DefaultButton2 = 256;     // the second button is the default
constexpr int Buttons = 0x0F;           // the part of a style that names the buttons
constexpr int FixedPitch = 0x10000000;  // ours: the text in a fixed-width font, so columns line up
}  // namespace MsgStyle
namespace MsgAnswer {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Yes = 6;
constexpr int No = 7;
}  // namespace MsgAnswer

// The answer of a box's first and second button, and of its default button.
int FirstButtonAnswer(int style);
int SecondButtonAnswer(int style);
int DefaultAnswer(int style);

class MessageService {
  public:
    virtual ~MessageService() = default;
    // Shows one box and returns the answer (MsgAnswer).
    virtual int Show(const QString& text, int style, const QString& title) = 0;
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
using LogFn = std::function<void(const QString&)>;
using EventsFn = std::function<void()>;

void SetExit(ExitFn fn);
// The immediate end without the orderly exit (tests: throws ProgramExit like the exit hook).
void SetEndProcess(ExitFn fn);
void SetLog(LogFn fn);
void SetProcessEvents(EventsFn fn);
void SetMessageService(MessageService* service);  // not owned
MessageService* Messages();

// For tests: exit throws ProgramExit, logs collect into `log`, events do nothing, boxes are
// recorded by `boxes`.
void InstallTestHooks(QStringList* log, RecordingMessageService* boxes);

}  // namespace ProgramHooks

// The running program's orderly exit. Never returns.
[[noreturn]] void sysExit(int code);
// Ends the process at once, without the orderly exit. Never returns.
[[noreturn]] void EndProcessNow(int code);
// The running program's log writer: one whole log line.
void WriteLog(const QString& line);
// Processes pending window messages.
void DoEvents();
// One message box through the message service.
int MsgBox(const QString& text, int style = MsgStyle::OkOnly, const QString& title = QString());
