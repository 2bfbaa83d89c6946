// PTSERV32.dll: the tag-manager library as a client of the running HMI runtime (hexvane-sim).
// One socket connection, opened on the first call that needs it (and again after it is lost).
// On connecting, the library takes a snapshot of every tag; the runtime then sends it each
// change, ahead of its answer to the write and of the notifications of it. Names and reads are
// answered from that mirror after taking in what has arrived, without asking the runtime, so a
// read sees every write that has completed before it. Writes and advises are request/answer, one
// at a time. A reader thread of the library takes what the runtime sends and, holding no lock,
// runs the installed callbacks of the notifications in order, so a change reaches its callback
// without a further hand-over; it also asks a connection that has been quiet for a second for a
// sign of life. Needs no event loop of the host.
//
// A runtime that does not answer (a call, the snapshot or a sign of life unanswered within the
// answer timeout, or a wait that the host gives up) loses the link: from then on every call fails
// at once, and the library's keeper thread tries a new connection at most once a second until the
// runtime answers again. The host hears about every 50 ms from a wait of its calls (PtSetWaitHook)
// and asks whether the link is lost (PtIsLinkLost).
#include "platform/ptserv32/ptserv32.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/captions/RuntimeFolder.h"
#include "platform/hexvane-sim/ChangeCounter.h"
#include "platform/hexvane-sim/HexvaneProtocol.h"

namespace {

using Tokens = std::vector<std::string>;
using Clock = std::chrono::steady_clock;
constexpr auto AnswerTimeout = std::chrono::seconds(5);
// A connection that has heard nothing for this long asks the runtime for a sign of life.
constexpr auto QuietBeforeCheck = std::chrono::seconds(1);
// How often the keeper tries a new connection while the runtime does not answer.
constexpr auto RetryEvery = std::chrono::seconds(1);
// How often a waiting call of the host runs its wait hook, and the reader looks at the time.
constexpr auto HookEvery = std::chrono::milliseconds(50);
constexpr int WatchEveryMs = 200;
// Longest a call of the host waits for the keeper's turn before it fails.
constexpr auto TurnWait = std::chrono::milliseconds(100);

thread_local bool t_reader = false;  // a reader thread, which runs the change callbacks
thread_local bool t_inHook = false;  // inside the host's wait hook: calls fail at once

// One wait for an answer: its deadline and, for a call of the host, its wait hook about every
// 50 ms, which may give the wait up; a hook that was called hears the end of the wait.
class AnswerWait {
  public:
    explicit AnswerWait(PT_WAIT_HOOK hook)
        : hook_(hook), start_(Clock::now()), deadline_(start_ + AnswerTimeout) {}
    ~AnswerWait() {
        if (called_) Run(-1);
    }
    AnswerWait(const AnswerWait&) = delete;
    AnswerWait& operator=(const AnswerWait&) = delete;

    Clock::time_point Deadline() const { return deadline_; }
    bool Expired() const { return Clock::now() >= deadline_; }
    // True when the host gives the wait up.
    bool GivenUp() {
        if (!hook_) return false;
        called_ = true;
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_);
        return Run(static_cast<int32_t>(waited.count())) != 0;
    }

  private:
    int Run(int32_t waitedMs) {
        t_inHook = true;
        const int r = hook_(waitedMs);
        t_inHook = false;
        return r;
    }
    PT_WAIT_HOOK hook_;
    bool called_ = false;
    Clock::time_point start_, deadline_;
};

struct MirrorTag {
    bool ok = false;  // false after a state line that could not be read
    HexvaneWire::WireTime valueTime, messageTime;
    uint16_t status = 0;
    double value = 0;
    std::string message;
};

// The tags of the runtime as last heard: tags[h - 1] has handle h.
struct Mirror {
    std::vector<MirrorTag> tags;
    std::unordered_map<std::string, uint16_t> byKey;  // the runtime's upper-case names
};

bool ValidTime(const std::optional<HexvaneWire::WireTime>& t) {
    return t && t->month >= 1 && t->month <= 12;
}

