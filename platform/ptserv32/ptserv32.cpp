// PTSERV32.dll: the tag-manager library as a client of the running HMI runtime (hexvane-sim).
// One socket connection, opened on the first call that needs it (and again after it is lost);
// calls are request/answer, one at a time; a reader thread of the library takes the answers
// and the change notifications, and calls the installed callbacks on that thread. Needs no
// event loop of the host.
#include "platform/ptserv32/ptserv32.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/captions/RuntimeFolder.h"
#include "platform/hexvane-sim/HexvaneProtocol.h"

namespace {

using Tokens = std::vector<std::string>;
constexpr auto AnswerTimeout = std::chrono::seconds(5);

class Link {
  public:
    ~Link() {
        std::lock_guard<std::mutex> call(callMutex_);
        Disconnect();
    }

    // Sends one request and waits for its answer; nothing when the runtime cannot be reached,
    // the connection is lost or no answer comes in time.
    std::optional<Tokens> Call(const std::string& request) {
        // A call from inside a change callback would wait for the thread that runs it.
        if (std::this_thread::get_id() == readerId_.load()) return std::nullopt;
        std::lock_guard<std::mutex> call(callMutex_);
        if (!Connect()) return std::nullopt;
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

    // True when the runtime can be reached now.
    bool Reachable() {
        if (std::this_thread::get_id() == readerId_.load()) return true;
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
    // Under callMutex_.
    bool Connect() {
        {
            std::lock_guard<std::mutex> lk(stateMutex_);
            if (fd_ >= 0 && alive_ && !PeerGone(fd_)) return true;
        }
        Disconnect();
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
            std::lock_guard<std::mutex> lk(stateMutex_);
            fd_ = fd;
            alive_ = true;
        }
        reader_ = std::thread([this, fd] { ReadLoop(fd); });
        return true;
    }

    // Under callMutex_ (or in the destructor).
    void Disconnect() {
        if (fd_ < 0) return;
        ::shutdown(fd_, SHUT_RDWR);
        if (reader_.joinable()) {
            if (reader_.get_id() == std::this_thread::get_id())
                reader_.detach();
            else
                reader_.join();
        }
        ::close(fd_);
        std::lock_guard<std::mutex> lk(stateMutex_);
        fd_ = -1;
        alive_ = false;
    }

    // The runtime closed its end (the reader may not have noticed yet).
    static bool PeerGone(int fd) {
        pollfd p{fd, POLLRDHUP, 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
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

    void ReadLoop(int fd) {
        readerId_ = std::this_thread::get_id();
        std::string buffer;
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            buffer.append(chunk, static_cast<std::size_t>(n));
            std::size_t start = 0, nl;
            while ((nl = buffer.find('\n', start)) != std::string::npos) {
                Dispatch(std::string_view(buffer).substr(start, nl - start));
                start = nl + 1;
            }
            buffer.erase(0, start);
            if (buffer.size() > HexvaneWire::MaxLine) break;
        }
        readerId_ = std::thread::id();
        std::lock_guard<std::mutex> lk(stateMutex_);
        alive_ = false;
        answered_.notify_all();
    }

    void Dispatch(std::string_view line) {
        const auto t = HexvaneWire::Split(line);
        if (t.size() >= 2 && t[0] == "=") {
            const auto seq = HexvaneWire::ParseWhole(t[1]);
            std::lock_guard<std::mutex> lk(stateMutex_);
            if (seq && *seq == waitingSeq_) {
                answer_ = Tokens(t.begin() + 2, t.end());
                answered_.notify_all();
            }
        } else if (t.size() == 4 && t[0] == "!") {
            const auto client = HexvaneWire::ParseSigned(t[1]);
            const auto handle = HexvaneWire::ParseSigned(t[2]);
            const auto index = HexvaneWire::ParseSigned(t[3]);
            if (!client || !handle || !index) return;
            std::lock_guard<std::recursive_mutex> lk(callbackMutex_);
            const auto it = callbacks_.find(static_cast<int32_t>(*client));
            if (it != callbacks_.end())
                it->second(static_cast<int32_t>(*handle), static_cast<int32_t>(*index));
        }
    }

    std::mutex callMutex_;   // one call at a time; owns fd_ changes and reader_
    std::mutex stateMutex_;  // alive_, waitingSeq_, answer_
    std::condition_variable answered_;
    int fd_ = -1;
    bool alive_ = false;
    std::thread reader_;
    std::atomic<std::thread::id> readerId_{};
    uint64_t seq_ = 0;
    uint64_t waitingSeq_ = 0;
    std::optional<Tokens> answer_;
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
    if (!name) return PT_NO_TAG;
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

bool FillTime(std::string_view token, PT_TIME* time) {
    const auto t = HexvaneWire::ParseTime(token);
    if (!t || t->month < 1 || t->month > 12) return false;
    if (time) {
        time->wYear = static_cast<uint16_t>(t->year);
        time->wMonth = static_cast<uint16_t>(t->month);
        time->wDayOfWeek = DayOfWeek(t->year, t->month, t->day);
        time->wDay = static_cast<uint16_t>(t->day);
        time->wHour = static_cast<uint16_t>(t->hour);
        time->wMinute = static_cast<uint16_t>(t->minute);
        time->wSecond = static_cast<uint16_t>(t->second);
        time->wMilliseconds = 0;
    }
    return true;
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
    const auto a = TheLink().Call("GETV " + std::to_string(handle));
    if (!IsOne(a) || a->size() != 4) return 0;
    const auto st = HexvaneWire::ParseWhole((*a)[2]);
    const auto v = HexvaneWire::ParseNumber((*a)[3]);
    if (!st || !v || !FillTime((*a)[1], nullptr)) return 0;
    FillTime((*a)[1], time);
    if (status) *status = static_cast<uint16_t>(*st);
    if (value) *value = *v;
    return 1;
}

int16_t GetTagMessage(uint16_t handle, PT_TIME* time, uint16_t* status, char* text) {
    if (!text) return 0;
    const auto a = TheLink().Call("GETM " + std::to_string(handle));
    if (!IsOne(a) || a->size() != 4) return 0;
    const auto st = HexvaneWire::ParseWhole((*a)[2]);
    const auto msg = HexvaneWire::DecodeText((*a)[3]);
    if (!st || !msg || !FillTime((*a)[1], nullptr)) return 0;
    FillTime((*a)[1], time);
    if (status) *status = static_cast<uint16_t>(*st);
    const std::size_t n = Utf8PrefixForUnits(*msg, PT_MESSAGE_CHARS);
    std::memcpy(text, msg->data(), n);
    text[n] = '\0';
    return 1;
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
    if (!text) return 0;
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
