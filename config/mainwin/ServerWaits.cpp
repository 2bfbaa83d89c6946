#include "config/mainwin/ServerWaits.h"

#include <QApplication>
#include <QCursor>

#include "platform/ado/Ado.h"
#include "platform/msgbox/WaitEvents.h"

void InstallServerWaits(std::function<bool()> takeStopRequest, std::function<void()> stop) {
    WaitEvents::Instance();
    ado::SetWaitHook([takeStopRequest, stop] {
        WaitEvents& events = WaitEvents::Instance();
        if (events.Begin()) QApplication::setOverrideCursor(Qt::WaitCursor);
        events.Process();
        if (takeStopRequest()) stop();
    });
    ado::SetWaitEndHook([] {
        WaitEvents& events = WaitEvents::Instance();
        if (!events.Busy()) return;
        events.Ended();
        QApplication::restoreOverrideCursor();
    });
}
