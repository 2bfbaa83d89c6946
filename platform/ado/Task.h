// Work that waits for a database without holding up its thread: a coroutine (Task) that starts at
// once, runs straight through while nothing has to wait, and is resumed by the work queue
// (WorkQueue.h) once what it waits for has come.
//
// Where a task's failure goes: to whoever awaits it or asks for its Result (WaitFor does). Work
// that nobody awaits (let go with Detach, or dropped) hands its failure to the work queue, whose
// ResumeWork raises it; its frame is destroyed all the same.
#pragma once
#include <coroutine>
#include <exception>
#include <optional>
#include <utility>

#include "platform/ado/WorkQueue.h"

namespace ado {

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
            if (p.detached) {
                if (p.error) HandOverFailure(std::move(p.error));
                h.destroy();
            }
            return std::noop_coroutine();
        }
        void await_resume() noexcept {}
    };
    FinalAwaiter final_suspend() noexcept { return {}; }
    void unhandled_exception() noexcept { error = std::current_exception(); }
};

template <typename T>
struct Promise : PromiseBase {
    std::optional<T> value;
    Task<T> get_return_object();
    void return_value(T v) { value.emplace(std::move(v)); }
    T Take() {
        if (error) std::rethrow_exception(std::exchange(error, nullptr));
        return std::move(*value);
    }
};

template <>
struct Promise<void> : PromiseBase {
    Task<void> get_return_object();
    void return_void() {}
    void Take() {
        if (error) std::rethrow_exception(std::exchange(error, nullptr));
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
    // Lets the work go on by itself; its failure goes to the work queue.
    void Detach() && { Release(); }

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
        if (h_.done()) {
            if (h_.promise().error) HandOverFailure(std::exchange(h_.promise().error, nullptr));
            h_.destroy();
        } else {
            h_.promise().detached = true;  // it ends by itself
        }
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

// Runs the work to its end on this thread: waits for what it waits for, runs the wait hook about
// every 50 ms meanwhile, and resumes whatever other work has become ready on the way.
template <typename T>
T WaitFor(Task<T> task) {
    const WaitScope scope;
    while (!task.Done()) {
        WaitForReadyWork(50);
        ResumeWork();
        if (!task.Done()) CallWaitHook();
    }
    return task.Result();
}

}  // namespace ado
