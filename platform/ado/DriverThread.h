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

}  // namespace ado::detail
