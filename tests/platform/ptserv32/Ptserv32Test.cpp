// The real PTSERV32.dll, loaded with dlopen from the program folder, against a runtime in this
// process or in a child process (TestRuntime.h), and the hexvane-sim command line as a second
// client. Each test leaves the library as a fresh host would find it, so that they run in one
// process in any order.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/captions/RuntimeFolder.h"
#include "platform/ptserv32/ptserv32.h"
#include "tests/platform/hexvane-sim/HmiTestProject.h"
#include "tests/platform/ptserv32/LibraryApi.h"
#include "tests/platform/ptserv32/TestRuntime.h"
#include "tests/support/Hostile.h"
#include "tests/support/SilentServer.h"

namespace {

// What the change callback saw.
struct Seen {
    int32_t handle, index;
    bool otherThread;
};
std::mutex seenMutex;
std::vector<Seen> seen;
std::thread::id testThread;

void OnChange(int32_t handle, int32_t index) {
    std::lock_guard<std::mutex> lk(seenMutex);
    seen.push_back({handle, index, std::this_thread::get_id() != testThread});
}

// What reads inside the change callback saw: the value of the changed tag, or NAN on failure.
std::vector<double> readInCallback;

void OnChangeRead(int32_t handle, int32_t) {
    PT_TIME t;
    uint16_t status;
    double v = 0;
    const bool ok = Lib().GetTagValue(static_cast<uint16_t>(handle), &t, &status, &v) == 1;
    std::lock_guard<std::mutex> lk(seenMutex);
    readInCallback.push_back(ok ? v : NAN);
}

std::vector<Seen> SeenNow() {
    std::lock_guard<std::mutex> lk(seenMutex);
    return seen;
}

// Polls a condition for up to 30 s, time enough on a loaded machine.
bool WaitUntil(const std::function<bool()>& condition) {
    for (int i = 0; i < 3000; ++i) {
        if (condition()) return true;
        QThread::msleep(10);
    }
    return false;
}

bool WaitSeen(std::size_t count) {
    return WaitUntil([count] { return SeenNow().size() >= count; });
}

// A runtime on the library's socket that the test steers: it answers every request (its
// snapshot holds the one tag T1), or stands still as a stopped process does (connections complete
// in its queue, nothing is read or answered), or closes every connection it takes at once, or
// sends only lines that cannot be read.
class FakeRuntime {
  public:
    enum class Mode { Answer, Still, Close, Garbage };
    explicit FakeRuntime(Mode mode) : mode_(mode) {
        listener_ = ListenOnLocalSocket(HexvaneSocketPath(), SOCK_NONBLOCK);
        EXPECT_GE(listener_, 0);
        thread_ = std::thread([this] { Loop(); });
    }
    ~FakeRuntime() {
        done_ = true;
        thread_.join();
        for (const int c : clients_)
            if (c >= 0) ::close(c);
        ::close(listener_);
        ::unlink(HexvaneSocketPath().c_str());
    }
    // Returns once the runtime acts in the new mode.
    void SetMode(Mode mode) {
        mode_ = mode;
        const int turn = turns_;
        while (turns_ < turn + 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    int Accepted() const { return accepted_; }
    // The snapshot's rows, each ended by a line end (the runtime's tags).
    void SetSnapshot(std::string rows) {
        std::lock_guard<std::mutex> lk(mutex_);
        snapshot_ = std::move(rows);
    }
    // Sends a line to every connection; returns once it is sent.
    void Send(const std::string& line) {
        {
            std::lock_guard<std::mutex> lk(mutex_);
            outgoing_ += line + '\n';
        }
        const int turn = turns_;
        while (turns_ < turn + 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

  private:
    void Loop() {
        for (; !done_; ++turns_) {
            const Mode mode = mode_;
            std::vector<pollfd> fds{{listener_, POLLIN, 0}};
            for (const int c : clients_) fds.push_back({c, POLLIN, 0});
            ::poll(fds.data(), mode == Mode::Still ? 0 : fds.size(), 20);
            if (mode == Mode::Still) continue;
            for (int c; (c = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
                ++accepted_;
                if (mode == Mode::Close) {
                    ::close(c);
                } else {
                    clients_.push_back(c);
                    input_.emplace_back();
                }
            }
            for (std::size_t i = 0; i + 1 < fds.size(); ++i)
                if (fds[i + 1].revents) Serve(i);
            static constexpr char garbage[] = "= x\n$ 1 -\n! 7 1\n* 1\nnoise\n";
            std::string out;
            {
                std::lock_guard<std::mutex> lk(mutex_);
                out.swap(outgoing_);
            }
            if (mode == Mode::Garbage) out = garbage;
            for (const int c : clients_)
                if (c >= 0 && !out.empty()) [[maybe_unused]]
                    const ssize_t w = ::send(c, out.data(), out.size(), MSG_NOSIGNAL);
        }
    }
    void Serve(std::size_t i) {
        char buffer[4096];
        const ssize_t n = ::recv(clients_[i], buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0) {  // poll passes over a closed client
            ::close(clients_[i]);
            clients_[i] = -1;
        }
        if (n <= 0) return;
        std::string& in = input_[i];
        in.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t nl; (nl = in.find('\n')) != std::string::npos; in.erase(0, nl + 1)) {
            const std::string line = in.substr(0, nl);
            const std::string seq = line.substr(0, line.find(' '));
            if (mode_ == Mode::Garbage) continue;
            std::string out, answer = "1";
            if (line.ends_with(" SNAP")) {
                std::lock_guard<std::mutex> lk(mutex_);
                out = snapshot_;
                answer = std::to_string(std::count(out.begin(), out.end(), '\n'));
            }
            out += "= " + seq + ' ' + answer + '\n';
            [[maybe_unused]] const ssize_t w = ::send(clients_[i], out.data(), out.size(), MSG_NOSIGNAL);
        }
    }
    std::atomic<Mode> mode_;
    std::atomic<bool> done_{false};
    std::atomic<int> accepted_{0}, turns_{0};
    int listener_ = -1;
    std::mutex mutex_;  // snapshot_, outgoing_
    std::string snapshot_ = "* 1 2024.1.2.3.4.5 0 1.5 2024.1.2.3.4.5 :hello :T1 :T1\n";
    std::string outgoing_;
    std::vector<int> clients_;  // the runtime's thread only
    std::vector<std::string> input_;
    std::thread thread_;
};

// What the wait hook saw, and when it gives a wait up.
std::atomic<int> hookCalls{0}, hookEnds{0}, giveUpAfterMs{-1};
std::atomic<uint16_t> foundInHook{0};
int OnWait(int32_t waitedMs) {
    if (waitedMs < 0) {
        ++hookEnds;
        return 0;
    }
    ++hookCalls;
    foundInHook = Lib().FindTag("T1");  // a call inside the hook fails at once
    return giveUpAfterMs >= 0 && waitedMs >= giveUpAfterMs ? 1 : 0;
}
void ResetHook(int giveUpAfter) {
    hookCalls = hookEnds = 0;
    foundInHook = 0;
    giveUpAfterMs = giveUpAfter;
    Lib().SetWaitHook(OnWait);
}

class Ptserv32 : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(Lib().RegisterTag, nullptr);
        testThread = std::this_thread::get_id();
        seen.clear();
        readInCallback.clear();
        project = MakeHmiProject(dir.path(), QStringLiteral("DEMO"),
                                 {{"TRIG", "DIGITAL"},
                                  {"T1", "ANALOG"},
                                  {"MSG1", "TEXT"},
                                  {"TIME", "SYSTEM"},
                                  {QStringLiteral("Straße"), "ANALOG"},
                                  {QStringLiteral("Tür"), "ANALOG"}});
        ASSERT_FALSE(project.isEmpty());
        server = std::make_unique<TestRuntime>(project);
    }
    // The test's advises, callbacks and wait hook end; then its runtime. A link whose runtime
    // stopped answering is mended only by the library's own thread, in the folder it had: a
    // runtime answers there until the link is back.
    void TearDown() override {
        for (const auto& [handle, id] : advised) Lib().TagUnadvise(handle, id);
        Lib().SetAdviseCallback(7, nullptr);
        Lib().SetAdviseCallback(8, nullptr);
        Lib().SetWaitHook(nullptr);
        server->Stop();
        if (Lib().IsLinkLost() == 1) {
            FakeRuntime fake(FakeRuntime::Mode::Answer);
            EXPECT_TRUE(WaitUntil([] { return Lib().IsLinkLost() == 0; }));
        }
    }
    // TagAdvise, ended by TearDown.
    int16_t Advise(uint16_t handle, int32_t client, int32_t index) {
        const int16_t id = Lib().TagAdvise(handle, client, index);
        if (id > 0) advised.emplace_back(handle, id);
        return id;
    }

    PrivateRuntimeFolder runtime;
    QTemporaryDir dir;
    QString project;
    std::unique_ptr<TestRuntime> server;
    std::vector<std::pair<uint16_t, int16_t>> advised;
};

}  // namespace

TEST_F(Ptserv32, WithoutRuntimeEveryCallFails) {
    PT_TIME t{};
    uint16_t status = 9;
    double v = 4;
    char text[PT_MESSAGE_BUFFER_BYTES] = "x";
    EXPECT_EQ(Lib().RegisterTag("T1"), PT_NO_TAG);
    EXPECT_EQ(Lib().FindTag("T1"), PT_NO_TAG);
    EXPECT_EQ(Lib().GetTagValue(1, &t, &status, &v), 0);
    EXPECT_EQ(Lib().GetTagMessage(1, &t, &status, text), 0);
    EXPECT_EQ(Lib().SetTagValue(1, nullptr, 0, 0, &v, 7), 0);
    EXPECT_EQ(Advise(1, 7, 1), 0);
    EXPECT_EQ(Lib().SetAdviseCallback(7, OnChange), 0);
    EXPECT_EQ(Lib().SetAdviseCallback(7, nullptr), 1);
    // Outputs are left alone on failure.
    EXPECT_EQ(status, 9);
    EXPECT_EQ(v, 4);
    EXPECT_STREQ(text, "x");
}

TEST_F(Ptserv32, NoRuntimeIsReachedInAFolderOthersMayWriteTo) {
    ASSERT_TRUE(server->Start());
    const QByteArray folder = QFile::encodeName(runtime.Path());
    ASSERT_EQ(::chmod(folder.constData(), 0777), 0);
    EXPECT_EQ(Lib().FindTag("T1"), PT_NO_TAG);
    if (server->InProcess()) {
        EXPECT_EQ(server->RequestCount(), 0u);
    }
    ASSERT_EQ(::chmod(folder.constData(), 0700), 0);
    EXPECT_NE(Lib().FindTag("T1"), PT_NO_TAG);
}

TEST_F(Ptserv32, HandlesValuesStatusAndTimes) {
    ASSERT_TRUE(server->Start()) << server->ErrorText().toStdString();
    const uint16_t trig = Lib().RegisterTag("TRIG"), t1 = Lib().RegisterTag("T1");
    ASSERT_NE(trig, PT_NO_TAG);
    ASSERT_NE(t1, PT_NO_TAG);
    EXPECT_NE(trig, t1);
    EXPECT_EQ(Lib().FindTag("t1"), t1);  // any letter case
    EXPECT_EQ(Lib().RegisterTag("NOPE"), PT_NO_TAG);
    EXPECT_EQ(Lib().RegisterTag(""), PT_NO_TAG);
    EXPECT_EQ(Lib().RegisterTag("T1 2"), PT_NO_TAG);

    // Written with the caller's time and the status bits under the mask (ONLINE + HIALARM).
    PT_TIME in{2024, 3, 1, 5, 7, 8, 9, 500};
    double v = 12.25;
    ASSERT_EQ(Lib().SetTagValue(t1, &in, 119, 19, &v, 7), 1);
    PT_TIME out{};
    uint16_t status = 0;
    double got = 0;
    ASSERT_EQ(Lib().GetTagValue(t1, &out, &status, &got), 1);
    EXPECT_EQ(got, 12.25);
    EXPECT_EQ(status, 19);
    EXPECT_EQ(out.wYear, 2024);
    EXPECT_EQ(out.wMonth, 3);
    EXPECT_EQ(out.wDay, 5);
    EXPECT_EQ(out.wDayOfWeek, 3);  // 2024-03-05 is a Tuesday
    EXPECT_EQ(out.wHour * 10000 + out.wMinute * 100 + out.wSecond, 70809);
    EXPECT_EQ(out.wMilliseconds, 0);
    EXPECT_EQ(server->Value("T1"), 12.25);

    // FAULT sets bit 8 and leaves the others; NOFAULT clears it; mask 0 changes no status.
    v = 1;
    ASSERT_EQ(Lib().SetTagValue(t1, nullptr, 8, 8, &v, 7), 1);
    EXPECT_EQ(server->Tag("T1")->status, 27);
    ASSERT_EQ(Lib().SetTagValue(t1, nullptr, 8, 0, &v, 7), 1);
    const QDateTime before = QDateTime::currentDateTime();
    ASSERT_EQ(Lib().SetTagValue(t1, nullptr, 0, 0xFFFF, &v, 7), 1);
    const QDateTime after = QDateTime::currentDateTime();
    EXPECT_EQ(server->Tag("T1")->status, 19);
    // Without a time record the write is stamped now (to the second).
    EXPECT_GE(server->Tag("T1")->valueTime, before.addSecs(-1));
    EXPECT_LE(server->Tag("T1")->valueTime, after.addSecs(1));

    // A digital tag holds 0 or 1; unknown handles, a bad time record and a missing value fail.
    v = 5;
    EXPECT_EQ(Lib().SetTagValue(trig, nullptr, 0, 0, &v, 7), 1);
    EXPECT_EQ(server->Value("TRIG"), 1);
    EXPECT_EQ(Lib().SetTagValue(999, nullptr, 0, 0, &v, 7), 0);
    EXPECT_EQ(Lib().GetTagValue(0, &out, &status, &got), 0);
    PT_TIME bad{2024, 13, 1, 5, 7, 8, 9, 0};
    EXPECT_EQ(Lib().SetTagValue(t1, &bad, 0, 0, &v, 7), 0);
    EXPECT_EQ(Lib().SetTagValue(t1, nullptr, 0, 0, nullptr, 7), 0);
    EXPECT_EQ(server->Value("T1"), 1);
}

TEST_F(Ptserv32, MessagesUpTo81Characters) {
    ASSERT_TRUE(server->Start());
    const uint16_t m = Lib().RegisterTag("MSG1");
    PT_TIME t{};
    uint16_t status = 0;
    auto read = [&] {
        char buf[PT_MESSAGE_BUFFER_BYTES];
        std::memset(buf, 'Z', sizeof buf);
        EXPECT_EQ(Lib().GetTagMessage(m, &t, &status, buf), 1);
        return QString::fromUtf8(buf);
    };
    const QString chinese = QStringLiteral("溫度過高 [A1], 請檢查");
    ASSERT_EQ(Lib().SetTagMessage(m, nullptr, 7, 3, chinese.toUtf8().constData(), 7), 1);
    EXPECT_EQ(server->Message("MSG1"), chinese);
    EXPECT_EQ(read(), chinese);
    EXPECT_EQ(status, 3);

    const QString full = QStringLiteral("中").repeated(81);  // 81 characters of 3 bytes each
    ASSERT_TRUE(server->SetMessage("MSG1", full));
    EXPECT_EQ(read(), full);
    ASSERT_TRUE(server->SetMessage("MSG1", QStringLiteral("x").repeated(100)));
    EXPECT_EQ(read(), QStringLiteral("x").repeated(81));
    // A character outside the basic plane counts two and is never cut in half.
    const QString wide = QStringLiteral("x").repeated(80) + QString::fromUcs4(U"\U0001F600");
    ASSERT_TRUE(server->SetMessage("MSG1", wide));
    EXPECT_EQ(read(), QStringLiteral("x").repeated(80));
    ASSERT_EQ(Lib().SetTagMessage(m, nullptr, 0, 0, "", 7), 1);
    EXPECT_EQ(read(), QString());
}

TEST_F(Ptserv32, AdviseCallsBackOnTheLibrarysThread) {
    ASSERT_TRUE(server->Start());
    const uint16_t trig = Lib().RegisterTag("TRIG"), t1 = Lib().RegisterTag("T1");
    ASSERT_EQ(Lib().SetAdviseCallback(7, OnChange), 1);
    const int16_t a1 = Advise(trig, 7, 4);
    const int16_t a2 = Advise(t1, 7, 9);
    EXPECT_GT(a1, 0);
    EXPECT_GT(a2, 0);
    EXPECT_NE(a1, a2);
    EXPECT_EQ(Advise(999, 7, 1), 0);

    // From the server, from the client's own write (its echo), and from another client.
    ASSERT_TRUE(server->SetValue("TRIG", 1));
    ASSERT_TRUE(WaitSeen(1));
    double zero = 0;
    ASSERT_EQ(Lib().SetTagValue(trig, nullptr, 0, 0, &zero, 7), 1);
    ASSERT_TRUE(WaitSeen(2));
    ASSERT_TRUE(RunToEnd(HexvaneSimProgram(), {"set", "t1", "3.5"}));
    ASSERT_TRUE(WaitSeen(3));
    auto s = SeenNow();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].handle, trig);
    EXPECT_EQ(s[0].index, 4);
    EXPECT_EQ(s[1].handle, trig);
    EXPECT_EQ(s[2].handle, t1);
    EXPECT_EQ(s[2].index, 9);
    for (const Seen& x : s) EXPECT_TRUE(x.otherThread);
    EXPECT_EQ(server->Value("T1"), 3.5);

