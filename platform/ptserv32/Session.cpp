#include "platform/ptserv32/Session.h"

namespace ptserv {
namespace {
const char* Reason(Loss why) {
    switch (why) {
        case Loss::Ended:
            return "the runtime ended the connection";
        case Loss::NotAnswering:
            return "the runtime does not answer";
        case Loss::Unreadable:
            return "the runtime sent a line that cannot be read";
    }
    return "";
}
}  // namespace

Phase Session::Now() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return phase_;
}

uint64_t Session::Connection() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return connection_;
}

bool Session::IsUp(uint64_t connection) const {
    std::lock_guard<std::mutex> lk(mutex_);
    return phase_ == Phase::Up && connection_ == connection;
}

bool Session::IsLost() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return lost_;
}

uint32_t Session::Generation() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return generation_;
}

uint64_t Session::BeginConnecting() {
    std::lock_guard<std::mutex> lk(mutex_);
    phase_ = Phase::Connecting;
    return ++connection_;
}

bool Session::MadeUp(uint64_t c) {
    std::lock_guard<std::mutex> lk(mutex_);
    if (c != connection_ || phase_ != Phase::Connecting) return false;
    phase_ = Phase::Up;
    ++generation_;
    lost_ = false;
    return true;
}

bool Session::Lose(uint64_t c, Loss why) {
    std::lock_guard<std::mutex> lk(mutex_);
    if (c != connection_ || (phase_ != Phase::Up && phase_ != Phase::Connecting)) return false;
    // A link that was up starts a new episode, also for the reason given last time.
    Give(Reason(why), phase_ == Phase::Up);
    phase_ = why == Loss::NotAnswering ? Phase::NotAnswering : Phase::Absent;
    lost_ = true;
    return true;
}

void Session::Refused(const std::string& refusal) {
    std::lock_guard<std::mutex> lk(mutex_);
    phase_ = Phase::Absent;
    lost_ = true;
    if (!refusal.empty()) Give(refusal, false);
}

// Under mutex_.
void Session::Give(const std::string& reason, bool again) {
    if (!again && reason == fault_) return;
    fault_ = reason;
    if (++faultNumber_ == 0) faultNumber_ = 1;
}

uint32_t Session::Fault(std::string* text) const {
    std::lock_guard<std::mutex> lk(mutex_);
    if (text) *text = fault_;
    return faultNumber_;
}

void Session::Heard() {
    heard_ = Clock::now().time_since_epoch().count();
}

int64_t Session::MsSinceHeard() const {
    const Clock::rep at = heard_;
    if (at == 0) return -1;
    const auto since = Clock::now() - Clock::time_point(Clock::duration(at));
    return std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
}

}  // namespace ptserv
