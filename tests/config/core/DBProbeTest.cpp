// Probing live databases: SQLite files for the Access and Excel types, the test MariaDB server.
#include <QCoreApplication>
#include <QElapsedTimer>

#include "common/DBConnect.h"
#include "config/core/DBProbe.h"
#include "platform/ado/Ado.h"
#include "tests/config/core/ConfigFixture.h"
#include "tests/support/SilentServer.h"

using namespace DBProbeUtil;

namespace {

QString Env(const char* name) {
    return QString::fromLocal8Bit(qgetenv(name));
}

QStringList Listed(const std::vector<QString>& names, int count) {
    QStringList l;
    for (int i = 1; i <= count; ++i) l << names[static_cast<size_t>(i)];
    return l;
}

}  // namespace

class DBProbeTest : public ConfigFixture {
  protected:
    void SetUp() override {
        ConfigFixture::SetUp();
        file = Path(QStringLiteral("Project/P/dat/a.mdb"));
        SqliteRows(file,
                   {QStringLiteral("CREATE TABLE Log1 (Id INTEGER PRIMARY KEY AUTOINCREMENT, Time DATETIME, "
                                   "Flow DOUBLE)"),
                    QStringLiteral("INSERT INTO Log1 (Flow) VALUES (1)"),
                    QStringLiteral("CREATE VIEW V1 AS SELECT * FROM Log1"),
                    QStringLiteral("CREATE TABLE [Sheet1$] (A TEXT)")});
    }
    // A save group of the file with these field names.
    SaveGroupRecord& Group(const QStringList& fields) {
        SaveGroupRecord& g = State().Group(1);
        g.S().dbDBTypeName = QStringLiteral("access");
        g.S().dbProvider = QStringLiteral("Microsoft.Jet.OLEDB.4.0");
        g.S().dbFullPath = file;
        g.S().dbTableName = QStringLiteral("log1");
        g.FieldCount = 0;
        for (const QString& f : fields) g.F(++g.FieldCount).FieldName = f;
        return g;
    }
    QString file;
};