    // Unadvised tags and removed callbacks hear nothing more.
    EXPECT_EQ(Lib().TagUnadvise(trig, a1), 1);
    EXPECT_EQ(Lib().TagUnadvise(trig, a1), 0);
    server->SetValue("TRIG", 1);
    server->SetValue("T1", 4);
    ASSERT_TRUE(WaitSeen(4));
    EXPECT_EQ(SeenNow().back().handle, t1);
    EXPECT_EQ(Lib().SetAdviseCallback(7, nullptr), 1);
    server->SetValue("T1", 5);
    // Another client's callback, called in order after the change above, shows it has passed.
    ASSERT_EQ(Lib().SetAdviseCallback(8, OnChange), 1);
    ASSERT_GT(Advise(t1, 8, 11), 0);
    server->SetValue("T1", 6);
    ASSERT_TRUE(WaitUntil([] { return SeenNow().back().index == 11; }));
    EXPECT_EQ(SeenNow().size(), 5u);
}

TEST_F(Ptserv32, LostRuntimeFailsReadsUntilOneRunsAgain) {
    ASSERT_TRUE(server->Start());
    const uint16_t t1 = Lib().RegisterTag("T1");
    server->SetValue("T1", 8);
    double v = 0;
    uint16_t status;
    PT_TIME t;
    ASSERT_EQ(Lib().GetTagValue(t1, &t, &status, &v), 1);
    server->Stop();
    EXPECT_EQ(Lib().GetTagValue(t1, &t, &status, &v), 0);
    EXPECT_EQ(Lib().FindTag("T1"), PT_NO_TAG);
    EXPECT_EQ(v, 8);
    // A new runtime is found again; its tags keep their handles and start at 0.
    TestRuntime again(project);
    ASSERT_TRUE(again.Start());
    EXPECT_EQ(Lib().FindTag("T1"), t1);
    ASSERT_EQ(Lib().GetTagValue(t1, &t, &status, &v), 1);
    EXPECT_EQ(v, 0);
}

