// The protocol's side of what the runtime sends: each line to the part it is for. Answers go to
// the waiting call, state lines and snapshot rows to the mirror, notifications through the kept
// advises to the queue of callbacks. It knows nothing of the session: it only tells what each
// line was.
#pragma once
#include <cstdint>
#include <mutex>
#include <string_view>

#include "platform/ptserv32/Connection.h"
#include "platform/ptserv32/KeptAdvises.h"
#include "platform/ptserv32/Mirror.h"
#include "platform/ptserv32/Notices.h"
#include "platform/ptserv32/Reader.h"

namespace ptserv {

class Dispatch {
  public:
    Dispatch(Connection& connection, LiveMirror& mirror, KeptAdvises& kept, Notices& notices)
        : connection_(connection), mirror_(mirror), kept_(kept), notices_(notices) {}
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;

    // Under the reader's lock: one line from the runtime.
    LineKind Line(std::string_view line);

    // The request under way is the ADV of kept advise `id` for the runtime's number r (a new
    // advise when `fresh`); 0 when none is.
    void AdviseUnderWay(int16_t id, uint16_t r, bool fresh);

  private:
    LineKind Answer(uint64_t seq, Tokens answer);
    LineKind Notification(const std::vector<std::string_view>& t);

    Connection& connection_;
    LiveMirror& mirror_;
    KeptAdvises& kept_;
    Notices& notices_;
    std::mutex adviseMutex_;  // the three below
    int16_t advise_ = 0;
    uint16_t adviseNumber_ = 0;
    bool adviseFresh_ = false;
};

}  // namespace ptserv
