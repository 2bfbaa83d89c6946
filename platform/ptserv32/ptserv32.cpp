// PTSERV32.dll: the tag-manager library as a client of the running HMI runtime (hexvane-sim).
// One socket connection, opened on the first call that needs it (and again after it is lost).
// On connecting, the library takes a snapshot of every tag; the runtime then sends it each
// change, ahead of its answer to the write and of the notifications of it. Names and reads are
// answered from that mirror after taking in what has arrived, without asking the runtime, so a
// read sees every write that has completed before it. Writes and advises are request/answer, one
// at a time. A reader thread of the library takes what the runtime sends and, holding no lock,
// runs the installed callbacks of the notifications in order, so a change reaches its callback
// without a further hand-over. Needs no event loop of the host.
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
constexpr auto AnswerTimeout = std::chrono::seconds(5);

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
        std::lock_guard<std::mutex> call(callMutex_);
        Disconnect();
    }

    // Sends one request and waits for its answer; nothing when the runtime cannot be reached,
    // the connection is lost or no answer comes in time.
    std::optional<Tokens> Call(const std::string& request) {
        // Kept out of change callbacks: a reconnect would wait for the thread that runs them.
        if (OnCallbackThread()) return std::nullopt;
        std::lock_guard<std::mutex> call(callMutex_);
        if (!Connect()) return std::nullopt;
        return Exchange(request);
    }

    // Runs `read` on the mirror while the runtime is connected (connecting first when needed);
    // false when it is not, else the result of `read`. What the runtime has sent so far is taken
    // in first. Inside a change callback the connection is up and is not touched otherwise.
    template <typename Read>
    bool WithMirror(Read read) {
        if (OnCallbackThread()) {
            int fd;
            {
                std::lock_guard<std::mutex> lk(stateMutex_);
                fd = fd_;
            }
            if (fd >= 0) Drain(fd);
        } else {
            std::lock_guard<std::mutex> call(callMutex_);
            if (!Connect()) return false;
        }
        std::lock_guard<std::mutex> lk(stateMutex_);
        return alive_ && mirrorReady_ && read(static_cast<const Mirror&>(mirror_));
    }

    // True when the runtime can be reached now.
    bool Reachable() {
        if (OnCallbackThread()) return true;
        std::lock_guard<std::mutex> call(callMutex_);
        return Connect();
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

  private:
    struct Notice {
        int32_t client, handle, index;
    };

    bool OnCallbackThread() const { return std::this_thread::get_id() == callbackId_.load(); }

    // Under callMutex_: the connection is up, with a complete snapshot, or has been made so.
    bool Connect() {
        if (fd_ >= 0) {
            CatchUp();
            std::lock_guard<std::mutex> lk(stateMutex_);
            if (alive_ && mirrorReady_) return true;
        }
        Disconnect();
        // Not in a folder where another user could have put the socket.
        if (!CheckRuntimeFolder(LedgrixRuntimeFolderPath()).Usable()) return false;
        const std::string path = HexvaneSocketPath();
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (path.size() >= sizeof addr.sun_path) return false;
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
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
        changeCount_.Open(false);
        drainedCount_.reset();
        {
            std::lock_guard<std::mutex> q(noticeMutex_);
            notices_.clear();
        }
        noticeWake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
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
        const auto a = Exchange("SNAP");
        const auto count = a && a->size() == 1 ? HexvaneWire::ParseWhole((*a)[0]) : std::nullopt;
        {
            std::lock_guard<std::mutex> lk(stateMutex_);
            snapshotting_ = false;
            if (alive_ && count && !snapshotBad_ && *count == mirror_.tags.size()) {
                mirrorReady_ = true;
                return true;
            }
        }
        Disconnect();
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

    // One request and its answer on the open connection. Under callMutex_.
    std::optional<Tokens> Exchange(const std::string& request) {
        const uint64_t seq = ++seq_;
        {
            std::lock_guard<std::mutex> lk(stateMutex_);
            waitingSeq_ = seq;
            answer_.reset();
        }
        const std::string line = std::to_string(seq) + ' ' + request + '\n';
        if (!SendAll(line)) {
            ::shutdown(fd_, SHUT_RDWR);  // the reader ends and marks the link dead
            return std::nullopt;
        }
        std::unique_lock<std::mutex> lk(stateMutex_);
        answered_.wait_for(lk, AnswerTimeout, [&] { return answer_.has_value() || !alive_; });
        waitingSeq_ = 0;
        std::optional<Tokens> result = std::move(answer_);
        answer_.reset();
        return result;
    }

    bool SendAll(const std::string& data) {
        std::size_t sent = 0;
        while (sent < data.size()) {
            const ssize_t n = ::send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
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
    // of those that a read on another thread took in (which wakes it through `wake`).
    void ReadLoop(int fd, int wake) {
        callbackId_ = std::this_thread::get_id();
        for (;;) {
            pollfd p[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
            const int r = ::poll(p, wake >= 0 ? 2 : 1, -1);
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
            if (!open) break;
        }
        callbackId_ = std::thread::id();
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
            if (seq && *seq == waitingSeq_) {
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
            if (!OnCallbackThread() && noticeWake_ >= 0) ::eventfd_write(noticeWake_, 1);
        }
    }

    // Lock order: callMutex_, readMutex_, stateMutex_ / noticeMutex_. callbackMutex_ is held
    // while a callback runs, which may read (readMutex_, stateMutex_).
    std::mutex callMutex_;                  // one call at a time; owns fd_ changes and the threads
    ChangeCounter changeCount_;             // under callMutex_
    std::optional<uint64_t> drainedCount_;  // the count seen before the last catch-up
    std::mutex readMutex_;                  // input_, inputDead_: one thread reads the socket at a time
    std::mutex stateMutex_;                 // alive_, waitingSeq_, answer_, the mirror
    std::condition_variable answered_;
    int fd_ = -1;
    bool alive_ = false;
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
    std::atomic<std::thread::id> callbackId_{};  // the reader thread, which runs the callbacks
    int noticeWake_ = -1;                        // wakes the reader thread for a notification
    std::mutex noticeMutex_;
    std::deque<Notice> notices_;
    std::recursive_mutex callbackMutex_;
    std::map<int32_t, PT_ADVISE_CALLBACK> callbacks_;
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

}  // extern "C"