TEST_F(Ptserv32, ReadsSeeEveryCompletedWriteWithoutAskingTheRuntime) {
    ASSERT_TRUE(server->Start());
    const uint16_t t1 = Lib().RegisterTag("T1"), m = Lib().RegisterTag("MSG1");
    ASSERT_NE(t1, PT_NO_TAG);
    PT_TIME t{};
    uint16_t status = 0;
    double v = 0;
    char text[PT_MESSAGE_BUFFER_BYTES];

    // Names in any letter case, as the runtime matches them (STRASSE is the upper case of
    // Straße); names that are not ASCII are matched too.
    EXPECT_EQ(Lib().FindTag("mSg1"), m);
    const uint16_t strasse = Lib().FindTag("STRASSE");
    EXPECT_NE(strasse, PT_NO_TAG);
    EXPECT_EQ(Lib().FindTag("strasse"), strasse);
    EXPECT_EQ(Lib().FindTag("Straße"), strasse);
    EXPECT_NE(Lib().FindTag("tÜr"), PT_NO_TAG);
    EXPECT_EQ(Lib().FindTag("T"), PT_NO_TAG);
    EXPECT_EQ(Lib().FindTag("T1 "), PT_NO_TAG);

    // Another client's write is seen as soon as that client has its answer.
    ASSERT_TRUE(RunToEnd(HexvaneSimProgram(), {"set", "t1", "3.5"}));
    ASSERT_TRUE(RunToEnd(HexvaneSimProgram(), {"msg", "MSG1", "from", "cli"}));
    ASSERT_EQ(Lib().GetTagValue(t1, &t, &status, &v), 1);
    EXPECT_EQ(v, 3.5);
    ASSERT_EQ(Lib().GetTagMessage(m, &t, &status, text), 1);
    EXPECT_STREQ(text, "from cli");

    // Reads and names come from the library alone; writes still go to the runtime.
    const auto before = server->RequestCount();  // counted in process only
    for (int i = 0; i < 200; ++i) {
        Lib().GetTagValue(t1, &t, &status, &v);
        Lib().GetTagMessage(m, &t, &status, text);
        Lib().FindTag("t1");
        Lib().RegisterTag("NOPE");
    }
    EXPECT_EQ(server->RequestCount(), before);
    for (int i = 1; i <= 20; ++i) {
        double w = i;
        ASSERT_EQ(Lib().SetTagValue(t1, nullptr, 7, static_cast<uint16_t>(i & 7), &w, 7), 1);
        ASSERT_EQ(Lib().GetTagValue(t1, &t, &status, &v), 1);
        EXPECT_EQ(v, i);
        EXPECT_EQ(status, i & 7);
        // The owner's writes too, message time included.
        ASSERT_TRUE(server->WriteMessage(QStringLiteral("MSG1"), QString::number(i),
                                         QDateTime(QDate(2023, 12, i), QTime(1, 2, 3)), 0, 0));
        ASSERT_EQ(Lib().GetTagMessage(m, &t, &status, text), 1);
        EXPECT_EQ(QString::fromUtf8(text), QString::number(i));
        EXPECT_EQ(t.wDay, i);
    }
    if (before) {
        EXPECT_EQ(server->RequestCount(), *before + 20);
    }
}

