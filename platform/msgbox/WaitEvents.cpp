#include "platform/msgbox/WaitEvents.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QThread>
#include <utility>

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

}  // namespace

WaitEvents& WaitEvents::Instance() {
    static QPointer<WaitEvents> events;
    if (!events) events = new WaitEvents(QCoreApplication::instance());
    return *events;
}

WaitEvents::WaitEvents(QObject* parent) : QObject(parent) {
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &WaitEvents::CloseNoted);
    QCoreApplication::instance()->installEventFilter(this);
}

bool WaitEvents::Begin() {
    return !std::exchange(busy_, true);
}

void WaitEvents::Process() {
    const int outer = level_;
    level_ = QThread::currentThread()->loopLevel();
    QCoreApplication::processEvents();
    level_ = outer;
}

void WaitEvents::Ended() {
    busy_ = false;
    if (!closes_.isEmpty()) retry_.start(0);
}

bool WaitEvents::IsCloseNoted(const QWindow* window) const {
    for (const QPointer<QWindow>& w : closes_)
        if (w && w == window) return true;
    return false;
}

bool WaitEvents::eventFilter(QObject* watched, QEvent* event) {
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

void WaitEvents::CloseNoted() {
    if (busy_) return;  // acted on at the end of this wait
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
