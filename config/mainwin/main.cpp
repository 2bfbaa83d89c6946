// The configuration program.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

#include "common/CommandLineUtil.h"
#include "config/core/ConfigMain.h"
#include "config/mainwin/QtConfigWindows.h"
#include "config/mainwin/ServerWaits.h"
#include "platform/msgbox/QtMessageService.h"

namespace {

int g_signalPipe[2] = {-1, -1};

// The handler keeps errno for the code it interrupts, and never blocks: a full pipe already
// holds a request.
void OnSignal(int) {
    const int saved = errno;
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
    errno = saved;
}

bool TakeStopRequest() {
    char c;
    return ::recv(g_signalPipe[0], &c, 1, MSG_DONTWAIT) == 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (CommandLineUtil::AsksForUsage(argc, argv))
        return CommandLineUtil::PrintUsage(LedgrixConfigMain::UsageText(CommandLineUtil::ProgramHelpText()));
    QApplication app(argc, argv);
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    LedgrixConfigMain::InstallConfigServices();
    InstallQtMessageService();
    QtConfigWindows windows;
    SetConfigWindows(&windows);

    // Ending the program from outside (SIGTERM, SIGINT) closes the main window as its close
    // button does: the project is saved (after asking) before the program ends.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0 &&
        ::fcntl(g_signalPipe[1], F_SETFL, O_NONBLOCK) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, [&windows] {
            if (TakeStopRequest()) windows.CloseMain();
        });
        // Also while the window thread waits for a database (a server that does not answer).
        InstallServerWaits(TakeStopRequest, [&windows] { windows.CloseMain(); });
        std::signal(SIGTERM, OnSignal);
        std::signal(SIGINT, OnSignal);
    }
    return LedgrixConfigMain::Main();
}
