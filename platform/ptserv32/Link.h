// The library's link to the runtime: the open connection with its reader and mirror, the kept
// advises and the keeper that mends the link. One call of the host at a time (the call lock).
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/hexvane-sim/ChangeCounter.h"
#include "platform/ptserv32/Connection.h"
#include "platform/ptserv32/Keeper.h"
#include "platform/ptserv32/KeptAdvises.h"
#include "platform/ptserv32/Mirror.h"
#include "platform/ptserv32/Notices.h"
#include "platform/ptserv32/Reader.h"

namespace ptserv {

class Link {
  public:
    Link();
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Sends one request and waits for its answer; nothing when the runtime cannot be reached,
    // the connection is lost or no answer comes in time.
    std::optional<Tokens> Call(const std::string& request);

    // Runs `read` on the mirror while the runtime is connected (connecting first when needed);
    // false when it is not, else the result of `read`. What the runtime has sent so far is taken
    // in first. Inside a change callback the connection is up and is not touched otherwise.
    template <typename Read>
    bool WithMirror(Read read) {
        if (t_reader) {
            reader_.Drain();
        } else {
            const auto call = HostTurn();
            if (!call.owns_lock() || !Connect(true)) return false;
        }
        return connection_.Alive() && mirror_.Read(read);
    }

    // True when the runtime can be reached now.
    bool Reachable();

    // An advise kept for the whole run: its ID, or 0 when the runtime refused it.
    int16_t Advise(uint16_t handle, int32_t client, int32_t index);
    // Ends a kept advise, also when the runtime cannot be told; 0 for an ID not held.
    int16_t Unadvise(uint16_t handle, int16_t id);

    void SetCallback(int32_t client, PT_ADVISE_CALLBACK cb) { notices_.SetCallback(client, cb); }
    void SetWaitHook(PT_WAIT_HOOK hook) { waitHook_ = hook; }
    bool IsLost() const { return lost_; }
    uint32_t Generation() const { return generation_; }

  private:
    std::unique_lock<std::mutex> HostTurn();
    std::optional<Tokens> Ask(const std::string& request);
    bool Connect(bool host);
    bool Readvise(PT_WAIT_HOOK hook);
    void Disconnect();
    void CatchUp();
    void Failed(bool unanswered);
    void Ended();
    bool Dispatch(std::string_view line);

    // Lock order: callMutex_; then the parts' own locks (the reader's before the connection's,
    // the mirror's and the notices'). A running callback may read.
    std::mutex callMutex_;                  // one call at a time; owns connecting and the threads
    std::string folder_;                    // the runtime folder as the host sees it, under callMutex_
    ChangeCounter changeCount_;             // under callMutex_
    std::optional<uint64_t> drainedCount_;  // the count seen before the last catch-up
    Connection connection_;
    LiveMirror mirror_;
    Mirror heard_;              // the last state heard on the connection before, under callMutex_
    bool mirrorWasUp_ = false;  // mirror_ belongs to a connection that was up, under callMutex_
    KeptAdvises kept_;
    Notices notices_;
    Reader reader_;
    std::atomic<bool> up_{false};                  // a connection with its snapshot and advises
    std::atomic<bool> lost_{false};                // an attempt to reach the runtime failed since
    std::atomic<bool> unanswered_{false};          // the runtime did not answer: calls fail at once
    std::atomic<uint32_t> generation_{0};          // connections made whole so far
    std::atomic<PT_WAIT_HOOK> waitHook_{nullptr};  // the host's, for its calls' waits
    std::mutex captureMutex_;                      // the state of a tag when the answer to an advise came
    uint16_t captureHandle_ = 0;
    std::optional<MirrorTag> captured_;
    Keeper keeper_;  // last: its thread ends first
};

}  // namespace ptserv
