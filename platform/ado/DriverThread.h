// The thread on which one server connection makes its driver calls, one after the other: QtSql
// wants every call of a database made on the thread that opened it. It takes no stop signal:
// those belong to the window thread.
#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace ado::detail {

class DriverThread {
  public:
    DriverThread();
    DriverThread(const DriverThread&) = delete;
    DriverThread& operator=(const DriverThread&) = delete;
    ~DriverThread() { Finish(true); }

    void Post(std::function<void()> task);
    // Ends the thread after the tasks posted. With `join` it is waited for; otherwise (it is
    // still inside a driver call that may never end) it is left to end on its own.
    void Finish(bool join);

  private:
    struct Queue {
        std::mutex mutex;
        std::condition_variable ready;
        std::deque<std::function<void()>> tasks;
        bool stop = false;
    };
    static void Loop(Queue& q);

    std::shared_ptr<Queue> queue_;
    std::thread thread_;
};

// The exit frees what Qt keeps for the whole process: the application object's end empties
// QtSql's list of connections and destroys the window thread's event dispatcher, the exit
// handlers destroy that list. A driver thread reaches such state only through a pass (its
// connection's lookup, registration and removal, the wake-up of the window thread). Once the
// exit has begun, a driver thread that would take a pass, pick its next task or end parks for
// good instead; the exit waits only for the passes under way, never for a driver call. On other
// threads a pass does nothing.
class QtPass {
  public:
    QtPass();
    ~QtPass();
    QtPass(const QtPass&) = delete;
    QtPass& operator=(const QtPass&) = delete;

  private:
    bool counted_;
};
// Whether the exit has begun: driver threads no longer run their tasks.
bool ExitHasBegun();

}  // namespace ado::detail
