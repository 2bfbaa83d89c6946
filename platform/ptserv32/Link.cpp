#include "platform/ptserv32/Link.h"

#include <cerrno>
#include <thread>

#include "platform/captions/RuntimeFolder.h"

namespace ptserv {
namespace {
// Longest a call of the host waits for the keeper's turn before it fails.
constexpr auto TurnWait = std::chrono::milliseconds(100);

std::string AdviseRequest(uint16_t r, int32_t client, int32_t index) {
    return "ADV " + std::to_string(r) + ' ' + std::to_string(client) + ' ' + std::to_string(index);
}

std::string UnadviseRequest(uint16_t r, uint64_t runtimeId) {
    return "UNADV " + std::to_string(r) + ' ' + std::to_string(runtimeId);
}
}  // namespace

Link::Link()
    : notices_([this](const Notice& n) { return kept_.Deliver(n.advise, n.state); }),
      dispatch_(connection_, mirror_, kept_, notices_),
      reader_(connection_, {[this](std::string_view line) {
                                const LineKind kind = dispatch_.Line(line);
                                if (kind == LineKind::Heard) session_.Heard();
                                return kind;
                            },
                            [this] { notices_.Run(); }, [this](uint64_t c, Loss why) { Lose(c, why); }}),
      keeper_([this] { return session_.Now() != Phase::Up; },
              [this] {
                  std::lock_guard<std::mutex> call(callMutex_);
                  if (session_.Now() != Phase::Up && !keeper_.Stopping()) Connect(false);
              }) {}

Link::~Link() {
    connection_.Stop();
    keeper_.Stop();
    std::lock_guard<std::mutex> call(callMutex_);
    Disconnect();
}

// Connection `c` is lost: the session says so (unless it has heard of it already or `c` is no
// longer the current connection), no answer comes any more, and the keeper mends the link.
void Link::Lose(uint64_t c, Loss why) {
    if (!session_.Lose(c, why)) return;
    if (why == Loss::Ended)
        connection_.EndWaits();
    else
        connection_.Shut();  // its reader ends
    keeper_.Wake();
}

std::unique_lock<std::mutex> Link::HostCall() {
    // Kept out of change callbacks: a reconnect would wait for the thread that runs them.
    if (t_reader) return {};
    auto call = HostTurn();
    if (call.owns_lock() && !Connect(true)) call.unlock();
    return call;
}

uint16_t Link::Find(const std::string& request) {
    const auto call = HostCall();
    if (!call.owns_lock()) return PT_NO_TAG;
    const auto r = OneNumber(Ask(request));
    return r ? mirror_.HandleOfRuntime(*r) : PT_NO_TAG;
}

// Under callMutex_, on the open connection: a request of the host and its answer; a runtime that
// does not answer loses the link.
std::optional<Tokens> Link::Ask(const std::string& request) {
    const uint64_t c = session_.Connection();
    auto r = connection_.Exchange(request, waitHook_.load());
    if (r.unanswered) Lose(c, Loss::NotAnswering);
    return std::move(r.answer);
}

bool Link::Ready() {
    if (t_reader) {
        reader_.Drain();
    } else if (!HostCall().owns_lock()) {
        return false;
    }
    return session_.Now() == Phase::Up;
}

uint16_t Link::HandleOfKey(const std::string& key) {
    return Ready() ? mirror_.HandleOfKey(key) : PT_NO_TAG;
}

bool Link::IsPresent(uint16_t handle) const {
    return session_.Now() == Phase::Up &&
           mirror_.Read([&](const Mirror& m) { return m.Runtime(handle) != 0; });
}

bool Link::Reachable() {
    return t_reader || HostCall().owns_lock();
}

int16_t Link::Advise(uint16_t handle, int32_t client, int32_t index) {
    const auto call = HostCall();
    const uint16_t r = call.owns_lock() ? mirror_.Runtime(handle) : 0;
    if (r == 0) return 0;
    const int16_t id = kept_.Keep(handle, client, index);
    if (id == 0) return 0;
    dispatch_.AdviseUnderWay(id, r, true);
    const auto rid = OneNumber(Ask(AdviseRequest(r, client, index)));
    dispatch_.AdviseUnderWay(0, 0, false);
    if (rid && *rid != 0 && kept_.InForce(id, session_.Connection(), *rid, r)) return id;
    kept_.Drop(handle, id);
    return 0;
}

int16_t Link::Unadvise(uint16_t handle, int16_t id) {
    // Told to the runtime under the call lock when it can be had; without it (an attempt to
    // connect under way, a runtime that does not answer) the runtime is told by the next call
    // that has it, on the same connection.
    std::unique_lock<std::mutex> call;
    if (!t_reader) call = HostTurn();
    if (!kept_.Drop(handle, id)) return 0;
    notices_.Barrier();  // its callback may be running just now
    if (call.owns_lock() && session_.Now() == Phase::Up) TellUnadvised();
    return 1;
}

// Under callMutex_ with the link up: tells the runtime of the advises dropped while it could not
// be told. Those of an earlier connection the runtime dropped with that connection.
void Link::TellUnadvised() {
    const uint64_t c = session_.Connection();
    for (const Untold& u : kept_.TakeUntold())
        if (u.connection == c && session_.IsUp(c)) Ask(UnadviseRequest(u.runtimeNumber, u.runtimeId));
}

// The call lock for a call of the host: none from inside its wait hook or while the runtime does
// not answer, and none after a moment behind the keeper.
std::unique_lock<std::mutex> Link::HostTurn() {
    std::unique_lock<std::mutex> call(callMutex_, std::defer_lock);
    if (t_inHook || session_.Now() == Phase::NotAnswering) return call;
    for (const auto until = Clock::now() + TurnWait; !call.try_lock();) {
        if (Clock::now() >= until) return call;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (session_.Now() == Phase::NotAnswering) call.unlock();
    return call;
}

// Under callMutex_: the link is up, or has been made so: a connection with its snapshot and every
// kept advise made again on it. A call of the host (`host`) makes no new connection while the
// runtime does not answer, which is the keeper's to mend; it does while the runtime is merely
// absent, which costs little.
bool Link::Connect(bool host) {
    if (session_.Now() == Phase::Up) {
        CatchUp();
        if (session_.Now() == Phase::Up) TellUnadvised();
        if (session_.Now() == Phase::Up) return true;
    }
    if (host && session_.Now() == Phase::NotAnswering) return false;
    Disconnect();
    if (host) folder_ = LedgrixRuntimeFolderPath();
    // Not in a folder where another user could have put the socket; a folder that does not exist
    // is a runtime merely absent.
    const RuntimeFolderState folder = CheckRuntimeFolder(folder_);
    if (!folder.Usable() || !connection_.Open(folder_)) {
        const bool missing = folder.fault == RuntimeFolderFault::Unavailable && folder.error == ENOENT;
        session_.Refused(folder.Usable() ? connection_.Refusal()
                         : missing       ? std::string()
                                         : RuntimeFolderRefusal(folder_, folder));
        keeper_.Wake();
        return false;
    }
    const uint64_t c = session_.BeginConnecting();
    changeCount_.Open(false, folder_);
    drainedCount_.reset();
    kept_.ForgetRuntimeIds();
    mirror_.BeginSnapshot();
    reader_.Start(notices_.Open(), c);
    const PT_WAIT_HOOK hook = host ? waitHook_.load() : nullptr;
    // The rows come before the answer: the mirror is complete when the answer is in.
    const auto snap = connection_.Exchange("SNAP", hook);
    std::optional<Loss> loss;
    if (snap.unanswered)
        loss = Loss::NotAnswering;
    else if (!snap.answer)
        loss = Loss::Ended;
    else if (!mirror_.EndSnapshot(OneNumber(snap.answer)))
        loss = Loss::Unreadable;
    else
        loss = Readvise(c, hook);
    if (!loss && session_.MadeUp(c)) {
        notices_.Release();
        TellUnadvised();
        return session_.Now() == Phase::Up;
    }
    Lose(c, loss.value_or(Loss::Ended));  // nothing new when the reader told first
    Disconnect();
    return false;
}

// Under callMutex_, on the new connection `c` with its snapshot: makes every kept advise again
// whose tag this runtime has (the others wait for one that has it). Each advise whose tag's state
// when the runtime took it differs from the state its callback last delivered gets one
// notification (Dispatch); later changes the runtime notifies. Nothing when all went through,
// else why the connection failed.
std::optional<Loss> Link::Readvise(uint64_t c, PT_WAIT_HOOK hook) {
    for (const KeptAdvise& k : kept_.All()) {
        const uint16_t r = mirror_.Runtime(k.handle);
        if (r == 0) continue;
        dispatch_.AdviseUnderWay(k.id, r, false);
        const auto res = connection_.Exchange(AdviseRequest(r, k.client, k.index), hook);
        dispatch_.AdviseUnderWay(0, 0, false);
        if (res.unanswered) return Loss::NotAnswering;
        if (!res.answer) return Loss::Ended;
        const auto rid = OneNumber(res.answer);
        if (!rid) return Loss::Unreadable;
        if (*rid == 0) continue;
        if (!kept_.InForce(k.id, c, *rid, r))  // unadvised meanwhile
            connection_.Exchange(UnadviseRequest(r, *rid), hook);
    }
    return std::nullopt;
}

// Under callMutex_ (or in the destructor).
void Link::Disconnect() {
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

}  // namespace ptserv