TEST_F(DBProbeTest, FileDatabasesListTheirTablesOrSheetsButNeverTheEnginesOwn) {
    ado::Connection access, excel;
    access.Open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + file);
    excel.Open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + file +
               QStringLiteral(";Extended Properties=Excel 8.0"));
    ConfigState& cf = Config();
    ASSERT_TRUE(ListDBTables(access, QStringLiteral("ACCESS"), cf.TableNameCount, cf.TableNames));
    EXPECT_EQ(Listed(cf.TableNames, cf.TableNameCount),
              (QStringList{QStringLiteral("Log1"), QStringLiteral("Sheet1$")}));
    ASSERT_TRUE(ListDBTables(excel, QStringLiteral("EXCEL"), cf.TableNameCount, cf.TableNames));
    EXPECT_EQ(Listed(cf.TableNames, cf.TableNameCount),
              (QStringList{QStringLiteral("Sheet1$"), QStringLiteral("Log1")}));
    ASSERT_TRUE(ListDBTables(access, QStringLiteral("CSV"), cf.TableNameCount, cf.TableNames));
    EXPECT_EQ(cf.TableNameCount, 0);
    std::vector<QString> one(2);  // a full table stops the listing
    int32_t count = 0;
    ASSERT_TRUE(ListDBTables(access, QStringLiteral("ACCESS"), count, one));
    EXPECT_EQ(count, 1);

    ASSERT_TRUE(ListTableFields(access, QStringLiteral("Log1"), QStringLiteral("ACCESS"), cf.TableFieldCount,
                                cf.TableFields));
    ASSERT_EQ(cf.TableFieldCount, 3);
    EXPECT_EQ(cf.TableFields[2].Name, QStringLiteral("Time"));
    EXPECT_EQ(cf.TableFields[2].FieldType, 7);
    EXPECT_FALSE(ListTableFields(access, QStringLiteral("Nope"), QStringLiteral("ACCESS"), cf.TableFieldCount,
                                 cf.TableFields));
    EXPECT_FALSE(ListTableFields(access, QStringLiteral("Log1"), QStringLiteral("CSV"), cf.TableFieldCount,
                                 cf.TableFields));
    EXPECT_FALSE(
        ListTableFields(access, QString(), QStringLiteral("ACCESS"), cf.TableFieldCount, cf.TableFields));
    EXPECT_TRUE(boxes.boxes.empty());

    // Columns are asked for without a row; names are bracketed where the type quotes them.
    EXPECT_EQ(FieldListQuery(QStringLiteral("SQLSERVER"), QStringLiteral("My Log")),
              QStringLiteral("SELECT * FROM [My Log] WHERE 1=0"));
    EXPECT_EQ(FieldListQuery(QStringLiteral("MYSQL"), QStringLiteral("log")),
              QStringLiteral("SELECT * FROM log WHERE 1=0"));
    EXPECT_EQ(FieldListQuery(QStringLiteral("CSV"), QStringLiteral("log")), QString());
    // A "]" is doubled inside brackets; MySQL and Oracle take plain (owner-qualified) names only.
    EXPECT_EQ(FieldListQuery(QStringLiteral("ACCESS"), QStringLiteral("a];DROP TABLE b;--")),
              QStringLiteral("SELECT * FROM [a]];DROP TABLE b;--] WHERE 1=0"));
    EXPECT_EQ(FieldListQuery(QStringLiteral("ORACLE"), QStringLiteral("PLANT.LOG_1$")),
              QStringLiteral("SELECT * FROM PLANT.LOG_1$ WHERE 1=0"));
    for (const char* name : {"log;DROP TABLE b", "log b", "`log`", "a..b", "log]"})
        EXPECT_EQ(FieldListQuery(QStringLiteral("MYSQL"), QString::fromLatin1(name)), QString()) << name;
}

TEST_F(DBProbeTest, ConnectionTestChecksTableAndFieldsInAnyLetterCase) {
    EXPECT_TRUE(TestDBConnection(Group({QStringLiteral("time"), QStringLiteral("FLOW")}), true));
    EXPECT_EQ(boxes.boxes.back().text, QStringLiteral("Database connected successfully!"));
    EXPECT_EQ(boxes.boxes.back().style, MsgStyle::Information);

    EXPECT_FALSE(TestDBConnection(Group({QStringLiteral("Flow"), QStringLiteral("Level")}), true));
    EXPECT_EQ(boxes.boxes.back().text,
              QStringLiteral("Fail to connect Database!\r\nThe data field [Level] cannot be found!\r\n"
                             "Please make sure the data fields is correct!"));
    Group({}).S().dbTableName = QStringLiteral("V1");  // a view is no table
    EXPECT_FALSE(TestDBConnection(State().Group(1), true));
    EXPECT_EQ(boxes.boxes.back().text,
              QStringLiteral("Fail to connect Database!\r\nThe table [V1] cannot be found!\r\n"
                             "Please make sure the database is correct!"));
    Group({}).S().dbFullPath = Path(QStringLiteral("missing.mdb"));
    const size_t shown = boxes.boxes.size();
    EXPECT_FALSE(TestDBConnection(State().Group(1), false));
    EXPECT_EQ(boxes.boxes.size(), shown);
    EXPECT_FALSE(TestDBConnection(State().Group(1), true));
    EXPECT_EQ(boxes.boxes.back().title, QStringLiteral("Error-Connect Database"));

    // Column names are compared as the engine stores them, double quotes included.
    SqliteRows(file, {QStringLiteral("CREATE TABLE Q (\"\"\"r\"\"\" TEXT, s TEXT)")});
    Group({QStringLiteral("\"r\""), QStringLiteral("s")}).S().dbTableName = QStringLiteral("Q");
    EXPECT_TRUE(TestDBConnection(State().Group(1), true));
    EXPECT_EQ(boxes.boxes.back().text, QStringLiteral("Database connected successfully!"));
    Group({QStringLiteral("r")}).S().dbTableName = QStringLiteral("Q");
    EXPECT_FALSE(TestDBConnection(State().Group(1), true));
}

