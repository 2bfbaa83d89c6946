// Connections and recordsets on SQLite database files through the Jet and ACE providers.
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "platform/ado/Ado.h"
#include "tests/platform/ado/SqliteFiles.h"
#include "tests/support/TestSupport.h"

using namespace ado;

namespace {

class SQLiteEngineTest : public ProgramFixture {
  protected:
    QString Jet(const QString& file, const QString& password = QString()) {
        return QStringLiteral(
                   "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;User ID=;Data Source=") +
               file + QStringLiteral(";Jet OLEDB:Database Password=\"") + password + QStringLiteral("\";");
    }
    QString MakeLog(const QString& relative = QStringLiteral("db/log.mdb")) {
        const QString p = Path(relative);
        QDir().mkpath(QFileInfo(p).path());
        MakeSqliteDb(
            p, {QStringLiteral("CREATE TABLE Log1 (Time DATETIME, Flow DOUBLE, Note TEXT(50), N INTEGER)"),
                QStringLiteral("CREATE VIEW V1 AS SELECT * FROM Log1"),
                QStringLiteral("INSERT INTO Log1 VALUES ('2024-01-01 00:00:00', 1.5, 'a', 1)"),
                QStringLiteral("INSERT INTO Log1 VALUES ('2024-02-01 00:00:00', 2.5, 'b', 2)"),
                QStringLiteral("INSERT INTO Log1 VALUES ('2024-03-01 00:00:00', 3.5, 'c', 3)")});
        return p;
    }
};

long ErrorNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.Number;
    }
    return 0;
}

}  // namespace

TEST_F(SQLiteEngineTest, OpeningNeverCreatesAndRefusesForeignFiles) {
    Connection c;
    // Missing: no file appears, in either the Jet or the Excel-driver form.
    try {
        c.Open(Jet(QStringLiteral("..\\db\\missing.mdb"), QStringLiteral("s3cretpw")));
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_TRUE(e.Description.contains(QStringLiteral("missing.mdb")));
        EXPECT_FALSE(e.Description.contains(QStringLiteral("s3cretpw")));
    }
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("db/missing.mdb"))));
    EXPECT_NE(ErrorNumber([&] {
                  c.Open(
                      QStringLiteral("Provider=MSDASQL.1;User ID=;Driver={Microsoft Excel Driver (*.xls)};"
                                     "DBQ=nope.xls;ReadOnly=0; Data Source=;Password=;"));
              }),
              0);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("bin/nope.xls"))));
    EXPECT_EQ(c.State(), adStateClosed);

    // A text file, an empty file: refused, and left as they were.
    WriteFile(QStringLiteral("bin/text.mdb"), "Standard Jet DB, honestly");
    WriteFile(QStringLiteral("bin/empty.mdb"), "");
    for (const char* f : {"text.mdb", "empty.mdb"}) {
        try {
            c.Open(Jet(QString::fromLatin1(f)));
            ADD_FAILURE() << f;
        } catch (const Error& e) {
            EXPECT_TRUE(e.Description.contains(QStringLiteral("not an SQLite database")))
                << e.Description.toStdString();
        }
        EXPECT_EQ(c.State(), adStateClosed);
    }
    EXPECT_EQ(ReadFile(QStringLiteral("bin/empty.mdb")).size(), 0);
}

TEST_F(SQLiteEngineTest, OpensWithWindowsPathsAndJetProperties) {
    MakeLog(QStringLiteral("Project/P/Data/log.mdb"));
    Connection c;
    // Windows separators and another letter case resolve to the file.
    c.Open(Jet(QStringLiteral("..\\PROJECT\\p\\data\\LOG.mdb")));
    EXPECT_EQ(c.State(), adStateOpen);
    ASSERT_NE(c.GetProperties().Find(QStringLiteral("jet oledb:lock retry")), nullptr);
    EXPECT_NE(c.GetProperties().Find(QStringLiteral("Jet OLEDB:Lock Delay")), nullptr);
    EXPECT_NE(c.GetProperties().Find(QStringLiteral("Jet OLEDB:User Commit Sync")), nullptr);
    // Opening an open connection is refused; after Close it opens again.
    EXPECT_NE(ErrorNumber([&] { c.Open(Jet(QStringLiteral("..\\Project\\P\\Data\\log.mdb"))); }), 0);
    c.Close();
    EXPECT_EQ(c.State(), adStateClosed);
    EXPECT_EQ(ErrorNumber([&] { c.Execute(QStringLiteral("DELETE FROM Log1")); }), adErrConnectionInvalid);
    c.Open(Jet(QStringLiteral("..\\Project\\P\\Data\\log.mdb")));
    EXPECT_EQ(c.State(), adStateOpen);
}