// The state fields "handle vtime status value mtime :message" from t[i]; nothing when malformed.
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
    m.ok = ValidTime(vt) && ValidTime(mt) && st && *st <= 0xFFFF && v && msg;
    if (m.ok) {
        m.valueTime = *vt;
        m.messageTime = *mt;
        m.status = static_cast<uint16_t>(*st);
        m.value = *v;
        m.message = std::move(*msg);
    }
    return std::make_pair(static_cast<uint16_t>(*h), std::move(m));
}

class Link {
  public:
    ~Link() {
        std::thread keeper;
        {
            std::lock_guard<std::mutex> k(keeperMutex_);
            stopping_ = true;
            keeperWake_.notify_all();
            keeper = std::move(keeper_);
        }
        {
            std::lock_guard<std::mutex> lk(stateMutex_);
            answered_.notify_all();
        }
        if (keeper.joinable()) keeper.join();
        std::lock_guard<std::mutex> call(callMutex_);
        Disconnect();
    }

    // Sends one request and waits for its answer; nothing when the runtime cannot be reached,
    // the connection is lost or no answer comes in time.
    std::optional<Tokens> Call(const std::string& request) {
        // Kept out of change callbacks: a reconnect would wait for the thread that runs them.
        if (t_reader) return std::nullopt;
        const auto call = HostTurn();
        if (!call.owns_lock() || !Connect(true)) return std::nullopt;
        return Exchange(request, waitHook_.load());
    }

    // Runs `read` on the mirror while the runtime is connected (connecting first when needed);
    // false when it is not, else the result of `read`. What the runtime has sent so far is taken
    // in first. Inside a change callback the connection is up and is not touched otherwise.
    template <typename Read>
    bool WithMirror(Read read) {
        if (t_reader) {
            int fd;
            {
                std::lock_guard<std::mutex> lk(stateMutex_);
                fd = fd_;
            }
            if (fd >= 0) Drain(fd);
        } else {
            const auto call = HostTurn();
            if (!call.owns_lock() || !Connect(true)) return false;
        }
        std::lock_guard<std::mutex> lk(stateMutex_);
        return alive_ && mirrorReady_ && read(static_cast<const Mirror&>(mirror_));
    }

    // True when the runtime can be reached now.
    bool Reachable() {
        if (t_reader) return true;
        const auto call = HostTurn();
        return call.owns_lock() && Connect(true);
    }

    // Installs (or with nullptr removes) the callback of a client. On return no call of a
    // removed callback is running any more (unless it is the caller itself).
    void SetCallback(int32_t client, PT_ADVISE_CALLBACK cb) {
        std::lock_guard<std::recursive_mutex> lk(callbackMutex_);
        if (cb)
            callbacks_[client] = cb;
        else
            callbacks_.erase(client);
    }

    void SetWaitHook(PT_WAIT_HOOK hook) { waitHook_ = hook; }
    bool IsLost() const { return lost_; }

  private:
    struct Notice {
        int32_t client, handle, index;
    };

