// One driver call as the waiting side sees it: its outcome, settled once, and the awaiter that
// puts the waiting coroutine into the work queue until the outcome has come.
#pragma once
#include <QString>
#include <atomic>
#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/ado/Ado.h"

namespace ado::detail {

// Also read by driver threads, which may outlive the exit's destructors: never destroyed.
inline const QString& kTimeoutText = *new const QString(QStringLiteral("Timeout expired"));

// Milliseconds on a clock that never steps.
qint64 Monotonic();

// What one connection's calls share with its thread, beyond the life of the connection.
struct CallStatus : DriverCalls {
    std::atomic<bool> lost{false};   // a call outlived its limit: the driver may never answer
    std::atomic<int> unfinished{0};  // calls handed to the thread and not yet ended
    bool InDriver() const override { return unfinished.load() > 0; }
    bool GivenUp() const override { return lost.load(); }
};

// One call's outcome, settled once: by the driver's thread when the call ends, or by the waiting
// side when its limit passes first (the thread's late outcome is then dropped).
struct CallOutcome {
    std::mutex m;
    bool finished = false;
    bool abandoned = false;
    std::exception_ptr error;
    std::shared_ptr<void> value;  // the call's result, of the type its awaiter knows

    bool Finished() {
        const std::lock_guard lock(m);
        return finished;
    }
    // Gives the call up as timed out, unless it has ended meanwhile. The call is with the driver:
    // what it does there is not known.
    bool Abandon() {
        const std::lock_guard lock(m);
        if (finished) return false;
        abandoned = finished = true;
        Error e(adErrTimeout, kTimeoutText);
        e.OutcomeUnknown = true;
        error = std::make_exception_ptr(e);
        return true;
    }
    void Settle(std::shared_ptr<void> v, std::exception_ptr e) {
        const std::lock_guard lock(m);
        if (abandoned) return;
        finished = true;
        value = std::move(v);
        error = std::move(e);
    }
};

// An entry of the work queue: a coroutine waiting for a call.
struct WaitingCall {
    std::shared_ptr<CallOutcome> call;
    std::shared_ptr<CallStatus> status;
    std::coroutine_handle<> waiter;
    // A driver call: the limit after which it is given up. A call waiting for a lock: when it is
    // tried again.
    qint64 due = 0;
    // A call waiting for a lock: tries it once more; true when its outcome is settled.
    std::function<bool()> retry;
};
void QueueWaitingCall(WaitingCall entry);
// Called on a driver thread when one of its calls has ended.
void SignalCallEnded();

// Awaits one call; its result is R (a call without one gives Nothing).
struct Nothing {};
template <typename R>
class CallAwaiter {
  public:
    CallAwaiter(std::shared_ptr<CallOutcome> call, std::shared_ptr<CallStatus> status, qint64 dueInMs,
                std::function<bool()> retry = {})
        : call_(std::move(call)),
          status_(std::move(status)),
          due_(Monotonic() + dueInMs),
          retry_(std::move(retry)) {}
    bool await_ready() { return call_->Finished(); }
    void await_suspend(std::coroutine_handle<> h) {
        QueueWaitingCall({call_, status_, h, due_, std::move(retry_)});
    }
    R await_resume() {
        const std::lock_guard lock(call_->m);
        if (call_->error) std::rethrow_exception(call_->error);
        return std::move(*std::static_pointer_cast<R>(call_->value));
    }

  private:
    std::shared_ptr<CallOutcome> call_;
    std::shared_ptr<CallStatus> status_;
    qint64 due_;
    std::function<bool()> retry_;
};

}  // namespace ado::detail