TEST_F(Ptserv32, CallbackReadsTheValueThatCausedIt) {
    ASSERT_TRUE(server->Start());
    const uint16_t t1 = Lib().RegisterTag("T1");
    ASSERT_EQ(Lib().SetAdviseCallback(7, OnChangeRead), 1);
    ASSERT_GT(Advise(t1, 7, 1), 0);
    // Rising values from this client (its echoes) and from the runtime's owner, while this
    // thread keeps reading and writing.
    constexpr int N = 200;
    for (int i = 1; i <= N; ++i) {
        double v = i;
        if (i % 2)
            ASSERT_EQ(Lib().SetTagValue(t1, nullptr, 0, 0, &v, 7), 1);
        else
            ASSERT_TRUE(server->SetValue("T1", v));
    }
    auto reads = [] {
        std::lock_guard<std::mutex> lk(seenMutex);
        return readInCallback;
    };
    WaitUntil([&] { return reads().size() >= static_cast<std::size_t>(N); });
    const std::vector<double> r = reads();
    ASSERT_EQ(r.size(), static_cast<std::size_t>(N));
    for (int i = 0; i < N; ++i) EXPECT_GE(r[i], i + 1) << "change " << i + 1;
}

TEST_F(Ptserv32, ARestartedRuntimeIsMirroredAfresh) {
    ASSERT_TRUE(server->Start());
    const uint16_t trig = Lib().FindTag("TRIG"), msg = Lib().FindTag("MSG1");
    ASSERT_TRUE(trig != PT_NO_TAG && msg != PT_NO_TAG);
    server->Stop();
    char text[PT_MESSAGE_BUFFER_BYTES];
    PT_TIME t;
    uint16_t status;
    EXPECT_EQ(Lib().GetTagMessage(msg, &t, &status, text), 0);

    // Another tag database: other numbers, while each handle keeps standing for its name; values
    // written before the library comes back.
    ASSERT_TRUE(
        WriteTagDatabase(project + QStringLiteral("/DEMO.pam"), {{"NEW1", "TEXT"}, {"T1", "ANALOG"}}));
    TestRuntime again(project);
    ASSERT_TRUE(again.Start());
    ASSERT_TRUE(again.SetMessage("NEW1", QStringLiteral("kept")));
    ASSERT_TRUE(again.SetValue("T1", 6));
    EXPECT_EQ(Lib().FindTag("TRIG"), PT_NO_TAG);
    const uint16_t new1 = Lib().FindTag("new1");
    EXPECT_NE(new1, trig);
    ASSERT_EQ(Lib().GetTagMessage(new1, &t, &status, text), 1);
    EXPECT_STREQ(text, "kept");
    double v = 0;
    ASSERT_EQ(Lib().GetTagValue(Lib().FindTag("T1"), &t, &status, &v), 1);
    EXPECT_EQ(v, 6);
    EXPECT_EQ(Lib().GetTagValue(trig, &t, &status, &v), 0);
}

