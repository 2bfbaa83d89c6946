#include "platform/ptserv32/Mirror.h"

#include <cmath>

#include "platform/ptserv32/ptserv32.h"

namespace ptserv {
namespace {

bool ValidTime(const std::optional<HexvaneWire::WireTime>& t) {
    return t && t->month >= 1 && t->month <= 12;
}

// The state fields "handle vtime status value mtime :message" from t[i]; nothing when the
// handle cannot be read, a tag that is not ok when the rest cannot. A value that is not a finite
// number leaves the tag ok, with that value unreadable.
std::optional<std::pair<uint16_t, MirrorTag>> ParseState(const std::vector<std::string_view>& t,
                                                         std::size_t i) {
    using namespace HexvaneWire;
    if (t.size() < i + 6) return std::nullopt;
    const auto h = ParseWhole(t[i]);
    if (!h || *h == 0 || *h >= PT_NO_TAG) return std::nullopt;
    MirrorTag m;
    const auto vt = ParseTime(t[i + 1]), mt = ParseTime(t[i + 4]);
    const auto st = ParseWhole(t[i + 2]);
    const auto v = ParseNumber(t[i + 3]);
    auto msg = DecodeText(t[i + 5]);
    m.ok = ValidTime(vt) && ValidTime(mt) && st && *st <= 0xFFFF && msg;
    if (m.ok) {
        m.valueTime = *vt;
        m.messageTime = *mt;
        m.status = static_cast<uint16_t>(*st);
        if (v && std::isfinite(*v))
            m.value = *v;
        else
            m.unreadableValue = ValidUtf8(t[i + 3]);
        m.message = ValidUtf8(*msg);
    }
    return std::make_pair(static_cast<uint16_t>(*h), std::move(m));
}

}  // namespace

bool SameState(const MirrorTag& a, const MirrorTag& b) {
    if (!a.ok || !b.ok) return a.ok == b.ok;
    return a.value == b.value && a.unreadableValue == b.unreadableValue && a.status == b.status &&
           a.message == b.message;
}

uint16_t Mirror::Runtime(uint16_t handle) const {
    return handle == 0 || handle > runtimeOf.size() ? 0 : runtimeOf[handle - 1];
}

uint16_t Mirror::Handle(uint64_t r) const {
    return r == 0 || r > handleOf.size() ? 0 : handleOf[r - 1];
}

const MirrorTag* Mirror::Tag(uint16_t handle) const {
    const uint16_t r = Runtime(handle);
    if (r == 0 || r > tags.size() || !tags[r - 1].ok) return nullptr;
    return &tags[r - 1];
}

void LiveMirror::BeginSnapshot() {
    std::lock_guard<std::mutex> lk(mutex_);
    mirror_ = Mirror();
    ready_ = false;
    snapshotting_ = true;
    bad_ = false;
}

bool LiveMirror::EndSnapshot(std::optional<uint64_t> count) {
    std::lock_guard<std::mutex> lk(mutex_);
    snapshotting_ = false;
    ready_ = count && !bad_ && *count == mirror_.tags.size();
    // Each name given a handle before, found in this runtime's tags.
    mirror_.runtimeOf.assign(names_.size(), 0);
    mirror_.handleOf.assign(mirror_.tags.size(), 0);
    for (std::size_t i = 0; ready_ && i < names_.size(); ++i) {
        const auto it = mirror_.byKey.find(names_[i]);
        if (it == mirror_.byKey.end()) continue;
        mirror_.runtimeOf[i] = it->second;
        mirror_.handleOf[it->second - 1] = static_cast<uint16_t>(i + 1);
    }
    return ready_;
}

uint16_t LiveMirror::HandleOfKey(const std::string& key) {
    std::lock_guard<std::mutex> lk(mutex_);
    const auto it = mirror_.byKey.find(key);
    return ready_ && it != mirror_.byKey.end() ? Give(it->second, key) : PT_NO_TAG;
}

uint16_t LiveMirror::HandleOfRuntime(uint64_t r) {
    std::lock_guard<std::mutex> lk(mutex_);
    if (!ready_) return PT_NO_TAG;
    for (const auto& [key, n] : mirror_.byKey)
        if (n == r) return Give(n, key);
    return PT_NO_TAG;
}

// Under mutex_: the handle of `key`, which has the runtime's number r, given now when the name
// has none: the number itself when that is free, else the lowest free one.
uint16_t LiveMirror::Give(uint16_t r, const std::string& key) {
    if (const uint16_t h = mirror_.Handle(r)) return h;
    std::size_t h = r;
    if (h <= names_.size() && !names_[h - 1].empty())
        for (h = 1; h <= names_.size() && !names_[h - 1].empty();) ++h;
    if (h >= PT_NO_TAG) return PT_NO_TAG;
    if (h > names_.size()) names_.resize(h);
    names_[h - 1] = key;
    if (h > mirror_.runtimeOf.size()) mirror_.runtimeOf.resize(h, 0);
    mirror_.runtimeOf[h - 1] = r;
    mirror_.handleOf[r - 1] = static_cast<uint16_t>(h);
    return static_cast<uint16_t>(h);
}

void LiveMirror::Invalidate() {
    std::lock_guard<std::mutex> lk(mutex_);
    ready_ = false;
}

bool LiveMirror::Apply(const std::vector<std::string_view>& t) {
    if (t.size() == 7 && t[0] == "$") {
        auto s = ParseState(t, 1);
        if (!s) return false;
        const bool ok = s->second.ok;
        std::lock_guard<std::mutex> lk(mutex_);
        if (s->first <= mirror_.tags.size()) mirror_.tags[s->first - 1] = std::move(s->second);
        return ok;
    }
    if (t.size() == 9 && t[0] == "*") {
        auto s = ParseState(t, 1);
        const auto key = HexvaneWire::DecodeText(t[8]);
        const bool readable = s && s->second.ok && key;
        std::lock_guard<std::mutex> lk(mutex_);
        if (!snapshotting_) return readable;
        // Rows come in handle order, 1, 2, ...
        if (!readable || s->first != mirror_.tags.size() + 1) {
            bad_ = true;
            return readable;
        }
        mirror_.byKey.emplace(*key, s->first);
        mirror_.tags.push_back(std::move(s->second));
        return true;
    }
    return false;
}

uint16_t LiveMirror::Runtime(uint16_t handle) const {
    std::lock_guard<std::mutex> lk(mutex_);
    return mirror_.Runtime(handle);
}

uint16_t LiveMirror::Handle(uint64_t r) const {
    std::lock_guard<std::mutex> lk(mutex_);
    return mirror_.Handle(r);
}

std::optional<MirrorTag> LiveMirror::TagState(uint64_t r) const {
    std::lock_guard<std::mutex> lk(mutex_);
    if (r == 0 || r > mirror_.tags.size()) return std::nullopt;
    return mirror_.tags[r - 1];
}

}  // namespace ptserv
