// Connection strings of the three openers, and the openers' rules for messages and exits.
#include <QFile>

#include "common/DBConnect.h"
#include "common/ProgramState.h"
#include "tests/platform/ado/SqliteFiles.h"
#include "tests/support/TestSupport.h"

namespace {

const QString kJet = QStringLiteral("Microsoft.Jet.OLEDB.4.0");

}  // namespace

TEST(DBConnectStringTest, WorkedExamplesCharacterForCharacter) {
    // File through Jet/ACE, no driver, ODBC flag false.
    EXPECT_EQ(BuildDBConnectionString(QStringLiteral("C:\\d\\a.mdb"), kJet, QString(), QString(), QString(),
                                      QStringLiteral("admin"), QStringLiteral("pw"), QStringLiteral("False"),
                                      false, QString()),
              QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;User ID=admin;"
                             "Data Source=C:\\d\\a.mdb;Jet OLEDB:Database Password=\"pw\";"));
    // Excel through Jet with extended properties; an empty password keeps its quotes.
    EXPECT_EQ(
        BuildDBConnectionString(QStringLiteral("b.xls"), kJet, QString(), QString(), QString(), QString(),
                                QString(), QStringLiteral("False"), false, QStringLiteral("Excel 8.0")),
        QStringLiteral(
            "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;User ID=;Data Source=b.xls;"
            "Jet OLEDB:Database Password=\"\";Extended Properties=Excel 8.0;"));
    // Excel through an ODBC Excel driver: DBQ, "ReadOnly=0; " and an empty data source whatever is given.
    EXPECT_EQ(BuildDBConnectionString(QStringLiteral("c.xls"), QStringLiteral("MSDASQL.1"),
                                      QStringLiteral("{Microsoft Excel Driver (*.xls)}"),
                                      QStringLiteral("ignored"), QString(), QStringLiteral("u"),
                                      QStringLiteral("p"), QStringLiteral("True"), true, QString()),
              QStringLiteral(
                  "Provider=MSDASQL.1;Persist Security Info=True;User ID=u;"
                  "Driver={Microsoft Excel Driver (*.xls)};DBQ=c.xls;ReadOnly=0; Data Source=;Password=p;"));
    // Oracle: the service name as data source, both password forms.
    EXPECT_EQ(BuildDBConnectionString(QString(), QStringLiteral("MSDAORA.1"), QString(),
                                      QStringLiteral("ORCL"), QString(), QStringLiteral("scott"),
                                      QStringLiteral("tiger"), QStringLiteral("True"), false, QString()),
              QStringLiteral("Provider=MSDAORA.1;Persist Security Info=True;User ID=scott;Data Source=ORCL;"
                             "Jet OLEDB:Database Password=\"tiger\";"));
    EXPECT_EQ(
        BuildDBConnectionString(QString(), QStringLiteral("MSDAORA.1"), QString(), QStringLiteral("ORCL"),
                                QStringLiteral("cat"), QStringLiteral("scott"), QStringLiteral("tiger"),
                                QStringLiteral("True"), true, QString()),
        QStringLiteral("Provider=MSDAORA.1;Persist Security Info=True;User ID=scott;Initial Catalog=cat;"
                       "Data Source=ORCL;Password=tiger;"));
    EXPECT_EQ(
        BuildSQLServerConnectionString(QString(), QStringLiteral("SQLOLEDB.1"), QString(),
                                       QStringLiteral("srv"), QStringLiteral("Plant"), QStringLiteral("sa"),
                                       QStringLiteral("pw"), QStringLiteral("True")),
        QStringLiteral("Provider=SQLOLEDB.1;Password=pw;Persist Security Info=True;User ID=sa;"
                       "Initial Catalog=Plant;Data Source=srv"));
    EXPECT_EQ(BuildMySQLConnectionString(QString(), QStringLiteral("MSDASQL.1"),
                                         QStringLiteral("{MySQL ODBC 3.51 Driver}"), QStringLiteral("host"),
                                         QStringLiteral("db"), QStringLiteral("root"), QStringLiteral("pw"),
                                         QStringLiteral("True")),
              QStringLiteral("Provider=MSDASQL.1;Password=pw;Persist Security Info=True;User ID=root;"
                             "Driver={MySQL ODBC 3.51 Driver};DATABASE=db;SERVER=host"));
}

namespace {

class DBConnectTest : public ProgramFixture {
  protected:
    bool OpenJet(ado::Connection& c, const QString& path, const QString& pw = QStringLiteral("Secr3tPw")) {
        return OpenDBConnection(c, path, kJet, QString(), QString(), QString(), QString(), pw,
                                QStringLiteral("False"), false, QString());
    }
    QString MakeDb() {
        const QString p = Path(QStringLiteral("bin/plant.mdb"));
        MakeSqliteDb(p, {QStringLiteral("CREATE TABLE Log1 (Time DATETIME)")});
        return p;
    }
};

}  // namespace

TEST_F(DBConnectTest, MissingFileFollowsTheProgramMode) {
    ado::Connection c;
    // Interactive, no debug: false, silently, nothing created.
    EXPECT_FALSE(OpenJet(c, QStringLiteral("..\\x\\none.mdb")));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("x/none.mdb"))));
    // Debug: the box, no exit.
    State().DebugLevel = 1;
    EXPECT_FALSE(OpenJet(c, QStringLiteral("none.mdb")));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              QStringLiteral("Fail to open Database!\r\nThe database file path [none.mdb] does not exist."));
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Open database error"));
    EXPECT_EQ(boxes.boxes[0].style, 16);
    // While the command line runs: the box, then the exit with -1, in Chinese too.
    State().DebugLevel = 0;
    State().IsInteractive = 0;
    State().LanguageIndex = 1;
    try {
        OpenJet(c, QStringLiteral("none.mdb"));
        ADD_FAILURE() << "no exit";
    } catch (const ProgramExit& e) {
        EXPECT_EQ(e.code, -1);
    }
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_TRUE(boxes.boxes[1].text.contains(QStringLiteral("[none.mdb]")));
    EXPECT_EQ(State().ErrorCaption, QStringLiteral("開啟資料庫錯誤"));
}

