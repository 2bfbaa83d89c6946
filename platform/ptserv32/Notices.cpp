#include "platform/ptserv32/Notices.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace ptserv {

void Notices::SetCallback(int32_t client, PT_ADVISE_CALLBACK cb) {
    std::lock_guard<std::recursive_mutex> lk(callbackMutex_);
    if (cb)
        callbacks_[client] = cb;
    else
        callbacks_.erase(client);
}

void Notices::Barrier() {
    std::lock_guard<std::recursive_mutex> lk(callbackMutex_);
}

int Notices::Open() {
    Close();
    std::lock_guard<std::mutex> q(mutex_);
    queue_.clear();
    held_ = true;
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return wake_;
}

void Notices::Close() {
    std::lock_guard<std::mutex> q(mutex_);
    if (wake_ >= 0) ::close(wake_);
    wake_ = -1;
}

void Notices::Release() {
    std::lock_guard<std::mutex> q(mutex_);
    held_ = false;
    if (!queue_.empty()) Wake();
}

void Notices::Push(Notice n, bool onReader) {
    std::lock_guard<std::mutex> q(mutex_);
    queue_.push_back(std::move(n));
    if (!onReader && !held_) Wake();
}

// Under mutex_.
void Notices::Wake() {
    if (wake_ >= 0) ::eventfd_write(wake_, 1);
}

void Notices::Run() {
    for (;;) {
        Notice n;
        {
            std::lock_guard<std::mutex> q(mutex_);
            if (held_ || queue_.empty()) return;
            n = std::move(queue_.front());
            queue_.pop_front();
        }
        std::lock_guard<std::recursive_mutex> lk(callbackMutex_);
        const auto it = callbacks_.find(n.client);
        if (it != callbacks_.end() && deliver_(n)) it->second(n.handle, n.index);
    }
}

}  // namespace ptserv
