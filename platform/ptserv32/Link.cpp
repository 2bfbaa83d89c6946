#include "platform/ptserv32/Link.h"

#include <thread>

#include "platform/captions/RuntimeFolder.h"

namespace ptserv {
namespace {
// Longest a call of the host waits for the keeper's turn before it fails.
constexpr auto TurnWait = std::chrono::milliseconds(100);

std::string AdviseRequest(uint16_t handle, int32_t client, int32_t index) {
    return "ADV " + std::to_string(handle) + ' ' + std::to_string(client) + ' ' + std::to_string(index);
}

std::string UnadviseRequest(uint16_t handle, uint64_t runtimeId) {
    return "UNADV " + std::to_string(handle) + ' ' + std::to_string(runtimeId);
}
}  // namespace

Link::Link()
    : reader_(connection_, {[this](std::string_view line) { return Dispatch(line); },
                            [this] { notices_.Run(); }, [this] { Ended(); },
                            [this] {
                                lost_ = true;
                                unanswered_ = true;
                                connection_.Shut();
                                Ended();
                            }}),
      keeper_([this] { return !up_; },
              [this] {
                  std::lock_guard<std::mutex> call(callMutex_);
                  if (!up_ && !keeper_.Stopping()) Connect(false);
              }) {}

Link::~Link() {
    connection_.Stop();
    keeper_.Stop();
    std::lock_guard<std::mutex> call(callMutex_);
    Disconnect();
}

std::optional<Tokens> Link::Call(const std::string& request) {
    // Kept out of change callbacks: a reconnect would wait for the thread that runs them.
    if (t_reader) return std::nullopt;
    const auto call = HostTurn();
    if (!call.owns_lock() || !Connect(true)) return std::nullopt;
    return Ask(request);
}

// Under callMutex_, on the open connection: a request of the host and its answer; a runtime that
// does not answer loses the link.
std::optional<Tokens> Link::Ask(const std::string& request) {
    auto r = connection_.Exchange(request, waitHook_.load());
    if (r.unanswered) Failed(true);
    return std::move(r.answer);
}

bool Link::Reachable() {
    if (t_reader) return true;
    const auto call = HostTurn();
    return call.owns_lock() && Connect(true);
}

int16_t Link::Advise(uint16_t handle, int32_t client, int32_t index) {
    if (t_reader) return 0;
    const auto call = HostTurn();
    if (!call.owns_lock() || !Connect(true)) return 0;
    const auto rid = OneNumber(Ask(AdviseRequest(handle, client, index)));
    if (!rid || *rid == 0) return 0;
    // Kept under the call lock, so that no new connection is made without it.
    const int16_t id = kept_.Keep(handle, client, index, *rid);
    if (id == 0) connection_.Exchange(UnadviseRequest(handle, *rid), nullptr);
    return id;
}

int16_t Link::Unadvise(uint16_t handle, int16_t id) {
    // Dropped under the call lock when it can be had, so that its runtime id is that of the open
    // connection; without it (a runtime that does not answer) the runtime is not told.
    std::unique_lock<std::mutex> call;
    if (!t_reader) call = HostTurn();
    const auto k = kept_.Drop(handle, id);
    if (!k) return 0;
    // The runtime drops the advises of a connection that ends: it is told only while one is up.
    if (call.owns_lock() && up_ && k->runtimeId != 0) Ask(UnadviseRequest(handle, k->runtimeId));
    return 1;
}

// The call lock for a call of the host: none from inside its wait hook or while the runtime does
// not answer, and none after a moment behind the keeper.
std::unique_lock<std::mutex> Link::HostTurn() {
    std::unique_lock<std::mutex> call(callMutex_, std::defer_lock);
    if (t_inHook || unanswered_) return call;
    for (const auto until = Clock::now() + TurnWait; !call.try_lock();) {
        if (Clock::now() >= until) return call;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (unanswered_) call.unlock();
    return call;
}

// Under callMutex_: the link is up, or has been made so: a connection with its snapshot and every
// kept advise made again on it. A call of the host (`host`) makes no new connection while the
// runtime does not answer, which is the keeper's to mend; it does while the runtime is merely
// absent, which costs little.
bool Link::Connect(bool host) {
    if (connection_.IsOpen()) {
        CatchUp();
        if (up_ && connection_.Alive()) return true;
    }
    if (host && unanswered_) return false;
    Disconnect();
    if (mirrorWasUp_) {
        heard_ = mirror_.Take();
        mirrorWasUp_ = false;
    }
    if (host) folder_ = LedgrixRuntimeFolderPath();
    // Not in a folder where another user could have put the socket.
    if (!CheckRuntimeFolder(folder_).Usable() || !connection_.Open(folder_)) {
        Failed(false);
        return false;
    }
    changeCount_.Open(false, folder_);
    drainedCount_.reset();
    kept_.ForgetRuntimeIds();
    mirror_.BeginSnapshot();
    reader_.Start(notices_.Open());
    const PT_WAIT_HOOK hook = host ? waitHook_.load() : nullptr;
    // The rows come before the answer: the mirror is complete when the answer is in.
    const auto snap = connection_.Exchange("SNAP", hook);
    if (mirror_.EndSnapshot(OneNumber(snap.answer)) && Readvise(hook) && connection_.Alive()) {
        mirrorWasUp_ = true;
        up_ = true;
        ++generation_;
        lost_ = false;
        unanswered_ = false;
        notices_.Release();
        return true;
    }
    const bool unanswered = snap.unanswered || unanswered_;
    Disconnect();
    Failed(unanswered);
    return false;
}

// Under callMutex_, on a new connection with its snapshot: makes every kept advise again. Each
// advised tag whose state differs between the last state heard before and the state when the
// runtime took the advise again gets one notification (later changes the runtime notifies).
bool Link::Readvise(PT_WAIT_HOOK hook) {
    for (const KeptAdvise& k : kept_.All()) {
        {
            std::lock_guard<std::mutex> c(captureMutex_);
            captureHandle_ = k.handle;
            captured_.reset();
        }
        const auto r = connection_.Exchange(AdviseRequest(k.handle, k.client, k.index), hook);
        std::optional<MirrorTag> now;
        {
            std::lock_guard<std::mutex> c(captureMutex_);
            captureHandle_ = 0;
            now = std::move(captured_);
        }
        if (r.unanswered) unanswered_ = true;
        const auto rid = OneNumber(r.answer);
        if (!rid || !connection_.Alive()) return false;
        if (*rid == 0) continue;                // the runtime no longer has the tag
        if (!kept_.SetRuntimeId(k.id, *rid)) {  // unadvised meanwhile
            connection_.Exchange(UnadviseRequest(k.handle, *rid), hook);
            continue;
        }
        const MirrorTag* before = heard_.Tag(k.handle);
        if (now && (!before || !SameState(*before, *now)))
            notices_.Push({k.client, k.handle, k.index}, false);
    }
    return true;
}

// Under callMutex_ (or in the destructor).
void Link::Disconnect() {
    up_ = false;
    if (!connection_.IsOpen()) return;
    connection_.Shut();
    reader_.Join();
    notices_.Close();
    changeCount_.Close();
    connection_.Close();
    mirror_.Invalidate();
}

// Under callMutex_: takes in what the runtime has sent so far, unless its change count shows that
// no state line has been sent since the last time. A runtime without the count is always asked.
void Link::CatchUp() {
    if (!changeCount_.IsOpen()) {
        reader_.Drain();
        return;
    }
    const uint64_t count = changeCount_.Load();
    if (drainedCount_ == count) return;
    reader_.Drain();
    drainedCount_ = count;
}

// An attempt to reach the runtime failed, or a call went unanswered: the link is lost until the
// keeper (or, while the runtime is merely absent, a call of the host) makes it up again.
void Link::Failed(bool unanswered) {
    lost_ = true;
    if (unanswered) {
        unanswered_ = true;
        connection_.Shut();
    }
    up_ = false;
    keeper_.Wake();
}

// The connection has ended (or been shut): no answer comes any more.
void Link::Ended() {
    up_ = false;
    connection_.SetDead();
    mirror_.Invalidate();
    keeper_.Wake();
}

// Under the reader's lock: one line from the runtime; false when it cannot be read.
bool Link::Dispatch(std::string_view line) {
    const auto t = HexvaneWire::Split(line);
    if (t.size() >= 2 && t[0] == "=") {
        const auto seq = HexvaneWire::ParseWhole(t[1]);
        if (!seq) return false;
        if (connection_.Awaits(*seq)) {
            std::lock_guard<std::mutex> c(captureMutex_);
            if (captureHandle_ != 0) captured_ = mirror_.TagState(captureHandle_);
        }
        connection_.Deliver(*seq, Tokens(t.begin() + 2, t.end()));
        return true;
    }
    if (t.size() == 4 && t[0] == "!") {
        const auto client = HexvaneWire::ParseSigned(t[1]);
        const auto handle = HexvaneWire::ParseSigned(t[2]);
        const auto index = HexvaneWire::ParseSigned(t[3]);
        if (!client || !handle || !index) return false;
        // Taken in by a read on another thread: the reader thread runs it.
        notices_.Push(
            {static_cast<int32_t>(*client), static_cast<int32_t>(*handle), static_cast<int32_t>(*index)},
            t_reader);
        return true;
    }
    return mirror_.Apply(t);
}

}  // namespace ptserv
