#include "platform/ado/DriverThread.h"

#include <pthread.h>
#include <signal.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <cstdlib>

namespace ado::detail {

namespace {

// Used by driver threads during the exit's destructors: made once and never destroyed.
struct ExitGate {
    std::mutex mutex;
    std::condition_variable passesEnded;
    std::condition_variable never;  // what a parked thread waits for
    int passes = 0;                 // under way
    bool closed = false;
};
ExitGate& Gate() {
    static ExitGate* gate = new ExitGate;
    return *gate;
}

thread_local bool t_onDriverThread = false;

// The gate's lock; once the exit has begun, the calling thread parks here.
std::unique_lock<std::mutex> Enter() {
    std::unique_lock lock(Gate().mutex);
    if (Gate().closed)
        for (;;) Gate().never.wait(lock);
    return lock;
}

void CloseGate() {
    ExitGate& g = Gate();
    std::unique_lock lock(g.mutex);
    g.closed = true;
    g.passesEnded.wait(lock, [&] { return g.passes == 0; });
}

// The gate closes when the application object ends (before QtSql empties its connections) or,
// without one, at the exit handlers. QtSql's state is made first: its destructors, registered
// as it is made, run after the gate has closed.
void CloseGateAtTheExit() {
    static const bool registered = [] {
        QSqlDatabase::contains(QString());
        QSqlDatabase::drivers();
        qAddPostRoutine(CloseGate);
        std::atexit(CloseGate);
        return true;
    }();
    (void)registered;
}

}  // namespace

DriverThread::DriverThread() : queue_(std::make_shared<Queue>()) {
    CloseGateAtTheExit();
    sigset_t stops, previous;
    sigemptyset(&stops);
    for (int number : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stops, number);
    pthread_sigmask(SIG_BLOCK, &stops, &previous);
    thread_ = std::thread([q = queue_] {
        t_onDriverThread = true;
        Loop(*q);
    });
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
            if (!q.tasks.empty()) {
                task = std::move(q.tasks.front());
                q.tasks.pop_front();
            }
        }
        // Neither its next task nor its end (Qt's cleanup of the thread) once the exit has begun.
        Enter();
        if (!task) return;
        task();
    }
}

QtPass::QtPass() : counted_(t_onDriverThread) {
    if (!counted_) return;
    const std::unique_lock lock = Enter();
    ++Gate().passes;
}

QtPass::~QtPass() {
    if (!counted_) return;
    ExitGate& g = Gate();
    const std::lock_guard lock(g.mutex);
    if (--g.passes == 0 && g.closed) g.passesEnded.notify_all();
}

bool ExitHasBegun() {
    const std::lock_guard lock(Gate().mutex);
    return Gate().closed;
}

}  // namespace ado::detail
