// The work queue: waiting work is touched by the one thread that resumes it; driver threads only
// signal that a call has ended.
#include "platform/ado/WorkQueue.h"

#include <QElapsedTimer>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/ado/AwaitedCall.h"

namespace ado {

namespace detail {

qint64 Monotonic() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

}  // namespace detail

namespace {

using detail::Monotonic;
using detail::WaitingCall;

// How often a call waiting for another's lock is tried again.
constexpr qint64 kLockRetryMs = 20;

// The waiting side: touched by the thread that resumes the work only.
std::vector<WaitingCall> g_waiting;
std::deque<std::coroutine_handle<>> g_ready;
std::deque<std::exception_ptr> g_failures;

// What driver threads touch. A driver thread left inside a call that never ends may still signal
// at the exit, after static objects are destroyed: this lives as long as the process.
struct CallsEnded {
    std::mutex mutex;
    std::condition_variable signal;
    quint64 count = 0;
    std::atomic<void (*)()> wake{nullptr};
};
CallsEnded& Ended() {
    static CallsEnded* ended = new CallsEnded;
    return *ended;
}

std::function<void()>& WaitHook() {
    static std::function<void()> hook;
    return hook;
}
std::function<void()>& WaitEndHook() {
    static std::function<void()> hook;
    return hook;
}
thread_local bool t_hookRan = false;  // the hook ran during the wait under way
thread_local bool t_inWait = false;

// Whether the entry's coroutine can go on now; gives up a call past its limit and tries a call
// waiting for a lock when its time has come.
bool CanGoOn(WaitingCall& w, qint64 now) {
    if (w.retry) {
        if (now < w.due) return false;
        if (w.retry()) return true;
        w.due = now + kLockRetryMs;
        return false;
    }
    if (w.call->Finished()) return true;
    if (now < w.due) return false;
    // Left to the driver: this connection is lost, every later call fails at once.
    if (w.call->Abandon()) w.status->lost = true;
    return true;
}

}  // namespace

namespace detail {

void QueueWaitingCall(WaitingCall entry) {
    g_waiting.push_back(std::move(entry));
}

void SignalCallEnded() {
    CallsEnded& e = Ended();
    {
        const std::lock_guard lock(e.mutex);
        ++e.count;
    }
    e.signal.notify_all();
    if (void (*wake)() = e.wake.load()) wake();
}

}  // namespace detail

void ResumeWork() {
    for (;;) {
        std::vector<std::coroutine_handle<>> resume;
        const qint64 now = Monotonic();
        for (auto it = g_waiting.begin(); it != g_waiting.end();) {
            if (!CanGoOn(*it, now)) {
                ++it;
                continue;
            }
            resume.push_back(it->waiter);
            it = g_waiting.erase(it);
        }
        while (!g_ready.empty()) {
            resume.push_back(g_ready.front());
            g_ready.pop_front();
        }
        if (resume.empty()) break;
        // A task never lets its failure leave a resumption: work that nobody awaits hands it to
        // the queue at its end (Task.h), so every other piece of the pass is resumed first.
        for (const std::coroutine_handle<> h : resume) h.resume();
    }
    if (g_failures.empty()) return;
    const std::exception_ptr first = g_failures.front();
    g_failures.pop_front();
    std::rethrow_exception(first);
}

bool HasWaitingWork() {
    return !g_waiting.empty() || !g_ready.empty() || !g_failures.empty();
}

qint64 MillisecondsUntilWorkDue() {
    if (!g_ready.empty() || !g_failures.empty()) return 0;
    qint64 best = -1;
    const qint64 now = Monotonic();
    for (const WaitingCall& w : g_waiting) {
        const qint64 ms = std::max<qint64>(0, w.due - now);
        if (best < 0 || ms < best) best = ms;
    }
    return best;
}

void SetWorkReadyWakeUp(void (*wake)()) {
    Ended().wake = wake;
}

void WaitForReadyWork(int ms) {
    CallsEnded& e = Ended();
    std::unique_lock lock(e.mutex);
    const quint64 seen = e.count;
    e.signal.wait_for(lock, std::chrono::milliseconds(ms), [&] { return e.count != seen; });
}

void ForgetWaitingWork() {
    g_waiting.clear();
    g_ready.clear();
    g_failures.clear();
}

void QueueReady(std::coroutine_handle<> h) {
    g_ready.push_back(h);
}

void HandOverFailure(std::exception_ptr failure) {
    g_failures.push_back(std::move(failure));
}

void SetWaitHook(std::function<void()> hook) {
    WaitHook() = std::move(hook);
}
void SetWaitEndHook(std::function<void()> hook) {
    WaitEndHook() = std::move(hook);
}

WaitScope::WaitScope() : outer_(!t_inWait) {
    if (!outer_) return;
    t_inWait = true;
    t_hookRan = false;
}

WaitScope::~WaitScope() {
    if (!outer_) return;
    t_inWait = false;
    if (!std::exchange(t_hookRan, false) || !WaitEndHook()) return;
    try {
        WaitEndHook()();
    } catch (...) {
    }
}

void CallWaitHook() {
    static thread_local bool running = false;
    if (running || !WaitHook()) return;
    running = true;
    t_hookRan = true;
    struct Done {
        ~Done() { running = false; }
    } done;
    WaitHook()();
}

}  // namespace ado
