// Every advise the host made, under an advise ID of the library's own that stays valid for the
// whole run; each new connection makes them again and notes the runtime's id of each.
#pragma once
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace ptserv {

struct KeptAdvise {
    int16_t id = 0;  // the host's, 1..32767
    uint16_t handle = 0;
    int32_t client = 0, index = 0;
    uint64_t runtimeId = 0;  // on the open connection; 0 = not in force there
};

class KeptAdvises {
  public:
    // The ID of a new kept advise; 0 when every ID is taken.
    int16_t Keep(uint16_t handle, int32_t client, int32_t index, uint64_t runtimeId);
    // Removes the advise with this ID and handle; nothing when there is none.
    std::optional<KeptAdvise> Drop(uint16_t handle, int16_t id);
    std::vector<KeptAdvise> All() const;
    // False when the advise has been dropped meanwhile.
    bool SetRuntimeId(int16_t id, uint64_t runtimeId);
    // A new connection: no advise is in force on it yet.
    void ForgetRuntimeIds();

  private:
    mutable std::mutex mutex_;
    std::vector<KeptAdvise> kept_;
    int16_t lastId_ = 0;
};

}  // namespace ptserv
