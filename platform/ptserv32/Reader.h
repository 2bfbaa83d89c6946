// What the runtime sends on the open connection: a reader thread takes it in line by line and
// runs the callbacks of its notifications; a read of the host takes in what has arrived on its
// own thread. A line ends at LF, and one CR before it is not part of the line. Only a line the
// library can read is a sign of life: a connection that has heard none for a second asks the
// runtime for one, and one that then hears none within the answer timeout is lost. A line that
// cannot be read loses the connection too. Each report names the connection it is about.
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
enum class Loss;

// What a line from the runtime was to the library.
enum class LineKind {
    Heard,       // read: a sign of life
    Quiet,       // read, but no sign of life (a state that could not be read is the tag's fault)
    Unreadable,  // cannot be read: the connection is lost
};

class Reader {
  public:
    struct Handlers {
        std::function<LineKind(std::string_view)> line;
        std::function<void()> notices;             // on the reader thread, no lock held
        std::function<void(uint64_t, Loss)> lost;  // the connection with that number is lost
    };
    Reader(Connection& connection, Handlers handlers)
        : connection_(connection), handlers_(std::move(handlers)) {}
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Starts the thread of the new connection `number`; `wake` wakes it for notifications taken
    // in by another thread.
    void Start(int wake, uint64_t number);
    // Waits for the thread to end (the connection is shut).
    void Join();
    // Takes in whatever the runtime has sent so far, on the calling thread.
    void Drain();

  private:
    void Loop(int fd, int wake, uint64_t number);
    bool ReadAvailable(int fd);
    bool Answering(Clock::time_point& checked);

    Connection& connection_;
    Handlers handlers_;
    std::thread thread_;
    std::mutex readMutex_;  // input_, inputDead_, number_: one thread reads the socket at a time
    std::string input_;
    bool inputDead_ = false;
    uint64_t number_ = 0;                   // the connection's
    std::atomic<Clock::rep> lastHeard_{0};  // when the runtime last sent a line we could read
};

}  // namespace ptserv
