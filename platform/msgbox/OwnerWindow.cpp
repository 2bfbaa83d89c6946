#include "platform/msgbox/OwnerWindow.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMainWindow>
#include <QWidget>
#include <QWindow>

namespace {

bool CanOwn(const QWidget* w, const QWidget* opening) {
    return w && w != opening && w->isVisible() && w->windowType() != Qt::Popup &&
           w->windowType() != Qt::ToolTip;
}

}  // namespace

QWidget* OwnerWindow(const QWidget* opening) {
    for (QWidget* w : {QApplication::activeModalWidget(), QApplication::activeWindow()})
        if (w && CanOwn(w->window(), opening)) return w->window();
    // Another program has the focus: the window opens over the program's own main window.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (CanOwn(w, opening) && qobject_cast<QMainWindow*>(w)) return w;
    return nullptr;
}

void TakeOwnerWindow(QWidget& opening) {
    if (opening.parentWidget()) return;
    QWidget* owner = OwnerWindow(&opening);
    opening.winId();  // the window system's window, which carries the owner
    if (QWindow* handle = opening.windowHandle())
        handle->setTransientParent(owner && owner->winId() ? owner->windowHandle() : nullptr);
}

QWidget* OwnerOf(const QWidget& window) {
    if (QWidget* parent = window.parentWidget()) return parent->window();
    const QWindow* handle = window.windowHandle();
    const QWindow* owner = handle ? handle->transientParent() : nullptr;
    if (!owner) return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowHandle() == owner) return w;
    return nullptr;
}

int TitleBarWidth(const QWidget& window) {
    QFont bold = window.font();
    bold.setBold(true);
    return QFontMetrics(bold).horizontalAdvance(window.windowTitle()) + kTitleBarAllowance;
}
