// Database links that misbehave, on free loopback ports:
// - StallingLink passes a client's connection through to a real server until it stops passing
//   the server's answers (at once, or once the client has sent a given text), or resets the
//   client's connection, or passes the answers one byte at a time. The client's statements still
//   reach the server.
// - TricklingServer sends each client the start of a greeting, one byte at a time.
// Connections stay open until the object ends; then every client sees its connection closed.
#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace linktest {

inline int Listen(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), n) != 0 || ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) != 0)
        return -1;
    port = ntohs(a.sin_port);
    return fd;
}

// A listener served by a thread of its own until the object ends.
class Served {
  public:
    Served(const Served&) = delete;
    Served& operator=(const Served&) = delete;

    bool IsListening() const { return listener_ >= 0; }
    // "127.0.0.1" and the port, joined by the separator.
    QString Address(QChar separator = u':') const {
        return QStringLiteral("127.0.0.1") + separator + QString::number(port_);
    }
    int Accepted() const { return accepted_; }

  protected:
    Served() {
        listener_ = Listen(port_);
        if (::pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
    }
    // The subclass's destructor calls Stop() first.
    virtual ~Served() = default;
    void Start() {
        if (listener_ >= 0) thread_ = std::thread([this] { Loop(); });
    }
    void Stop() {
        if (thread_.joinable()) {
            [[maybe_unused]] const ssize_t n = ::write(wake_[1], "x", 1);
            thread_.join();
        }
        for (const int fd : {listener_, wake_[0], wake_[1]})
            if (fd >= 0) ::close(fd);
    }
    // One turn of the loop: the fds to watch besides the listener, and what to do.
    virtual void Watch(std::vector<pollfd>& fds) = 0;
    virtual void Ready(const std::vector<pollfd>& fds) = 0;
    virtual void Accept(int client) = 0;
    virtual int TimeoutMs() const { return 100; }
    virtual void Tick() {}

  private:
    void Loop() {
        for (;;) {
            std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
            Watch(fds);
            ::poll(fds.data(), fds.size(), TimeoutMs());
            if (fds[0].revents) return;
            if (fds[1].revents & POLLIN) {
                const int c = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                if (c >= 0) {
                    ++accepted_;
                    Accept(c);
                }
            }
            Ready(fds);
            Tick();
        }
    }
    int listener_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::atomic<int> accepted_{0};
    std::thread thread_;
};

}  // namespace linktest

class StallingLink : public linktest::Served {
  public:
    StallingLink(const QString& host, int port) : host_(host), port_(port) { Start(); }
    ~StallingLink() override {
        Stop();
        for (Pair& p : pairs_) Drop(p);
    }

    // What the link does once a client has sent the trigger text.
    enum class Fault { Stop, Reset, Trickle };

    // From now on no answer of the server reaches a client.
    void StopAnswers() { stopped_ = true; }
    // Answers stop once a client has sent this text.
    void StopAnswersAfter(const QByteArray& text) { FaultAfter(text, Fault::Stop); }
    // Once a client has sent this text (passed on to the server): its connection is reset
    // (Reset), or the server's answers reach it one byte every half second (Trickle).
    void FaultAfter(const QByteArray& text, Fault fault) {
        const std::lock_guard lock(mutex_);
        trigger_ = text;
        fault_ = fault;
    }
    bool Stopped() const { return stopped_; }

