// The configuration program's entry and start-up, its command line, and its one orderly exit.
#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>

namespace LedgrixConfigMain {

// The program entry (a QApplication exists, the program folder is the current folder): the
// start-up, then the window events until the orderly exit ends the process.
int Main();
// The start-up up to the shown main window, with the command line given (without the
// program's own path).
void StartUp(const QString& commandLine);
// Installs the orderly exit, the immediate end, the processing of window messages and the log
// writer (the configuration program keeps no log). The message service and the windows are
// installed by the program beside it.
void InstallConfigServices();
// Global initialisation: the program setting file, the help table and the listing tables.
void sysInit();
// Ends the program with the running-now box when a window carries one of the main window's
// captions, in either language.
void RefuseSecondInstance();
// The main window's caption in the current language, and every caption it can carry.
QString MainCaption();
QStringList MainCaptions();
// The process command line without the program's own path.
QString ProcessArguments();
// The configuration program's own part of the help text: from its line that begins with the
// program's name (the whole text when there is none).
QString UsageText(const QString& helpText);
// Reads the command line: names, flags, /HELP and the /PAM workstation actions, which end the
// program (status 0 when the action succeeded, 1 otherwise).
void ProcessCommandLine(const QString& commandLine);
// Fills and shows the main window; returns at once.
void ShowConfigMain();
// The orderly exit: saves an open project (asking when it was modified), releases every open
// connection and ends the process with status 0 for code 0, else 1. Never returns.
[[noreturn]] void sysExit(int16_t code);

}  // namespace LedgrixConfigMain