TEST_F(DBProbeTest, AServerThatNeverAnswersIsAFailedConnectionWithinTheConnectionTimeout) {
    SilentServer server;
    ASSERT_TRUE(server.IsListening());
    xSvcSettings& s = Group({QStringLiteral("Flow")}).S();
    s.dbDBTypeName = QStringLiteral("MYSQL");
    s.dbProvider = QStringLiteral("MSDASQL.1");
    s.dbDriver = QStringLiteral("{MySQL ODBC 3.51 Driver}");
    s.dbDataSource = server.Address();
    s.dbFullPath.clear();
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(TestDBConnection(State().Group(1), true));
    // By the timeout, bounded with room for a loaded machine.
    EXPECT_GE(t.elapsed(), 14000);
    EXPECT_LT(t.elapsed(), 30000);
    EXPECT_EQ(boxes.boxes.back().text,
              QStringLiteral("Fail to connect Database!\r\nPlease make sure the database is correct!"));
}

TEST_F(DBProbeTest, MariaDbListsItsTablesAndFields) {
    if (Env("LEDGRIX_TEST_MYSQL_HOST").isEmpty()) {
        if (!Env("CI").isEmpty())
            FAIL() << "LEDGRIX_TEST_MYSQL_* is not set: no MariaDB server for the tests";
        GTEST_SKIP() << "no MariaDB server (LEDGRIX_TEST_MYSQL_* not set)";
    }
    const QString table = QStringLiteral("probe_%1").arg(QCoreApplication::applicationPid());
    SaveGroupRecord& g = Group({QStringLiteral("stamp"), QStringLiteral("VALUE1")});
    xSvcSettings& s = g.S();
    s.dbDBTypeName = QStringLiteral("MYSQL");
    s.dbProvider = QStringLiteral("MSDASQL.1");
    s.dbDriver = QStringLiteral("{MySQL ODBC 3.51 Driver}");
    s.dbDataSource = Env("LEDGRIX_TEST_MYSQL_HOST") + u':' + Env("LEDGRIX_TEST_MYSQL_PORT");
    s.dbInitialCatalog = Env("LEDGRIX_TEST_MYSQL_DATABASE");
    s.dbUserID = Env("LEDGRIX_TEST_MYSQL_USER");
    s.dbPassword = Env("LEDGRIX_TEST_MYSQL_PASSWORD");
    s.dbFullPath.clear();
    s.dbTableName = table;
    ado::Connection conn;
    ASSERT_TRUE(OpenDBConnectionByType(QStringLiteral("MYSQL"), QString(), s.dbDataSource, QString(),
                                       s.dbInitialCatalog, s.dbUserID, s.dbPassword, conn));
    conn.Execute(QStringLiteral("CREATE TABLE %1 (Stamp DATETIME, Value1 DOUBLE)").arg(table));

    ConfigState& cf = Config();
    ASSERT_TRUE(ListDBTables(conn, QStringLiteral("MYSQL"), cf.TableNameCount, cf.TableNames));
    EXPECT_TRUE(Listed(cf.TableNames, cf.TableNameCount).contains(table));
    ASSERT_TRUE(ListTableFields(conn, table, QStringLiteral("MYSQL"), cf.TableFieldCount, cf.TableFields));
    EXPECT_EQ(cf.TableFieldCount, 2);
    EXPECT_EQ(cf.TableFields[1].Name, QStringLiteral("Stamp"));
    EXPECT_TRUE(TestDBConnection(g, true));
    EXPECT_EQ(boxes.boxes.back().text, QStringLiteral("Database connected successfully!"));
    conn.Execute(QStringLiteral("DROP TABLE ") + table);
}
