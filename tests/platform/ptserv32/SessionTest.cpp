// The session of the real PTSERV32.dll with a small runtime of the test's own that speaks the
// wire protocol and can misbehave: started again with another tag list, holding back its answer
// to ADV, ending lines with CR LF, cutting a state line's notification off, sending lines that
// cannot be read.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QThread>
#include <atomic>
#include <cmath>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/captions/RuntimeFolder.h"
#include "platform/hexvane-sim/HexvaneProtocol.h"
#include "platform/ptserv32/ptserv32.h"
#include "tests/platform/hexvane-sim/HmiTestProject.h"
#include "tests/platform/ptserv32/LibraryApi.h"
#include "tests/support/SilentServer.h"

namespace {

constexpr int32_t Client = 7;

// Each callback: the handle, the index and the value read inside it (NAN when the read failed).
struct Call {
    int32_t handle, index;
    double value;
};
std::mutex callsMutex;
std::vector<Call> calls;

void OnChange(int32_t handle, int32_t index) {
    PT_TIME t;
    uint16_t status;
    double v = 0;
    const bool ok = Lib().GetTagValue(static_cast<uint16_t>(handle), &t, &status, &v) == 1;
    std::lock_guard<std::mutex> lk(callsMutex);
    calls.push_back({handle, index, ok ? v : NAN});
}

std::vector<Call> Calls() {
    std::lock_guard<std::mutex> lk(callsMutex);
    return calls;
}

bool WaitUntil(const std::function<bool()>& condition, int ms = 20000) {
    for (int i = 0; i < ms / 10; ++i) {
        if (condition()) return true;
        QThread::msleep(10);
    }
    return condition();
}

// A runtime on the library's socket with these tags (handles 1..N in order, the key the name).
class FakeHmi {
  public:
    struct Tag {
        std::string name;
        double value;
    };
    explicit FakeHmi(std::vector<Tag> tags, bool crlf = false) : tags_(std::move(tags)), crlf_(crlf) {
        listener_ = ListenOnLocalSocket(HexvaneSocketPath(), SOCK_NONBLOCK);
        EXPECT_GE(listener_, 0);
        thread_ = std::thread([this] { Loop(); });
    }
    ~FakeHmi() {
        done_ = true;
        thread_.join();
        for (const Peer& p : peers_) ::close(p.fd);
        ::close(listener_);
        ::unlink(HexvaneSocketPath().c_str());
    }

    // ADV requests after the first `answered` are answered only by ReleaseAdvises.
    void HoldAdvises(int answered) {
        std::lock_guard<std::mutex> lk(mutex_);
        hold_ = true;
        answerBeforeHold_ = answered;
    }
    void ReleaseAdvises() {
        std::lock_guard<std::mutex> lk(mutex_);
        hold_ = false;
        for (const Held& h : held_) AnswerAdvise(h);
        held_.clear();
    }
    // A change of a tag: its state line to every client, then (`notify`) its notifications.
    void Set(const std::string& name, double value, bool notify = true) {
        std::lock_guard<std::mutex> lk(mutex_);
        const int r = Number(name);
        tags_[r - 1].value = value;
        for (const Peer& p : peers_)
            if (p.mirror) Send(p.fd, "$ " + State(r));
        if (notify) NotifyLocked(r);
    }
    void Notify(const std::string& name) {
        std::lock_guard<std::mutex> lk(mutex_);
        NotifyLocked(Number(name));
    }
    void Raw(const std::string& line) {
        std::lock_guard<std::mutex> lk(mutex_);
        for (const Peer& p : peers_) Send(p.fd, line);
    }
    // Whether a request (without its number) was received.
    bool Received(const std::string& request) {
        std::lock_guard<std::mutex> lk(mutex_);
        return std::find(requests_.begin(), requests_.end(), request) != requests_.end();
    }
    int ReceivedAdvises() {
        std::lock_guard<std::mutex> lk(mutex_);
        return static_cast<int>(std::count_if(requests_.begin(), requests_.end(),
                                              [](const std::string& r) { return r.starts_with("ADV"); }));
    }

  private:
    struct Peer {
        int fd;
        std::string input;
        bool mirror = false;
    };
    struct Held {
        int fd;
        std::string seq;
        int r;
        std::string client, index;
    };

