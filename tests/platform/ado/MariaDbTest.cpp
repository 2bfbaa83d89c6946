// The MySQL forms on a MariaDB server through ODBC. The server comes from the test command
// (LEDGRIX_TEST_MYSQL_*); in CI a missing server is a failure.
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>
#include <cstdlib>

#include "platform/ado/Ado.h"
#include "tests/support/StallingLink.h"
#include "tests/support/TestSupport.h"

using namespace ado;

namespace {

QString Env(const char* name) {
    return QString::fromLocal8Bit(qgetenv(name));
}

class MariaDbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (Env("LEDGRIX_TEST_MYSQL_HOST").isEmpty()) {
            if (!Env("CI").isEmpty())
                FAIL() << "LEDGRIX_TEST_MYSQL_* is not set: no MariaDB server for the tests";
            GTEST_SKIP() << "no MariaDB server (LEDGRIX_TEST_MYSQL_* not set)";
        }
        password = Env("LEDGRIX_TEST_MYSQL_PASSWORD");
        database = Env("LEDGRIX_TEST_MYSQL_DATABASE");
        // A table of this test's own, so that test processes running side by side never meet.
        table = QStringLiteral("t_%1_%2")
                    .arg(QCoreApplication::applicationPid())
                    .arg(QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name())
                             .toLower());
    }
    void TearDown() override {
        if (conn.State() == adStateOpen) {
            try {
                conn.Execute(QStringLiteral("DROP TABLE IF EXISTS ") + table);
                conn.Execute(QStringLiteral("DROP VIEW IF EXISTS v_") + table);
            } catch (const Error&) {
            }
        }
    }
    QString ConnectionString(const QString& pw, const QString& separator = QStringLiteral(":")) const {
        return QStringLiteral("Provider=MSDASQL.1;Password=") + QuoteConnectionValue(pw) +
               QStringLiteral(";Persist Security Info=True;User ID=") + Env("LEDGRIX_TEST_MYSQL_USER") +
               QStringLiteral(";Driver={MySQL ODBC 3.51 Driver};DATABASE=") + database +
               QStringLiteral(";SERVER=") + Env("LEDGRIX_TEST_MYSQL_HOST") + separator +
               Env("LEDGRIX_TEST_MYSQL_PORT");
    }
    long Count(const QString& where = QString()) {
        Recordset rs;
        rs.CursorLocation = adUseClient;
        rs.Open(QStringLiteral("SELECT * FROM ") + table + where, conn);
        return rs.RecordCount();
    }

    QString password, database, table;
    Connection conn;
};

}  // namespace

TEST_F(MariaDbTest, MySqlStatementFormsRun) {
    conn.Open(ConnectionString(password));
    ASSERT_EQ(conn.State(), adStateOpen);
    EXPECT_EQ(conn.GetProperties().Find(QStringLiteral("Jet OLEDB:User Commit Sync")), nullptr);
    conn.Execute(QStringLiteral("CREATE TABLE ") + table +
                 QStringLiteral(" (C DATETIME, Flow DOUBLE, Note VARCHAR(20))"));
    conn.Execute(QStringLiteral("Insert Into ") + table +
                 QStringLiteral(" (C, Flow, Note) Values ('2024/03/05 14:07:09',12.35,'Pump' )"));
    conn.Execute(QStringLiteral("Insert Into ") + table +
                 QStringLiteral(" (C, Flow, Note) Values ('2024/02/29 23:59:59',1,'Old' )"));

    Recordset rs;
    rs.Open(QStringLiteral("SELECT * From ") + table + QStringLiteral(" ORDER BY C DESC LIMIT 1"), conn,
            adOpenDynamic, adLockOptimistic);
    ASSERT_FALSE(rs.EOF_());
    EXPECT_EQ(rs.Value(QStringLiteral("c")).toDateTime(), QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)));
    EXPECT_DOUBLE_EQ(rs.Value(QStringLiteral("Flow")).toDouble(), 12.35);
    EXPECT_EQ(rs.GetField(0).Type, 135);
    rs.MoveNext();
    EXPECT_TRUE(rs.EOF_());

    conn.Execute(QStringLiteral("Delete From ") + table +
                 QStringLiteral(" Where (((C) < '2024/03/01 00:00:00'))"));
    EXPECT_EQ(Count(), 1);
}

TEST_F(MariaDbTest, SchemaListsOnlyThisDatabase) {
    conn.Open(ConnectionString(password, QStringLiteral(",")));
    conn.Execute(QStringLiteral("CREATE TABLE ") + table + QStringLiteral(" (A INT)"));
    conn.Execute(QStringLiteral("CREATE VIEW v_") + table + QStringLiteral(" AS SELECT * FROM ") + table);
    auto s = conn.OpenSchema(adSchemaTables);
    QStringList seen;
    for (s->MoveFirst(); !s->EOF_(); s->MoveNext())
        seen << s->Value(QStringLiteral("TABLE_NAME")).toString().toLower() + u':' +
                    s->Value(QStringLiteral("TABLE_TYPE")).toString();
    EXPECT_TRUE(seen.contains(table + QStringLiteral(":TABLE"))) << seen.join(u' ').toStdString();
    EXPECT_TRUE(seen.contains(QStringLiteral("v_") + table + QStringLiteral(":VIEW")));
    // The server's own databases are not listed.
    EXPECT_FALSE(seen.contains(QStringLiteral("user:TABLE")));
    EXPECT_FALSE(seen.contains(QStringLiteral("db:TABLE")));
    EXPECT_FALSE(seen.contains(QStringLiteral("tables:SYSTEM TABLE")));
}