    // The call lock for a call of the host: none from inside its wait hook or while the runtime
    // does not answer, and none after a moment behind the keeper.
    std::unique_lock<std::mutex> HostTurn() {
        std::unique_lock<std::mutex> call(callMutex_, std::defer_lock);
        if (t_inHook || lost_) return call;
        for (const auto until = Clock::now() + TurnWait; !call.try_lock();) {
            if (Clock::now() >= until) return call;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (lost_) call.unlock();
        return call;
    }

    // Under callMutex_: the connection is up, with a complete snapshot, or has been made so. For a
    // call of the host (`host`) not while the link is lost, which is the keeper's to mend. A
    // runtime that takes the connection and gives no snapshot does not answer: the link is lost.
    bool Connect(bool host) {
        if (fd_ >= 0) {
            CatchUp();
            std::lock_guard<std::mutex> lk(stateMutex_);
            if (alive_ && mirrorReady_) return true;
        }
        if (host && lost_) return false;
        Disconnect();
        // The runtime's folder as the host sees it, kept for the keeper.
        if (host) folder_ = LedgrixRuntimeFolderPath();
        // Not in a folder where another user could have put the socket.
        if (!CheckRuntimeFolder(folder_).Usable()) return false;
        const std::string path = folder_ + "/hexvane.sock";
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (path.size() >= sizeof addr.sun_path) return false;
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        // Never blocks: a runtime whose queue of new connections is full refuses at once.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) return false;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd);
            return false;
        }
        {
            std::lock_guard<std::mutex> rl(readMutex_);
            input_.clear();
            inputDead_ = false;
        }
        changeCount_.Open(false, folder_);
        drainedCount_.reset();
        {
            std::lock_guard<std::mutex> q(noticeMutex_);
            notices_.clear();
        }
        noticeWake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        lastHeard_ = Clock::now().time_since_epoch().count();
        {
            std::lock_guard<std::mutex> lk(stateMutex_);
            fd_ = fd;
            alive_ = true;
            mirror_ = Mirror();
            mirrorReady_ = false;
            snapshotting_ = true;
            snapshotBad_ = false;
        }
        reader_ = std::thread([this, fd, wake = noticeWake_] { ReadLoop(fd, wake); });
        // The rows come before the answer: the mirror is complete when the answer is in.
        const auto a = Exchange("SNAP", host ? waitHook_.load() : nullptr);
        const auto count = a && a->size() == 1 ? HexvaneWire::ParseWhole((*a)[0]) : std::nullopt;
        {
            std::lock_guard<std::mutex> lk(stateMutex_);
            snapshotting_ = false;
            if (alive_ && count && !snapshotBad_ && *count == mirror_.tags.size()) {
                mirrorReady_ = true;
                lost_ = false;
                return true;
            }
        }
        Disconnect();
        MarkLost();
        return false;
    }

    // Under callMutex_ (or in the destructor).
    void Disconnect() {
        if (fd_ < 0) return;
        ::shutdown(fd_, SHUT_RDWR);
        Join(reader_);
        if (noticeWake_ >= 0) ::close(noticeWake_);
        noticeWake_ = -1;
        changeCount_.Close();
        ::close(fd_);
        std::lock_guard<std::mutex> lk(stateMutex_);
        fd_ = -1;
        alive_ = false;
        mirrorReady_ = false;
    }

    static void Join(std::thread& t) {
        if (!t.joinable()) return;
        if (t.get_id() == std::this_thread::get_id())
            t.detach();
        else
            t.join();
    }

    // The runtime does not answer on the connection `fd`: it is shut, so that its reader ends.
    void Lose(int fd) {
        {
            std::lock_guard<std::mutex> lk(stateMutex_);
            lost_ = true;
            alive_ = false;
            mirrorReady_ = false;
            answered_.notify_all();
        }
        ::shutdown(fd, SHUT_RDWR);
        MarkLost();
    }

    // From now on calls of the host fail at once; the keeper tries a new connection a second
    // from now, and then at most once a second, until the runtime answers again.
    void MarkLost() {
        lost_ = true;
        std::lock_guard<std::mutex> k(keeperMutex_);
        if (stopping_) return;
        nextTry_ = Clock::now() + RetryEvery;
        if (!keeper_.joinable()) keeper_ = std::thread([this] { KeepLoop(); });
        keeperWake_.notify_all();
    }

    // The keeper thread. The host's calls never wait for its attempts: they fail at once while the
    // link is lost, and give up after a moment when they meet one under way.
    void KeepLoop() {
        std::unique_lock<std::mutex> k(keeperMutex_);
        while (!stopping_) {
            if (!lost_) {
                keeperWake_.wait(k);
                continue;
            }
            if (Clock::now() < nextTry_) {
                keeperWake_.wait_until(k, nextTry_);
                continue;
            }
            nextTry_ = Clock::now() + RetryEvery;
            k.unlock();
            {
                std::lock_guard<std::mutex> call(callMutex_);
                if (lost_ && !stopping_) Connect(false);
            }
            k.lock();
        }
    }

