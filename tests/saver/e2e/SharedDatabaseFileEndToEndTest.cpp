// The real Ledgrix program on the demo's database file while other programs use it: a report
// that reads the saver's tables and a tool that keeps a table of its own in the same file, each a
// process of the database engine's shell that opens, works and closes the file.
#include <signal.h>

#include "tests/saver/SaverProcessFixture.h"

namespace {

class SharedDatabaseFileE2E : public SaverProcessFixture {
  protected:
    void SetUp() override {
        MakeProgramFolder(BinFile(QStringLiteral("Ledgrix.set")),
                          QStringLiteral(LEDGRIX_TEST_DATA "/../../demo"), QStringLiteral("Demo"),
                          {{QStringLiteral("FLOW"), QStringLiteral("ANALOG")},
                           {QStringLiteral("LEVEL"), QStringLiteral("ANALOG")},
                           {QStringLiteral("TEMP"), QStringLiteral("ANALOG")},
                           {QStringLiteral("TRIG"), QStringLiteral("DIGITAL")},
                           {QStringLiteral("BATCH"), QStringLiteral("TEXT")},
                           {QStringLiteral("WEIGHT"), QStringLiteral("ANALOG")},
                           {QStringLiteral("ENA"), QStringLiteral("DIGITAL")},
                           {QStringLiteral("STOP"), QStringLiteral("DIGITAL")},
                           {QStringLiteral("ALIVE"), QStringLiteral("DIGITAL")},
                           {QStringLiteral("SAVING"), QStringLiteral("DIGITAL")},
                           {QStringLiteral("PURGE"), QStringLiteral("DIGITAL")}});
        database = project + QStringLiteral("/dat/Ledgrix/demo.mdb");
    }

    // Another program: the engine's shell on the demo's file, one run; its output, or a failure.
    QString Shell(const QString& sql) const {
        QProcess shell;
        shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-bail"), QStringLiteral("-cmd"),
                                                QStringLiteral(".timeout 10000"), database, sql});
        if (!shell.waitForFinished(30000) || shell.exitCode() != 0)
            ADD_FAILURE() << sql.toStdString() << ": " << shell.readAllStandardError().toStdString();
        return QString::fromUtf8(shell.readAllStandardOutput()).trimmed();
    }

    int Appended(const QString& group) const {
        return static_cast<int>(
            LogLines().filter(QStringLiteral("| Ledgrix.%1 | Append to Database").arg(group)).size());
    }
    int Rows(const QString& table) const {
        return Shell(QStringLiteral("SELECT count(*) FROM ") + table).toInt();
    }

    QString database;
};

}  // namespace

TEST_F(SharedDatabaseFileE2E, EveryRecordLoggedIsInTheFileForEveryReaderAndTheFileStaysWhole) {
    int toolRows = 0;
    for (const int stop : {SIGKILL, SIGTERM}) {
        SCOPED_TRACE(stop);
        ASSERT_TRUE(server->SetValue(QStringLiteral("ENA"), 1));
        const int before = Appended(QStringLiteral("Cyclic1s"));
        QProcess& saver = StartSaver({QStringLiteral("Demo"), QStringLiteral("WS1")});
        ASSERT_TRUE(WaitUntil([&] { return Appended(QStringLiteral("Cyclic1s")) > before; }, kPatienceMs))
            << saver.readAllStandardError().toStdString();
        // While the saver records, a report reads its table and a tool writes a table of its own.
        // The report sees every record logged before it looked.
        QElapsedTimer recording;
        recording.start();
        while (Appended(QStringLiteral("Cyclic1s")) < before + 6) {
            ASSERT_LT(recording.elapsed(), kPatienceMs) << LogLines().join(u'\n').toStdString();
            const int logged = Appended(QStringLiteral("Cyclic1s"));
            EXPECT_GE(Rows(QStringLiteral("Cyclic1s")), logged);
            Shell(QStringLiteral("CREATE TABLE IF NOT EXISTS Tool (N INTEGER); INSERT INTO Tool VALUES (%1)")
                      .arg(++toolRows));
        }
        ::kill(static_cast<pid_t>(saver.processId()), stop);
        ASSERT_TRUE(saver.waitForFinished(20000));
        ASSERT_TRUE(server->SetValue(QStringLiteral("ALIVE"), 0));

        // Every record logged as appended is in the file, and so is every row of the tool.
        EXPECT_EQ(Shell(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        EXPECT_GE(Rows(QStringLiteral("Cyclic1s")), Appended(QStringLiteral("Cyclic1s")));
        EXPECT_GE(Rows(QStringLiteral("Enabled")), Appended(QStringLiteral("Enabled")));
        EXPECT_GT(Appended(QStringLiteral("Enabled")), 0);
        EXPECT_EQ(Rows(QStringLiteral("Tool")), toolRows);
    }
}
