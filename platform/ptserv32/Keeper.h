// The keeper thread mends a link that is down (a connection that ended or could not be made, or a
// runtime that did not answer): it tries a new connection a second after the link went down, and
// then about once a second until the link is up, whether or not the host calls meanwhile.
#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/ptserv32/AnswerWait.h"

namespace ptserv {

class Keeper {
  public:
    // `down` tells whether the link needs mending; `mend` makes one attempt.
    Keeper(std::function<bool()> down, std::function<void()> mend)
        : down_(std::move(down)), mend_(std::move(mend)) {}
    Keeper(const Keeper&) = delete;
    Keeper& operator=(const Keeper&) = delete;
    ~Keeper() { Stop(); }

    // The link has gone down: the thread starts when it is not running yet.
    void Wake();
    // Ends the thread (an attempt under way ends first).
    void Stop();
    bool Stopping() const { return stopping_; }

  private:
    void Loop();
    std::function<bool()> down_;
    std::function<void()> mend_;
    std::mutex mutex_;  // the thread, nextTry_, idle_
    std::condition_variable wake_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    bool idle_ = true;
    Clock::time_point nextTry_{};
};

}  // namespace ptserv
