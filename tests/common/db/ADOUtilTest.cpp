// The database helpers on SQLite files through the Jet provider.
#include <QFile>

#include "common/ADOUtil.h"
#include "common/ProgramState.h"
#include "tests/platform/ado/SqliteFiles.h"
#include "tests/support/TestSupport.h"

using namespace ADOUtil;

namespace {

class ADOUtilTest : public ProgramFixture {
  protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        file = Path(QStringLiteral("bin/log.mdb"));
        MakeSqliteDb(
            file, {QStringLiteral("CREATE TABLE Log1 (Time DATETIME, Flow DOUBLE, Note TEXT(50))"),
                   QStringLiteral("CREATE TABLE Tag (TagName TEXT(8), Class TEXT(8))"),
                   QStringLiteral("CREATE VIEW Recent AS SELECT * FROM Log1"),
                   QStringLiteral("INSERT INTO Tag VALUES ('T3','A'), ('T1','A'), ('T2','B'), ('T4','C')")});
        conn = OpenMLDBConn(QStringLiteral("log.mdb"));
        ASSERT_TRUE(conn);
    }
    QStringList Rows(const QString& sql) { return QueryRows(file, sql); }

    QString file;
    std::shared_ptr<ado::Connection> conn;
};

}  // namespace

TEST_F(ADOUtilTest, JetFormsOfTheSaverRunOnTheFile) {
    QString err = QStringLiteral("earlier");
    EXPECT_TRUE(ExecuteSQLCommand(conn,
                                  QStringLiteral("Insert Into [Log1] ([Time], [Flow], [Note]) Values "
                                                 "('2024/03/05 02:07:09 PM',12.35,'Pump' )"),
                                  err));
    EXPECT_EQ(err, QStringLiteral("earlier"));  // kept on success
    ASSERT_TRUE(ExecuteSQLCommand(conn,
                                  QStringLiteral("Insert Into [Log1] ([Time], [Flow], [Note]) Values "
                                                 "('2024/02/29 11:00:00 PM',1,'Old' )"),
                                  err));
    ASSERT_TRUE(ExecuteSQLCommand(conn,
                                  QStringLiteral("Insert Into [Log1] ([Time], [Flow], [Note]) Values "
                                                 "('2024/03/01 12:00:00 AM',2,'Edge' )"),
                                  err));
    // Stored as ISO text: committed, sorting and comparing as dates ("02:07 PM" after "11:00 PM" of an
    // earlier day).
    EXPECT_EQ(
        Rows(QStringLiteral("SELECT Time, Note FROM Log1 ORDER BY Time")),
        QStringList({QStringLiteral("2024-02-29 23:00:00|Old"), QStringLiteral("2024-03-01 00:00:00|Edge"),
                     QStringLiteral("2024-03-05 14:07:09|Pump")}));

    auto probe = OpenRecordset(conn, QStringLiteral("Select top 1 * from [Log1]"));
    ASSERT_TRUE(probe);
    EXPECT_EQ(GetRecordCount(*probe), 1);
    EXPECT_TRUE(RecordsetHasField(probe, QStringLiteral("flow")));

    // The update of the latest row, with its Top 1 subquery.
    ASSERT_TRUE(
        ExecuteSQLCommand(conn,
                          QStringLiteral("Update [Log1] SET [Time]='2024/03/05 02:07:09 PM', "
                                         "[Flow]=9, [Note]='New' Where ([Time] = (SELECT Top 1 [Time] "
                                         "From [Log1] ORDER BY [Time] DESC))"),
                          err))
        << err.toStdString();
    EXPECT_EQ(Rows(QStringLiteral("SELECT Note FROM Log1 ORDER BY Time")),
              QStringList({QStringLiteral("Old"), QStringLiteral("Edge"), QStringLiteral("New")}));

    // The purge deletes exactly the rows before the cut-off.
    ASSERT_TRUE(
        ExecuteSQLCommand(conn, QStringLiteral("Delete From [Log1] Where (((Time) < #2024/3/1#))"), err));
    EXPECT_EQ(Rows(QStringLiteral("SELECT Note FROM Log1 ORDER BY Time")),
              QStringList({QStringLiteral("Edge"), QStringLiteral("New")}));
}

TEST_F(ADOUtilTest, FailedStatementsChangeNothing) {
    QString err;
    ASSERT_TRUE(ExecuteSQLCommand(conn, QStringLiteral("Insert Into [Log1] ([Note]) Values ('a')"), err));
    EXPECT_FALSE(ExecuteSQLCommand(conn, QStringLiteral("Insert Into [Log1] ([Nope]) Values ('b')"), err));
    EXPECT_TRUE(err.contains(QStringLiteral("Nope"))) << err.toStdString();
    // An unescaped quote in a message text.
    err.clear();
    EXPECT_FALSE(ExecuteSQLCommand(conn, QStringLiteral("Insert Into [Log1] ([Note]) Values ('it's')"), err));
    EXPECT_FALSE(err.isEmpty());
    EXPECT_EQ(Rows(QStringLiteral("SELECT Note FROM Log1")), QStringList{QStringLiteral("a")});
    // The connection is still usable: no transaction was left open.
    EXPECT_TRUE(ExecuteSQLCommand(conn, QStringLiteral("Delete  From [Log1]"), err));
    EXPECT_TRUE(Rows(QStringLiteral("SELECT Note FROM Log1")).isEmpty());
    // No connection object, or a closed one: false with a description.
    err.clear();
    EXPECT_FALSE(
        ExecuteSQLCommand(static_cast<ado::Connection*>(nullptr), QStringLiteral("Delete From [Log1]"), err));
    EXPECT_FALSE(err.isEmpty());
    conn->Close();
    err.clear();
    EXPECT_FALSE(ExecuteSQLCommand(conn, QStringLiteral("Delete From [Log1]"), err));
    EXPECT_FALSE(err.isEmpty());
}