TEST_F(DBConnectTest, OpensSetsLockPropertiesAndReopens) {
    const QString p = MakeDb();
    ado::Connection c;
    ASSERT_TRUE(OpenJet(c, p));
    ado::Property* retry = c.GetProperties().Find(QStringLiteral("Jet OLEDB:Lock Retry"));
    ASSERT_NE(retry, nullptr);
    EXPECT_EQ(retry->Value.toInt(), 100);
    EXPECT_EQ(c.GetProperties().Find(QStringLiteral("Jet OLEDB:Lock Delay"))->Value.toInt(), 100);
    retry->Value = 5;
    // An open connection is closed and opened again, the properties at 100 again.
    ASSERT_TRUE(OpenJet(c, p));
    EXPECT_EQ(c.GetProperties().Find(QStringLiteral("Jet OLEDB:Lock Retry"))->Value.toInt(), 100);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(DBConnectTest, FailedOpenBoxesOnlyInDebugAndMaskThePassword) {
    WriteFile(QStringLiteral("bin/junk.mdb"), "not a database at all");
    ado::Connection c;
    EXPECT_FALSE(OpenJet(c, QStringLiteral("junk.mdb")));
    EXPECT_TRUE(boxes.boxes.empty());
    // A raised failure does not end the program, even while the command line runs.
    State().IsInteractive = 0;
    EXPECT_FALSE(OpenJet(c, QStringLiteral("junk.mdb")));
    State().DebugLevel = 1;
    EXPECT_FALSE(OpenJet(c, QStringLiteral("junk.mdb")));
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("準備開啟資料庫"));
    EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("Data Source=junk.mdb")));
    EXPECT_EQ(boxes.boxes[1].title, QStringLiteral("開啟資料庫失敗"));
    EXPECT_TRUE(boxes.boxes[1].text.contains(QStringLiteral("錯誤代碼:-2147467259")));
    EXPECT_TRUE(boxes.boxes[1].text.contains(QStringLiteral("not an SQLite database")));
    for (const auto& b : boxes.boxes) EXPECT_FALSE(b.text.contains(QStringLiteral("Secr3tPw")));
    EXPECT_EQ(c.State(), ado::adStateClosed);
}

TEST_F(DBConnectTest, DispatcherMatchesTemplatesByExactName) {
    const QString p = MakeDb();
    State().DBTypeCount = 3;
    State().Template(1).DBTypeName = QStringLiteral("Csv");
    State().Template(2).DBTypeName = QStringLiteral("access");  // compared upper-cased
    State().Template(2).dbProvider = kJet;
    State().Template(2).dbPersistSecurityInfo = QStringLiteral("False");
    // slot 3 left empty
    ado::Connection c;
    EXPECT_TRUE(OpenDBConnectionByType(QStringLiteral("ACCESS"), p, QStringLiteral("srv"), QString(),
                                       QString(), QString(), QString(), c));
    EXPECT_EQ(c.State(), ado::adStateOpen);
    EXPECT_EQ(
        c.ConnectionString(),
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;User ID=;Data Source=") +
            p + QStringLiteral(";Jet OLEDB:Database Password=****;"));
    ado::Connection d;
    EXPECT_FALSE(OpenDBConnectionByType(QStringLiteral("access"), p, QString(), QString(), QString(),
                                        QString(), QString(), d));
    EXPECT_FALSE(OpenDBConnectionByType(QStringLiteral("ORACLE"), QString(), QString(),
                                        QStringLiteral("ORCL"), QString(), QString(), QString(), d));
    EXPECT_EQ(d.State(), ado::adStateClosed);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(DBConnectTest, MySqlOpenerReachesTheServerWithAnAwkwardPassword) {
    const QString host = QString::fromLocal8Bit(qgetenv("LEDGRIX_TEST_MYSQL_HOST"));
    if (host.isEmpty()) {
        if (!qEnvironmentVariableIsEmpty("CI"))
            FAIL() << "LEDGRIX_TEST_MYSQL_* is not set: no MariaDB server";
        GTEST_SKIP() << "no MariaDB server (LEDGRIX_TEST_MYSQL_* not set)";
    }
    const QString pw = QString::fromLocal8Bit(qgetenv("LEDGRIX_TEST_MYSQL_PASSWORD"));
    ASSERT_TRUE(pw.contains(u';'));  // the case the quoting is for
    State().DebugLevel = 1;
    ado::Connection c;
    ASSERT_TRUE(OpenMySQLConnection(
        c, QString(), QStringLiteral("MSDASQL.1"), QStringLiteral("{MySQL ODBC 3.51 Driver}"),
        host + u':' + QString::fromLocal8Bit(qgetenv("LEDGRIX_TEST_MYSQL_PORT")),
        QString::fromLocal8Bit(qgetenv("LEDGRIX_TEST_MYSQL_DATABASE")),
        QString::fromLocal8Bit(qgetenv("LEDGRIX_TEST_MYSQL_USER")), pw, QStringLiteral("True"), false));
    // No Jet properties on a server connection; the debug box shows the string without the password.
    EXPECT_EQ(c.GetProperties().Find(QStringLiteral("Jet OLEDB:Lock Retry")), nullptr);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("Password=****;")));
    EXPECT_FALSE(boxes.boxes[0].text.contains(pw));
    EXPECT_FALSE(c.ConnectionString().contains(pw));
}
