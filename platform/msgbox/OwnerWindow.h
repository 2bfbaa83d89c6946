// The window that owns a dialog, a message box or a picker: the window that opens it. The window
// manager keeps an owned window above its owner, so a chain of modal windows stays in front in
// the order they were opened, whichever of them closes.
#pragma once

class QWidget;

// The window that a window opening now belongs to: the active modal window, else the active
// window, else the program's main window when it is shown; none when no window is shown.
// `opening` itself is never its own owner.
QWidget* OwnerWindow(const QWidget* opening = nullptr);

// Makes the owner window the owner of a window without a parent, just before it shows; a window
// with a parent keeps it as its owner.
void TakeOwnerWindow(QWidget& opening);

// The window that owns a shown or shown-before window; none when it has no owner.
QWidget* OwnerOf(const QWidget& window);

// Pixels of a title bar beside its title: the window's icon and buttons.
constexpr int kTitleBarAllowance = 140;

// The width a window needs for the window manager to show its whole title: the title in the
// bold face that title bars use, and the icon and buttons beside it.
int TitleBarWidth(const QWidget& window);
