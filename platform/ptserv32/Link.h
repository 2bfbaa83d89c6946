// The library's link to the runtime: the session (Session.h) and the open connection with its
// reader, the protocol's dispatch and the mirror, the kept advises and the keeper that mends the
// link. One call of the host at a time (the call lock).
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/hexvane-sim/ChangeCounter.h"
#include "platform/ptserv32/Connection.h"
#include "platform/ptserv32/Dispatch.h"
#include "platform/ptserv32/Keeper.h"
#include "platform/ptserv32/KeptAdvises.h"
#include "platform/ptserv32/Mirror.h"
#include "platform/ptserv32/Notices.h"
#include "platform/ptserv32/Reader.h"
#include "platform/ptserv32/Session.h"

namespace ptserv {

class Link {
  public:
    Link();
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Sends the request `build` makes for the runtime's number of a handle's tag and waits for
    // its answer; nothing when the runtime cannot be reached or lacks the tag, the connection is
    // lost or no answer comes in time.
    template <typename Build>
    std::optional<Tokens> CallFor(uint16_t handle, Build build) {
        const auto call = HostCall();
        const uint16_t r = call.owns_lock() ? mirror_.Runtime(handle) : 0;
        if (r == 0) return std::nullopt;
        return Ask(build(r));
    }
    // Asks the runtime to look up a name (the request FIND): the handle of the tag it answers.
    uint16_t Find(const std::string& request);

    // Runs `read` on the mirror while the link is up (connecting first when needed); false when
    // it is not, else the result of `read`. What the runtime has sent so far is taken in first.
    // Inside a change callback the connection is not touched otherwise.
    template <typename Read>
    bool WithMirror(Read read) {
        return Ready() && mirror_.Read(read);
    }
    // The handle standing for a key (an upper-case name), or for the tag with the runtime's
    // number r; PT_NO_TAG when the runtime lacks it or the link is not up.
    uint16_t HandleOfKey(const std::string& key);
    // Whether the runtime of the connection that is up has the tag a handle stands for.
    bool IsPresent(uint16_t handle) const;

    // True when the runtime can be reached now.
    bool Reachable();

    // An advise kept for the whole run: its ID, or 0 when the runtime refused it.
    int16_t Advise(uint16_t handle, int32_t client, int32_t index);
    // Ends a kept advise, also when the runtime cannot be told (it is told when it next can be);
    // on return no callback of it runs any more. 0 for an ID not held.
    int16_t Unadvise(uint16_t handle, int16_t id);

    void SetCallback(int32_t client, PT_ADVISE_CALLBACK cb) { notices_.SetCallback(client, cb); }
    void SetWaitHook(PT_WAIT_HOOK hook) { waitHook_ = hook; }
    const Session& State() const { return session_; }

  private:
    bool Ready();
    std::unique_lock<std::mutex> HostTurn();
    // The call lock with the link up, for a call of the host; not owned when it is not.
    std::unique_lock<std::mutex> HostCall();
    std::optional<Tokens> Ask(const std::string& request);
    bool Connect(bool host);
    std::optional<Loss> Readvise(uint64_t c, PT_WAIT_HOOK hook);
    void TellUnadvised();
    void Disconnect();
    void CatchUp();
    void Lose(uint64_t c, Loss why);

    // Lock order, the whole library (docs/ARCHITECTURE.md): callMutex_, then the callbacks' lock
    // (Notices), then the reader's lock; under these each other lock is taken alone (the
    // session's, the mirror's, the kept advises', the dispatch's, the queue of notifications',
    // the keeper's; the connection's send lock before its answer lock). A running callback may
    // read, and unadvise.
    std::mutex callMutex_;                  // one call at a time; owns connecting and the threads
    std::string folder_;                    // the runtime folder as the host sees it, under callMutex_
    ChangeCounter changeCount_;             // under callMutex_
    std::optional<uint64_t> drainedCount_;  // the count seen before the last catch-up
    Session session_;
    Connection connection_;
    LiveMirror mirror_;
    KeptAdvises kept_;
    Notices notices_;
    Dispatch dispatch_;
    Reader reader_;
    std::atomic<PT_WAIT_HOOK> waitHook_{nullptr};  // the host's, for its calls' waits
    Keeper keeper_;                                // last: its thread ends first
};

}  // namespace ptserv
