// Servers that accept a connection and never answer: opening gives up within the connection
// timeout, by the driver's own timeout, and the caller's wait hook runs meanwhile.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>

#include "platform/ado/Ado.h"
#include "tests/support/SilentServer.h"
#include "tests/support/StallingLink.h"
#include "tests/support/TestMariaDb.h"
#include "tests/support/TestSupport.h"

using namespace ado;

TEST(SilentServerTest, OpeningGivesUpWithinTheConnectionTimeout) {
    SilentServer server;
    ASSERT_TRUE(server.IsListening());
    const QString strings[] = {
        QStringLiteral("Provider=MSDASQL.1;User ID=u;Driver={MySQL ODBC 3.51 Driver};SERVER=") +
            server.Address(),
        QStringLiteral("Provider=SQLOLEDB.1;User ID=sa;Data Source=") + server.Address(u',')};
    int waits = 0;
    SetWaitHook([&waits] { ++waits; });
    for (const QString& s : strings) {
        Connection c;
        c.ConnectionTimeout = 1;
        QElapsedTimer t;
        t.start();
        try {
            c.Open(s);
            ADD_FAILURE() << "opened a server that never answers";
        } catch (const Error& e) {
            // The driver's own timeout ends it (its text in brackets), not the wait's limit.
            EXPECT_EQ(e.Number, adErrTimeout) << e.Description.toStdString();
            EXPECT_TRUE(e.Description.startsWith(QStringLiteral("Timeout expired (")))
                << e.Description.toStdString();
        }
        // Not before the timeout; the bound leaves room for a loaded machine.
        EXPECT_GE(t.elapsed(), 900) << s.toStdString();
        EXPECT_LT(t.elapsed(), 10000) << s.toStdString();
        EXPECT_EQ(c.State(), adStateClosed);
    }
    SetWaitHook(nullptr);
    EXPECT_GE(waits, 4);  // again and again while it waited
}

namespace {

// The threads of this process (their ids) that block SIGTERM.
QSet<QString> ThreadsBlockingStopSignals() {
    QSet<QString> ids;
    for (const QString& tid :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(QStringLiteral("/proc/self/task/%1/status").arg(tid));
        if (!f.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith("SigBlk:") &&
                (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1)
                ids.insert(tid);
    }
    return ids;
}

}  // namespace

// A statement that gets no answer: the caller goes on meanwhile, the statement is given up within
// its timeout, and the connection is lost: its next call fails at once.
TEST(StalledServerTest, AnUnansweredStatementIsAwaitedGivenUpAndLosesTheConnection) {
    if (!TestMariaDb::Present()) GTEST_SKIP() << "no MariaDB server (LEDGRIX_TEST_MYSQL_* not set)";
    StallingLink link(TestMariaDb::Host(), TestMariaDb::Port());
    SetDefaultTimeouts(1, 1);
    Connection c;
    SetDefaultTimeouts(0, 0);
    c.Open(TestMariaDb::ConnectionString(link.Address()));
    link.StopAnswers();
    QElapsedTimer t;
    t.start();
    Task<void> statement = c.ExecuteAsync(QStringLiteral("SELECT 1"));
    EXPECT_FALSE(statement.Done());  // with the server, not waited for
    EXPECT_LT(t.elapsed(), 1000);    // the timeout a wait would have taken
    while (!statement.Done() && t.elapsed() < 30000) {
        WaitForReadyWork(50);
        ResumeWork();
    }
    ASSERT_TRUE(statement.Done());
    try {
        statement.Result();
        ADD_FAILURE() << "a statement without an answer succeeded";
    } catch (const Error& e) {
        EXPECT_EQ(e.Number, adErrTimeout) << e.Description.toStdString();
    }
    EXPECT_GE(t.elapsed(), 900);  // by its timeout, not before
    t.restart();
    EXPECT_THROW(c.Execute(QStringLiteral("SELECT 1")), Error);
    EXPECT_LT(t.elapsed(), 1000);  // at once: without the timeout a call to the server takes
    EXPECT_FALSE(HasWaitingWork());
}

// The wait hook may release the connection it waits for and return: the wait ends in order.
// Driver threads leave the stop signals to the program's own thread.
TEST(SilentServerTest, TheWaitMayOutliveItsConnectionAndDriverThreadsTakeNoStopSignal) {
    SilentServer server;
    ASSERT_TRUE(server.IsListening());
    // Driver threads of earlier tests may end meanwhile: the threads are compared, not counted.
    const QSet<QString> before = ThreadsBlockingStopSignals();
    auto* c = new Connection;
    c->ConnectionTimeout = 1;
    int waits = 0;
    SetWaitHook([&] {
        if (++waits == 3) {
            EXPECT_FALSE(ThreadsBlockingStopSignals().subtract(before).isEmpty());  // the connection's
            delete c;
        }
    });
    EXPECT_THROW(
        c->Open(QStringLiteral("Provider=MSDASQL.1;User ID=u;Driver={MySQL ODBC 3.51 Driver};SERVER=") +
                server.Address()),
        Error);
    SetWaitHook(nullptr);
    EXPECT_GE(waits, 3);
}

// A program returns from main while a driver thread waits for a server, and the server hangs up
// only after the exit's destructors: the thread comes out of its call then, its connection's
// close waiting behind it, and the program still ends in order (ado_exit_while_in_driver). A
// sanitizer's report counts as well: the exit may end the program before the report does.
TEST(SilentServerTest, ADriverThreadThatComesOutOfItsCallDuringTheExitLeavesQtAlone) {
    const QByteArray program =
        QFile::encodeName(QCoreApplication::applicationDirPath()) + "/ado_exit_while_in_driver";
    for (int run = 0; run < 3; ++run) {
        int out[2];
        ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(out[1], 2);
            ::execl(program.constData(), program.constData(), static_cast<char*>(nullptr));
            _exit(127);
        }
        ::close(out[1]);
        ASSERT_GT(child, 0);
        QByteArray output;
        QElapsedTimer t;
        t.start();
        for (;;) {
            pollfd p{out[0], POLLIN, 0};
            char buffer[4096];
            const ssize_t n = ::poll(&p, 1, 100) == 1 ? ::read(out[0], buffer, sizeof buffer) : -1;
            if (n == 0) break;
            if (n > 0) output.append(buffer, n);
            if (t.elapsed() > 30000) {
                ::kill(child, SIGKILL);
                break;
            }
        }
        ::close(out[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && !output.contains("Sanitizer"))
            << "status " << status << ":\n"
            << output.toStdString();
    }
}
