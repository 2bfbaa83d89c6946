// What the runtime sends on the open connection: a reader thread takes it in line by line and
// runs the callbacks of its notifications; a read of the host takes in what has arrived on its
// own thread. Only a line the library can read is a sign of life: a connection that has heard
// none for a second asks the runtime for one, and one that then hears none within the answer
// timeout is lost.
#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/ptserv32/AnswerWait.h"

namespace ptserv {

class Connection;

class Reader {
  public:
    struct Handlers {
        std::function<bool(std::string_view)> line;  // true when the line could be read
        std::function<void()> notices;               // on the reader thread, no lock held
        std::function<void()> ended;                 // the connection has ended
        std::function<void()> unanswered;            // the runtime gives no sign of life
    };
    Reader(Connection& connection, Handlers handlers)
        : connection_(connection), handlers_(std::move(handlers)) {}
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Starts the thread of a new connection; `wake` wakes it for notifications taken in by
    // another thread.
    void Start(int wake);
    // Waits for the thread to end (the connection is shut).
    void Join();
    // Takes in whatever the runtime has sent so far, on the calling thread.
    void Drain();

  private:
    void Loop(int fd, int wake);
    bool ReadAvailable(int fd);
    bool Answering(Clock::time_point& checked);

    Connection& connection_;
    Handlers handlers_;
    std::thread thread_;
    std::mutex readMutex_;  // input_, inputDead_: one thread reads the socket at a time
    std::string input_;
    bool inputDead_ = false;
    std::atomic<Clock::rep> lastHeard_{0};  // when the runtime last sent a line we could read
};

}  // namespace ptserv