    int Number(const std::string& name) const {
        for (std::size_t i = 0; i < tags_.size(); ++i)
            if (tags_[i].name == name) return static_cast<int>(i + 1);
        ADD_FAILURE() << name;
        return 1;
    }
    std::string State(int r) const {
        const Tag& t = tags_[r - 1];
        return std::to_string(r) + " 2024.1.2.3.4.5 0 " + HexvaneWire::FormatNumber(t.value) +
               " 2024.1.2.3.4.5 :";
    }
    void Send(int fd, const std::string& line) {
        const std::string out = line + (crlf_ ? "\r\n" : "\n");
        [[maybe_unused]] const ssize_t n = ::send(fd, out.data(), out.size(), MSG_NOSIGNAL);
    }
    void NotifyLocked(int r) {
        for (const auto& [id, a] : advises_)
            if (a.r == r) Send(a.fd, "! " + a.client + ' ' + std::to_string(r) + ' ' + a.index);
    }
    void AnswerAdvise(const Held& h) {
        const int id = ++lastId_;
        advises_[id] = h;
        Send(h.fd, "= " + h.seq + ' ' + std::to_string(id));
    }
    void Loop() {
        while (!done_) {
            std::vector<pollfd> fds{{listener_, POLLIN, 0}};
            {
                std::lock_guard<std::mutex> lk(mutex_);
                for (const Peer& p : peers_) fds.push_back({p.fd, POLLIN, 0});
            }
            ::poll(fds.data(), fds.size(), 20);
            std::lock_guard<std::mutex> lk(mutex_);
            for (int c; (c = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;)
                peers_.push_back({c, {}, false});
            for (Peer& p : peers_) {
                char buffer[4096];
                const ssize_t n = ::recv(p.fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n > 0) p.input.append(buffer, static_cast<std::size_t>(n));
                for (std::size_t nl; (nl = p.input.find('\n')) != std::string::npos; p.input.erase(0, nl + 1))
                    Serve(p, p.input.substr(0, nl));
            }
        }
    }
    void Serve(Peer& p, const std::string& line) {
        const auto t = HexvaneWire::Split(line);
        const std::string seq(t[0]);
        requests_.push_back(line.substr(line.find(' ') + 1));
        if (t.size() == 2 && t[1] == "SNAP") {
            p.mirror = true;
            for (std::size_t r = 1; r <= tags_.size(); ++r)
                Send(p.fd, "* " + State(static_cast<int>(r)) + ' ' +
                               HexvaneWire::EncodeText(tags_[r - 1].name) + ' ' +
                               HexvaneWire::EncodeText(tags_[r - 1].name));
            Send(p.fd, "= " + seq + ' ' + std::to_string(tags_.size()));
        } else if (t.size() == 5 && t[1] == "ADV") {
            const Held h{p.fd, seq, std::stoi(std::string(t[2])), std::string(t[3]), std::string(t[4])};
            if (hold_ && --answerBeforeHold_ < 0)
                held_.push_back(h);
            else
                AnswerAdvise(h);
        } else if (t.size() == 4 && t[1] == "UNADV") {
            advises_.erase(std::stoi(std::string(t[3])));
            Send(p.fd, "= " + seq + " 1");
        } else {
            Send(p.fd, "= " + seq + " 1");
        }
    }

    std::mutex mutex_;  // everything below but done_ and the thread
    std::vector<Tag> tags_;
    const bool crlf_;
    bool hold_ = false;
    int answerBeforeHold_ = 0;
    std::vector<Held> held_;
    std::map<int, Held> advises_;  // by the runtime's id
    int lastId_ = 0;
    std::vector<Peer> peers_;
    std::vector<std::string> requests_;
    int listener_ = -1;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

class Session : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(Lib().LinkFault, nullptr);
        std::lock_guard<std::mutex> lk(callsMutex);
        calls.clear();
    }
    void TearDown() override {
        for (const auto& [handle, id] : advised_) Lib().TagUnadvise(handle, id);
        Lib().SetAdviseCallback(Client, nullptr);
    }
    // Starts the runtime (again) with these tags and waits until the link is up with it (the
    // host's calls connect too). One that holds back its answers to ADV (after the first
    // `answerBeforeHold`) is left to the library's own attempts, which must not wait for the test.
    void Start(std::vector<FakeHmi::Tag> tags, bool crlf = false, int answerBeforeHold = -1) {
        const uint32_t before = Lib().LinkGeneration();
        fake_.reset();
        fake_ = std::make_unique<FakeHmi>(std::move(tags), crlf);
        if (answerBeforeHold >= 0) {
            fake_->HoldAdvises(answerBeforeHold);
            return;
        }
        ASSERT_TRUE(
            WaitUntil([&] { return Lib().RegisterTag("") == PT_NO_TAG && Lib().LinkGeneration() > before; }));
    }
    int16_t Advise(uint16_t handle, int32_t index) {
        EXPECT_EQ(Lib().SetAdviseCallback(Client, OnChange), 1);
        const int16_t id = Lib().TagAdvise(handle, Client, index);
        EXPECT_GT(id, 0);
        advised_.emplace_back(handle, id);
        return id;
    }
    double Read(uint16_t handle) {
        PT_TIME t;
        uint16_t status;
        double v = 0;
        return Lib().GetTagValue(handle, &t, &status, &v) == 1 ? v : NAN;
    }

