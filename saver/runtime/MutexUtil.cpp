#include "saver/runtime/MutexUtil.h"

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "common/ProgramHooks.h"

namespace MutexUtil {
namespace {

struct NamedMutex {
    QString name;
    std::timed_mutex lock;
    std::atomic<std::thread::id> owner{};
    int depth = 0;  // touched by the owner only
};

struct Registry {
    std::mutex guard;
    std::map<MutexHandle, std::shared_ptr<NamedMutex>> handles;
    MutexHandle next = 1;
};

Registry& Reg() {
    static Registry r;
    return r;
}

std::shared_ptr<NamedMutex> Find(MutexHandle h) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> g(r.guard);
    auto it = r.handles.find(h);
    return it == r.handles.end() ? nullptr : it->second;
}

std::atomic<std::thread::id> g_windowThread{};

struct DeferredBox {
    QString text;
    int style;
    QString title;
};
std::mutex g_deferredGuard;
std::vector<DeferredBox> g_deferred;

void Report(const QString& text) {
    const QString title = QStringLiteral("MutexUtil.LockMutex");
    if (OnWindowThread())
        MsgBox(text, MsgStyle::Critical | MsgStyle::OkOnly, title);
    else
        DeferBox(text, MsgStyle::Critical | MsgStyle::OkOnly, title);
}

}  // namespace

MutexHandle CreateMutexA(const QString& name) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> g(r.guard);
    std::shared_ptr<NamedMutex> object;
    if (!name.isEmpty())
        for (auto& [h, m] : r.handles)
            if (m->name == name) object = m;
    if (!object) {
        object = std::make_shared<NamedMutex>();
        object->name = name;
    }
    const MutexHandle h = r.next++;
    r.handles[h] = object;
    return h;
}

uint32_t WaitForSingleObject(MutexHandle handle, uint32_t timeoutMs) {
    auto m = Find(handle);
    if (!m) return WAIT_FAILED;
    const auto self = std::this_thread::get_id();
    if (m->owner.load() == self) {
        ++m->depth;
        return WAIT_OBJECT_0;
    }
    if (!m->lock.try_lock_for(std::chrono::milliseconds(timeoutMs))) return WAIT_TIMEOUT;
    m->owner.store(self);
    m->depth = 1;
    return WAIT_OBJECT_0;
}

bool ReleaseMutex(MutexHandle handle) {
    auto m = Find(handle);
    if (!m || m->owner.load() != std::this_thread::get_id()) return false;
    if (--m->depth == 0) {
        m->owner.store(std::thread::id{});
        m->lock.unlock();
    }
    return true;
}

bool CloseHandle(MutexHandle handle) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> g(r.guard);
    return r.handles.erase(handle) > 0;
}

bool LockMutex(MutexHandle handle, uint32_t timeoutMs) {
    const uint32_t result = WaitForSingleObject(handle, timeoutMs);
    switch (result) {
        case WAIT_OBJECT_0:
            return true;
        case WAIT_FAILED:
            Report(QStringLiteral("企圖鎖住Mutex的動作失敗!\r\n失敗原因: WaitForSingleObject[WAIT_FAILED]"));
            return false;
        case WAIT_ABANDONED:
            ReleaseMutex(handle);
            Report(QStringLiteral(
                "企圖鎖住Mutex的動作被迫放棄!\r\n失敗原因: WaitForSingleObject[WAIT_ABANDONED]"));
            return false;
        case WAIT_TIMEOUT:
            if (timeoutMs != 0)
                Report(QStringLiteral(
                    "企圖鎖住Mutex的動作超過等待的期限!\r\n失敗原因: WaitForSingleObject[WAIT_TIMEOUT]"));
            return false;
        default:
            return false;
    }
}

void SetWindowThread() {
    g_windowThread.store(std::this_thread::get_id());
}

bool OnWindowThread() {
    const auto w = g_windowThread.load();
    return w == std::thread::id{} || w == std::this_thread::get_id();
}

void DeferBox(const QString& text, int style, const QString& title) {
    std::lock_guard<std::mutex> g(g_deferredGuard);
    g_deferred.push_back({text, style, title});
}

void ShowDeferredBoxes() {
    std::vector<DeferredBox> boxes;
    {
        std::lock_guard<std::mutex> g(g_deferredGuard);
        boxes.swap(g_deferred);
    }
    for (const auto& b : boxes) MsgBox(b.text, b.style, b.title);
}

}  // namespace MutexUtil
