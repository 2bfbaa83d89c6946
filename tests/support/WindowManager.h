// What the window manager does to a window, for headless tests.
#pragma once
#include <QWindow>

// Qt's entry for the events of the window system, exported by QtGui but declared only in its
// private headers.
class QWindowSystemInterface {
  public:
    class AsynchronousDelivery;
    template <typename Delivery>
    static bool handleCloseEvent(QWindow* window);
};

// A close queued as the window manager's close comes in.
inline void CloseAsTheWindowManager(QWindow* window) {
    QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::AsynchronousDelivery>(window);
}
