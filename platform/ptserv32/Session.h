// The library's session with the runtime: one state, changed only here and under one lock. Each
// connection gets a number of its own; whatever reports on a connection (its reader, a call that
// waited on it) names that number, so a report about a connection that is no longer the current
// one changes nothing.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/ptserv32/AnswerWait.h"

namespace ptserv {

enum class Phase {
    Absent,        // no connection: none made yet, or the last ended or could not be made
    Connecting,    // a connection is taking its snapshot and making the kept advises again
    Up,            // a connection with its snapshot and every kept advise that its runtime has
    NotAnswering,  // the runtime did not answer: calls fail at once until the keeper mends it
};

// Why a connection was lost.
enum class Loss { Ended, NotAnswering, Unreadable };

class Session {
  public:
    Phase Now() const;
    // The current connection's number (0 before the first).
    uint64_t Connection() const;
    bool IsUp(uint64_t connection) const;
    // From a failed attempt to reach the runtime until a connection is up again.
    bool IsLost() const;
    // Connections that were made up so far.
    uint32_t Generation() const;

    // A new connection is being made: its number.
    uint64_t BeginConnecting();
    // Connection `c` has its snapshot and advises: up, unless it was lost meanwhile (false).
    bool MadeUp(uint64_t c);
    // Connection `c` is lost. Only the first report about the current connection counts; one
    // about an older connection is ignored. False when it changed nothing.
    bool Lose(uint64_t c, Loss why);
    // An attempt failed before a connection was made: the runtime is absent (`refusal` empty) or
    // refused it for that reason.
    void Refused(const std::string& refusal);

    // The reason given last and its number (which moves with each new reason; the same refusal
    // again keeps it); 0 while none was given.
    uint32_t Fault(std::string* text) const;

    // A readable line came from the runtime.
    void Heard();
    // Milliseconds since then; -1 before the first.
    int64_t MsSinceHeard() const;

  private:
    void Give(const std::string& reason, bool again);

    mutable std::mutex mutex_;  // everything below but heard_
    Phase phase_ = Phase::Absent;
    uint64_t connection_ = 0;
    uint32_t generation_ = 0;
    bool lost_ = false;
    std::string fault_;
    uint32_t faultNumber_ = 0;
    std::atomic<Clock::rep> heard_{0};  // 0: nothing heard yet
};

}  // namespace ptserv
