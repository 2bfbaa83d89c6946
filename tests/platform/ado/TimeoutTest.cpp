// Servers that accept a connection and never answer: opening gives up within the connection
// timeout, by the driver's own timeout, and the caller's wait hook runs meanwhile.
#include <QElapsedTimer>

#include "platform/ado/Ado.h"
#include "tests/support/SilentServer.h"
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
            EXPECT_EQ(e.Number, adErrTimeout) << e.Description.toStdString();
        }
        // The driver's own timeout ends it, well before the wait would be given up.
        EXPECT_GE(t.elapsed(), 900) << s.toStdString();
        EXPECT_LT(t.elapsed(), 2500) << s.toStdString();
        EXPECT_EQ(c.State(), adStateClosed);
    }
    SetWaitHook(nullptr);
    EXPECT_GT(waits, 10);
}
