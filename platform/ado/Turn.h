// One holder at a time: the others wait, in the order they came, and the work queue resumes each
// in turn (an asynchronous mutex for work on one thread).
#pragma once
#include <coroutine>
#include <deque>
#include <optional>
#include <utility>

#include "platform/ado/WorkQueue.h"

namespace ado {

class Turn {
  public:
    Turn() = default;
    // A copied owner starts with a turn of its own.
    Turn(const Turn&) {}
    Turn& operator=(const Turn&) { return *this; }

    bool Held() const { return held_; }

    // Holds the turn while it lives; moved, the new holder holds it.
    class Holder {
      public:
        explicit Holder(Turn* t) : t_(t) {}
        Holder(Holder&& o) noexcept : t_(std::exchange(o.t_, nullptr)) {}
        Holder(const Holder&) = delete;
        Holder& operator=(const Holder&) = delete;
        Holder& operator=(Holder&&) = delete;
        ~Holder() {
            if (t_) t_->Release();
        }

      private:
        Turn* t_;
    };

    // Waits for the turn.
    class Waiter {
      public:
        explicit Waiter(Turn& t) : t_(t) {}
        bool await_ready() {
            if (t_.held_) return false;
            t_.held_ = true;
            return true;
        }
        void await_suspend(std::coroutine_handle<> h) { t_.waiting_.push_back(h); }
        Holder await_resume() { return Holder(&t_); }

      private:
        Turn& t_;
    };
    Waiter Take() { return Waiter(*this); }

    // The turn when nobody holds it; none otherwise (nothing waits).
    std::optional<Holder> TakeIfFree() {
        if (held_) return std::nullopt;
        held_ = true;
        return Holder(this);
    }

  private:
    void Release() {
        if (waiting_.empty()) {
            held_ = false;
            return;
        }
        // Handed over: the turn stays held for the next in line, resumed once.
        const std::coroutine_handle<> next = waiting_.front();
        waiting_.pop_front();
        QueueReady(next);
    }
    bool held_ = false;
    std::deque<std::coroutine_handle<>> waiting_;
};

}  // namespace ado
