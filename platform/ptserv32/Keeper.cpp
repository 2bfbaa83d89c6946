#include "platform/ptserv32/Keeper.h"

namespace ptserv {
namespace {
constexpr auto RetryEvery = std::chrono::seconds(1);
}

void Keeper::Wake() {
    std::lock_guard<std::mutex> k(mutex_);
    if (stopping_) return;
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
    wake_.notify_all();
}

void Keeper::Stop() {
    std::thread t;
    {
        std::lock_guard<std::mutex> k(mutex_);
        stopping_ = true;
        wake_.notify_all();
        t = std::move(thread_);
    }
    if (t.joinable()) t.join();
}

void Keeper::Loop() {
    std::unique_lock<std::mutex> k(mutex_);
    while (!stopping_) {
        if (!down_()) {
            idle_ = true;
            wake_.wait(k);
            continue;
        }
        const auto now = Clock::now();
        if (idle_) {
            idle_ = false;
            nextTry_ = now + RetryEvery;
        }
        if (now < nextTry_) {
            wake_.wait_until(k, nextTry_);
            continue;
        }
        nextTry_ = now + RetryEvery;
        k.unlock();
        mend_();
        k.lock();
    }
}

}  // namespace ptserv