TEST_F(MariaDbTest, FailuresNeverShowThePassword) {
    const QString wrong = QStringLiteral("Wr0ng;pass\"word");
    try {
        conn.Open(ConnectionString(wrong));
        ADD_FAILURE() << "opened with a wrong password";
    } catch (const Error& e) {
        EXPECT_FALSE(e.Description.isEmpty());
        EXPECT_FALSE(e.Description.contains(QStringLiteral("Wr0ng"))) << e.Description.toStdString();
    }
    EXPECT_EQ(conn.State(), adStateClosed);
    conn.Open(ConnectionString(password));
    EXPECT_FALSE(conn.ConnectionString().contains(password));
    try {
        conn.Execute(QStringLiteral("SELECT * FROM no_such_table_here"));
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_TRUE(e.Description.contains(QStringLiteral("no_such_table_here")))
            << e.Description.toStdString();
        EXPECT_FALSE(e.Description.contains(password));
    }
}

TEST_F(MariaDbTest, AStatementHeldUpByALockEndsWithTheCommandTimeout) {
    conn.Open(ConnectionString(password));
    conn.Execute(QStringLiteral("CREATE TABLE ") + table + QStringLiteral(" (A INT PRIMARY KEY)"));
    Connection writer;
    writer.CommandTimeout = 1;
    writer.Open(ConnectionString(password));
    conn.BeginTrans();
    conn.Execute(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (A) VALUES (1)"));
    QElapsedTimer t;
    t.start();
    try {
        writer.Execute(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (A) VALUES (1)"));
        ADD_FAILURE() << "wrote through a held lock";
    } catch (const Error& e) {
        // The server's lock wait ends it (the driver's text in brackets), not the wait's limit.
        EXPECT_EQ(e.Number, adErrTimeout) << e.Description.toStdString();
        EXPECT_TRUE(e.Description.startsWith(QStringLiteral("Timeout expired (")))
            << e.Description.toStdString();
    }
    EXPECT_LT(t.elapsed(), 10000);  // far below the server's own lock wait (50 s)
    // Given up on the server as well: the lock's end does not let the statement run after all.
    conn.RollbackTrans();
    QThread::msleep(300);
    EXPECT_EQ(Count(), 0);
}

TEST_F(MariaDbTest, ATransactionStepThatEndsAfterItsConnectionWasOpenedAgainLeavesTheNewSessionAlone) {
    conn.Open(ConnectionString(password));
    // The BEGIN waits behind a statement of its connection.
    Task<void> slow = conn.ExecuteAsync(QStringLiteral("DO SLEEP(0.3)"));
    Task<void> begin = conn.BeginTransAsync();
    ASSERT_FALSE(begin.Done());
    conn.Close();
    conn.Open(ConnectionString(password));  // the old BEGIN ends meanwhile
    WaitFor(std::move(slow));
    WaitFor(std::move(begin));
    EXPECT_NO_THROW(conn.BeginTrans());
    EXPECT_NO_THROW(conn.RollbackTrans());
}

// Whether a failed statement may have been carried out all the same: only where it was with the
// server and no answer says how it ended.
TEST_F(MariaDbTest, OnlyAStatementWithTheServerIsOfUnknownOutcome) {
    conn.Open(ConnectionString(password));
    conn.Execute(QStringLiteral("CREATE TABLE ") + table + QStringLiteral(" (A INT)"));
    const auto failure = [](Connection& c, const QString& sql) {
        try {
            c.Execute(sql);
        } catch (const Error& e) {
            return e;
        }
        return Error(0, QStringLiteral("no failure"));
    };
    const QString insert = QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (A) VALUES (%1)");
    const QString server = Env("LEDGRIX_TEST_MYSQL_HOST");
    const int port = Env("LEDGRIX_TEST_MYSQL_PORT").toInt();
    const auto through = [&](const StallingLink& link) {
        return QString(ConnectionString(password))
            .replace(server + u':' + QString::number(port), link.Address());
    };

    // The link is reset once the statement is on its way: the server writes the row.
    StallingLink reset(server, port);
    reset.FaultAfter("VALUES (1)", StallingLink::Fault::Reset);
    Connection a;
    a.Open(through(reset));
    const Error lost = failure(a, insert.arg(1));
    EXPECT_TRUE(lost.OutcomeUnknown) << lost.Description.toStdString();

    // The server refuses: a lock held by another session, waited for up to the command timeout.
    Connection locker, b;
    locker.Open(ConnectionString(password));
    locker.Execute(QStringLiteral("LOCK TABLES ") + table + QStringLiteral(" WRITE"));
    b.CommandTimeout = 1;
    b.Open(ConnectionString(password));
    const Error refused = failure(b, insert.arg(2));
    EXPECT_FALSE(refused.OutcomeUnknown) << refused.Description.toStdString();
    locker.Execute(QStringLiteral("UNLOCK TABLES"));

    // An answer that trickles in keeps the driver's own read timeout from ending the call: it is
    // given up at the connection's limit, the connection is lost, and the next call fails at
    // once without reaching the server.
    StallingLink trickle(server, port);
    trickle.FaultAfter("VALUES (3)", StallingLink::Fault::Trickle);
    Connection c;
    c.CommandTimeout = 1;
    c.Open(through(trickle));
    const Error givenUp = failure(c, insert.arg(3));
    EXPECT_EQ(givenUp.Number, adErrTimeout);
    EXPECT_TRUE(givenUp.OutcomeUnknown);
    QElapsedTimer t;
    t.start();
    const Error never = failure(c, insert.arg(4));
    EXPECT_EQ(never.Number, adErrTimeout);
    EXPECT_FALSE(never.OutcomeUnknown);
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_EQ(Count(QStringLiteral(" WHERE A IN (1, 3)")), 2);
    EXPECT_EQ(Count(QStringLiteral(" WHERE A IN (2, 4)")), 0);
}
