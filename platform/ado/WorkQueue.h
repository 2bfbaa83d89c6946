// The queue of waiting work: coroutines (Task.h) that wait for a driver call, for another
// program's lock, or for a turn (Turn.h), and the one thread that resumes them (the saver's
// window thread, at each pass; a thread in WaitFor). Driver threads only tell the queue that a
// call has ended.
#pragma once
#include <coroutine>
#include <exception>
#include <functional>

#include <QtGlobal>

namespace ado {

// Resumes the waiting work that can go on: whose driver call has ended (or passed its limit, then
// given up as "Timeout expired"), whose lock has come free (or whose busy timeout has passed),
// and that was handed a turn. Each piece is resumed, whatever another one raises; then the first
// failure of work that nobody awaits (Task.h) is raised here.
void ResumeWork();
// Whether any work waits, or a failure waits to be raised.
bool HasWaitingWork();
// Milliseconds until waiting work is due (a call's limit, a lock's next try; 0 when some can go
// on now); -1 when none waits.
qint64 MillisecondsUntilWorkDue();
// Called on a driver thread each time one of its calls ends: wakes the thread that resumes the
// work (the saver's window thread). Must be safe to call from any thread.
void SetWorkReadyWakeUp(void (*wake)());
// Blocks up to `ms`, or until a driver call ends.
void WaitForReadyWork(int ms);
// Forgets every piece of waiting work, never to resume it (a test's state reset).
void ForgetWaitingWork();
// Resumes the coroutine at the next ResumeWork.
void QueueReady(std::coroutine_handle<> h);
// The failure of work that nobody awaits: raised by the next ResumeWork.
void HandOverFailure(std::exception_ptr failure);

// What the calling thread does while it waits in WaitFor: the hook runs about every 50 ms until
// the work has ended. The programs act on a stop request there; the hook may end the program.
void SetWaitHook(std::function<void()> hook);
// Run once when a wait during which the hook ran has ended (a busy sign is taken down there).
void SetWaitEndHook(std::function<void()> hook);
// Calls the wait hook unless it is already running on this thread.
void CallWaitHook();
// One wait of this thread: when the wait hook ran during it, the wait-end hook runs at its end.
class WaitScope {
  public:
    WaitScope();
    ~WaitScope();
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;

  private:
    bool outer_;
};

}  // namespace ado