    // One request and its answer on the open connection. Under callMutex_. The host's wait hook
    // (none for the keeper) runs meanwhile. No answer within the answer timeout, or a wait that
    // the hook gives up, loses the link; a connection that ends meanwhile does not.
    std::optional<Tokens> Exchange(const std::string& request, PT_WAIT_HOOK hook) {
        const uint64_t seq = ++seq_;
        {
            std::lock_guard<std::mutex> lk(stateMutex_);
            waitingSeq_ = seq;
            answer_.reset();
        }
        AnswerWait wait(hook);
        const Sent sent = SendAll(std::to_string(seq) + ' ' + request + '\n', wait);
        if (sent == Sent::Broken) ::shutdown(fd_, SHUT_RDWR);  // the reader ends and marks the link dead
        std::unique_lock<std::mutex> lk(stateMutex_);
        const auto done = [&] { return answer_.has_value() || !alive_ || stopping_; };
        while (sent == Sent::Whole && !done()) {
            if (wait.Expired() ||
                answered_.wait_until(lk, std::min(Clock::now() + HookEvery, wait.Deadline()), done))
                break;
            lk.unlock();
            const bool givenUp = wait.GivenUp();
            lk.lock();
            if (givenUp) break;
        }
        waitingSeq_ = 0;
        std::optional<Tokens> result = std::move(answer_);
        answer_.reset();
        const bool unanswered = !result && alive_ && sent != Sent::Broken;
        lk.unlock();
        if (unanswered) Lose(fd_);
        return result;
    }

    enum class Sent { Whole, Broken, Stuck };

