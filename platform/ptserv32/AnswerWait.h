// One wait of the library for an answer of the runtime, and the thread marks that the parts of
// the library share.
#pragma once
#include <chrono>
#include <cstdint>

#include "platform/ptserv32/ptserv32.h"

namespace ptserv {

using Clock = std::chrono::steady_clock;
constexpr auto AnswerTimeout = std::chrono::seconds(5);
// How often a waiting call of the host runs its wait hook.
constexpr auto HookEvery = std::chrono::milliseconds(50);

inline thread_local bool t_reader = false;  // a reader thread, which runs the change callbacks
inline thread_local bool t_inHook = false;  // inside the host's wait hook: calls fail at once

// Its deadline and, for a call of the host, its wait hook about every 50 ms, which may give the
// wait up; a hook that was called hears the end of the wait.
class AnswerWait {
  public:
    explicit AnswerWait(PT_WAIT_HOOK hook)
        : hook_(hook), start_(Clock::now()), deadline_(start_ + AnswerTimeout) {}
    ~AnswerWait() {
        if (called_) Run(-1);
    }
    AnswerWait(const AnswerWait&) = delete;
    AnswerWait& operator=(const AnswerWait&) = delete;

    Clock::time_point Deadline() const { return deadline_; }
    bool Expired() const { return Clock::now() >= deadline_; }
    // True when the host gives the wait up.
    bool GivenUp() {
        if (!hook_) return false;
        called_ = true;
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_);
        return Run(static_cast<int32_t>(waited.count())) != 0;
    }

  private:
    int Run(int32_t waitedMs) {
        t_inHook = true;
        const int r = hook_(waitedMs);
        t_inHook = false;
        return r;
    }
    PT_WAIT_HOOK hook_;
    bool called_ = false;
    Clock::time_point start_, deadline_;
};

}  // namespace ptserv
