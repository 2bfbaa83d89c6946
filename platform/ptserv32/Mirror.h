// The tags of the runtime as the library last heard them: filled by the snapshot of a new
// connection, then kept current by the state line of each change.
#pragma once
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/hexvane-sim/HexvaneProtocol.h"

namespace ptserv {

struct MirrorTag {
    bool ok = false;  // false after a state line that could not be read
    HexvaneWire::WireTime valueTime, messageTime;
    uint16_t status = 0;
    double value = 0;
    // The value as received (valid UTF-8) when it is not a finite number: the tag's own fault.
    std::optional<std::string> unreadableValue;
    std::string message;  // valid UTF-8
};

// What the host reads of a tag: the same value, message and status (times aside).
bool SameState(const MirrorTag& a, const MirrorTag& b);

// tags[h - 1] has handle h.
struct Mirror {
    std::vector<MirrorTag> tags;
    std::unordered_map<std::string, uint16_t> byKey;  // the runtime's upper-case names
    // Nothing for an unknown handle or a tag whose state could not be read.
    const MirrorTag* Tag(uint16_t handle) const;
};

// The mirror of the open connection, shared by the reader and the host's reads.
class LiveMirror {
  public:
    // A new connection: empty, taking snapshot rows.
    void BeginSnapshot();
    // The snapshot's answer (its row count, nothing when it did not come): true when every
    // row came and could be read; the mirror is then ready.
    bool EndSnapshot(std::optional<uint64_t> count);
    void Invalidate();
    // A state line ("$ ...") or snapshot row ("* ..."), split; false when it cannot be read.
    bool Apply(const std::vector<std::string_view>& t);
    // The state of one tag now; nothing when the mirror does not hold it.
    std::optional<MirrorTag> TagState(uint16_t handle) const;
    // Moves the tags out (the connection has ended).
    Mirror Take();

    // Runs `read` on the mirror when it is ready; false when it is not, else its result.
    template <typename Reading>
    bool Read(Reading read) const {
        std::lock_guard<std::mutex> lk(mutex_);
        return ready_ && read(static_cast<const Mirror&>(mirror_));
    }

  private:
    mutable std::mutex mutex_;
    Mirror mirror_;
    bool ready_ = false;  // a complete snapshot of the open connection
    bool snapshotting_ = false;
    bool bad_ = false;
};

}  // namespace ptserv