    // Sends a whole line, while a runtime that takes nothing in leaves room for it up to the
    // wait's end (Stuck after that); Broken when the connection has ended.
    Sent SendAll(const std::string& data, AnswerWait& wait) {
        std::lock_guard<std::mutex> s(sendMutex_);
        std::size_t sent = 0;
        while (sent < data.size()) {
            const ssize_t n =
                ::send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return Sent::Broken;
            if (stopping_ || wait.Expired() || wait.GivenUp()) return Sent::Stuck;
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, static_cast<int>(HookEvery.count()));
        }
        return Sent::Whole;
    }

    // On the reader thread: asks the runtime for a sign of life (its answer, like every line it
    // sends, counts as heard), unless a call is sending just now. A check half sent leaves the
    // stream unusable: the link is lost.
    bool SendCheck(int fd) {
        std::unique_lock<std::mutex> s(sendMutex_, std::try_to_lock);
        if (!s.owns_lock()) return true;
        static constexpr char check[] = "0 PING\n";
        const ssize_t n = ::send(fd, check, sizeof check - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        return n <= 0 || n == static_cast<ssize_t>(sizeof check - 1);
    }

    // Under callMutex_: takes in what the runtime has sent so far, unless its change count shows
    // that no state line has been sent since the last time. A runtime without the count is
    // always asked.
    void CatchUp() {
        if (!changeCount_.IsOpen()) {
            Drain(fd_);
            return;
        }
        const uint64_t count = changeCount_.Load();
        if (drainedCount_ == count) return;
        Drain(fd_);
        drainedCount_ = count;
    }

    // Takes in whatever the runtime has sent so far, on the calling thread.
    void Drain(int fd) {
        std::lock_guard<std::mutex> rl(readMutex_);
        ReadAvailable(fd);
    }

    // Under readMutex_: reads and handles every complete line waiting on the socket; false when
    // the connection has ended. Runs no callback, so it never waits for the host.
    bool ReadAvailable(int fd) {
        if (inputDead_) return false;
        char chunk[16384];
        for (;;) {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
            if (n <= 0) break;
            lastHeard_ = Clock::now().time_since_epoch().count();
            input_.append(chunk, static_cast<std::size_t>(n));
            std::size_t start = 0, nl;
            while ((nl = input_.find('\n', start)) != std::string::npos) {
                Dispatch(std::string_view(input_).substr(start, nl - start));
                start = nl + 1;
            }
            input_.erase(0, start);
            if (input_.size() > HexvaneWire::MaxLine) break;
        }
        inputDead_ = true;
        std::lock_guard<std::mutex> lk(stateMutex_);
        alive_ = false;
        mirrorReady_ = false;
        answered_.notify_all();
        return false;
    }

    // The reader thread: takes in what arrives and runs the callbacks of its notifications, and
    // of those that a read on another thread took in (which wakes it through `wake`); watches
    // that the runtime still answers.
    void ReadLoop(int fd, int wake) {
        t_reader = true;
        Clock::time_point checked{};  // the last sign of life asked for
        for (;;) {
            pollfd p[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
            const int r = ::poll(p, wake >= 0 ? 2 : 1, WatchEveryMs);
            if (r < 0 && errno == EINTR) continue;
            if (r > 0 && (p[1].revents & POLLIN)) {
                eventfd_t n;
                ::eventfd_read(wake, &n);
            }
            bool open = true;
            {
                std::lock_guard<std::mutex> rl(readMutex_);
                if (r < 0) {
                    ::shutdown(fd, SHUT_RDWR);
                    ReadAvailable(fd);
                    open = false;
                } else if (p[0].revents != 0) {
                    open = ReadAvailable(fd);
                }
            }
            RunNotices();
            if (!open || !Answering(fd, checked)) break;
        }
    }

    // On the reader thread: a connection quiet for a second asks for a sign of life; one that has
    // heard nothing for the answer timeout since it was last heard, and has asked meanwhile, is
    // lost (false).
    bool Answering(int fd, Clock::time_point& checked) {
        const auto now = Clock::now();
        const Clock::time_point heard{Clock::duration(lastHeard_.load())};
        if (checked > heard && now - heard >= AnswerTimeout) {
            Lose(fd);
            return false;
        }
        if (now - heard < QuietBeforeCheck || now - checked < QuietBeforeCheck) return true;
        checked = now;
        if (SendCheck(fd)) return true;
        Lose(fd);
        return false;
    }

    // Calls the installed callbacks of the notifications taken in, in their order; no lock of
    // the library is held but the callbacks' own, so a callback may read.
    void RunNotices() {
        for (;;) {
            Notice n;
            {
                std::lock_guard<std::mutex> q(noticeMutex_);
                if (notices_.empty()) return;
                n = notices_.front();
                notices_.pop_front();
            }
            std::lock_guard<std::recursive_mutex> lk(callbackMutex_);
            const auto it = callbacks_.find(n.client);
            if (it != callbacks_.end()) it->second(n.handle, n.index);
        }
    }

    // Under readMutex_.
    void Dispatch(std::string_view line) {
        const auto t = HexvaneWire::Split(line);
        if (t.size() >= 2 && t[0] == "=") {
            const auto seq = HexvaneWire::ParseWhole(t[1]);
            std::lock_guard<std::mutex> lk(stateMutex_);
            // 0 is the number of the checks, which no call waits for.
            if (seq && *seq != 0 && *seq == waitingSeq_) {
                answer_ = Tokens(t.begin() + 2, t.end());
                answered_.notify_all();
            }
        } else if (t.size() == 7 && t[0] == "$") {
            auto s = ParseState(t, 1);
            if (!s) return;
            std::lock_guard<std::mutex> lk(stateMutex_);
            if (s->first <= mirror_.tags.size()) mirror_.tags[s->first - 1] = std::move(s->second);
        } else if (t.size() == 9 && t[0] == "*") {
            auto s = ParseState(t, 1);
            const auto key = HexvaneWire::DecodeText(t[8]);
            std::lock_guard<std::mutex> lk(stateMutex_);
            if (!snapshotting_) return;
            // Rows come in handle order, 1, 2, ...
            if (!s || !s->second.ok || !key || s->first != mirror_.tags.size() + 1) {
                snapshotBad_ = true;
                return;
            }
            mirror_.byKey.emplace(*key, s->first);
            mirror_.tags.push_back(std::move(s->second));
        } else if (t.size() == 4 && t[0] == "!") {
            const auto client = HexvaneWire::ParseSigned(t[1]);
            const auto handle = HexvaneWire::ParseSigned(t[2]);
            const auto index = HexvaneWire::ParseSigned(t[3]);
            if (!client || !handle || !index) return;
            {
                std::lock_guard<std::mutex> q(noticeMutex_);
                notices_.push_back({static_cast<int32_t>(*client), static_cast<int32_t>(*handle),
                                    static_cast<int32_t>(*index)});
            }
            // Taken in by a read on another thread: the reader thread runs it.
            if (!t_reader && noticeWake_ >= 0) ::eventfd_write(noticeWake_, 1);
        }
    }

    // Lock order: callMutex_, sendMutex_ / readMutex_, stateMutex_ / noticeMutex_; keeperMutex_
    // alone. callbackMutex_ is held while a callback runs, which may read (readMutex_,
    // stateMutex_).
    std::mutex callMutex_;                  // one call at a time; owns fd_ changes and the threads
    std::string folder_;                    // the runtime folder, under callMutex_
    ChangeCounter changeCount_;             // under callMutex_
    std::optional<uint64_t> drainedCount_;  // the count seen before the last catch-up
    std::mutex sendMutex_;                  // one line at a time on the socket
    std::mutex readMutex_;                  // input_, inputDead_: one thread reads the socket at a time
    std::mutex stateMutex_;                 // alive_, waitingSeq_, answer_, the mirror
    std::condition_variable answered_;
    int fd_ = -1;
    bool alive_ = false;
    std::atomic<bool> lost_{false};                // the runtime does not answer
    std::atomic<Clock::rep> lastHeard_{0};         // when the runtime last sent anything
    std::atomic<PT_WAIT_HOOK> waitHook_{nullptr};  // the host's, for its calls' waits
    std::thread reader_;
    std::string input_;
    bool inputDead_ = false;
    uint64_t seq_ = 0;
    uint64_t waitingSeq_ = 0;
    std::optional<Tokens> answer_;
    Mirror mirror_;
    bool mirrorReady_ = false;  // a complete snapshot of the open connection
    bool snapshotting_ = false;
    bool snapshotBad_ = false;
    int noticeWake_ = -1;  // wakes the reader thread for a notification
    std::mutex noticeMutex_;
    std::deque<Notice> notices_;
    std::recursive_mutex callbackMutex_;
    std::map<int32_t, PT_ADVISE_CALLBACK> callbacks_;
    std::mutex keeperMutex_;  // the keeper thread, stopping_, nextTry_
    std::condition_variable keeperWake_;
    std::thread keeper_;
    std::atomic<bool> stopping_{false};
    Clock::time_point nextTry_{};
};

Link& TheLink() {
    static Link link;
    return link;
}

bool IsOne(const std::optional<Tokens>& a) {
    return a && !a->empty() && (*a)[0] == "1";
}

uint16_t Lookup(const char* name) {
    if (!name || std::strlen(name) > HexvaneWire::MaxText) return PT_NO_TAG;  // no tag has such a name
    std::string key = name;
    bool ascii = true;
    for (char& c : key) {
        if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    if (ascii) {
        uint16_t h = PT_NO_TAG;
        TheLink().WithMirror([&](const Mirror& m) {
            const auto it = m.byKey.find(key);
            if (it != m.byKey.end()) h = it->second;
            return true;
        });
        return h;
    }
    // Letter case beyond ASCII is the runtime's to judge.
    const auto a = TheLink().Call("FIND " + HexvaneWire::EncodeText(name));
    const auto h = a && a->size() == 1 ? HexvaneWire::ParseWhole((*a)[0]) : std::nullopt;
    return h && *h > 0 && *h < PT_NO_TAG ? static_cast<uint16_t>(*h) : PT_NO_TAG;
}

// Day of the week, 1 Sunday to 7 Saturday.
uint16_t DayOfWeek(int y, int m, int d) {
    static const int offset[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) y -= 1;
    return static_cast<uint16_t>((y + y / 4 - y / 100 + y / 400 + offset[(m - 1) % 12] + d) % 7 + 1);
}

void FillTime(const HexvaneWire::WireTime& t, PT_TIME* time) {
    if (!time) return;
    time->wYear = static_cast<uint16_t>(t.year);
    time->wMonth = static_cast<uint16_t>(t.month);
    time->wDayOfWeek = DayOfWeek(t.year, t.month, t.day);
    time->wDay = static_cast<uint16_t>(t.day);
    time->wHour = static_cast<uint16_t>(t.hour);
    time->wMinute = static_cast<uint16_t>(t.minute);
    time->wSecond = static_cast<uint16_t>(t.second);
    time->wMilliseconds = 0;
}

const MirrorTag* TagOf(const Mirror& m, uint16_t handle) {
    if (handle == 0 || handle > m.tags.size() || !m.tags[handle - 1].ok) return nullptr;
    return &m.tags[handle - 1];
}

std::string TimeToken(const PT_TIME* time) {
    if (!time) return "-";
    return HexvaneWire::FormatTime(
        {time->wYear, time->wMonth, time->wDay, time->wHour, time->wMinute, time->wSecond});
}

// The longest start of a UTF-8 text that holds at most `units` UTF-16 units.
std::size_t Utf8PrefixForUnits(const std::string& s, std::size_t units) {
    std::size_t pos = 0, used = 0;
    while (pos < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[pos]);
        const std::size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        const std::size_t need = len == 4 ? 2 : 1;
        if (used + need > units || pos + len > s.size()) break;
        used += need;
        pos += len;
    }
    return pos;
}

}  // namespace

