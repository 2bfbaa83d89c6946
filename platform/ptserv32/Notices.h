// The change callbacks of the host's clients and the notifications waiting for them. The reader
// thread of the open connection runs them, in order, holding no lock of the library but the
// callbacks' own, so a callback may read. While a new connection makes its advises again they
// are held, and run once the link is back. Each runs only when its advise is still kept.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "platform/ptserv32/Mirror.h"
#include "platform/ptserv32/ptserv32.h"

namespace ptserv {

struct Notice {
    int16_t advise = 0;  // the kept advise's ID
    int32_t client = 0, handle = 0, index = 0;
    std::optional<MirrorTag> state;  // the tag's state that this notification delivers
};

class Notices {
  public:
    // `deliver` is asked, under the callbacks' lock, before each callback: false when its
    // advise has been dropped (the notification is then dropped too).
    explicit Notices(std::function<bool(const Notice&)> deliver) : deliver_(std::move(deliver)) {}
    Notices(const Notices&) = delete;
    Notices& operator=(const Notices&) = delete;
    ~Notices() { Close(); }

    // Installs (or with nullptr removes) the callback of a client. On return no call of a
    // removed callback is running any more (unless it is the caller itself).
    void SetCallback(int32_t client, PT_ADVISE_CALLBACK cb);
    // Returns once no callback is running (unless it is the caller itself).
    void Barrier();

    // A new connection: nothing waiting, held until Release; the returned descriptor wakes its
    // reader thread (-1 when there is none).
    int Open();
    void Close();
    void Release();

    // Queues a notification; one taken in off the reader thread wakes it.
    void Push(Notice n, bool onReader);
    // On the reader thread: runs the callbacks of what waits, unless held.
    void Run();

  private:
    void Wake();
    std::function<bool(const Notice&)> deliver_;
    std::mutex mutex_;  // queue_, held_, wake_
    std::deque<Notice> queue_;
    bool held_ = false;
    int wake_ = -1;
    std::recursive_mutex callbackMutex_;  // held while a callback runs
    std::map<int32_t, PT_ADVISE_CALLBACK> callbacks_;
};

}  // namespace ptserv
