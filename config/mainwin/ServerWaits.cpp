#include "config/mainwin/ServerWaits.h"

#include <QApplication>
#include <QCursor>

#include "platform/ado/Ado.h"

void InstallServerWaits(std::function<bool()> takeStopRequest, std::function<void()> stop) {
    static bool busy = false;
    ado::SetWaitHook([takeStopRequest, stop] {
        if (!busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            busy = true;
        }
        // Paints and timers go on; clicks and keys wait for the end of the wait.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (takeStopRequest()) stop();
    });
    ado::SetWaitEndHook([] {
        if (!busy) return;
        busy = false;
        QApplication::restoreOverrideCursor();
    });
}