extern "C" {

uint16_t RegisterTag(const char* name) {
    return Lookup(name);
}

uint16_t FindTag(const char* name) {
    return Lookup(name);
}

int16_t GetTagValue(uint16_t handle, PT_TIME* time, uint16_t* status, double* value) {
    return TheLink().WithMirror([&](const Mirror& m) {
        const MirrorTag* t = TagOf(m, handle);
        if (!t) return false;
        FillTime(t->valueTime, time);
        if (status) *status = t->status;
        if (value) *value = t->value;
        return true;
    })
               ? 1
               : 0;
}

int16_t GetTagMessage(uint16_t handle, PT_TIME* time, uint16_t* status, char* text) {
    if (!text) return 0;
    return TheLink().WithMirror([&](const Mirror& m) {
        const MirrorTag* t = TagOf(m, handle);
        if (!t) return false;
        FillTime(t->messageTime, time);
        if (status) *status = t->status;
        const std::size_t n = Utf8PrefixForUnits(t->message, PT_MESSAGE_CHARS);
        std::memcpy(text, t->message.data(), n);
        text[n] = '\0';
        return true;
    })
               ? 1
               : 0;
}

int16_t SetTagValue(uint16_t handle, const PT_TIME* time, uint16_t statusMask, uint16_t statusBits,
                    double* value, int32_t client) {
    if (!value) return 0;
    const auto a = TheLink().Call("SETV " + std::to_string(handle) + ' ' + TimeToken(time) + ' ' +
                                  std::to_string(statusMask) + ' ' + std::to_string(statusBits) + ' ' +
                                  HexvaneWire::FormatNumber(*value) + ' ' + std::to_string(client));
    return IsOne(a) ? 1 : 0;
}

int16_t SetTagMessage(uint16_t handle, const PT_TIME* time, uint16_t statusMask, uint16_t statusBits,
                      const char* text, int32_t client) {
    // A text the runtime would refuse is not sent.
    if (!text || std::strlen(text) > HexvaneWire::MaxText) return 0;
    const auto a = TheLink().Call("SETM " + std::to_string(handle) + ' ' + TimeToken(time) + ' ' +
                                  std::to_string(statusMask) + ' ' + std::to_string(statusBits) + ' ' +
                                  HexvaneWire::EncodeText(text) + ' ' + std::to_string(client));
    return IsOne(a) ? 1 : 0;
}

int16_t SetAdviseCallback(int32_t client, PT_ADVISE_CALLBACK callback) {
    TheLink().SetCallback(client, callback);
    if (!callback) return 1;
    return TheLink().Reachable() ? 1 : 0;
}

int16_t TagAdvise(uint16_t handle, int32_t client, int32_t index) {
    const auto a = TheLink().Call("ADV " + std::to_string(handle) + ' ' + std::to_string(client) + ' ' +
                                  std::to_string(index));
    const auto id = a && a->size() == 1 ? HexvaneWire::ParseWhole((*a)[0]) : std::nullopt;
    return id && *id <= 32767 ? static_cast<int16_t>(*id) : 0;
}

int16_t TagUnadvise(uint16_t handle, int16_t adviseId) {
    const auto a = TheLink().Call("UNADV " + std::to_string(handle) + ' ' + std::to_string(adviseId));
    return IsOne(a) ? 1 : 0;
}

void PtSetWaitHook(PT_WAIT_HOOK hook) {
    TheLink().SetWaitHook(hook);
}

int16_t PtIsLinkLost(void) {
    return TheLink().IsLost() ? 1 : 0;
}

}  // extern "C"
