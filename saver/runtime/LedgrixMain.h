// The saver's entry and start-up: program-wide initialisation, the command line, the project
// and workstation paths, the workstation settings, the refusal of a second saver; and the one
// orderly exit.
#pragma once
#include <QString>
#include <cstdint>
#include <functional>

#include "common/ProgramHooks.h"

class SaverWindow;

namespace LedgrixMain {

// The program entry (a QApplication exists, the program's message service is installed): installs
// the saver's window and runs the saver. Returns only when the timer form's event loop ends.
int Main(SaverWindow& window);
// Installs the saver's exit, log, message, window-message and record-writer services; the boxes
// are those of the installed message service, shown after the held log lines.
void InstallSaverServices();
void sysInit();
// Reads the process command line.
void ParseCommandLine();
// Reads the given command line (without the program's own path).
void ParseCommandLine(const QString& commandLine);
bool SetupProjectPaths(const QString& project);
void LoadWorkstationSettings();
// The run-state markers: every group gets its run state and "no value seen yet" for its
// trigger and purge tags.
void SetRunStateMarkers();
// The saver's orderly exit; code 0 leaves the alive tag alone. Never returns. The process ends
// with status 1 (a failure) unless the end was marked orderly.
[[noreturn]] void sysExit(int16_t code);
// The error or warning box that the saver ends on (shown with no log line after it) as an Error
// line of the log: unattended, the box may reach no one. The orderly exit and the immediate stop
// of a debugging run call it.
void LogEndingBox();
// Marks the exit that follows as an orderly end, status 0: the stop tag, the operator, the
// live-alone rule, a signal, run mode "ONCE", the help box. Every other end is a failure.
void MarkOrderlyEnd();
// An orderly end of the window, a pass or the queue: the mark, then the program's exit.
[[noreturn]] inline void EndInOrder(int16_t code = -1) {
    MarkOrderlyEnd();
    ::sysExit(code);
}
// A start-up error: keeps the text and title as the program's error, shows them in a critical
// box and ends the saver through the orderly exit.
[[noreturn]] void Fatal(const QString& text, const QString& title);
// Runs one step of the saver (start-up, a pass, a window event); a failure that escapes it is
// logged, shown and ends the saver through the orderly exit.
void WithOrderlyExit(const std::function<void()>& step);
// SIGTERM, SIGINT and SIGHUP end the saver through the orderly exit, on the window thread, also
// while it waits for a database or the HMI runtime.
void RouteStopSignals();
// The tag manager's wait hook (PtSetWaitHook) while a call waits for the HMI runtime on the
// window thread: the window's messages go on, input held off and a close of the main window
// noted; a stop requested gives the wait up (1) once it has lasted a moment.
int WhileLinkWaits(int32_t waitedMs);
// Whether the window thread processes its messages inside a wait for the HMI runtime (no pass
// and no stop runs there).
bool InLinkWait();
// A stop requested and not yet acted on (a signal, a close of the main window that came during a
// wait for the HMI runtime) ends the saver now; else nothing happens.
void ActOnStopRequest();
// The caption of the saver's main window in the current language.
QString SaverCaption();
// Ends the program when another saver already shows the saver's caption.
void RefuseSecondSaver();
// Forgets what start-up resolved (tests).
void ResetStartup();

}  // namespace LedgrixMain