TEST_F(Ptserv32, AnOverlongMessageIsRefusedAndNoClientLosesItsTags) {
    ASSERT_TRUE(server->Start());
    const uint16_t msg = Lib().RegisterTag("MSG1");
    const uint16_t t1 = Lib().RegisterTag("T1");
    ASSERT_NE(t1, PT_NO_TAG);
    const std::string big(400 * 1024, 'x');
    EXPECT_FALSE(server->SetMessage(QStringLiteral("MSG1"), QString::fromStdString(big)));
    EXPECT_EQ(Lib().SetTagMessage(msg, nullptr, 0, 0, big.c_str(), 7), 0);
    EXPECT_EQ(Lib().RegisterTag(big.c_str()), PT_NO_TAG);
    // The link and every tag are still there.
    ASSERT_TRUE(server->SetValue(QStringLiteral("T1"), 4.5));
    PT_TIME t;
    uint16_t status = 0;
    double v = 0;
    EXPECT_EQ(Lib().GetTagValue(t1, &t, &status, &v), 1);
    EXPECT_EQ(v, 4.5);
    EXPECT_EQ(Lib().SetTagMessage(msg, nullptr, 0, 0, std::string(60 * 1024, 'y').c_str(), 7), 1);
}

TEST_F(Ptserv32, HostileRequestsAndTextsNeitherCrashNorCorruptTheRuntime) {
    Hostile h;
    SCOPED_TRACE(h.Seed());
    ASSERT_TRUE(server->Start());
    const uint16_t msg = Lib().RegisterTag("MSG1");
    QLocalSocket raw;
    raw.connectToServer(server->SocketPath());
    ASSERT_TRUE(raw.waitForConnected(5000));
    const char* verbs[] = {"FIND",  "GETV", "GETM", "SETV", "SETM", "ADV",
                           "UNADV", "GETN", "SNAP", "LIST", "X"};
    for (int round = 0; round < Hostile::Rounds(200); ++round) {
        QByteArray line = QByteArray::number(h.Int(0, 99)) + ' ' + verbs[h.Int(0, std::size(verbs) - 1)];
        for (int k = h.Int(0, 7); k > 0; --k) {
            const QByteArray text = h.Text(8).toUtf8();
            line += ' ' + (h.OneIn(3)   ? QByteArray::number(h.Number(), 'g', 17)
                           : h.OneIn(2) ? ':' + text.toPercentEncoding()
                                        : text);
        }
        raw.write(line + '\n');
        raw.waitForBytesWritten(100);
        raw.readAll();
        // Every message within the runtime's limit is taken and reads back as written, through
        // the library as its first 81 characters (a character pair is never cut in half).
        const QString text = h.Text();
        ASSERT_EQ(Lib().SetTagMessage(msg, nullptr, 0, 0, text.toStdString().c_str(), 7), 1);
        ASSERT_EQ(server->Message(QStringLiteral("MSG1")).toStdString(), text.toStdString());
        char back[PT_MESSAGE_BUFFER_BYTES];
        PT_TIME t;
        uint16_t status;
        ASSERT_EQ(Lib().GetTagMessage(msg, &t, &status, back), 1);
        const QString head = text.left(text.size() > 81 && text[80].isHighSurrogate() ? 80 : 81);
        ASSERT_EQ(std::string(back), head.toStdString());
        EXPECT_EQ(Lib().RegisterTag(h.Text(10).toStdString().c_str()), PT_NO_TAG);  // no such tag
    }
    ASSERT_TRUE(server->SetValue(QStringLiteral("T1"), 2.5));
    PT_TIME t;
    uint16_t status = 0;
    double v = 0;
    EXPECT_EQ(Lib().GetTagValue(Lib().RegisterTag("T1"), &t, &status, &v), 1);
    EXPECT_EQ(v, 2.5);
}

