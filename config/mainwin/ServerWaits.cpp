#include "config/mainwin/ServerWaits.h"

#include <QApplication>
#include <QCursor>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <utility>

#include "platform/ado/Ado.h"

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::NonClientAreaMouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

// What the window thread does while it waits: its events go on, but the user's clicks and keys
// are dropped, and a window that the window manager asks to close is noted and closed once the
// wait is over and no modal window stands in front of it.
class WaitEvents : public QObject {
  public:
    explicit WaitEvents(QObject* parent) : QObject(parent) {
        retry_.setSingleShot(true);
        connect(&retry_, &QTimer::timeout, this, &WaitEvents::CloseNoted);
        qApp->installEventFilter(this);
    }

    // The events that came in meanwhile, input held off.
    void Process() {
        const int outer = level_;
        level_ = QThread::currentThread()->loopLevel();
        QCoreApplication::processEvents();
        level_ = outer;
    }
    // The wait is over: the closes noted are done once the program is back in its event loop.
    void Ended() {
        busy = false;
        if (!closes_.isEmpty()) retry_.start(0);
    }

    bool busy = false;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Only the events of the wait's own processing: a window opened meanwhile runs a loop of
        // its own and takes input as usual.
        if (level_ < 0 || QThread::currentThread()->loopLevel() != level_) return false;
        if (IsUserInput(event->type())) return true;
        if (event->type() == QEvent::Close && event->spontaneous() && watched->isWindowType()) {
            QPointer<QWindow> window(static_cast<QWindow*>(watched));
            if (!closes_.contains(window)) closes_ << window;
            event->ignore();
            return true;
        }
        return false;
    }

  private:
    void CloseNoted() {
        if (busy) return;  // acted on at the end of this wait
        for (const QPointer<QWindow>& window : std::exchange(closes_, {})) {
            if (!window || !window->isVisible()) continue;
            // A box shown after the wait comes first, as it would for a close asked for then.
            if (QWindow* modal = QGuiApplication::modalWindow(); modal && modal != window)
                closes_ << window;
            else
                window->close();
        }
        if (!closes_.isEmpty()) retry_.start(100);
    }

    int level_ = -1;  // the loop level of the wait's processing, -1 outside it
    QList<QPointer<QWindow>> closes_;
    QTimer retry_;
};

WaitEvents& Events() {
    static QPointer<WaitEvents> events;
    if (!events) events = new WaitEvents(qApp);
    return *events;
}

}  // namespace

void InstallServerWaits(std::function<bool()> takeStopRequest, std::function<void()> stop) {
    Events();
    ado::SetWaitHook([takeStopRequest, stop] {
        WaitEvents& events = Events();
        if (!events.busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            events.busy = true;
        }
        events.Process();
        if (takeStopRequest()) stop();
    });
    ado::SetWaitEndHook([] {
        WaitEvents& events = Events();
        if (!events.busy) return;
        events.Ended();
        QApplication::restoreOverrideCursor();
    });
}
