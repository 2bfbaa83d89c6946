// What a program's window thread does while it waits for another program (a database server, the
// HMI runtime): its events go on, so its windows stay painted, but the user's clicks and keys are
// dropped, and a window that the window manager asks to close is noted and closed once the wait is
// over and no modal window stands in front of it.
#pragma once
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWindow>

class WaitEvents : public QObject {
  public:
    // The one instance of the program, made on first use.
    static WaitEvents& Instance();

    // A wait begins (true) or goes on (false).
    bool Begin();
    bool Busy() const { return busy_; }
    // The events that came in meanwhile, input held off.
    void Process();
    // The wait is over: the closes noted are done once the program is back in its event loop.
    void Ended();
    // Whether the window manager asked to close this window during a wait, and it is not done yet.
    bool IsCloseNoted(const QWindow* window) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit WaitEvents(QObject* parent);
    void CloseNoted();

    bool busy_ = false;
    int level_ = -1;  // the loop level of the wait's processing, -1 outside it
    QList<QPointer<QWindow>> closes_;
    QTimer retry_;
};