TEST_F(SQLiteEngineTest, SchemaListsTablesNotViews) {
    const QString p = MakeLog();
    Connection c;
    c.Open(Jet(p));
    auto s = c.OpenSchema(adSchemaTables);
    QStringList seen;
    while (!s->EOF_()) {
        seen << s->Value(QStringLiteral("TABLE_NAME")).toString() + u':' +
                    s->Value(QStringLiteral("table_type")).toString();
        s->MoveNext();
    }
    EXPECT_TRUE(seen.contains(QStringLiteral("Log1:TABLE")));
    EXPECT_TRUE(seen.contains(QStringLiteral("V1:VIEW")));
    EXPECT_EQ(ErrorNumber([&] { c.OpenSchema(4); }), adErrNotCapable);

    // Worksheets of a workbook are system tables.
    const QString x = Path(QStringLiteral("bin/book.xls"));
    MakeSqliteDb(x, {QStringLiteral("CREATE TABLE [Sheet1$] (A TEXT)"),
                     QStringLiteral("CREATE TABLE Named (A TEXT)")});
    Connection e;
    e.Open(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;User ID=;Data Source=book.xls;Jet OLEDB:Database "
                       "Password=\"\";Extended Properties=Excel 8.0;"));
    s = e.OpenSchema(adSchemaTables);
    seen.clear();
    for (s->MoveFirst(); !s->EOF_(); s->MoveNext())
        seen << s->Value(QStringLiteral("TABLE_NAME")).toString() + u':' +
                    s->Value(QStringLiteral("TABLE_TYPE")).toString();
    EXPECT_EQ(seen, QStringList({QStringLiteral("Sheet1$:SYSTEM TABLE"), QStringLiteral("Named:TABLE")}));
}

TEST_F(SQLiteEngineTest, RecordsetMovesAndPositions) {
    const QString p = MakeLog();
    Connection c;
    c.Open(Jet(p));
    Recordset rs;
    rs.Open(QStringLiteral("Select * From [Log1] Order By N"), c, adOpenKeyset, adLockPessimistic);
    EXPECT_FALSE(rs.BOF());
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_TRUE(rs.Supports(adApproxPosition));
    EXPECT_EQ(rs.AbsolutePosition(), 1);
    ASSERT_EQ(rs.FieldCount(), 4);
    EXPECT_EQ(rs.GetField(0).Name, QStringLiteral("Time"));
    EXPECT_EQ(rs.GetField(0).Type, 7);
    EXPECT_EQ(rs.GetField(2).Type, 202);
    EXPECT_EQ(rs.GetField(3).Type, 3);
    EXPECT_EQ(rs.Value(QStringLiteral("time")).toDateTime(), QDateTime(QDate(2024, 1, 1), QTime(0, 0)));
    rs.MoveLast();
    EXPECT_EQ(rs.Value(QStringLiteral("Note")).toString(), QStringLiteral("c"));
    rs.MoveNext();
    EXPECT_TRUE(rs.EOF_());
    EXPECT_EQ(rs.AbsolutePosition(), adPosEOF);
    EXPECT_EQ(ErrorNumber([&] { rs.MoveNext(); }), adErrNoCurrentRecord);
    EXPECT_EQ(ErrorNumber([&] { rs.Value(QStringLiteral("Note")); }), adErrNoCurrentRecord);
    rs.SetAbsolutePosition(2);
    EXPECT_EQ(rs.Value(QStringLiteral("N")).toInt(), 2);
    rs.MoveFirst();
    rs.MovePrevious();
    EXPECT_TRUE(rs.BOF());
    EXPECT_EQ(rs.AbsolutePosition(), adPosBOF);

    // A forward-only server cursor cannot count or move back.
    Recordset fwd;
    fwd.Open(QStringLiteral("Select * From [Log1]"), c);
    EXPECT_EQ(fwd.RecordCount(), -1);
    EXPECT_FALSE(fwd.Supports(adApproxPosition));
    EXPECT_EQ(ErrorNumber([&] { fwd.MovePrevious(); }), adErrBackward);

    Recordset none;
    none.Open(QStringLiteral("Select * From [Log1] Where N > 9"), c, adOpenKeyset);
    EXPECT_TRUE(none.BOF());
    EXPECT_TRUE(none.EOF_());
    none.Close();
    EXPECT_EQ(ErrorNumber([&] { none.EOF_(); }), adErrNotAllowedClosed);
}

