#include "common/ProgramHooks.h"

#include <cstdlib>

namespace {
ProgramHooks::ExitFn g_exit;
ProgramHooks::ExitFn g_endProcess;
ProgramHooks::LogFn g_log;
ProgramHooks::EventsFn g_events;
RecordingMessageService g_fallbackMessages;
std::optional<ProgramHooks::ShownBox> g_boxSinceLog;
}  // namespace

int RecordingMessageService::Show(const QString& text, int style, const QString& title) {
    boxes.push_back({text, style, title});
    if (answers.empty()) return DefaultAnswer(style);
    const int a = answers.front();
    answers.erase(answers.begin());
    return a;
}

namespace ProgramHooks {

void SetExit(ExitFn fn) {
    g_exit = std::move(fn);
}
void SetEndProcess(ExitFn fn) {
    g_endProcess = std::move(fn);
}
void SetLog(LogFn fn) {
    g_log = std::move(fn);
}
void SetProcessEvents(EventsFn fn) {
    g_events = std::move(fn);
}
void SetMessageService(MessageService* service) {
    InstallMessageService(service);
}
MessageService* Messages() {
    MessageService* installed = InstalledMessageService();
    return installed ? installed : &g_fallbackMessages;
}

std::optional<ShownBox> TakeBoxSinceLastLogLine() {
    std::optional<ShownBox> box;
    box.swap(g_boxSinceLog);
    return box;
}

void InstallTestHooks(QStringList* log, RecordingMessageService* boxes) {
    SetExit([](int code) { throw ProgramExit(code); });
    SetEndProcess([](int code) { throw ProgramExit(code); });
    SetLog([log](const QStringList& lines) {
        if (log) log->append(lines.join(QStringLiteral("\r\n")));
    });
    SetProcessEvents([] {});
    SetMessageService(boxes);
    g_boxSinceLog.reset();
}

}  // namespace ProgramHooks

void sysExit(int code) {
    if (g_exit) g_exit(code);
    std::exit(code == 0 ? 0 : 1);
}

void EndProcessNow(int code) {
    if (g_endProcess) g_endProcess(code);
    std::exit(code == 0 ? 0 : 1);
}

void WriteLog(const QString& line) {
    WriteLogLines(QStringList{line});
}

void WriteLogLines(const QStringList& lines) {
    g_boxSinceLog.reset();
    if (g_log) g_log(lines);
}

void DoEvents() {
    if (g_events) g_events();
}

int MsgBox(const QString& text, int style, const QString& title) {
    const int answer = ProgramHooks::Messages()->Show(text, style, title);
    g_boxSinceLog = ProgramHooks::ShownBox{text, style, title};
    return answer;
}
