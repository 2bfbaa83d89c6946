#include "platform/ptserv32/KeptAdvises.h"

#include <algorithm>
#include <utility>

namespace ptserv {
namespace {
constexpr int16_t MaxId = 32767;
}

int16_t KeptAdvises::Keep(uint16_t handle, int32_t client, int32_t index) {
    std::lock_guard<std::mutex> lk(mutex_);
    if (kept_.size() >= static_cast<std::size_t>(MaxId)) return 0;
    // The next free ID after the last one given.
    int16_t id = lastId_;
    do id = id >= MaxId ? 1 : static_cast<int16_t>(id + 1);
    while (Find(id));
    lastId_ = id;
    KeptAdvise k;
    k.id = id;
    k.handle = handle;
    k.client = client;
    k.index = index;
    kept_.push_back(std::move(k));
    return id;
}

// Under mutex_.
KeptAdvise* KeptAdvises::Find(int16_t id) {
    const auto it =
        std::find_if(kept_.begin(), kept_.end(), [id](const KeptAdvise& k) { return k.id == id; });
    return it == kept_.end() ? nullptr : &*it;
}

std::optional<KeptAdvise> KeptAdvises::Drop(uint16_t handle, int16_t id) {
    std::lock_guard<std::mutex> lk(mutex_);
    const auto it = std::find_if(kept_.begin(), kept_.end(),
                                 [&](const KeptAdvise& k) { return k.id == id && k.handle == handle; });
    if (it == kept_.end()) return std::nullopt;
    KeptAdvise k = std::move(*it);
    kept_.erase(it);
    if (k.runtimeId != 0) untold_.push_back({k.connection, k.runtimeId, k.runtimeNumber});
    return k;
}

std::vector<KeptAdvise> KeptAdvises::All() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return kept_;
}

void KeptAdvises::ForgetRuntimeIds() {
    std::lock_guard<std::mutex> lk(mutex_);
    for (KeptAdvise& k : kept_) {
        k.runtimeId = 0;
        k.counting = false;
        k.unmatched = 0;
    }
}

bool KeptAdvises::Answered(int16_t id, const std::optional<MirrorTag>& state, bool fresh, KeptAdvise* copy) {
    std::lock_guard<std::mutex> lk(mutex_);
    KeptAdvise* k = Find(id);
    if (!k) return false;
    k->counting = true;
    k->unmatched = 0;
    if (fresh) {
        k->delivered = state;
        return false;
    }
    if (!state || (k->delivered && SameState(*k->delivered, *state))) return false;
    *copy = *k;
    return true;
}

bool KeptAdvises::InForce(int16_t id, uint64_t connection, uint64_t runtimeId, uint16_t runtimeNumber) {
    std::lock_guard<std::mutex> lk(mutex_);
    KeptAdvise* k = Find(id);
    if (!k) return false;
    k->connection = connection;
    k->runtimeId = runtimeId;
    k->runtimeNumber = runtimeNumber;
    return true;
}

void KeptAdvises::StateLine(uint16_t handle) {
    std::lock_guard<std::mutex> lk(mutex_);
    for (KeptAdvise& k : kept_)
        if (k.counting && k.handle == handle) ++k.unmatched;
}

int16_t KeptAdvises::Match(int32_t client, uint16_t handle, int32_t index) {
    std::lock_guard<std::mutex> lk(mutex_);
    for (KeptAdvise& k : kept_) {
        if (!k.counting || k.unmatched == 0 || k.client != client || k.handle != handle || k.index != index)
            continue;
        --k.unmatched;
        return k.id;
    }
    return 0;
}

bool KeptAdvises::Deliver(int16_t id, const std::optional<MirrorTag>& state) {
    std::lock_guard<std::mutex> lk(mutex_);
    KeptAdvise* k = Find(id);
    if (!k) return false;
    k->delivered = state;
    return true;
}

std::vector<Untold> KeptAdvises::TakeUntold() {
    std::lock_guard<std::mutex> lk(mutex_);
    return std::exchange(untold_, {});
}

}  // namespace ptserv