TEST_F(SQLiteEngineTest, TransactionsCommitAndRollBack) {
    const QString p = MakeLog();
    Connection c;
    c.Open(Jet(p));
    c.BeginTrans();
    EXPECT_EQ(ErrorNumber([&] { c.BeginTrans(); }), adErrTransactionExists);
    c.Execute(QStringLiteral("Delete From [Log1]"));
    c.RollbackTrans();
    EXPECT_EQ(QueryRows(p, QStringLiteral("SELECT count(*) FROM Log1")), QStringList{QStringLiteral("3")});
    c.BeginTrans();
    c.Execute(QStringLiteral("Delete From [Log1] Where N = 3"));
    c.CommitTrans();
    EXPECT_EQ(ErrorNumber([&] { c.CommitTrans(); }), adErrNoTransaction);
    // An open transaction is rolled back when the connection closes.
    c.BeginTrans();
    c.Execute(QStringLiteral("Delete From [Log1]"));
    c.Close();
    EXPECT_EQ(QueryRows(p, QStringLiteral("SELECT count(*) FROM Log1")), QStringList{QStringLiteral("2")});
    // A closed connection says so; there is no transaction it could have found missing.
    EXPECT_EQ(ErrorNumber([&] { c.BeginTrans(); }), adErrConnectionInvalid);
}

TEST_F(SQLiteEngineTest, StatementErrorsCarryNoPassword) {
    const QString p = MakeLog();
    Connection c;
    c.Open(Jet(p, QStringLiteral("Zq9;pass")));
    EXPECT_FALSE(c.ConnectionString().contains(QStringLiteral("Zq9")));
    try {
        c.Execute(QStringLiteral("Insert Into [Zq9;pass] (A) Values (1)"));
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.Number, adErrStatement);
        EXPECT_FALSE(e.Description.isEmpty());
        EXPECT_FALSE(e.Description.contains(QStringLiteral("Zq9;pass"))) << e.Description.toStdString();
    }
}

TEST_F(SQLiteEngineTest, LockedFileWaitsByTheLockPropertiesThenFails) {
    const QString p = MakeLog();
    Connection a, b;
    a.Open(Jet(p));
    b.Open(Jet(p));
    b.GetProperties().Find(QStringLiteral("Jet OLEDB:Lock Retry"))->Value = 2;
    b.GetProperties().Find(QStringLiteral("Jet OLEDB:Lock Delay"))->Value = 50;
    a.BeginTrans();
    a.Execute(QStringLiteral("Delete From [Log1] Where N = 1"));
    QElapsedTimer t;
    t.start();
    try {
        b.Execute(QStringLiteral("Delete From [Log1] Where N = 2"));
        ADD_FAILURE() << "wrote through a held lock";
    } catch (const Error& e) {
        EXPECT_TRUE(e.Description.contains(QStringLiteral("locked"))) << e.Description.toStdString();
    }
    // Waited by the lock properties (0.1 s), well within the command timeout (30 s).
    EXPECT_GE(t.elapsed(), 90);
    EXPECT_LT(t.elapsed(), 10000);
    // However long the lock properties would wait (100 s), the command timeout ends the wait.
    b.GetProperties().Find(QStringLiteral("Jet OLEDB:Lock Retry"))->Value = 100;
    b.GetProperties().Find(QStringLiteral("Jet OLEDB:Lock Delay"))->Value = 1000;
    b.CommandTimeout = 1;
    t.restart();
    EXPECT_THROW(b.Execute(QStringLiteral("Delete From [Log1] Where N = 2")), Error);
    EXPECT_GE(t.elapsed(), 900);
    EXPECT_LT(t.elapsed(), 10000);
    a.CommitTrans();
    b.Execute(QStringLiteral("Delete From [Log1] Where N = 2"));
    EXPECT_EQ(QueryRows(p, QStringLiteral("SELECT N FROM Log1")), QStringList{QStringLiteral("3")});
}