// A runtime that takes the connection and never answers costs the first call one answer timeout;
// the link is lost from then on: every call fails at once, the library tries a new connection at
// most once a second, and calls go through again once a runtime answers. A waiting call runs the
// host's hook, which may give the wait up.
TEST_F(Ptserv32, ASilentRuntimeCostsOneWaitAndLaterCallsFailAtOnceUntilItAnswers) {
    FakeRuntime fake(FakeRuntime::Mode::Still);
    ResetHook(-1);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(Lib().RegisterTag("T1"), PT_NO_TAG);
    EXPECT_GE(t.elapsed(), 4500);
    EXPECT_LT(t.elapsed(), 8000);
    EXPECT_GE(hookCalls, 20);  // about every 50 ms
    EXPECT_EQ(hookEnds, 1);
    EXPECT_EQ(foundInHook, PT_NO_TAG);
    EXPECT_EQ(Lib().IsLinkLost(), 1);

    t.restart();
    PT_TIME time{};
    uint16_t status = 0;
    double v = 0;
    char text[PT_MESSAGE_BUFFER_BYTES];
    EXPECT_EQ(Lib().FindTag("T1"), PT_NO_TAG);
    EXPECT_EQ(Lib().FindTag("Straße"), PT_NO_TAG);
    EXPECT_EQ(Lib().GetTagValue(1, &time, &status, &v), 0);
    EXPECT_EQ(Lib().GetTagMessage(1, &time, &status, text), 0);
    EXPECT_EQ(Lib().SetTagValue(1, nullptr, 0, 0, &v, 7), 0);
    EXPECT_EQ(Lib().SetTagMessage(1, nullptr, 0, 0, "x", 7), 0);
    EXPECT_EQ(Lib().SetAdviseCallback(7, OnChange), 0);
    EXPECT_EQ(Advise(1, 7, 1), 0);
    EXPECT_EQ(Lib().TagUnadvise(1, 1), 0);
    EXPECT_LT(t.elapsed(), 500);
    EXPECT_EQ(hookEnds, 1);  // no wait

    fake.SetMode(FakeRuntime::Mode::Close);
    const int accepted = fake.Accepted();
    QThread::msleep(3000);
    EXPECT_LE(fake.Accepted() - accepted, 5);

    fake.SetMode(FakeRuntime::Mode::Answer);
    ASSERT_TRUE(WaitUntil([] { return Lib().IsLinkLost() == 0; }));
    const uint16_t t1 = Lib().FindTag("t1");
    ASSERT_NE(t1, PT_NO_TAG);
    ASSERT_EQ(Lib().GetTagValue(t1, &time, &status, &v), 1);
    EXPECT_EQ(v, 1.5);

    // A wait the hook gives up fails the call and loses the link.
    fake.SetMode(FakeRuntime::Mode::Still);
    ResetHook(300);
    t.restart();
    EXPECT_EQ(Lib().SetTagValue(t1, nullptr, 0, 0, &v, 7), 0);
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_EQ(hookEnds, 1);
    EXPECT_EQ(Lib().IsLinkLost(), 1);
    EXPECT_EQ(Lib().GetTagValue(t1, &time, &status, &v), 0);
    fake.SetMode(FakeRuntime::Mode::Answer);
    EXPECT_TRUE(WaitUntil([] { return Lib().IsLinkLost() == 0; }));
}

