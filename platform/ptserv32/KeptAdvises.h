// Every advise the host made, under an advise ID of the library's own that stays valid for the
// whole run; each new connection makes them again and notes the runtime's id of each. Each keeps
// the state of its tag that its last callback delivered, and counts the state lines of its tag
// since the runtime took it on the open connection: the runtime sends a tag's state line before
// its notifications, so a notification with no state line left to match tells a change from
// before the advise, which the library has delivered itself or that changed nothing.
#pragma once
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/ptserv32/Mirror.h"

namespace ptserv {

struct KeptAdvise {
    int16_t id = 0;  // the host's, 1..32767
    uint16_t handle = 0;
    int32_t client = 0, index = 0;
    uint64_t connection = 0;     // the connection that runtimeId belongs to
    uint64_t runtimeId = 0;      // 0 = not in force there
    uint16_t runtimeNumber = 0;  // the runtime's number of the tag there
    bool counting = false;       // the runtime took the advise on the open connection
    uint32_t unmatched = 0;      // state lines of the tag since then that no notification matched
    std::optional<MirrorTag> delivered;
};

// An advise dropped while the runtime of its connection was not told.
struct Untold {
    uint64_t connection, runtimeId;
    uint16_t runtimeNumber;
};

class KeptAdvises {
  public:
    // The ID of a new kept advise, not in force yet; 0 when every ID is taken.
    int16_t Keep(uint16_t handle, int32_t client, int32_t index);
    // Removes the advise with this ID and handle; nothing when there is none. One in force is
    // noted to be told to the runtime.
    std::optional<KeptAdvise> Drop(uint16_t handle, int16_t id);
    std::vector<KeptAdvise> All() const;
    // A new connection: no advise is in force on it yet.
    void ForgetRuntimeIds();

    // In the order of the lines: the runtime took advise `id`, its tag then in `state`. A new
    // advise (`fresh`) has delivered that state; for one made again, true when `state` differs
    // from the state last delivered, which one notification then delivers (the advise copied
    // to `k`).
    bool Answered(int16_t id, const std::optional<MirrorTag>& state, bool fresh, KeptAdvise* k);
    // In force on `connection` under the runtime's id; false when dropped meanwhile.
    bool InForce(int16_t id, uint64_t connection, uint64_t runtimeId, uint16_t runtimeNumber);
    // A state line of the tag with this handle.
    void StateLine(uint16_t handle);
    // The ID of the advise a notification is for; 0 when it matches none.
    int16_t Match(int32_t client, uint16_t handle, int32_t index);
    // A callback is about to deliver `state`; false when the advise has been dropped.
    bool Deliver(int16_t id, const std::optional<MirrorTag>& state);

    // The dropped advises the runtime was not told of, taken out.
    std::vector<Untold> TakeUntold();

  private:
    KeptAdvise* Find(int16_t id);
    mutable std::mutex mutex_;
    std::vector<KeptAdvise> kept_;
    std::vector<Untold> untold_;
    int16_t lastId_ = 0;
};

}  // namespace ptserv