    PrivateRuntimeFolder runtime_;
    std::unique_ptr<FakeHmi> fake_;
    std::vector<std::pair<uint16_t, int16_t>> advised_;
};

}  // namespace

// Started again with a tag inserted before FLOW, then without FLOW, then with it at another
// place: FLOW's handle reads FLOW or fails, its advise goes to FLOW's number or waits, and each
// change of FLOW's state across the restarts calls back once, reading FLOW.
TEST_F(Session, AHandleStandsForItsTagsNameOnEveryConnection) {
    Start({{"FLOW", 5}});
    const uint16_t flow = Lib().RegisterTag("FLOW");
    ASSERT_NE(flow, PT_NO_TAG);
    Advise(flow, 3);

    Start({{"EXTRA", 999}, {"FLOW", 6}});
    EXPECT_EQ(Read(flow), 6);
    EXPECT_EQ(Lib().IsTagPresent(flow), 1);
    EXPECT_TRUE(fake_->Received("ADV 2 7 3"));
    ASSERT_TRUE(WaitUntil([] { return Calls().size() >= 1; }));
    EXPECT_EQ(Calls()[0].value, 6);
    const uint16_t extra = Lib().RegisterTag("EXTRA");
    EXPECT_NE(extra, flow);
    EXPECT_EQ(Read(extra), 999);

    Start({{"EXTRA", 999}});
    EXPECT_TRUE(std::isnan(Read(flow)));
    EXPECT_EQ(Lib().IsTagPresent(flow), 0);
    EXPECT_EQ(Lib().RegisterTag("FLOW"), PT_NO_TAG);
    EXPECT_FALSE(fake_->ReceivedAdvises() > 0);
    EXPECT_EQ(Read(extra), 999);

    Start({{"A", 1}, {"B", 2}, {"FLOW", 7}});
    EXPECT_EQ(Lib().RegisterTag("flow"), flow);
    EXPECT_EQ(Read(flow), 7);
    EXPECT_TRUE(fake_->Received("ADV 3 7 3"));
    ASSERT_TRUE(WaitUntil([] { return Calls().size() >= 2; }));
    fake_->Set("FLOW", 8);
    ASSERT_TRUE(WaitUntil([] { return Calls().size() >= 3; }));
    QThread::msleep(300);
    const auto c = Calls();
    ASSERT_EQ(c.size(), 3u);
    for (const Call& x : c) {
        EXPECT_EQ(x.handle, flow);
        EXPECT_EQ(x.index, 3);
    }
    EXPECT_EQ(c[1].value, 7);
    EXPECT_EQ(c[2].value, 8);
}

// A runtime whose lines end with CR LF is heard as one ending them with LF.
TEST_F(Session, LinesEndedByCrLfAreRead) {
    Start({{"T1", 1}, {"TRG", 0}}, true);
    const uint16_t trg = Lib().RegisterTag("TRG");
    ASSERT_NE(trg, PT_NO_TAG);
    Advise(trg, 4);
    fake_->Set("TRG", 1);
    ASSERT_TRUE(WaitUntil([] { return Calls().size() >= 1; }));
    EXPECT_EQ(Calls()[0].value, 1);
    EXPECT_EQ(Lib().IsLinkLost(), 0);
}

// A change whose state line came but whose notification was cut off with its connection is
// delivered once on the next connection.
TEST_F(Session, AChangeWhoseNotificationWasCutOffIsDeliveredOnTheNextConnection) {
    Start({{"TRG", 0}});
    const uint16_t trg = Lib().RegisterTag("TRG");
    Advise(trg, 4);
    fake_->Set("TRG", 1, false);
    ASSERT_TRUE(WaitUntil([&] { return Read(trg) == 1; }));
    Start({{"TRG", 1}});
    ASSERT_TRUE(WaitUntil([] { return Calls().size() >= 1; }));
    QThread::msleep(300);
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].value, 1);
}

