// The runtime's change count: how many times it has sent state lines to its mirroring clients,
// in the file "hexvane.seq" of the runtime folder, which the runtime and its clients map. The
// runtime counts after it has sent; a client that took in its socket after seeing a count has
// every state line sent up to that count, so it need not look at its socket again until the
// count moves. The file stays, so that every runtime of the folder counts in the same place.
// Plain C++ so that the tag-manager library can use it without Qt.
#pragma once
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

#include "platform/captions/RuntimeFolder.h"

class ChangeCounter {
  public:
    ChangeCounter() = default;
    ChangeCounter(const ChangeCounter&) = delete;
    ChangeCounter& operator=(const ChangeCounter&) = delete;
    ~ChangeCounter() { Close(); }

    // Maps the count of the runtime folder (the current one by default): writable for the
    // runtime (creating the file), read-only for a client. False when it cannot be mapped, and
    // when "hexvane.seq" is not a regular file of this user's: a link is not followed, and
    // whatever else stands there (a FIFO that would hold the open up, a device) is given up at
    // once. Without the count, a client looks at its socket every time.
    bool Open(bool writable, const std::string& folder = LedgrixRuntimeFolderPath()) {
        Close();
        const std::string path = folder + "/hexvane.seq";
        const int flags = (writable ? O_RDWR | O_CREAT : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
        const int fd = ::open(path.c_str(), flags, 0600);
        if (fd < 0) return false;
        struct stat st {};
        bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
        if (ok && st.st_size < static_cast<off_t>(sizeof(uint64_t)))
            ok = writable && ::ftruncate(fd, sizeof(uint64_t)) == 0;
        void* p = ok ? ::mmap(nullptr, sizeof(uint64_t), writable ? PROT_READ | PROT_WRITE : PROT_READ,
                              MAP_SHARED, fd, 0)
                     : MAP_FAILED;
        ::close(fd);
        if (p == MAP_FAILED) return false;
        count_ = static_cast<uint64_t*>(p);
        return true;
    }
    void Close() {
        if (count_) ::munmap(count_, sizeof(uint64_t));
        count_ = nullptr;
    }
    bool IsOpen() const { return count_ != nullptr; }
    uint64_t Load() const { return std::atomic_ref<uint64_t>(*count_).load(std::memory_order_acquire); }
    void Bump() {
        if (count_) std::atomic_ref<uint64_t>(*count_).fetch_add(1, std::memory_order_release);
    }

  private:
    uint64_t* count_ = nullptr;
};
