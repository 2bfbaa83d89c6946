#include "platform/ptserv32/Dispatch.h"

#include <limits>

namespace ptserv {
namespace {
bool IsInt32(int64_t v) {
    return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}
}  // namespace

void Dispatch::AdviseUnderWay(int16_t id, uint16_t r, bool fresh) {
    std::lock_guard<std::mutex> lk(adviseMutex_);
    advise_ = id;
    adviseNumber_ = r;
    adviseFresh_ = fresh;
}

LineKind Dispatch::Line(std::string_view line) {
    const auto t = HexvaneWire::Split(line);
    if (t.size() >= 2 && t[0] == "=") {
        const auto seq = HexvaneWire::ParseWhole(t[1]);
        if (!seq) return LineKind::Unreadable;
        return Answer(*seq, Tokens(t.begin() + 2, t.end()));
    }
    if (t[0] == "!") return Notification(t);
    if (t[0] == "$") {
        // A state line whose tag cannot be told cannot be read; one whose state cannot be read
        // is that tag's fault.
        const auto r = t.size() == 7 ? HexvaneWire::ParseWhole(t[1]) : std::nullopt;
        if (!r || *r == 0 || *r >= PT_NO_TAG) return LineKind::Unreadable;
        const bool read = mirror_.Apply(t);
        if (const uint16_t h = mirror_.Handle(*r)) kept_.StateLine(h);
        return read ? LineKind::Heard : LineKind::Quiet;
    }
    if (t[0] == "*") return mirror_.Apply(t) ? LineKind::Heard : LineKind::Quiet;
    return LineKind::Unreadable;
}

LineKind Dispatch::Answer(uint64_t seq, Tokens answer) {
    if (!connection_.Answers(seq)) return LineKind::Unreadable;  // to no request made
    if (connection_.Awaits(seq)) {
        int16_t id;
        uint16_t r;
        bool fresh;
        {
            std::lock_guard<std::mutex> lk(adviseMutex_);
            id = advise_;
            r = adviseNumber_;
            fresh = adviseFresh_;
        }
        // The runtime took an advise: what the tag's state was then, in the order of the lines.
        const auto taken = OneNumber(answer);
        if (id != 0 && taken && *taken != 0) {
            auto state = mirror_.TagState(r);
            KeptAdvise k;
            if (kept_.Answered(id, state, fresh, &k))
                notices_.Push({id, k.client, k.handle, k.index, std::move(state)}, t_reader);
        }
    }
    connection_.Deliver(seq, std::move(answer));
    return LineKind::Heard;
}

LineKind Dispatch::Notification(const std::vector<std::string_view>& t) {
    if (t.size() != 4) return LineKind::Unreadable;
    const auto client = HexvaneWire::ParseSigned(t[1]);
    const auto r = HexvaneWire::ParseWhole(t[2]);
    const auto index = HexvaneWire::ParseSigned(t[3]);
    if (!client || !r || !index || !IsInt32(*client) || !IsInt32(*index) || *r == 0 || *r >= PT_NO_TAG)
        return LineKind::Unreadable;
    const uint16_t h = mirror_.Handle(*r);
    const int16_t id = h ? kept_.Match(static_cast<int32_t>(*client), h, static_cast<int32_t>(*index)) : 0;
    // Taken in by a read on another thread: the reader thread runs it.
    if (id != 0)
        notices_.Push(
            {id, static_cast<int32_t>(*client), h, static_cast<int32_t>(*index), mirror_.TagState(*r)},
            t_reader);
    return LineKind::Heard;
}

}  // namespace ptserv
