#include "platform/ptserv32/Connection.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ptserv32/RuntimeSocket.h"

namespace ptserv {

bool Connection::Open(const std::string& folder) {
    Close();
    std::string refusal;
    const int fd = ConnectRuntimeSocket(folder, refusal);
    {
        std::lock_guard<std::mutex> lk(mutex_);
        refusal_ = std::move(refusal);
    }
    if (fd < 0) return false;
    fd_ = fd;
    firstSeq_ = seq_ + 1;
    checksOpen_ = 0;
    std::lock_guard<std::mutex> lk(mutex_);
    ended_ = false;
    answer_.reset();
    waitingSeq_ = 0;
    return true;
}

std::string Connection::Refusal() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return refusal_;
}

void Connection::Close() {
    const int fd = fd_.exchange(-1);
    if (fd < 0) return;
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    EndWaits();
}

void Connection::Shut() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
    EndWaits();
}

void Connection::EndWaits() {
    std::lock_guard<std::mutex> lk(mutex_);
    ended_ = true;
    answered_.notify_all();
}

void Connection::Stop() {
    std::lock_guard<std::mutex> lk(mutex_);
    stopping_ = true;
    answered_.notify_all();
}

bool Connection::Awaits(uint64_t seq) const {
    std::lock_guard<std::mutex> lk(mutex_);
    // 0 is the number of the checks, which no call waits for.
    return seq != 0 && seq == waitingSeq_;
}

bool Connection::Answers(uint64_t seq) {
    if (seq != 0) return seq >= firstSeq_ && seq <= seq_;
    for (uint32_t open = checksOpen_; open > 0;)
        if (checksOpen_.compare_exchange_weak(open, open - 1)) return true;
    return false;
}

void Connection::Deliver(uint64_t seq, Tokens answer) {
    std::lock_guard<std::mutex> lk(mutex_);
    if (seq == 0 || seq != waitingSeq_) return;
    answer_ = std::move(answer);
    answered_.notify_all();
}

Connection::Result Connection::Exchange(const std::string& request, PT_WAIT_HOOK hook) {
    const uint64_t seq = ++seq_;
    {
        std::lock_guard<std::mutex> lk(mutex_);
        waitingSeq_ = seq;
        answer_.reset();
    }
    AnswerWait wait(hook);
    const Sent sent = SendAll(std::to_string(seq) + ' ' + request + '\n', wait);
    if (sent == Sent::Broken) Shut();  // the reader ends
    std::unique_lock<std::mutex> lk(mutex_);
    const auto done = [&] { return answer_.has_value() || ended_ || stopping_; };
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
    Result r;
    r.answer = std::move(answer_);
    answer_.reset();
    r.unanswered = !r.answer && !ended_ && sent != Sent::Broken;
    return r;
}

// Sends a whole line, while a runtime that takes nothing in leaves room for it up to the wait's
// end (Stuck after that); Broken when the connection has ended.
Connection::Sent Connection::SendAll(const std::string& data, AnswerWait& wait) {
    std::lock_guard<std::mutex> s(sendMutex_);
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return Sent::Broken;
        {
            std::lock_guard<std::mutex> lk(mutex_);
            if (stopping_) return Sent::Stuck;
        }
        if (wait.Expired() || wait.GivenUp()) return Sent::Stuck;
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, static_cast<int>(HookEvery.count()));
    }
    return Sent::Whole;
}

bool Connection::SendCheck() {
    std::unique_lock<std::mutex> s(sendMutex_, std::try_to_lock);
    if (!s.owns_lock()) return true;
    static constexpr char check[] = "0 PING\n";
    ++checksOpen_;
    const ssize_t n = ::send(fd_, check, sizeof check - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n <= 0) --checksOpen_;
    return n <= 0 || n == static_cast<ssize_t>(sizeof check - 1);
}

}  // namespace ptserv
