// The tags of the runtime as the library last heard them: filled by the snapshot of a new
// connection, then kept current by the state line of each change. The handles the host holds are
// the library's own: each stands for one tag name (its key) for the whole run, and each new
// connection finds the runtime's number of every name anew.
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

// tags[r - 1] has the runtime's number r.
struct Mirror {
    std::vector<MirrorTag> tags;
    std::unordered_map<std::string, uint16_t> byKey;  // the runtime's upper-case names
    std::vector<uint16_t> runtimeOf;                  // [h - 1]: the number of handle h's name, or 0
    std::vector<uint16_t> handleOf;                   // [r - 1]: the handle of number r's name, or 0
    // Nothing for a handle whose name this runtime lacks or whose state could not be read.
    const MirrorTag* Tag(uint16_t handle) const;
    // The runtime's number of a handle's name; 0 when it lacks the name.
    uint16_t Runtime(uint16_t handle) const;
    // The handle of the tag with the runtime's number r; 0 when none was given.
    uint16_t Handle(uint64_t r) const;
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
    // Mirror::Runtime and Mirror::Handle of the open connection.
    uint16_t Runtime(uint16_t handle) const;
    uint16_t Handle(uint64_t r) const;
    // The state of the tag with the runtime's number r now; nothing when the mirror lacks it.
    std::optional<MirrorTag> TagState(uint64_t r) const;
    // The handle standing for a key (an upper-case name), given now when the runtime has the
    // name and none was given yet; PT_NO_TAG when the ready mirror lacks the name.
    uint16_t HandleOfKey(const std::string& key);
    // Likewise for the runtime's number r.
    uint16_t HandleOfRuntime(uint64_t r);

    // Runs `read` on the mirror when it is ready; false when it is not, else its result.
    template <typename Reading>
    bool Read(Reading read) const {
        std::lock_guard<std::mutex> lk(mutex_);
        return ready_ && read(static_cast<const Mirror&>(mirror_));
    }

  private:
    uint16_t Give(uint16_t r, const std::string& key);
    mutable std::mutex mutex_;
    Mirror mirror_;
    std::vector<std::string> names_;  // [h - 1]: the key handle h stands for, for the whole run
    bool ready_ = false;              // a complete snapshot of the open connection
    bool snapshotting_ = false;
    bool bad_ = false;
};

}  // namespace ptserv
