#include "platform/ptserv32/KeptAdvises.h"

#include <algorithm>

namespace ptserv {
namespace {
constexpr int16_t MaxId = 32767;
}

int16_t KeptAdvises::Keep(uint16_t handle, int32_t client, int32_t index, uint64_t runtimeId) {
    std::lock_guard<std::mutex> lk(mutex_);
    if (kept_.size() >= static_cast<std::size_t>(MaxId)) return 0;
    // The next free ID after the last one given.
    int16_t id = lastId_;
    auto taken = [&](int16_t i) {
        return std::any_of(kept_.begin(), kept_.end(), [i](const KeptAdvise& k) { return k.id == i; });
    };
    do id = id >= MaxId ? 1 : static_cast<int16_t>(id + 1);
    while (taken(id));
    lastId_ = id;
    kept_.push_back({id, handle, client, index, runtimeId});
    return id;
}

std::optional<KeptAdvise> KeptAdvises::Drop(uint16_t handle, int16_t id) {
    std::lock_guard<std::mutex> lk(mutex_);
    const auto it = std::find_if(kept_.begin(), kept_.end(),
                                 [&](const KeptAdvise& k) { return k.id == id && k.handle == handle; });
    if (it == kept_.end()) return std::nullopt;
    const KeptAdvise k = *it;
    kept_.erase(it);
    return k;
}

std::vector<KeptAdvise> KeptAdvises::All() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return kept_;
}

bool KeptAdvises::SetRuntimeId(int16_t id, uint64_t runtimeId) {
    std::lock_guard<std::mutex> lk(mutex_);
    for (KeptAdvise& k : kept_) {
        if (k.id != id) continue;
        k.runtimeId = runtimeId;
        return true;
    }
    return false;
}

void KeptAdvises::ForgetRuntimeIds() {
    std::lock_guard<std::mutex> lk(mutex_);
    for (KeptAdvise& k : kept_) k.runtimeId = 0;
}

}  // namespace ptserv
