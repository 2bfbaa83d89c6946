#include "platform/ptserv32/Reader.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/hexvane-sim/HexvaneProtocol.h"
#include "platform/ptserv32/Connection.h"
#include "platform/ptserv32/Session.h"

namespace ptserv {
namespace {
// A connection that has heard nothing for this long asks the runtime for a sign of life.
constexpr auto QuietBeforeCheck = std::chrono::seconds(1);
// How often the reader looks at the time.
constexpr int WatchEveryMs = 200;
}  // namespace

void Reader::Start(int wake, uint64_t number) {
    {
        std::lock_guard<std::mutex> rl(readMutex_);
        input_.clear();
        inputDead_ = false;
        number_ = number;
    }
    lastHeard_ = Clock::now().time_since_epoch().count();
    thread_ = std::thread([this, fd = connection_.Fd(), wake, number] { Loop(fd, wake, number); });
}

void Reader::Join() {
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        thread_.join();
}

void Reader::Drain() {
    const int fd = connection_.Fd();
    if (fd < 0) return;
    std::lock_guard<std::mutex> rl(readMutex_);
    ReadAvailable(fd);
}

void Reader::Loop(int fd, int wake, uint64_t number) {
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
        handlers_.notices();
        if (!open) break;
        if (!Answering(checked)) {
            handlers_.lost(number, Loss::NotAnswering);
            break;
        }
    }
}

// Under readMutex_: reads and handles every complete line waiting on the socket; false when the
// connection has ended or is lost. Runs no callback, so it never waits for the host.
bool Reader::ReadAvailable(int fd) {
    if (inputDead_) return false;
    char chunk[16384];
    Loss why = Loss::Ended;
    for (bool readable = true; readable;) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (n <= 0) break;
        input_.append(chunk, static_cast<std::size_t>(n));
        std::size_t start = 0, nl;
        while (readable && (nl = input_.find('\n', start)) != std::string::npos) {
            std::string_view line = std::string_view(input_).substr(start, nl - start);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            const LineKind kind = handlers_.line(line);
            if (kind == LineKind::Heard) lastHeard_ = Clock::now().time_since_epoch().count();
            readable = kind != LineKind::Unreadable;
            start = nl + 1;
        }
        input_.erase(0, start);
        if (!readable || input_.size() > HexvaneWire::MaxLine) {
            why = Loss::Unreadable;
            ::shutdown(fd, SHUT_RDWR);
            break;
        }
    }
    inputDead_ = true;
    handlers_.lost(number_, why);
    return false;
}

// On the reader thread: a connection quiet for a second asks for a sign of life; one that has
// heard nothing for the answer timeout since it was last heard, and has asked meanwhile, is lost
// (false).
bool Reader::Answering(Clock::time_point& checked) {
    const auto now = Clock::now();
    const Clock::time_point heard{Clock::duration(lastHeard_.load())};
    if (checked > heard && now - heard >= AnswerTimeout) return false;
    if (now - heard < QuietBeforeCheck || now - checked < QuietBeforeCheck) return true;
    checked = now;
    return connection_.SendCheck();
}

}  // namespace ptserv