TEST_F(ADOUtilTest, TablesAndFieldsIgnoreCase) {
    EXPECT_TRUE(TableExists(conn, QStringLiteral("tag")));
    EXPECT_TRUE(TableExists(conn, QStringLiteral("LOG1")));
    EXPECT_FALSE(TableExists(conn, QStringLiteral("Recent")));  // a view
    EXPECT_FALSE(TableExists(conn, QStringLiteral("Log")));
    EXPECT_FALSE(TableExists(static_cast<ado::Connection*>(nullptr), QStringLiteral("Tag")));
    // An empty database lists nothing and raises nothing.
    const QString empty = Path(QStringLiteral("bin/empty.mdb"));
    MakeSqliteDb(empty, {QStringLiteral("PRAGMA user_version=1")});
    auto e = OpenMLDBConn(empty);
    ASSERT_TRUE(e);
    EXPECT_FALSE(TableExists(e, QStringLiteral("Tag")));

    auto rs = OpenRecordset(conn, QStringLiteral("SELECT * FROM [Tag] ORDER BY TagName"));
    ASSERT_TRUE(rs);
    EXPECT_TRUE(RecordsetHasField(rs, QStringLiteral("tagname")));
    EXPECT_TRUE(RecordsetHasField(rs, QStringLiteral("CLASS")));
    EXPECT_FALSE(RecordsetHasField(rs, QStringLiteral("Tag")));
    EXPECT_FALSE(RecordsetHasField(static_cast<ado::Recordset*>(nullptr), QStringLiteral("TagName")));
    EXPECT_EQ(rs->Value(QStringLiteral("TagName")).toString(), QStringLiteral("T1"));

    EXPECT_FALSE(OpenRecordset(conn, QStringLiteral("SELECT * FROM [Nope]")));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ADOUtilTest, RecordCountKeepsThePosition) {
    const QString sql = QStringLiteral("SELECT * FROM Tag ORDER BY TagName");
    // Client cursor on its third row: counted on a clone.
    ado::Recordset client;
    client.CursorLocation = ado::adUseClient;
    client.Open(sql, *conn);
    client.MoveNext();
    client.MoveNext();
    EXPECT_EQ(GetRecordCount(client), 4);
    EXPECT_EQ(client.Value(QStringLiteral("TagName")).toString(), QStringLiteral("T3"));
    // Server dynamic cursor: counted in place, then put back at EOF, at BOF, or on its row.
    ado::Recordset server;
    server.Open(sql, *conn, ado::adOpenDynamic, ado::adLockOptimistic);
    EXPECT_FALSE(server.Supports(ado::adApproxPosition));
    server.MoveLast();
    server.MoveNext();
    EXPECT_EQ(GetRecordCount(server), 4);
    EXPECT_TRUE(server.EOF_());
    server.MoveFirst();
    server.MovePrevious();
    EXPECT_EQ(GetRecordCount(server), 4);
    EXPECT_TRUE(server.BOF());
    server.SetAbsolutePosition(2);
    EXPECT_EQ(GetRecordCount(server), 4);
    EXPECT_EQ(server.Value(QStringLiteral("TagName")).toString(), QStringLiteral("T2"));
    // A forward-only cursor cannot be put back: the failure reaches the caller.
    ado::Recordset fwd;
    fwd.Open(sql, *conn);
    EXPECT_THROW(GetRecordCount(fwd), ado::Error);
    // Empty: 0 without moving.
    ado::Recordset none;
    none.Open(QStringLiteral("SELECT * FROM Tag WHERE 0"), *conn);
    EXPECT_EQ(GetRecordCount(none), 0);
}

TEST_F(ADOUtilTest, OpenMLDBConnAndCopies) {
    EXPECT_FALSE(OpenMLDBConn(QStringLiteral("..\\Project\\P\\P.pam")));
    EXPECT_TRUE(boxes.boxes.empty());
    WriteFile(QStringLiteral("bin/P.pam"), "Standard Jet DB");
    EXPECT_FALSE(OpenMLDBConn(QStringLiteral("P.pam")));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(
        boxes.boxes[0].text,
        QStringLiteral(
            "OpenMLDBConn Failed!\r\nConnect String:Provider=Microsoft.Jet.OLEDB.4.0;Data Source=P.pam"));
    EXPECT_EQ(boxes.boxes[0].style, 17);
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("OpenMLDBConn Failed"));

    auto rs = OpenRecordset(conn, QStringLiteral("SELECT * FROM [Tag] ORDER BY TagName"));
    ASSERT_TRUE(rs);
    rs->MoveLast();
    auto copy = CopyRecordset(rs.get());
    conn->Close();
    ASSERT_TRUE(copy);
    EXPECT_EQ(GetRecordCount(*copy), 4);
    EXPECT_EQ(copy->Value(QStringLiteral("TagName")).toString(), QStringLiteral("T1"));
    EXPECT_EQ(copy->FieldCount(), 2);
    EXPECT_FALSE(CopyRecordset(nullptr));
}
