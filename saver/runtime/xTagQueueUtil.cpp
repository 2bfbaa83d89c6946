#include "saver/runtime/xTagQueueUtil.h"

#include <array>
#include <atomic>
#include <memory>

#include "common/DateUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/Settings.h"
#include "saver/SaverState.h"
#include "saver/runtime/LedgrixMain.h"
#include "saver/runtime/MutexUtil.h"
#include "saver/runtime/TagChangeUtil.h"
#include "saver/runtime/TagDataPoolUtil.h"

namespace {

constexpr uint32_t kLockTimeoutMs = 1000;

MutexUtil::MutexHandle g_mutex = 0;
std::array<std::unique_ptr<xTag>, kQueueSlots + 1> g_slots;  // positions 1 to 512
int16_t g_tail = kQueueSlots;
int16_t g_head = kQueueSlots;
std::atomic<void (*)()> g_wake{nullptr};
std::atomic<bool> g_overflow{false};

int16_t NextPosition(int16_t p) {
    return p == kQueueSlots ? int16_t{1} : static_cast<int16_t>(p + 1);
}

int16_t CountEntries() {
    if (g_tail == g_head) return 0;
    if (g_tail > g_head) return static_cast<int16_t>(g_tail - g_head);
    return static_cast<int16_t>(g_tail + kQueueSlots - g_head);
}

const QString kOverflowText = QStringLiteral("來自圖控系統的Tag資料貯列Overflow，程式無法執行!");
const QString kOverflowTitle = QStringLiteral("PutxTagQueue.PutxTagQueue");

// A fatal queue failure: the orderly shutdown, or an immediate stop while debugging.
[[noreturn]] void EndForQueue() {
    if (State().DebugLevel > 0) {
        LedgrixMain::LogEndingBox();
        EndProcessNow(-1);
    }
    sysExit(-1);
}

}  // namespace

void TagChangeCallback(int32_t handle, int32_t index) {
    const auto i = static_cast<int16_t>(index & 0xFFFF);
    if (i < 1 || i > Saver().TagDataBankCount) return;
    xTag change;
    change.UserParm = i;
    change.ID = static_cast<int16_t>(handle);
    change.DateTime = DateUtil::Now();
    PutxTagQueue(change);
}

void InitxTagQueue() {
    g_tail = kQueueSlots;
    g_head = kQueueSlots;
    g_overflow = false;
    MutexUtil::SetWindowThread();
    g_mutex = MutexUtil::CreateMutexA(QStringLiteral("xTagQueue"));
}

void PutxTagQueue(const xTag& tag) {
    if (!MutexUtil::LockMutex(g_mutex, kLockTimeoutMs)) return;
    const int16_t n = NextPosition(g_tail);
    if (n == g_head) {
        // The entry is lost; the window thread reports it and ends the saver.
        const bool first = !g_overflow.exchange(true);
        MutexUtil::ReleaseMutex(g_mutex);
        if (first)
            if (auto wake = g_wake.load()) wake();
        return;
    }
    g_tail = n;
    auto& slot = g_slots[static_cast<size_t>(n)];
    if (!slot) slot = std::make_unique<xTag>();
    slot->Name = tag.Name;
    slot->Value = tag.Value;
    slot->Msg = tag.Msg;
    slot->DateTime = tag.DateTime;
    slot->ID = tag.ID;
    slot->UserParm = tag.UserParm;
    MutexUtil::ReleaseMutex(g_mutex);
    if (auto wake = g_wake.load()) wake();
}

QVariant GetxTagQueueCount() {
    if (!MutexUtil::LockMutex(g_mutex, kLockTimeoutMs)) return QVariant();
    const int16_t count = CountEntries();
    MutexUtil::ReleaseMutex(g_mutex);
    return QVariant::fromValue<int16_t>(count);
}

bool GetxTagQueue(xTag& tag) {
    if (!MutexUtil::LockMutex(g_mutex, kLockTimeoutMs)) return false;
    if (g_head == g_tail) {
        MsgBox(QStringLiteral("圖控系統的Tag資料貯列Underflow，程式無法執行!"),
               MsgStyle::Critical | MsgStyle::OkOnly, QStringLiteral("GetxTagQueue.GetxTagQueue"));
        MutexUtil::ReleaseMutex(g_mutex);
        EndForQueue();
    }
    g_head = NextPosition(g_head);
    auto& slot = g_slots[static_cast<size_t>(g_head)];
    if (!slot) slot = std::make_unique<xTag>();
    tag.Name = slot->Name;
    tag.Value = slot->Value;
    tag.Msg = slot->Msg;
    tag.DateTime = slot->DateTime;
    tag.UserParm = slot->UserParm;
    MutexUtil::ReleaseMutex(g_mutex);
    return true;
}

void DrainxTagQueue() {
    xTagQueueUtil::HandleQueueFailures();
    for (;;) {
        const QVariant count = GetxTagQueueCount();
        if (!count.isValid() || count.value<int16_t>() <= 0) return;
        xTag change;
        if (!GetxTagQueue(change)) continue;
        int32_t i = change.UserParm;
        if (tagDataBank* e = TagBankEntry(i)) {
            e->xTagDateTime = change.DateTime;
            ProcessTagChange(i);
        }
    }
}

void ClosexTagQueueMutex() {
    if (g_mutex != 0) MutexUtil::CloseHandle(g_mutex);
    g_mutex = 0;
}

namespace xTagQueueUtil {

void SetWakeUp(void (*wake)()) {
    g_wake = wake;
}

bool Overflowed() {
    return g_overflow.load();
}

void HandleQueueFailures() {
    MutexUtil::ShowDeferredBoxes();
    if (!g_overflow.load()) return;
    MsgBox(kOverflowText, MsgStyle::Critical | MsgStyle::OkOnly, kOverflowTitle);
    EndForQueue();
}

int16_t Head() {
    return g_head;
}
int16_t Tail() {
    return g_tail;
}

}  // namespace xTagQueueUtil
