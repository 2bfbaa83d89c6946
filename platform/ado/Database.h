// One open database of a connection, as the connection sees it: a server's calls are handed to
// the connection's own thread and awaited within their limits; an SQLite call is made where it is
// asked for, and one that finds another's lock is tried again at the next passes of the work
// queue up to the busy timeout.
#pragma once
#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <utility>

#include "platform/ado/AwaitedCall.h"
#include "platform/ado/DriverThread.h"
#include "platform/ado/SqlEngine.h"

namespace ado::detail {

constexpr long kDefaultConnectionTimeout = 15;  // seconds, as ADO's
constexpr long kDefaultCommandTimeout = 30;
// The value when above 0 (at most a day), else the default.
long TimeoutSeconds(long value, long defaultSeconds);
// The timeouts new connections start with (SetDefaultTimeouts).
long DefaultConnectionSeconds();
long DefaultCommandSeconds();

const QString kLostText = QStringLiteral("Timeout expired: the connection no longer answers.");

class Database {
  public:
    explicit Database(std::shared_ptr<SqlEngine> e);
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    // A server's database is closed on its own thread: a thread still inside a driver call
    // closes it when that call ends, if ever, and nobody waits for that. An idle one is given a
    // moment.
    ~Database();

    bool IsSQLite() const { return engine->IsSQLite(); }

    // The longest wait for a server's call bounded by a timeout of that many seconds: the
    // driver's own timeout and a grace for its answer.
    static qint64 Limit(long seconds);
    static qint64 CommandLimit(long commandTimeout);
    // How long the next SQLite call waits for another's lock (the busy timeout): "Lock Retry" x
    // "Lock Delay" milliseconds, at most the command timeout; 0 for other engines.
    int BusyMs(Properties& props, long commandTimeout) const;

    // Starts fn on the connection's thread; the awaiter gives its result, or raises its failure,
    // or "Timeout expired" when `limitMs` passes first (the call is then left to the driver and
    // the connection lost). An SQLite call runs here and now, and a record's statements pay no
    // hand-over; its only waits on others are lock waits: one that finds a lock is tried again
    // at the next passes (ResumeWork) until it gets through or `lockMs` has passed, when it
    // fails with the lock's own text. `fn` holds its arguments by value: a call left behind may
    // still run after its caller is gone.
    template <typename R>
    CallAwaiter<R> Start(std::function<R(SqlEngine&)> fn, qint64 limitMs, qint64 lockMs = 0) {
        auto call = std::make_shared<CallOutcome>();
        if (status->lost) {
            // Never handed to the driver.
            call->Settle(nullptr, std::make_exception_ptr(Error(adErrTimeout, kLostText)));
        } else if (!thread) {
            const qint64 lockDeadline = Monotonic() + lockMs;
            if (!Attempt(*call, *engine, fn, *status, lockDeadline))
                return CallAwaiter<R>(call, status, 0,
                                      [call, e = engine, f = std::move(fn), st = status, lockDeadline] {
                                          return Attempt(*call, *e, f, *st, lockDeadline);
                                      });
        } else {
            ++status->unfinished;
            thread->Post([call, e = engine, f = std::move(fn), st = status] {
                auto [value, error] = Invoke(*e, f, *st);
                // Out of the driver before anyone hears of the outcome.
                --st->unfinished;
                call->Settle(std::move(value), std::move(error));
                const QtPass pass;  // the wake-up goes through Qt
                SignalCallEnded();
            });
        }
        return CallAwaiter<R>(std::move(call), status, limitMs);
    }

    std::shared_ptr<SqlEngine> engine;     // before the thread: the thread ends first
    std::shared_ptr<CallStatus> status;    // shared with the calls under way
    std::unique_ptr<DriverThread> thread;  // the driver's own thread; none for SQLite

  private:
    // One attempt of an SQLite call; false while it finds another's lock and may wait longer.
    template <typename R>
    static bool Attempt(CallOutcome& call, SqlEngine& e, const std::function<R(SqlEngine&)>& fn,
                        CallStatus& st, qint64 lockDeadline) {
        e.lockWait = false;
        auto [value, error] = Invoke(e, fn, st);
        if (error && e.lockWait && Monotonic() < lockDeadline) return false;
        call.Settle(std::move(value), std::move(error));
        return true;
    }
    // The call's result or failure.
    template <typename R>
    static std::pair<std::shared_ptr<void>, std::exception_ptr> Invoke(SqlEngine& e,
                                                                       const std::function<R(SqlEngine&)>& fn,
                                                                       CallStatus& st) {
        try {
            return {std::make_shared<R>(fn(e)), nullptr};
        } catch (const Error& err) {
            // A driver that gave up by its own timeout leaves the connection as unusable.
            if (err.Number == adErrTimeout) st.lost = true;
            return {nullptr, std::current_exception()};
        } catch (...) {
            return {nullptr, std::current_exception()};
        }
    }
};

}  // namespace ado::detail
