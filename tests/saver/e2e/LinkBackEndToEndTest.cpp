// The real Ledgrix program with hexvane-sim as a program of its own, frozen for longer than the
// tag manager's answer timeout and woken again.
#include <signal.h>

#include "tests/saver/SaverProcessFixture.h"

namespace {

class LinkBackE2E : public SaverProcessFixture {
  protected:
    void TearDown() override {
        if (runtime.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(runtime.processId()), SIGCONT);
            runtime.terminate();
            runtime.waitForFinished(5000);
        }
        SaverProcessFixture::TearDown();
    }

    // A command of hexvane-sim on the running instance: whether it succeeded, and its output.
    bool Sim(const QStringList& args, QString* out = nullptr) {
        QProcess cli;
        cli.start(BinFile(QStringLiteral("hexvane-sim")), args);
        if (!cli.waitForFinished(10000) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0)
            return false;
        if (out) *out = QString::fromUtf8(cli.readAllStandardOutput());
        return true;
    }
    // A tag's value as `get` shows it (NAME, CLASS, VALUE, ...); -1 when it cannot be had.
    double Value(const QString& tag) {
        QString out;
        const QStringList cols = Sim({QStringLiteral("get"), tag}, &out) ? out.split(u'\t') : QStringList();
        return cols.size() > 2 ? cols[2].toDouble() : -1;
    }
    bool Set(const QString& tag, double value) {
        return Sim({QStringLiteral("set"), tag, QString::number(value)});
    }

    QProcess runtime;
};

}  // namespace

TEST_F(LinkBackE2E, AFrozenRuntimeThatWakesIsHeardAgainAndItsStopTagEndsTheSaver) {
    MakeRuntimeProject();
    server->Stop();
    runtime.start(BinFile(QStringLiteral("hexvane-sim")), {QStringLiteral("run"), project});
    ASSERT_TRUE(WaitUntil([&] { return Value(QStringLiteral("ALIVE")) == 0; }, kPatienceMs))
        << runtime.readAllStandardError().toStdString();
    QProcess& saver = StartSaver({QStringLiteral("P1"), QStringLiteral("WS1")});
    ASSERT_TRUE(WaitUntil([&] { return Value(QStringLiteral("ALIVE")) == 1; }, kPatienceMs))
        << saver.readAllStandardError().toStdString();
    // The first change primes the trigger, the next one records.
    for (const double v : {1, 0, 1}) ASSERT_TRUE(Set(QStringLiteral("TRIG"), v));
    ASSERT_TRUE(WaitUntil([&] { return Value(QStringLiteral("NREC")) == 1; }, kPatienceMs));
    ASSERT_TRUE(WaitUntil([&] { return Value(QStringLiteral("TRIG")) == 0; }, kPatienceMs));

    // Frozen until the saver has found the link lost, then woken.
    const auto pid = static_cast<pid_t>(runtime.processId());
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    const bool lost = WaitUntil(
        [&] { return !LogLines().filter(QStringLiteral("Ledgrix can not connect with Hexvane!")).isEmpty(); },
        kPatienceMs);
    ASSERT_EQ(::kill(pid, SIGCONT), 0);
    ASSERT_TRUE(lost);

    ASSERT_TRUE(Set(QStringLiteral("TRIG"), 1));
    EXPECT_TRUE(WaitUntil([&] { return Value(QStringLiteral("NREC")) == 2; }, kPatienceMs))
        << LogLines().join(u'\n').toStdString();
    ASSERT_TRUE(Set(QStringLiteral("STOP"), 1));
    ASSERT_TRUE(saver.waitForFinished(10000)) << "the saver did not end on its stop tag";
    EXPECT_EQ(saver.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(saver.exitCode(), 0);
}
