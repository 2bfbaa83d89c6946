#include "platform/ado/DriverThread.h"

#include <pthread.h>
#include <signal.h>

namespace ado::detail {

DriverThread::DriverThread() : queue_(std::make_shared<Queue>()) {
    sigset_t stops, previous;
    sigemptyset(&stops);
    for (int number : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stops, number);
    pthread_sigmask(SIG_BLOCK, &stops, &previous);
    thread_ = std::thread([q = queue_] { Loop(*q); });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void DriverThread::Post(std::function<void()> task) {
    {
        const std::lock_guard lock(queue_->mutex);
        queue_->tasks.push_back(std::move(task));
    }
    queue_->ready.notify_one();
}

void DriverThread::Finish(bool join) {
    if (!thread_.joinable()) return;
    {
        const std::lock_guard lock(queue_->mutex);
        queue_->stop = true;
    }
    queue_->ready.notify_one();
    if (join)
        thread_.join();
    else
        thread_.detach();
}

void DriverThread::Loop(Queue& q) {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(q.mutex);
            q.ready.wait(lock, [&] { return q.stop || !q.tasks.empty(); });
            if (q.tasks.empty()) return;
            task = std::move(q.tasks.front());
            q.tasks.pop_front();
        }
        task();
    }
}

}  // namespace ado::detail
