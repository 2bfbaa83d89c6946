// One socket connection to the runtime: opening it, sending lines, and one exchange of a request
// and its answer. The reader thread hands the answers in.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/hexvane-sim/HexvaneProtocol.h"
#include "platform/ptserv32/AnswerWait.h"

namespace ptserv {

using Tokens = std::vector<std::string>;

// An answer that is one whole number; nothing otherwise.
inline std::optional<uint64_t> OneNumber(const std::optional<Tokens>& a) {
    return a && a->size() == 1 ? HexvaneWire::ParseWhole((*a)[0]) : std::nullopt;
}

class Connection {
  public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { Close(); }

    // Connects to the runtime's socket in `folder`; false when it cannot be reached or may not
    // be used (ConnectRuntimeSocket). Never blocks: a runtime whose queue of new connections is
    // full refuses at once.
    bool Open(const std::string& folder);
    // Why the last Open refused the runtime's folder or socket, in a few English words naming it;
    // empty when the runtime was merely absent, and after a connection was made.
    std::string Refusal() const;
    // Ends the connection; the reader must have ended.
    void Close();
    // Shuts the socket, so that its reader ends; no answer comes any more.
    void Shut();
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // No answer will come on this socket: the waits end (it has ended or is lost).
    void EndWaits();
    // Ends every wait for good (the library is unloaded).
    void Stop();

    struct Result {
        std::optional<Tokens> answer;
        bool unanswered = false;  // no answer in time, or a wait the host gave up
    };
    // One request and its answer, the host's wait hook running meanwhile (none for the library's
    // own threads). One at a time (the caller holds the call lock).
    Result Exchange(const std::string& request, PT_WAIT_HOOK hook);

    // From the reader: whether a call waits for the answer `seq`, and the answer itself.
    bool Awaits(uint64_t seq) const;
    void Deliver(uint64_t seq, Tokens answer);
    // From the reader: whether `seq` answers a request made on this socket (a sign of life that
    // was asked for counts once).
    bool Answers(uint64_t seq);

    // On the reader thread: asks the runtime for a sign of life, unless a call is sending just
    // now. False when the check was half sent, which leaves the stream unusable.
    bool SendCheck();

  private:
    enum class Sent { Whole, Broken, Stuck };
    Sent SendAll(const std::string& data, AnswerWait& wait);

    std::atomic<int> fd_{-1};
    std::atomic<uint64_t> seq_{0};         // the last request's number
    std::atomic<uint64_t> firstSeq_{1};    // the first request's number on this socket
    std::atomic<uint32_t> checksOpen_{0};  // signs of life asked for and not yet given
    std::mutex sendMutex_;                 // one line at a time on the socket
    mutable std::mutex mutex_;
    std::condition_variable answered_;
    bool ended_ = true;  // no answer comes any more
    bool stopping_ = false;
    uint64_t waitingSeq_ = 0;
    std::optional<Tokens> answer_;
    std::string refusal_;
};

}  // namespace ptserv