// A quiet link to a runtime that answers stays up; a runtime that stops answering after a good
// start is found lost within the answer timeout without any call, and then calls fail at once.
TEST_F(Ptserv32, ARuntimeThatStopsIsFoundLostWithoutACallAndLaterCallsFailAtOnce) {
    ASSERT_TRUE(server->Start());
    const uint16_t t1 = Lib().RegisterTag("T1");
    ASSERT_NE(t1, PT_NO_TAG);
    ASSERT_EQ(Lib().SetAdviseCallback(7, OnChange), 1);
    ASSERT_GT(Advise(t1, 7, 3), 0);
    QThread::msleep(6500);
    // Still the same connection: its advise calls back.
    ASSERT_TRUE(server->SetValue(QStringLiteral("T1"), 4));
    EXPECT_TRUE(WaitSeen(1));
    server->Stop();
    PT_TIME time{};
    uint16_t status = 0;
    double v = 0;

    FakeRuntime fake(FakeRuntime::Mode::Answer);
    ASSERT_EQ(Lib().FindTag("T1"), t1);  // its number there is 1
    ResetHook(-1);
    fake.SetMode(FakeRuntime::Mode::Still);
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(WaitUntil([] { return Lib().IsLinkLost() == 1; }));
    EXPECT_GE(t.elapsed(), 4000);
    EXPECT_LT(t.elapsed(), 7000);
    t.restart();
    EXPECT_EQ(Lib().GetTagValue(t1, &time, &status, &v), 0);
    EXPECT_EQ(Lib().SetTagValue(t1, nullptr, 0, 0, &v, 7), 0);
    EXPECT_LT(t.elapsed(), 200);
    EXPECT_EQ(hookCalls, 0);
    fake.SetMode(FakeRuntime::Mode::Answer);
    ASSERT_TRUE(WaitUntil([] { return Lib().IsLinkLost() == 0; }));
    EXPECT_EQ(Lib().GetTagValue(t1, &time, &status, &v), 1);
}

// A runtime whose lines cannot be read gives no sign of life: the link is lost within the answer
// timeout of the check, although bytes keep coming.
TEST_F(Ptserv32, ARuntimeSendingOnlyUnreadableLinesLosesTheLink) {
    FakeRuntime fake(FakeRuntime::Mode::Answer);
    ASSERT_NE(Lib().FindTag("T1"), PT_NO_TAG);
    fake.SetMode(FakeRuntime::Mode::Garbage);
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(WaitUntil([] { return Lib().IsLinkLost() == 1; }));
    EXPECT_LT(t.elapsed(), 8000);
}

// A value that is not a finite number is the fault of its tag alone: its reads fail and the text
// received is at hand, while the link and the other tags go on. Invalid UTF-8 reads as U+FFFD.
TEST_F(Ptserv32, AValueThatIsNoFiniteNumberIsItsTagsFaultNotTheLinks) {
    FakeRuntime fake(FakeRuntime::Mode::Answer);
    const std::string time = " 2024.1.2.3.4.5 ";
    fake.SetSnapshot("* 1" + time + "0 1e400" + time + ":m :T1 :T1\n* 2" + time + "0 2.5" + time +
                     ":%FF%E9t :T2 :T2\n");
    const uint16_t h1 = Lib().FindTag("T1"), h2 = Lib().FindTag("T2");
    ASSERT_TRUE(h1 != PT_NO_TAG && h2 != PT_NO_TAG);
    PT_TIME t{};
    uint16_t status = 0;
    double v = 0;
    char text[PT_MESSAGE_BUFFER_BYTES];
    auto fault = [&]() -> std::string {
        std::strcpy(text, "none");
        return Lib().TagFaultText(h1, text) == 1 ? text : "(none)";
    };
    EXPECT_EQ(Lib().GetTagValue(h1, &t, &status, &v), 0);
    EXPECT_EQ(fault(), "1e400");
    ASSERT_EQ(Lib().GetTagMessage(h1, &t, &status, text), 1);
    EXPECT_STREQ(text, "m");
    ASSERT_EQ(Lib().GetTagValue(h2, &t, &status, &v), 1);
    EXPECT_EQ(v, 2.5);
    EXPECT_EQ(Lib().TagFaultText(h2, text), 0);
    ASSERT_EQ(Lib().GetTagMessage(h2, &t, &status, text), 1);
    EXPECT_EQ(std::string(text), "\uFFFD\uFFFDt");

    const std::string longText = "\xE9" + std::string(100, '9');
    for (const std::string bad : {"nan", "inf", "-inf", "0x10", "+5", "1,5", "", longText.c_str()}) {
        SCOPED_TRACE(bad);
        fake.Send("$ 1" + time + "3 7" + time + ":m");
        ASSERT_EQ(Lib().GetTagValue(h1, &t, &status, &v), 1);
        EXPECT_EQ(v, 7);
        EXPECT_EQ(fault(), "(none)");
        fake.Send("$ 1" + time + "3 " + bad + time + ":m");
        EXPECT_EQ(Lib().GetTagValue(h1, &t, &status, &v), 0);
        EXPECT_EQ(fault(), bad == longText ? "\uFFFD" + std::string(80, '9') : bad);
    }
    EXPECT_EQ(Lib().IsLinkLost(), 0);
    EXPECT_EQ(fake.Accepted(), 1);
    EXPECT_EQ(Lib().GetTagValue(h2, &t, &status, &v), 1);
}

