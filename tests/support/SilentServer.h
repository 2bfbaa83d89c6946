// A server that never answers: a listener on a free loopback port (a database server) or on a
// local socket (an HMI runtime) whose connections the system completes and nobody reads or writes.
#pragma once
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QString>
#include <cstring>
#include <string>
#include <vector>

// A listener on the local socket at `path` (a stale one there is removed first); -1 when it
// cannot be made. `flags` go to the socket (SOCK_NONBLOCK).
inline int ListenOnLocalSocket(const std::string& path, int flags = 0) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    if (path.size() >= sizeof a.sun_path) return -1;
    std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
    ::unlink(path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
    if (fd < 0) return -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd, 64) == 0) return fd;
    ::close(fd);
    return -1;
}

class SilentServer {
  public:
    SilentServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), n) != 0 || ::listen(fd_, 64) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n) != 0)
            return;
        port_ = ntohs(a.sin_port);
        listening_ = true;
    }
    explicit SilentServer(const std::string& localPath) : fd_(ListenOnLocalSocket(localPath)) {
        listening_ = fd_ >= 0;
    }
    ~SilentServer() {
        for (const int c : taken_) ::close(c);
        if (fd_ >= 0) ::close(fd_);
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    bool IsListening() const { return listening_; }
    // "127.0.0.1" and the port, joined by the separator (a loopback listener).
    QString Address(QChar separator = u':') const {
        return QStringLiteral("127.0.0.1") + separator + QString::number(port_);
    }

    // Waits for the next connection (a client now waiting for an answer) and keeps it.
    bool WaitForConnection(int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) != 1) return false;
        const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) return false;
        taken_.push_back(c);
        return true;
    }

  private:
    std::vector<int> taken_;
    int fd_ = -1;
    int port_ = 0;
    bool listening_ = false;
};