  private:
    struct Pair {
        int client;
        int server;
        QByteArray trickled = {};  // answers not yet passed one byte at a time
    };
    int TimeoutMs() const override { return 20; }
    void Tick() override {
        const auto now = std::chrono::steady_clock::now();
        if (now < nextTrickle_) return;
        nextTrickle_ = now + std::chrono::milliseconds(500);
        for (Pair& p : pairs_) {
            if (p.client < 0 || p.trickled.isEmpty()) continue;
            [[maybe_unused]] const ssize_t w = ::send(p.client, p.trickled.constData(), 1, MSG_NOSIGNAL);
            p.trickled.remove(0, 1);
        }
    }
    void Accept(int client) override {
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port_));
        ::inet_pton(AF_INET, host_.toLatin1().constData(), &a.sin_addr);
        if (server < 0 || ::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(client);
            if (server >= 0) ::close(server);
            return;
        }
        pairs_.push_back({client, server});
    }
    static void Drop(Pair& p) {
        if (p.client >= 0) ::close(p.client);
        if (p.server >= 0) ::close(p.server);
        p.client = p.server = -1;
    }
    // A closed pair keeps its place, with fds poll passes over.
    void Watch(std::vector<pollfd>& fds) override {
        for (const Pair& p : pairs_) {
            fds.push_back({p.client, POLLIN, 0});
            fds.push_back({p.server, POLLIN, 0});
        }
    }
    void Ready(const std::vector<pollfd>& fds) override {
        char buffer[65536];
        for (size_t i = 2; i + 1 < fds.size(); i += 2) {
            Pair& p = pairs_[(i - 2) / 2];
            if (p.client < 0) {
                // A reset client's statement: the server's answer goes nowhere.
                if (p.server >= 0 && (fds[i + 1].revents & (POLLIN | POLLHUP | POLLERR)) &&
                    ::read(p.server, buffer, sizeof buffer) <= 0)
                    Drop(p);
                continue;
            }
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = ::read(p.client, buffer, sizeof buffer);
                if (n <= 0) {
                    Drop(p);
                    continue;
                }
                bool triggered = false;
                {
                    const std::lock_guard lock(mutex_);
                    triggered = !trigger_.isEmpty() &&
                                QByteArray::fromRawData(buffer, static_cast<qsizetype>(n)).contains(trigger_);
                }
                [[maybe_unused]] const ssize_t w = ::write(p.server, buffer, static_cast<size_t>(n));
                if (triggered && fault_ == Fault::Reset) {
                    // The statement is on its way; the client's connection goes at once.
                    const linger hard{1, 0};
                    ::setsockopt(p.client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
                    ::close(p.client);
                    p.client = -1;
                    continue;
                }
                if (triggered && fault_ == Fault::Trickle) trickling_ = true;
                if (triggered && fault_ == Fault::Stop) stopped_ = true;
            }
            if (fds[i + 1].revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = ::read(p.server, buffer, sizeof buffer);
                if (n <= 0) {
                    Drop(p);
                } else if (trickling_) {
                    p.trickled.append(buffer, n);
                } else if (!stopped_) {
                    [[maybe_unused]] const ssize_t w = ::write(p.client, buffer, static_cast<size_t>(n));
                }
            }
        }
    }

    QString host_;
    int port_;
    std::vector<Pair> pairs_;  // the link's thread only
    std::mutex mutex_;
    QByteArray trigger_;
    Fault fault_ = Fault::Stop;
    std::atomic<bool> stopped_{false};
    bool trickling_ = false;  // the link's thread only
    std::chrono::steady_clock::time_point nextTrickle_{};
};

class TricklingServer : public linktest::Served {
  public:
    explicit TricklingServer(int everyMs) : everyMs_(everyMs) { Start(); }
    ~TricklingServer() override {
        Stop();
        for (const Client& c : clients_) ::close(c.fd);
    }

  private:
    struct Client {
        int fd;
        size_t sent;
        std::chrono::steady_clock::time_point next;
    };
    void Accept(int client) override { clients_.push_back({client, 0, std::chrono::steady_clock::now()}); }
    void Watch(std::vector<pollfd>&) override {}
    void Ready(const std::vector<pollfd>&) override {}
    int TimeoutMs() const override { return 20; }
    void Tick() override {
        // A greeting packet announcing 120 bytes, of which one comes at a time.
        static const QByteArray greeting = QByteArray("\x78\x00\x00\x00\x0a", 5) + QByteArray(115, '5');
        const auto now = std::chrono::steady_clock::now();
        for (Client& c : clients_) {
            if (now < c.next || c.sent >= static_cast<size_t>(greeting.size())) continue;
            [[maybe_unused]] const ssize_t w = ::send(c.fd, greeting.constData() + c.sent, 1, MSG_NOSIGNAL);
            ++c.sent;
            c.next = now + std::chrono::milliseconds(everyMs_);
        }
    }

    int everyMs_;
    std::vector<Client> clients_;  // the server's thread only
};
