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

const MirrorTag* Mirror::Tag(uint16_t handle) const {
    if (handle == 0 || handle > tags.size() || !tags[handle - 1].ok) return nullptr;
    return &tags[handle - 1];
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
    return ready_;
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

std::optional<MirrorTag> LiveMirror::TagState(uint16_t handle) const {
    std::lock_guard<std::mutex> lk(mutex_);
    if (handle == 0 || handle > mirror_.tags.size()) return std::nullopt;
    return mirror_.tags[handle - 1];
}

Mirror LiveMirror::Take() {
    std::lock_guard<std::mutex> lk(mutex_);
    ready_ = false;
    return std::move(mirror_);
}

}  // namespace ptserv