TEST_F(SQLiteEngineTest, AnotherConnectionOrACopyOfTheFileKeepsTheLocksOfThoseOpen) {
    const QString p = MakeLog();
    Connection a;
    a.Open(Jet(p));
    a.Execute(QStringLiteral("Delete From [Log1] Where N = 1"));
    ASSERT_TRUE(AnotherProcessSeesLocks(p));
    Connection b;
    b.Open(Jet(p));
    EXPECT_TRUE(AnotherProcessSeesLocks(p));
    b.Close();
    EXPECT_TRUE(AnotherProcessSeesLocks(p));

    // A copy holds what is committed, also what is not yet folded into the file.
    EXPECT_EQ(CopyDatabaseFile(p, Path(QStringLiteral("db/copy.mdb"))), QString());
    EXPECT_TRUE(AnotherProcessSeesLocks(p));
    EXPECT_EQ(QueryRows(Path(QStringLiteral("db/copy.mdb")), QStringLiteral("SELECT N FROM Log1")),
              (QStringList{QStringLiteral("2"), QStringLiteral("3")}));
    // It never replaces a file, and a file that is no database is no template.
    EXPECT_FALSE(CopyDatabaseFile(p, Path(QStringLiteral("db/copy.mdb"))).isEmpty());
    WriteFile(QStringLiteral("db/text.mdb"), "Standard Jet DB, honestly");
    EXPECT_TRUE(CopyDatabaseFile(Path(QStringLiteral("db/text.mdb")), Path(QStringLiteral("db/copy2.mdb")))
                    .contains(QStringLiteral("not an SQLite database")));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("db/copy2.mdb"))));
    EXPECT_EQ(
        QDir(Path(QStringLiteral("db"))).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral("tmp")),
        QStringList());
}

TEST_F(SQLiteEngineTest, LogKeepsNoPeakOfALongReaderOnceItHasEnded) {
    const QString p = MakeLog();
    const QString wal = p + QStringLiteral("-wal");
    // Twice the log at its automatic checkpoint: 1000 pages of 4 KiB, each with its header.
    constexpr qint64 kBound = 2 * 1000 * (4096 + 24);
    Connection c;
    c.Open(Jet(p));

    // Another program keeps one snapshot while records come: the log cannot start again.
    SqliteShell reader(p);
    reader.Write("BEGIN; SELECT count(*) FROM Log1; SELECT 'held';\n");
    ASSERT_TRUE(reader.WaitForOutput("held", 10000));
    const auto walSize = [&] { return QFileInfo(wal).size(); };
    for (int n = 0; n < 200 && walSize() <= 3 * kBound; ++n)
        c.Execute(QStringLiteral("Insert Into [Log1] (Note, N) Values (randomblob(400000), 9)"));
    ASSERT_GT(walSize(), 3 * kBound);

    // Once it has ended, a checkpoint folds the log back and the next commits cut its file.
    reader.Write("COMMIT;\n");
    ASSERT_TRUE(reader.Finish(10000));
    for (int n = 0; n < 3; ++n)
        c.Execute(QStringLiteral("Insert Into [Log1] (Note, N) Values ('after', 10)"));
    EXPECT_LE(walSize(), kBound);
}

namespace {

// Whether another program, reading the file by its path, prints the text.
bool AnotherProgramPrints(const QString& file, const QByteArray& sql, const QByteArray& text) {
    SqliteShell shell(file);
    shell.Write(sql + "\n");
    const bool printed = shell.WaitForOutput(text, 10000);
    shell.Finish(10000);
    return printed;
}

}  // namespace

// A file moved, deleted or replaced (by a backup, just after another program's checkpoint) while
// two connections of this process hold it: the first that looks lets both go, the file they held
// keeps every commit, and no log of it stays at the path to be read over a file put there.
TEST_F(SQLiteEngineTest, AFileThatLeftItsPathIsLetGoWholeByEveryConnectionOfTheProcess) {
    const QString p = Path(QStringLiteral("db/g.mdb")), moved = Path(QStringLiteral("db/moved.mdb")),
                  backup = Path(QStringLiteral("db/backup.mdb"));
    QDir().mkpath(Path(QStringLiteral("db")));
    for (const QString& change : {QStringLiteral("mv"), QStringLiteral("rm"), QStringLiteral("replace")}) {
        SCOPED_TRACE(change.toStdString());
        for (const QString& f : {p, moved, backup}) QFile::remove(f);
        MakeSqliteDb(p, {QStringLiteral("CREATE TABLE t (n INTEGER)")});
        MakeSqliteDb(backup, {QStringLiteral("CREATE TABLE own (n INTEGER)"),
                              QStringLiteral("INSERT INTO own VALUES (42)")});
        Connection a, b;
        a.Open(Jet(p));
        b.Open(Jet(p));
        for (int n = 0; n < 3; ++n) {
            a.Execute(QStringLiteral("INSERT INTO t VALUES (1)"));
            b.Execute(QStringLiteral("INSERT INTO t VALUES (2)"));
        }
        EXPECT_FALSE(a.LetGoIfFileChanged().changed);
        if (change == QLatin1String("mv")) {
            ASSERT_TRUE(QFile::rename(p, moved));
        } else if (change == QLatin1String("rm")) {
            ASSERT_TRUE(QFile::remove(p));
        } else {
            ASSERT_TRUE(AnotherProgramPrints(p, "PRAGMA wal_checkpoint; SELECT 'done';", "done"));
            ASSERT_EQ(std::rename(QFile::encodeName(backup), QFile::encodeName(p)), 0);  // as mv does
        }
        b.Execute(QStringLiteral("INSERT INTO t VALUES (3)"));  // into the file held

        const FileChange found = a.LetGoIfFileChanged();
        EXPECT_TRUE(found.changed);
        EXPECT_EQ(found.missing, change != QLatin1String("replace"));
        EXPECT_EQ(found.refusal, QString());
        EXPECT_EQ(a.State(), adStateClosed);
        EXPECT_EQ(b.State(), adStateClosed);
        EXPECT_FALSE(QFile::exists(p + QStringLiteral("-wal")));
        EXPECT_FALSE(QFile::exists(p + QStringLiteral("-shm")));
        if (change == QLatin1String("mv")) {
            EXPECT_TRUE(AnotherProgramPrints(
                moved, "SELECT 'rows ' || count(*) FROM t; PRAGMA integrity_check;", "rows 7\nok\n"));
        }
        if (change == QLatin1String("replace")) {
            EXPECT_TRUE(AnotherProgramPrints(
                p, "SELECT 'own ' || group_concat(n) FROM own; PRAGMA integrity_check;", "own 42\nok\n"));
            b.Open(Jet(p));
            b.Execute(QStringLiteral("INSERT INTO own VALUES (43)"));
            b.Close();
            EXPECT_EQ(QueryRows(p, QStringLiteral("SELECT n FROM own")),
                      (QStringList{QStringLiteral("42"), QStringLiteral("43")}));
        }
    }
}

