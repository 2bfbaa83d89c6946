// Servers that accept a connection and never answer: opening gives up within the connection
// timeout, and the caller's wait hook runs meanwhile.
#include <QElapsedTimer>

#include "platform/ado/Ado.h"
#include "tests/support/SilentServer.h"
#include "tests/support/TestSupport.h"

using namespace ado;

namespace {

struct StopRequest {};

class SilentServerTest : public ::testing::Test {
  protected:
    void TearDown() override { SetWaitHook(nullptr); }
    SilentServer server;
};

}  // namespace

TEST_F(SilentServerTest, OpeningGivesUpWithinTheConnectionTimeout) {
    ASSERT_TRUE(server.IsListening());
    const QString strings[] = {
        QStringLiteral("Provider=MSDASQL.1;Password=pw;Persist Security Info=True;User ID=u;"
                       "Driver={MySQL ODBC 3.51 Driver};DATABASE=d;SERVER=") +
            server.Address(),
        QStringLiteral("Provider=SQLOLEDB.1;Password=pw;Persist Security Info=True;User ID=sa;"
                       "Initial Catalog=d;Data Source=") +
            server.Address(u',')};
    for (const QString& s : strings) {
        int waits = 0;
        SetWaitHook([&waits] { ++waits; });
        Connection c;
        c.ConnectionTimeout = 1;
        QElapsedTimer t;
        t.start();
        try {
            c.Open(s);
            ADD_FAILURE() << "opened a server that never answers";
        } catch (const Error& e) {
            EXPECT_EQ(e.Number, adErrTimeout) << e.Description.toStdString();
            EXPECT_TRUE(e.Description.startsWith(QStringLiteral("Timeout expired")))
                << e.Description.toStdString();
        }
        // The driver's own timeout ends it, well before the wait would be given up.
        EXPECT_GE(t.elapsed(), 900) << s.toStdString();
        EXPECT_LT(t.elapsed(), 2500) << s.toStdString();
        EXPECT_GT(waits, 5);
        EXPECT_EQ(c.State(), adStateClosed);
    }
}

TEST_F(SilentServerTest, AStopRequestIsActedOnWhileOpening) {
    // Silent to the end of the test program: the attempt left behind must not wake while the
    // program ends.
    static SilentServer& lingering = *new SilentServer;
    ASSERT_TRUE(lingering.IsListening());
    SetWaitHook([] { throw StopRequest{}; });
    QElapsedTimer t;
    t.start();
    Connection c;
    EXPECT_THROW(
        c.Open(QStringLiteral("Provider=MSDASQL.1;User ID=u;Driver={MySQL ODBC 3.51 Driver};SERVER=") +
               lingering.Address()),
        StopRequest);
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_EQ(c.State(), adStateClosed);
}
