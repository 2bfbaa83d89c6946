// Work that waits for a database server without holding up its thread: a connection's driver
// calls can be awaited by a coroutine (Task), which the thread resumes once the call has ended or
// passed its limit (RunCompletions). An SQLite call ends where it is made, so work on SQLite
// connections runs straight through, on the caller's thread, as a plain call would.
#pragma once
#include <coroutine>
#include <deque>
#include <exception>
#include <optional>
#include <utility>

#include <QtGlobal>

namespace ado {

// ---- Resumption of waiting work (one thread: the one that runs RunCompletions) ----

// Resumes the work whose driver calls have ended, gives up (as "Timeout expired") the calls whose
// limit has passed, and resumes the work handed a turn. A failure that the resumed work does not
// handle leaves through here.
void RunCompletions();
// Whether any work waits for a driver call or a turn.
bool HasPendingCalls();
// Milliseconds until the earliest limit of a call waited for; -1 when none is waited for.
qint64 MillisecondsToNextLimit();
// Called on a driver thread each time one of its calls ends: wakes the thread that runs
// RunCompletions (the saver's window thread). Must be safe to call from any thread.
void SetCompletionWakeUp(void (*wake)());
// Blocks up to `ms` or until a driver call ends.
void WaitForCompletion(int ms);
// Forgets every waiting piece of work, never to resume it (a test's state reset).
void AbandonPendingCalls();
// Resumes the coroutine at the next RunCompletions.
void ResumeSoon(std::coroutine_handle<> h);
// Runs the wait hook (SetWaitHook) unless it is already running on this thread.
void RunWaitHook();
// One wait of this thread for driver calls: when the wait hook ran during it, the wait-end hook
// (SetWaitEndHook) runs at its end.
class WaitScope {
  public:
    WaitScope();
    ~WaitScope();
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;

  private:
    bool outer_;
};

// ---- Task: a coroutine that starts at once and may be awaited, run to its end, or let go ----

template <typename T>
class Task;

namespace detail {

struct PromiseBase {
    std::coroutine_handle<> continuation;
    std::exception_ptr error;
    bool detached = false;

    std::suspend_never initial_suspend() noexcept { return {}; }
    struct FinalAwaiter {
        bool await_ready() noexcept { return false; }
        template <typename P>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<P> h) noexcept {
            PromiseBase& p = h.promise();
            if (p.continuation) return p.continuation;
            if (p.detached) h.destroy();
            return std::noop_coroutine();
        }
        void await_resume() noexcept {}
    };
    FinalAwaiter final_suspend() noexcept { return {}; }
    void unhandled_exception() {
        // Work let go has nobody to read its failure: it leaves through whoever resumed it.
        if (detached && !continuation) throw;
        error = std::current_exception();
    }
};

template <typename T>
struct Promise : PromiseBase {
    std::optional<T> value;
    Task<T> get_return_object();
    void return_value(T v) { value.emplace(std::move(v)); }
    T Take() {
        if (error) std::rethrow_exception(error);
        return std::move(*value);
    }
};

template <>
struct Promise<void> : PromiseBase {
    Task<void> get_return_object();
    void return_void() {}
    void Take() {
        if (error) std::rethrow_exception(error);
    }
};

}  // namespace detail

template <typename T = void>
class [[nodiscard]] Task {
  public:
    using promise_type = detail::Promise<T>;
    using Handle = std::coroutine_handle<promise_type>;

    explicit Task(Handle h) : h_(h) {}
    Task(Task&& o) noexcept : h_(std::exchange(o.h_, {})) {}
    Task& operator=(Task&&) = delete;
    Task(const Task&) = delete;
    ~Task() { Release(); }

    bool Done() const { return !h_ || h_.done(); }
    // The result of work that has ended; its failure is raised here.
    T Result() {
        struct Destroy {
            Task* t;
            ~Destroy() { t->Release(); }
        } destroy{this};
        return h_.promise().Take();
    }
    // Lets the work go on by itself. Work that has already ended raises its failure here; later
    // failures leave through RunCompletions.
    void Detach() && {
        if (Done()) {
            Result();
            return;
        }
        h_.promise().detached = true;
        h_ = {};
    }

    auto operator co_await() && {
        struct Awaiter {
            Handle h;
            bool await_ready() const { return h.done(); }
            void await_suspend(std::coroutine_handle<> parent) { h.promise().continuation = parent; }
            T await_resume() { return h.promise().Take(); }
        };
        return Awaiter{h_};
    }

  private:
    void Release() {
        if (!h_) return;
        if (h_.done())
            h_.destroy();
        else
            h_.promise().detached = true;  // it ends by itself
        h_ = {};
    }
    Handle h_;
};

namespace detail {
template <typename T>
Task<T> Promise<T>::get_return_object() {
    return Task<T>(std::coroutine_handle<Promise<T>>::from_promise(*this));
}
inline Task<void> Promise<void>::get_return_object() {
    return Task<void>(std::coroutine_handle<Promise<void>>::from_promise(*this));
}
}  // namespace detail

// Runs the work to its end on this thread: waits for its driver calls, runs the wait hook about
// every 50 ms meanwhile, and resumes whatever other work has become ready on the way.
template <typename T>
T RunSync(Task<T> task) {
    const WaitScope scope;
    while (!task.Done()) {
        WaitForCompletion(50);
        RunCompletions();
        if (!task.Done()) RunWaitHook();
    }
    return task.Result();
}

// ---- Turn: one holder at a time, the others wait in the order they came ----

class Turn {
  public:
    Turn() = default;
    // A copied owner starts with a turn of its own.
    Turn(const Turn&) {}
    Turn& operator=(const Turn&) { return *this; }

    bool Held() const { return held_; }

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

    auto Take() {
        struct Awaiter {
            Turn& t;
            bool await_ready() {
                if (t.held_) return false;
                t.held_ = true;
                return true;
            }
            void await_suspend(std::coroutine_handle<> h) { t.waiting_.push_back(h); }
            Holder await_resume() { return Holder(&t); }
        };
        return Awaiter{*this};
    }

  private:
    void Release() {
        if (waiting_.empty()) {
            held_ = false;
            return;
        }
        // Handed over: the turn stays held for the next in line.
        const std::coroutine_handle<> next = waiting_.front();
        waiting_.pop_front();
        ResumeSoon(next);
    }
    bool held_ = false;
    std::deque<std::coroutine_handle<>> waiting_;
};

}  // namespace ado