// A change that lands while the advise is made again calls back once: its state line before the
// answer and its notification after it, or both after the answer.
TEST_F(Session, AChangeDuringTheReadviseCallsBackOnce) {
    Start({{"TRG", 0}});
    const uint16_t trg = Lib().RegisterTag("TRG");
    Advise(trg, 4);

    double delivered = 0;
    for (const bool stateBeforeAnswer : {true, false}) {
        SCOPED_TRACE(stateBeforeAnswer);
        const uint32_t generation = Lib().LinkGeneration();
        const std::size_t before = Calls().size();
        Start({{"TRG", delivered}}, false, 0);
        ASSERT_TRUE(WaitUntil([&] { return fake_->ReceivedAdvises() > 0; }));
        const double v = 1 - delivered;
        if (stateBeforeAnswer) {
            fake_->Set("TRG", v, false);
            fake_->ReleaseAdvises();
            fake_->Notify("TRG");
        } else {
            fake_->ReleaseAdvises();
            fake_->Set("TRG", v);
        }
        ASSERT_TRUE(WaitUntil([&] { return Lib().LinkGeneration() > generation; }));
        ASSERT_TRUE(WaitUntil([&] { return Calls().size() > before; }));
        QThread::msleep(300);
        ASSERT_EQ(Calls().size(), before + 1);
        EXPECT_EQ(Calls().back().value, v);
        delivered = v;
    }
}

// TagUnadvise while a new connection makes the advises again and the runtime holds back an
// answer: it returns at once, no callback of the advise runs after it, and the runtime is told,
// of an advise it took before the unadvise and of one it takes after.
TEST_F(Session, AnUnadviseDuringTheReadviseEndsItsCallbacksAndTellsTheRuntime) {
    Start({{"TRG", 0}, {"T1", 0}});
    const uint16_t trg = Lib().RegisterTag("TRG"), t1 = Lib().RegisterTag("T1");
    const int16_t a = Advise(trg, 4), b = Advise(t1, 5);
    Start({{"TRG", 0}, {"T1", 1}}, false, 1);
    ASSERT_TRUE(WaitUntil([&] { return fake_->ReceivedAdvises() == 2; }));
    EXPECT_EQ(Lib().TagUnadvise(trg, a), 1);
    EXPECT_EQ(Lib().TagUnadvise(t1, b), 1);
    advised_.clear();
    fake_->Set("TRG", 1);
    fake_->ReleaseAdvises();
    ASSERT_TRUE(WaitUntil([&] { return fake_->Received("UNADV 1 1") && fake_->Received("UNADV 2 2"); }));
    fake_->Set("TRG", 0);
    QThread::msleep(300);
    EXPECT_TRUE(Calls().empty());
}

// Lines that cannot be read lose the link with a reason: a notification whose numbers are out of
// range, an answer to no request made. A refusal keeps its number while its reason stays.
TEST_F(Session, UnreadableLinesLoseTheLinkWithAReason) {
    Start({{"T1", 1}});
    const uint16_t t1 = Lib().RegisterTag("T1");
    Advise(t1, 1);
    EXPECT_GE(Lib().MsSinceHeard(), 0);
    EXPECT_LT(Lib().MsSinceHeard(), 5000);
    for (const char* line : {"! 7 4294967297 1", "! 7 1 4294967297", "= 99999"}) {
        SCOPED_TRACE(line);
        const uint32_t fault = Lib().LinkFault(nullptr);
        fake_->Raw(line);
        ASSERT_TRUE(WaitUntil([&] { return Lib().LinkFault(nullptr) != fault; }));
        char text[PT_MESSAGE_BUFFER_BYTES];
        Lib().LinkFault(text);
        EXPECT_STREQ(text, "the runtime sent a line that cannot be read");
        EXPECT_EQ(Lib().IsLinkLost(), 1);
        ASSERT_TRUE(WaitUntil([] { return Lib().IsLinkLost() == 0; }));
    }
    EXPECT_TRUE(Calls().empty());

    fake_.reset();
    ASSERT_EQ(::chmod(QFile::encodeName(runtime_.Path()).constData(), 0777), 0);
    EXPECT_EQ(Lib().RegisterTag("T1"), PT_NO_TAG);
    char text[PT_MESSAGE_BUFFER_BYTES];
    const uint32_t refused = Lib().LinkFault(text);
    EXPECT_NE(std::string(text).find("cannot be used"), std::string::npos) << text;
    EXPECT_EQ(Lib().RegisterTag("T1"), PT_NO_TAG);
    EXPECT_EQ(Lib().LinkFault(nullptr), refused);
    ASSERT_EQ(::chmod(QFile::encodeName(runtime_.Path()).constData(), 0700), 0);
}
