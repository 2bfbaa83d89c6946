#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>

#include <future>
#include <limits>

#include "common/Numbers.h"
#include "platform/captions/Captions.h"
#include "platform/hexvane-sim/ChangeCounter.h"
#include "platform/hexvane-sim/HexvaneProtocol.h"
#include "platform/hexvane-sim/HexvaneScript.h"
#include "platform/hexvane-sim/HexvaneServer.h"
#include "tests/platform/hexvane-sim/HmiTestProject.h"

namespace {

const QVector<QPair<QString, QString>> DemoTags = {{"TRIG", "Digital"}, {"T1", "ANALOG"}, {"T2", ""},
                                                   {"MSG1", "TEXT"},    {"t1", "ANALOG"}, {"", "ANALOG"}};

class HexvaneSim : public ::testing::Test {
  protected:
    void SetUp() override { project = MakeHmiProject(dir.path(), QStringLiteral("DEMO"), DemoTags); }

    // Runs the program and gives its exit code; output in out/err.
    int Cli(const QStringList& args, QString* out = nullptr, QString* err = nullptr) {
        QProcess p;
        p.start(QStringLiteral(LEDGRIX_BIN_DIR "/hexvane-sim"), args);
        EXPECT_TRUE(p.waitForFinished(15000));
        if (out) *out = QString::fromUtf8(p.readAllStandardOutput());
        if (err) *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    PrivateRuntimeFolder runtime;
    QTemporaryDir dir;
    QString project;
};

// A raw client of the runtime.
class RawClient {
  public:
    bool Open(const QString& path) {
        socket_.connectToServer(path);
        return socket_.waitForConnected(5000);
    }
    void Send(const QByteArray& line) {
        socket_.write(line + '\n');
        socket_.flush();
    }
    // The next line; empty when none comes in time.
    QByteArray Line(int timeoutMs = 30000) {
        QElapsedTimer clock;
        clock.start();
        while (!socket_.canReadLine())
            if (!socket_.waitForReadyRead(std::max<qint64>(1, timeoutMs - clock.elapsed()))) return {};
        return socket_.readLine().chopped(1);
    }