// A runtime ended and started again, while the host makes no call: the link comes back with the
// advises in force under the IDs the host holds, one callback tells each advised tag that changed
// meanwhile, and an advise ended during the outage is not made again.
TEST_F(Ptserv32, ARestartedRuntimeHasTheAdvisesAgainAndTellsWhatChangedMeanwhile) {
    ASSERT_TRUE(server->Start());
    const uint16_t trig = Lib().RegisterTag("TRIG"), t1 = Lib().RegisterTag("T1"),
                   m = Lib().RegisterTag("MSG1");
    ASSERT_EQ(Lib().SetAdviseCallback(7, OnChange), 1);
    const int16_t aTrig = Advise(trig, 7, 4);
    ASSERT_GT(Advise(t1, 7, 9), 0);
    const int16_t aMsg = Advise(m, 7, 5);
    ASSERT_GT(aMsg, 0);
    ASSERT_TRUE(server->SetValue("T1", 8));
    ASSERT_TRUE(WaitSeen(1));
    server->Stop();
    ASSERT_TRUE(WaitUntil([] { return Lib().IsLinkLost() == 1; }));
    EXPECT_EQ(Lib().TagUnadvise(m, aMsg), 1);  // the runtime cannot be told

    // The new runtime starts with T1 at 0 (it was 8) and TRIG at 0, as before.
    TestRuntime again(project);
    ASSERT_TRUE(again.Start());
    ASSERT_TRUE(WaitUntil([] { return Lib().IsLinkLost() == 0; }));
    ASSERT_TRUE(WaitSeen(2));
    ASSERT_TRUE(again.SetMessage("MSG1", QStringLiteral("x")));
    ASSERT_TRUE(again.SetValue("TRIG", 1));
    ASSERT_TRUE(WaitSeen(3));
    auto s = SeenNow();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[1].handle, t1);
    EXPECT_EQ(s[1].index, 9);
    EXPECT_TRUE(s[1].otherThread);
    EXPECT_EQ(s[2].index, 4);
    EXPECT_EQ(Lib().TagUnadvise(trig, aTrig), 1);
    ASSERT_TRUE(again.SetValue("TRIG", 0));
    ASSERT_TRUE(again.SetValue("T1", 1));
    ASSERT_TRUE(WaitSeen(4));
    EXPECT_EQ(SeenNow().back().index, 9);
    EXPECT_EQ(SeenNow().size(), 4u);
}

// A runtime process frozen past the answer timeout and woken: the link comes back with the advise
// in force, and the ID the host holds still unadvises it.
TEST_F(Ptserv32, ARuntimeFrozenAndWokenHasTheAdvisesAgain) {
    ChildProcess sim;
    ASSERT_TRUE(sim.Start(HexvaneSimProgram(), {"run", project}));
    ASSERT_TRUE(WaitUntil([] { return Lib().FindTag("T1") != PT_NO_TAG; }));
    const uint16_t t1 = Lib().FindTag("T1"), trig = Lib().FindTag("TRIG");
    ASSERT_EQ(Lib().SetAdviseCallback(7, OnChange), 1);
    // The runtime's ids of the new connection differ from the IDs held.
    ASSERT_EQ(Lib().TagUnadvise(trig, Advise(trig, 7, 1)), 1);
    const int16_t a = Advise(t1, 7, 3);
    ASSERT_GT(a, 0);
    auto cli = [](const QStringList& args) { return RunToEnd(HexvaneSimProgram(), args); };
    ::kill(sim.Pid(), SIGSTOP);
    ASSERT_TRUE(WaitUntil([] { return Lib().IsLinkLost() == 1; }));
    ::kill(sim.Pid(), SIGCONT);
    ASSERT_TRUE(WaitUntil([] { return Lib().IsLinkLost() == 0; }));
    ASSERT_TRUE(cli({"set", "T1", "4"}));
    ASSERT_TRUE(WaitSeen(1));
    EXPECT_EQ(SeenNow().back().index, 3);
    EXPECT_EQ(Lib().TagUnadvise(t1, a), 1);
    // A later advise shows the changes before it have passed.
    ASSERT_GT(Advise(trig, 7, 11), 0);
    ASSERT_TRUE(cli({"set", "T1", "5"}));
    ASSERT_TRUE(cli({"set", "TRIG", "1"}));
    ASSERT_TRUE(WaitSeen(2));
    EXPECT_EQ(SeenNow().back().index, 11);
    EXPECT_EQ(SeenNow().size(), 2u);
    sim.End();
}