// While another program still reads the log of a file that has left its path, the file is held,
// and a connection opened by the path is refused rather than join the cache of the file held (and
// write it); once the reader has ended, that opening lets the held file go whole. Closing the last
// connection to a moved file folds its log back as well.
TEST_F(SQLiteEngineTest, AFileThatLeftItsPathIsHeldWhileItsLogIsReadAndClosesWhole) {
    const QString p = Path(QStringLiteral("db/g.mdb")), other = Path(QStringLiteral("db/other.mdb"));
    QDir().mkpath(Path(QStringLiteral("db")));
    MakeSqliteDb(p, {QStringLiteral("CREATE TABLE t (n INTEGER)")});
    MakeSqliteDb(other, {QStringLiteral("CREATE TABLE own (n INTEGER)")});
    Connection a;
    a.Open(Jet(p));
    a.Execute(QStringLiteral("INSERT INTO t VALUES (1)"));
    SqliteShell reader(p);
    reader.Write("BEGIN; SELECT count(*) FROM t; SELECT 'held';\n");
    ASSERT_TRUE(reader.WaitForOutput("held", 10000));
    a.Execute(QStringLiteral("INSERT INTO t VALUES (2)"));
    ASSERT_TRUE(QFile::rename(p, Path(QStringLiteral("db/moved.mdb"))));
    ASSERT_TRUE(QFile::rename(other, p));

    const FileChange found = a.LetGoIfFileChanged();
    EXPECT_TRUE(found.changed);
    EXPECT_FALSE(found.missing);
    EXPECT_FALSE(found.refusal.isEmpty());
    EXPECT_EQ(a.State(), adStateOpen);
    Connection b;
    try {
        b.Open(Jet(p));
        ADD_FAILURE() << "opened beside the file held";
    } catch (const Error& e) {
        EXPECT_TRUE(e.Description.contains(QStringLiteral("moved, deleted or replaced")))
            << e.Description.toStdString();
    }

    reader.Write("COMMIT;\n");
    ASSERT_TRUE(reader.Finish(10000));
    b.Open(Jet(p));
    EXPECT_EQ(a.State(), adStateClosed);
    b.Execute(QStringLiteral("INSERT INTO own VALUES (1)"));
    EXPECT_EQ(QueryRows(p, QStringLiteral("SELECT count(*) FROM own")), QStringList{QStringLiteral("1")});
    EXPECT_EQ(QueryRows(Path(QStringLiteral("db/moved.mdb")), QStringLiteral("SELECT count(*) FROM t")),
              QStringList{QStringLiteral("2")});

    ASSERT_TRUE(QFile::rename(p, Path(QStringLiteral("db/moved2.mdb"))));
    b.Close();
    EXPECT_FALSE(QFile::exists(p + QStringLiteral("-wal")));
    EXPECT_EQ(QueryRows(Path(QStringLiteral("db/moved2.mdb")), QStringLiteral("SELECT count(*) FROM own")),
              QStringList{QStringLiteral("1")});
}