  private:
    QLocalSocket socket_;
};

auto Known = [](const QString& t) { return t.compare(QLatin1String("T1"), Qt::CaseInsensitive) == 0; };

}  // namespace

// The command line shows values as the saver writes numbers; the stand-in keeps its own copy of
// that rule, so both must agree at every magnitude.
TEST(HexvaneWire, DisplayNumberIsTheSaversNumberText) {
    const double inf = std::numeric_limits<double>::infinity();
    for (const double v : {0.0,       -0.0,       3.0,
                           7.25,      -0.25,      0.1 + 0.2,
                           1234567.0, 1e14 + 0.5, 999999999999999.9,
                           1e15,      1e20,       -1e21,
                           1.5e-6,    1e-6,       9.99e-7,
                           1e-300,    4.9e-324,   1.7976931348623157e308,
                           inf,       -inf,       std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(QString::fromStdString(HexvaneWire::DisplayNumber(v)), Numbers::NumberText(v)) << v;
}

TEST(HexvaneScript, ParsesEveryFormAndNamesTheBadLine) {
    QString error;
    const auto s = HexvaneScript::Parse(QStringLiteral("# comment\r\n"
                                                       "\n"
                                                       "0.5 set T1 -12.5\n"
                                                       "1 msg t1   Hello  # world  \n"
                                                       "EVERY 0.25 from 2 until 4 SET T1 ramp 10 0 -2.5\n"
                                                       "every 1 set T1 random 0 50\n"
                                                       "every 3 pulse T1\n"
                                                       "9 quit\n"),
                                        Known, &error);
    ASSERT_TRUE(s) << error.toStdString();
    ASSERT_EQ(s->lines.size(), 6);
    EXPECT_EQ(s->lines[0].lineNumber, 3);
    EXPECT_EQ(s->lines[0].value, -12.5);
    EXPECT_EQ(s->lines[1].text, QStringLiteral("Hello  # world"));
    const auto& ramp = s->lines[2];
    EXPECT_TRUE(ramp.repeat);
    EXPECT_EQ(ramp.mode, HexvaneScriptLine::Mode::Ramp);
    EXPECT_EQ(ramp.period, 0.25);
    EXPECT_EQ(ramp.from, 2);
    EXPECT_EQ(ramp.until, 4);
    EXPECT_EQ(ramp.step, -2.5);
    EXPECT_EQ(s->lines[3].mode, HexvaneScriptLine::Mode::Random);
    EXPECT_EQ(s->lines[4].action, HexvaneScriptLine::Action::Pulse);
    EXPECT_EQ(s->lines[5].action, HexvaneScriptLine::Action::Quit);

    const QStringList bad = {"x set T1 1",
                             "-1 set T1 1",
                             "1 set T9 1",
                             "1 set T1",
                             "1 set T1 abc",
                             "1 set T1 1 2",
                             "1 jump T1",
                             "1 quit now",
                             "every 0 set T1 1",
                             "every 0.0004 set T1 1",  // rounds to no millisecond
                             "every 1e300 set T1 1",
                             "1e300 set T1 1",
                             "every 1 quit",
                             "1 set T1 ramp 0 10 1",
                             "every 1 set T1 ramp 0 10 -1",
                             "every 1 set T1 ramp 0 10",
                             "every 1 set T1 random 5 1",
                             "every 1 until 1 from 2 set T1 1",
                             "every 1 from 3 until 2 set T1 1",
                             "every",
                             "1 pulse",
                             "1 msg"};
    for (const QString& line : bad) {
        error.clear();
        EXPECT_FALSE(HexvaneScript::Parse(QStringLiteral("# ok\n0 set T1 1\n") + line, Known, &error))
            << line.toStdString();
        EXPECT_TRUE(error.startsWith(QStringLiteral("line 3: ")))
            << line.toStdString() << ": " << error.toStdString();
    }
}

TEST_F(HexvaneSim, ServerLoadsTagsAndHoldsTheCaption) {
    ASSERT_FALSE(project.isEmpty());
    HexvaneServer server(project);
    EXPECT_FALSE(WindowCaptionExists(HexvaneCaption()));
    ASSERT_TRUE(server.Start()) << server.ErrorText().toStdString();
    EXPECT_TRUE(WindowCaptionExists(QStringLiteral("Vellumdock for Windows")));
    // Empty names and names that differ only in letter case give no second tag.
    EXPECT_EQ(server.TagNames(), QStringList({"TRIG", "T1", "T2", "MSG1"}));
    EXPECT_EQ(server.Handle("msg1"), 4);
    EXPECT_EQ(server.Handle("none"), 65535);
    EXPECT_EQ(server.Tag("TRIG")->kind, HexvaneTagKind::Digital);
    EXPECT_EQ(server.Value("T1"), 0);
    EXPECT_TRUE(server.Message("MSG1").isEmpty());
    EXPECT_FALSE(server.SetValue("none", 1));

    HexvaneServer second(project);
    EXPECT_FALSE(second.Start());
    EXPECT_TRUE(second.ErrorText().contains(QStringLiteral("already running")));
    server.Stop();
    EXPECT_FALSE(WindowCaptionExists(HexvaneCaption()));
    EXPECT_TRUE(second.Start()) << second.ErrorText().toStdString();
}

TEST_F(HexvaneSim, TagDatabaseChoice) {
    // The mirror file is preferred; a missing or foreign database is refused with its reason.
    ASSERT_TRUE(WriteTagDatabase(project + QStringLiteral("/demo.PAM.mir"), {{"MIRROR", "ANALOG"}}));
    HexvaneServer server(project);
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(server.TagNames(), QStringList{"MIRROR"});
    server.Stop();

    HexvaneServer none(dir.path() + QStringLiteral("/EMPTY"));
    EXPECT_FALSE(none.Start());
    EXPECT_TRUE(none.ErrorText().contains(QStringLiteral("EMPTY.pam"))) << none.ErrorText().toStdString();

    QDir().mkpath(dir.path() + QStringLiteral("/JUNK"));
    QFile junk(dir.path() + QStringLiteral("/JUNK/JUNK.pam"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a database at all, just text that goes on for a while..............");
    junk.close();
    HexvaneServer bad(dir.path() + QStringLiteral("/JUNK"));
    EXPECT_FALSE(bad.Start());
    EXPECT_FALSE(bad.ErrorText().isEmpty());
    EXPECT_FALSE(WindowCaptionExists(HexvaneCaption()));
}

TEST_F(HexvaneSim, ScriptPlaysOnSchedule) {
    HexvaneServer server(project);
    ASSERT_TRUE(server.Start());
    QString error;
    const auto script = HexvaneScript::Parse(
        QStringLiteral("0.15 set T1 5\n"
                       "every 0.05 until 0.5 set T2 ramp 0 3 1\n"
                       "0.1 msg MSG1 hello world\n"
                       "every 0.1 pulse TRIG\n"
                       "0.7 quit\n"),
        [&](const QString& t) { return server.Handle(t) != 65535; }, &error);
    ASSERT_TRUE(script) << error.toStdString();
    // A mirroring client hears every change in order, however late this thread looks.
    RawClient mirror;
    ASSERT_TRUE(mirror.Open(server.SocketPath()));
    mirror.Send("1 FIND :T2");
    const QByteArray t2 = mirror.Line().mid(4);
    mirror.Send("2 SNAP");
    for (QByteArray l = mirror.Line(); !l.startsWith("= 2"); l = mirror.Line()) ASSERT_FALSE(l.isEmpty());
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(server.PlayScript(*script));

    // The ramp goes 0, 1, 2, 3 and starts over.
    std::vector<double> ramp;
    while (ramp.size() < 6) {
        const QList<QByteArray> state = mirror.Line().split(' ');
        ASSERT_GT(state.size(), 4);
        if (state[0] == "$" && state[1] == t2) ramp.push_back(state[4].toDouble());
    }
    EXPECT_EQ(ramp, (std::vector<double>{0, 1, 2, 3, 0, 1}));
    ASSERT_TRUE(server.WaitForValue("T1", 5, 30000));
    EXPECT_GE(clock.elapsed(), 150);
    EXPECT_EQ(server.Message("MSG1"), QStringLiteral("hello world"));
    ASSERT_TRUE(server.WaitForQuit(30000));
    EXPECT_GE(clock.elapsed(), 700);
    EXPECT_GE(server.ChangeCount("TRIG"), 5u);
    // Nothing is played after quit: a later script's line, due after the next pulse would have
    // been, comes alone.
    const quint64 pulses = server.ChangeCount("TRIG");
    const auto later = HexvaneScript::Parse(
        QStringLiteral("0.25 set T1 9\n"), [](const QString&) { return true; }, &error);
    ASSERT_TRUE(later && server.PlayScript(*later));
    ASSERT_TRUE(server.WaitForValue("T1", 9, 30000));
    EXPECT_EQ(server.ChangeCount("TRIG"), pulses);
}

TEST_F(HexvaneSim, CommandLineAgainstARunningInstance) {
    QString out, err;
    EXPECT_EQ(Cli({"get", "T1"}, nullptr, &err), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("no HMI runtime is running"))) << err.toStdString();

    const QString script = dir.path() + QStringLiteral("/script.txt");
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("0 msg MSG1 started\n");
    f.close();
    QProcess sim;
    sim.start(QStringLiteral(LEDGRIX_BIN_DIR "/hexvane-sim"), {"run", project, "--script", script});
    ASSERT_TRUE(sim.waitForReadyRead(15000)) << sim.readAllStandardError().toStdString();
    EXPECT_TRUE(sim.readAllStandardOutput().contains("running with 4 tags"));
    EXPECT_TRUE(WindowCaptionExists(HexvaneCaption()));

    EXPECT_EQ(Cli({"set", "t1", "7.25"}), 0);
    EXPECT_EQ(Cli({"msg", "T2", "溫度", "[ok]"}), 0);
    EXPECT_EQ(Cli({"get", "T1"}, &out), 0);
    QStringList row = out.section(u'\n', 0, 0).split(u'\t');
    ASSERT_EQ(row.size(), 6) << out.toStdString();
    EXPECT_EQ(row[0], QStringLiteral("T1"));
    EXPECT_EQ(row[1], QStringLiteral("ANALOG"));
    EXPECT_EQ(row[2], QStringLiteral("7.25"));
    EXPECT_EQ(row[4].size(), 19);
    EXPECT_EQ(Cli({"list"}, &out), 0);
    const QStringList lines = out.trimmed().split(u'\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("T2\t\t0\t"))) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral("\t溫度 [ok]"))) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral("\tstarted"))) << lines[3].toStdString();

    EXPECT_EQ(Cli({"set", "NOPE", "1"}, nullptr, &err), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("unknown tag \"NOPE\""))) << err.toStdString();
    EXPECT_EQ(Cli({"set", "T1", "seven"}, nullptr, &err), 1);
    EXPECT_NE(Cli({"set", "T1"}), 0);

    // A second run beside it is refused; SIGTERM ends the first in order.
    EXPECT_EQ(Cli({"run", project}, nullptr, &err), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("already running"))) << err.toStdString();
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(WindowCaptionExists(HexvaneCaption()));
    EXPECT_EQ(Cli({"list"}), 1);
}

TEST_F(HexvaneSim, ARuntimeFolderOthersMayWriteToIsRefused) {
    const QByteArray folder = QFile::encodeName(runtime.Path());
    ASSERT_EQ(::chmod(folder.constData(), 0777), 0);
    QString err;
    const QString refusal = QStringLiteral(
                                "hexvane-sim: the runtime folder %1 cannot be used: other users may "
                                "use it (mode 0777)\n")
                                .arg(runtime.Path());
    EXPECT_EQ(Cli({"run", project}, nullptr, &err), 1);
    EXPECT_EQ(err, refusal);
    EXPECT_TRUE(FolderHoldsNothing(runtime.Path()));

    // Nor is a runtime's socket there used.
    ASSERT_EQ(::chmod(folder.constData(), 0700), 0);
    HexvaneServer server(project);
    ASSERT_TRUE(server.Start()) << server.ErrorText().toStdString();
    ASSERT_EQ(::chmod(folder.constData(), 0777), 0);
    EXPECT_EQ(Cli({"list"}, nullptr, &err), 1);
    EXPECT_EQ(err, refusal);
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(HexvaneSim, KilledOrBadlyScriptedRunsLeaveNothingBehind) {
    // A killed runtime's caption and socket die with it; the next run starts normally.
    QProcess sim;
    sim.start(QStringLiteral(LEDGRIX_BIN_DIR "/hexvane-sim"), {"run", project});
    ASSERT_TRUE(sim.waitForReadyRead(15000));
    EXPECT_TRUE(WindowCaptionExists(HexvaneCaption()));
    sim.kill();
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_FALSE(WindowCaptionExists(HexvaneCaption()));

    const QString script = dir.path() + QStringLiteral("/bad.txt");
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("# two good lines\n1 set T1 2\nevery 1 set T1 random 9 1\n");
    f.close();
    QString err;
    EXPECT_EQ(Cli({"run", project, "--script", script}, nullptr, &err), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("line 3:"))) << err.toStdString();
    EXPECT_FALSE(WindowCaptionExists(HexvaneCaption()));

    // A quit line ends the program by itself.
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("0.1 quit\n");
    f.close();
    EXPECT_EQ(Cli({"run", project, "--script", script}), 0);
}

TEST_F(HexvaneSim, MirroringConnectionsGetEachChangeFirst) {
    HexvaneServer server(project);
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(server.SetMessage("MSG1", QStringLiteral("a b")));
    RawClient mirror, other;
    ASSERT_TRUE(mirror.Open(server.SocketPath()));
    ASSERT_TRUE(other.Open(server.SocketPath()));

    // The snapshot: one row per tag in handle order with its match key, then the count.
    mirror.Send("1 SNAP");
    QList<QByteArray> rows;
    for (QByteArray l = mirror.Line(); !l.startsWith('='); l = mirror.Line()) {
        ASSERT_FALSE(l.isEmpty());
        rows << l;
    }
    ASSERT_EQ(rows.size(), 4);
    EXPECT_TRUE(rows[0].startsWith("* 1 ")) << rows[0].toStdString();
    EXPECT_TRUE(rows[0].endsWith(" :TRIG :TRIG")) << rows[0].toStdString();
    EXPECT_TRUE(rows[3].endsWith(" :a%20b :MSG1 :MSG1")) << rows[3].toStdString();
    mirror.Send("2 ADV 2 7 3");
    EXPECT_EQ(mirror.Line(), "= 2 1");

    // Another client's write: the state line reaches the mirror, then the notification; the
    // writer, which takes no snapshot, gets only its answer.
    other.Send("1 SETV 2 2024.3.5.7.8.9 7 3 4.5 9");
    EXPECT_EQ(other.Line(), "= 1 1");
    const QByteArray state = mirror.Line();
    EXPECT_TRUE(state.startsWith("$ 2 2024.3.5.7.8.9 3 4.5 ") && state.endsWith(" :")) << state.toStdString();
    EXPECT_EQ(mirror.Line(), "! 7 2 3");
    // Its own write: state, answer, echo. Messages keep their own time.
    mirror.Send("3 SETM 2 2024.4.1.0.0.0 0 0 :x%25 7");
    EXPECT_EQ(mirror.Line(), "$ 2 2024.3.5.7.8.9 3 4.5 2024.4.1.0.0.0 :x%25");
    EXPECT_EQ(mirror.Line(), "= 3 1");
    EXPECT_EQ(mirror.Line(), "! 7 2 3");
    // The owner's write.
    ASSERT_TRUE(server.SetValue("T1", -1));
    EXPECT_TRUE(mirror.Line().startsWith("$ 2 "));
    EXPECT_EQ(mirror.Line(), "! 7 2 3");
    other.Send("4 FIND :T1");  // its answer comes first: nothing was sent to it before
    EXPECT_EQ(other.Line(), "= 4 2");
}

TEST_F(HexvaneSim, AClientThatStopsReadingIsDroppedAndTheOthersAreServed) {
    HexvaneServer server(project);
    ASSERT_TRUE(server.Start()) << server.ErrorText().toStdString();
    // A client that sends requests without ever reading the answers.
    QLocalSocket flood;
    flood.setReadBufferSize(1);
    flood.connectToServer(server.SocketPath());
    ASSERT_TRUE(flood.waitForConnected(5000));
    constexpr quint64 kRequests = 20000;  // a round's
    const QByteArray requests = QByteArray("1 LIST\n").repeated(kRequests);
    RawClient other;
    ASSERT_TRUE(other.Open(server.SocketPath()));
    // The other client is answered between the flood's turns: before the flood's requests of the
    // round are all handled.
    quint64 most = 0;
    for (int round = 0; round < 40 && flood.state() == QLocalSocket::ConnectedState; ++round) {
        flood.write(requests);
        flood.waitForBytesWritten(200);
        const quint64 before = server.RequestCount();
        other.Send("7 FIND :T1");
        ASSERT_EQ(other.Line(), "= 7 2");
        most = std::max(most, server.RequestCount() - before);
    }
    // Its pending output passed the cap: the runtime closed it rather than growing.
    EXPECT_TRUE(flood.state() != QLocalSocket::ConnectedState || flood.waitForDisconnected(10000));
    EXPECT_LT(most, kRequests);

    // Advise ids up to the cap: a freed one is given again, then none is left.
    other.Send("8 SNAP");
    while (!other.Line().startsWith("= 8")) {
    }
    for (int i = 1; i <= 32767; ++i) other.Send("9 ADV 2 1 " + QByteArray::number(i));
    for (int i = 1; i <= 32767; ++i) ASSERT_EQ(other.Line(), "= 9 " + QByteArray::number(i));
    other.Send("10 UNADV 2 32766");
    EXPECT_EQ(other.Line(), "= 10 1");
    other.Send("11 ADV 2 1 1");  // the one free id lies just behind the last one given
    EXPECT_EQ(other.Line(), "= 11 32766");
    other.Send("12 ADV 2 1 1");
    EXPECT_EQ(other.Line(), "= 12 0");
    server.Stop();
}

// The change count is used only from a regular file of the user's: anything else planted in its
// place costs the count at once, never a wait.
TEST_F(HexvaneSim, TheChangeCountIsTakenOnlyFromARegularFile) {
    const std::string folder = QFile::encodeName(runtime.Path()).toStdString();
    const std::string seq = folder + "/hexvane.seq";
    {
        ChangeCounter runtimeSide, client;
        ASSERT_TRUE(runtimeSide.Open(true, folder));
        runtimeSide.Bump();
        ASSERT_TRUE(client.Open(false, folder));
        EXPECT_EQ(client.Load(), 1u);
    }
    // Another user's file (staged only where the test may give it away).
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(seq.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(ChangeCounter().Open(false, folder));
        ASSERT_EQ(::chown(seq.c_str(), 0, 0), 0);
    }
    // A link to a good count elsewhere is not followed.
    const std::string elsewhere = QFile::encodeName(dir.path()).toStdString();
    ASSERT_EQ(::rename(seq.c_str(), (elsewhere + "/hexvane.seq").c_str()), 0);
    ASSERT_EQ(::symlink((elsewhere + "/hexvane.seq").c_str(), seq.c_str()), 0);
    EXPECT_FALSE(ChangeCounter().Open(false, folder));

    // A FIFO, on either side. A client whose open waits for a writer is let go by one.
    ASSERT_EQ(::unlink(seq.c_str()), 0);
    ASSERT_EQ(::mkfifo(seq.c_str(), 0600), 0);
    for (const bool writable : {false, true}) {
        auto open = std::async(std::launch::async, [&] { return ChangeCounter().Open(writable, folder); });
        if (open.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ADD_FAILURE() << "the open of a FIFO waits (writable " << writable << ")";
            const int release = ::open(seq.c_str(), O_WRONLY | O_NONBLOCK);
            if (release >= 0) ::close(release);
        }
        EXPECT_FALSE(open.get()) << "writable " << writable;
    }
}
