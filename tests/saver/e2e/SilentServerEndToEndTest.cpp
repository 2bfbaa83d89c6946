// The real Ledgrix program with a MySQL target whose server accepts connections and never
// answers, beside a CSV group that records twice a second.
#include <signal.h>

#include "tests/saver/SaverProcessFixture.h"
#include "tests/support/SilentServer.h"
#include "tests/support/TestSupport.h"

using SilentServerE2E = SaverProcessFixture;

TEST_F(SilentServerE2E, CostsOnlyItsOwnGroupAndAStopSignalStillEndsTheSaverInOrder) {
    MakeProgramFolder(BinFile(QStringLiteral("Ledgrix.set")), QStringLiteral(LEDGRIX_TEST_DATA "/e2e"),
                      QStringLiteral("E2E"),
                      {{QStringLiteral("STOP"), QStringLiteral("DIGITAL")},
                       {QStringLiteral("ALIVE"), QStringLiteral("DIGITAL")},
                       {QStringLiteral("NREC"), QStringLiteral("ANALOG")},
                       {QStringLiteral("NREC2"), QStringLiteral("ANALOG")},
                       {QStringLiteral("FLOW"), QStringLiteral("ANALOG")},
                       {QStringLiteral("NOTE"), QStringLiteral("TEXT")},
                       {QStringLiteral("PURGE"), QStringLiteral("ANALOG")}});
    SilentServer silent;
    ASSERT_TRUE(silent.IsListening());
    const QString svc = QStringLiteral("cfg/MY/my.svc");
    EditProjectFile(svc, "@TABLE@", "Log1");
    EditProjectFile(svc, "@SERVER@", silent.Address().toUtf8());
    EditProjectFile(svc, "@DATABASE@", "plant");
    EditProjectFile(svc, "@USER@", "u");
    EditProjectFile(svc, "@PASSWORD@", "p");
    WriteProjectFile(QStringLiteral("cfg/MY/fast.svc"), ProjectFile(QStringLiteral("cfg/CSV/fixed.svc")));
    EditProjectFile(QStringLiteral("cfg/MY/Ledgrix.svl"), "Module1=My,my.svc",
                    "Module1=My,my.svc\r\nModule2=Fast,fast.svc");
    const auto csvRecords = [this] { return server->Value(QStringLiteral("NREC2")); };
    const auto failures = [&] {
        return LogLines(QStringLiteral("MY")).filter(QStringLiteral("PrepareDB Fail!"));
    };

    QProcess& saver = StartSaver({QStringLiteral("E2E"), QStringLiteral("MY")});
    // The preparation at start connects, waits and fails within the connection timeout.
    ASSERT_TRUE(silent.WaitForConnection(30000)) << saver.readAllStandardError().toStdString();
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(WaitUntil([&] { return !failures().isEmpty(); }, 40000));
    // By the timeout (15 s from the connection, which this side may see late on a loaded
    // machine), and bounded.
    EXPECT_GE(t.elapsed(), 12000);
    EXPECT_LT(t.elapsed(), 30000);
    // The CSV group recorded its slots meanwhile (30 in 15 s), not held up by the server's.
    EXPECT_GE(csvRecords(), 15);
    const QStringList lines = LogLines(QStringLiteral("MY"));
    const qsizetype at = lines.indexOf(failures().first());
    ASSERT_LT(at + 1, lines.size());
    EXPECT_TRUE(lines[at + 1].startsWith(QStringLiteral("Error Description = Timeout expired")))
        << lines[at + 1].toStdString();

    // A record a connection timeout later tries again (the records before are refused at once); a
    // stop signal during that wait ends the saver at once, in order.
    ASSERT_TRUE(silent.WaitForConnection(30000));
    t.restart();
    ::kill(static_cast<pid_t>(saver.processId()), SIGTERM);
    ASSERT_TRUE(saver.waitForFinished(30000));
    EXPECT_LT(t.elapsed(), 10000);  // not after the connection timeout (15 s)
    EXPECT_EQ(saver.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server->Value(QStringLiteral("ALIVE")), 0);
    const QStringList after = LogLines(QStringLiteral("MY"));
    EXPECT_EQ(after.filter(QStringLiteral("Error Description = Timeout expired")).size(), 1);
    // Each refused preparation's line and its record's.
    EXPECT_EQ(after
                  .filter(QStringLiteral(
                      "Error Description = The last connection attempt failed; the next is made at "))
                  .size(),
              2 * (failures().size() - 1));
    EXPECT_FALSE(
        LogLines(QStringLiteral("MY")).filter(QStringLiteral("Stopped by the system (signal 15)")).isEmpty());
    // Every slot of the server's group is accounted for at the stop.
    EXPECT_EQ(LogLines(QStringLiteral("MY"))
                  .filter(QStringLiteral(" | Warning | Ledgrix.My | [Overrun "))
                  .filter(QStringLiteral("(sysExit)"))
                  .size(),
              1);
    EXPECT_TRUE(
        LastLogLine(QStringLiteral("MY")).endsWith(QStringLiteral(" | Ledgrix.System | Ledgrix is closed.")))
        << LastLogLine(QStringLiteral("MY")).toStdString();
}
