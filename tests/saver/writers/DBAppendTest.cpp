// Records written into Access- and Excel-type targets (SQLite files).
#include <QRegularExpression>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/ado/Ado.h"
#include "saver/writers/RecordSql.h"
#include "tests/saver/writers/WriterFixture.h"
#include "tests/support/FullDisk.h"

namespace {

class DBAppendTest : public WriterFixture {
  protected:
    // The example group: Time (record time), Flow (value, 2 decimals), Note (message, 4 chars).
    SaveGroupRecord& ExampleGroup(int writeMode, const QString& flowCheck = QString()) {
        Sql(QStringLiteral("Project/P/dat/db1.mdb"),
            {QStringLiteral("CREATE TABLE Log1 ([Time] DATETIME, Flow DOUBLE %1, Note TEXT)")
                 .arg(flowCheck)});
        SaveGroupRecord& g = AccessGroup(1, QStringLiteral("db1.mdb"), QStringLiteral("Log1"));
        g.S().dbSWriteMode = writeMode;
        AddField(g, QStringLiteral("Time"), QStringLiteral("^DATETIME"), QStringLiteral("VALUE"));
        AddField(g, QStringLiteral("Flow"), QStringLiteral("FT1"), QStringLiteral("VALUE")).DecimalPlaces = 2;
        AddField(g, QStringLiteral("Note"), QStringLiteral("NT1"), QStringLiteral("MSG")).TagMessageLength =
            4;
        Record(-1, 12.3456, QStringLiteral("Pump station"));
        return g;
    }
    // Sets the values the next record reads; writes a record at 2024-03-05 09:00:<second> unless
    // the second is negative.
    void Record(int second, double flow, const QString& note) {
        onReadValues = [flow, note](int16_t g) {
            State().Group(g).F(2).TagValue = flow;
            State().Group(g).F(3).TagMessage = note;
        };
        if (second < 0) return;
        double t = At(2024, 3, 5, 9, 0, second);
        ado::WaitFor(DBAppend(1, t));
    }
    QStringList Table() {
        return Sql(QStringLiteral("Project/P/dat/db1.mdb"),
                   {QStringLiteral("SELECT * FROM Log1 ORDER BY [Time]")});
    }
};

TEST_F(DBAppendTest, ExampleStatementIsExactAndQuotesStayData) {
    SaveGroupRecord& g = ExampleGroup(0);
    double t = At(2024, 3, 5, 14, 7, 9) + 0.4 / 86400;
    ado::WaitFor(DBAppend(1, t));  // written in whole seconds
    EXPECT_EQ(CountLog(QStringLiteral(
                  "2024/03/05 02:07:09 PM | Message | Ledgrix.G1 | Append to Database, SQL Command:"
                  "Insert Into [Log1] ([Time], [Flow], [Note]) Values "
                  "('2024/03/05 02:07:09 PM',12.35,'Pump' )(0)")),
              1);
    g.F(3).TagMessageLength = 0;
    Record(0, 1, QStringLiteral("O'Neil'); DROP TABLE Log1; --"));
    // A cut through a character pair keeps the whole characters before it, in the copy too.
    g.F(3).TagMessageLength = 4;
    g.S().dbSIsSaveCSV = true;
    g.S().dbCSVFullPath = QStringLiteral("..\\Project\\P\\dat\\copy.csv");
    Record(1, 2, QStringLiteral("Pum😀p"));
    EXPECT_EQ(Table(), (QStringList{QStringLiteral("2024-03-05 09:00:00|1|O'Neil'); DROP TABLE Log1; --"),
                                    QStringLiteral("2024-03-05 09:00:01|2|Pum"),
                                    QStringLiteral("2024-03-05 14:07:09|12.35|Pump")}));
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/dat/copy.csv")).toStdString(),
              "2024/3/5 09:00:01,2.00,Pum\r\n");
    EXPECT_EQ(g.R().NumRecordsSaved, 3);
}

// The CSV copy of a database group that cannot be written names its failure as a CSV group does;
// the record in the table stays saved.
TEST_F(DBAppendTest, ACsvCopyThatCannotBeWrittenIsLoggedAsLost) {
    SaveGroupRecord& g = ExampleGroup(0);
    g.S().dbSIsSaveCSV = true;
    g.S().dbCSVFullPath = QStringLiteral("..\\Project\\P\\dat\\copy.csv");
    const FileCallsRestored restored;
    FileIO::Calls().write = [](int, const void*, size_t) -> ssize_t { return errno = ENOSPC, -1; };
    Record(1, 1, QStringLiteral("x"));
    EXPECT_EQ(
        CountLog(QStringLiteral("2024/03/05 09:00:01 | Error | Ledgrix.G1 | Append Data to CSV file Fail! "
                                "Please check CSV File.")),
        1);
    EXPECT_EQ(CountLog(QStringLiteral("Error Description = Device I/O error: ..\\Project\\P\\dat\\copy.csv "
                                      "(No space left on device)")),
              1);
    EXPECT_EQ(g.R().NumRecordsSaved, 1);
}

TEST_F(DBAppendTest, HugeAndNonFiniteValuesKeepTheRecordAndItsCsvCopy) {
    SaveGroupRecord& g = ExampleGroup(0);
    g.S().dbSIsSaveCSV = true;
    g.S().dbCSVFullPath = QStringLiteral("..\\Project\\P\\dat\\copy.csv");
    Record(1, 1e300, QStringLiteral("big"));
    Record(2, std::nan(""), QStringLiteral("nan"));
    Record(3, -std::numeric_limits<double>::infinity(), QStringLiteral("inf"));
    EXPECT_EQ(CountLog(QStringLiteral("Fail")), 0) << log.join(u'\n').toStdString();
    EXPECT_EQ(Sql(QStringLiteral("Project/P/dat/db1.mdb"),
                  {QStringLiteral("SELECT Note, Flow = 1e300, Flow IS NULL FROM Log1 ORDER BY [Time]")}),
              (QStringList{QStringLiteral("big|1|0"), QStringLiteral("nan||1"), QStringLiteral("inf||1")}));
    const QStringList csv = QString::fromUtf8(ReadFile(QStringLiteral("Project/P/dat/copy.csv")))
                                .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(csv.size(), 3);
    EXPECT_TRUE(csv[0].contains(u',' + QString(u'1') + QString(300, u'0') + QStringLiteral(".00,big")))
        << csv[0].toStdString();
    EXPECT_TRUE(csv[1].endsWith(QStringLiteral(",,nan")));
    EXPECT_TRUE(csv[2].endsWith(QStringLiteral(",,inf")));
}

TEST_F(DBAppendTest, CyclicRecordsCarryTheirTargetTimesAndStatusTags) {
    SaveGroupRecord& g = ExampleGroup(0);
    g.S().dbSNumRecordsSavedTag = xTag{5, QStringLiteral("CNT"), 0, {}, 0, 7, QStringLiteral("VALUE")};
    State().DuringSavingTag = xTag{9, QStringLiteral("DS"), 0, {}, 0, 3, QStringLiteral("VALUE")};
    for (int k = 0; k < 2; ++k) {
        g.R().TargetSaveTime = At(2024, 3, 5, 10, 0, 10 * k);
        ado::WaitFor(DBAppend(1, kRecordTimeSentinel));
    }
    const std::vector<std::pair<int32_t, double>> expected{{3, 1}, {7, 1}, {3, 0}, {3, 1}, {7, 2}, {3, 0}};
    EXPECT_EQ(statusWrites, expected);
    EXPECT_EQ(CountLog(QStringLiteral("| CNT = 2, Append to Database")), 1);

    // The millisecond schedule: the slot's milliseconds reach the table; the sentinel stays.
    g.R().IsHighSpeedSaver = true;
    g.R().TargetSaveTimeWithMilliSeconds.SetTo(At(2024, 3, 5, 10, 0, 20), Numbers::Fixed4::FromDouble(250));
    ado::WaitFor(DBAppend(1, kRecordTimeSentinel));
    EXPECT_EQ(
        CountLog(QStringLiteral("2024/03/05 10:00:20.250 AM | Message | Ledgrix.G1 | CNT = 3, Append to "
                                "Database, SQL Command:Insert Into [Log1] ([Time], [Flow], [Note]) Values "
                                "('2024/03/05 10:00:20.250 AM',12.35,'Pump' )(0)")),
        1);
    EXPECT_EQ(Table(), (QStringList{QStringLiteral("2024-03-05 10:00:00|12.35|Pump"),
                                    QStringLiteral("2024-03-05 10:00:10|12.35|Pump"),
                                    QStringLiteral("2024-03-05 10:00:20.250|12.35|Pump")}));
}

TEST_F(DBAppendTest, PreparationChecksFileTableAndFieldsAndLogsTheOutcome) {
    SaveGroupRecord& g = ExampleGroup(0);
    g.S().dbPassword = QStringLiteral("se\"cret");
    int16_t index = 1;
    // Whole seconds, counted as second boundaries crossed (a boundary may fall inside a step).
    static const QRegularExpression timing(
        QStringLiteral("^Open Connection - [01] Sec\\.\r\nRS open - [01]Sec\\.$"));
    EXPECT_TRUE(timing.match(ado::WaitFor(PrepareDB(index, false))).hasMatch());
    EXPECT_EQ(
        CountLog(QStringLiteral(" | Message | Ledgrix.G1 | PrepareDB OK! Append to Database, SQL Command:"
                                "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;User ID=;Data "
                                "Source=..\\Project\\P\\dat\\db1.mdb;Jet OLEDB:Database Password=****;")),
        1);
    EXPECT_EQ(g.R().conn->State(), ado::adStateOpen);

    log.clear();
    g.S().dbFullPath = QStringLiteral("..\\Project\\P\\dat\\gone.mdb");
    ado::WaitFor(PrepareDB(index, false));
    EXPECT_TRUE(log.value(0).endsWith(QStringLiteral("| PrepareDB Fail! Append to Database, SQL Command:")));
    EXPECT_EQ(log.value(1), QStringLiteral("Error Description = The database file is not exist"));
    EXPECT_THROW(ado::WaitFor(PrepareDB(index, true)), ProgramExit);
    EXPECT_EQ(boxes.boxes.back().title, QStringLiteral("The database file is not exist"));
}

TEST_F(DBAppendTest, OverwriteModeKeepsTheLatestRecordAndAFailedInsertKeepsTheOldOne) {
    SaveGroupRecord& g = ExampleGroup(1, QStringLiteral("CHECK (Flow < 100)"));
    for (int k = 1; k <= 3; ++k) Record(k, k, QStringLiteral("n%1").arg(k));
    EXPECT_EQ(Table(), QStringList{QStringLiteral("2024-03-05 09:00:03|3|n3")});
    EXPECT_EQ(CountLog(QStringLiteral("Clear Database, SQL Command:Delete  From [Log1](1)")), 3);

    Record(4, 500, QStringLiteral("bad"));
    EXPECT_EQ(Table(), QStringList{QStringLiteral("2024-03-05 09:00:03|3|n3")});
    EXPECT_EQ(CountLog(QStringLiteral(
                  " | Error | Ledgrix. G1 | Fail!! Append to Database, SQL Command:Insert Into")),
              1);
    EXPECT_EQ(g.R().NumRecordsSaved, 3);
    EXPECT_NE(g.R().conn->State(), ado::adStateOpen);  // closed after the failure, reopened next time

    Record(5, 5, QStringLiteral("ok"));
    EXPECT_EQ(Table(), QStringList{QStringLiteral("2024-03-05 09:00:05|5|ok")});
}

TEST_F(DBAppendTest, UpdateModeInsertsIntoAnEmptyTableThenUpdatesTheLatestRow) {
    ExampleGroup(2);
    Record(0, 1, QStringLiteral("a"));
    EXPECT_EQ(CountLog(QStringLiteral("Append to Database, SQL Command:Insert Into")), 1);
    Sql(QStringLiteral("Project/P/dat/db1.mdb"),
        {QStringLiteral("INSERT INTO Log1 VALUES ('2024-03-01 00:00:00', 1, 'old')")});
    Record(30, 7, QStringLiteral("new"));
    EXPECT_EQ(CountLog(QStringLiteral(
                  "Update Database, SQL Command:Update [Log1] SET [Time]='2024/03/05 09:00:30 AM', "
                  "[Flow]=7, [Note]='new' Where ([Time] = (SELECT Top 1 [Time] From [Log1] "
                  "ORDER BY [Time] DESC))(2)")),
              1);
    EXPECT_EQ(Table(), (QStringList{QStringLiteral("2024-03-01 00:00:00|1|old"),
                                    QStringLiteral("2024-03-05 09:00:30|7|new")}));
}

TEST_F(DBAppendTest, AnUnreadableTableEndsTheUpdateRecordInOrder) {
    SaveGroupRecord& g = ExampleGroup(2);
    g.S().dbTableName = QStringLiteral("Missing");
    g.S().dbSIsSaveCSV = true;
    g.S().dbCSVFullPath = QStringLiteral("..\\Project\\P\\dat\\copy.csv");
    State().DuringSavingTag.ID = 9;
    Record(0, 12.3456, QStringLiteral("Pump"));
    EXPECT_EQ(CountLog(QStringLiteral("PrepareDB Fail!")), 1);
    EXPECT_EQ(
        CountLog(QStringLiteral("Fail!! Update Database, SQL Command:Select Top 1 * From [Missing] (2)")), 1);
    EXPECT_EQ(CountLog(QStringLiteral("Error Description = The Table is not exist! Database name: "
                                      "..\\Project\\P\\dat\\db1.mdb Table name: Missing")),
              1);
    EXPECT_EQ(statusWrites.back().second, 0);  // the record still ends: during-saving reset, CSV copy
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/dat/copy.csv")),
              QByteArray("2024/3/5 09:00:00,12.35,Pump\r\n"));
    EXPECT_EQ(g.R().NumRecordsSaved, 0);
}

// A record whose target cannot be prepared names the cause, not a step it never reached.
TEST_F(DBAppendTest, ARecordWhoseTargetCannotBePreparedSaysWhy) {
    ExampleGroup(0);
    const QString db = Path(QStringLiteral("Project/P/dat/db1.mdb"));
    ASSERT_TRUE(QFile::remove(db) && QDir().mkdir(db));
    Record(1, 1, QStringLiteral("x"));
    EXPECT_EQ(CountLog(QStringLiteral("Error Description = The database file is not exist! The file "
                                      "path:[..\\Project\\P\\dat\\db1.mdb] [..\\Project\\P\\dat\\db1."
                                      "mdb] is a folder, not a file.")),
              1);
    ASSERT_TRUE(QDir().rmdir(db));
    WriteFile(QStringLiteral("Project/P/dat/db1.mdb"), "no database");
    Record(2, 1, QStringLiteral("x"));
    // the preparation's line and the record's
    EXPECT_EQ(CountLog(QStringLiteral("Error Description = Unrecognized database format")), 2);
}

TEST_F(DBAppendTest, ReenteredWriteIsDroppedAndCountedBeforeItTouchesAnything) {
    SaveGroupRecord& g = ExampleGroup(1);
    int depth = 0;
    onReadValues = [&](int16_t group) {
        State().Group(group).F(2).TagValue = 1.0;
        State().Group(group).F(3).TagMessage = QStringLiteral("x");
        if (depth++ == 0) {  // window messages processed during the write start another one
            double inner = At(2024, 3, 5, 9, 0, 1);
            ado::WaitFor(DBAppend(group, inner));
        }
    };
    double t = At(2024, 3, 5, 9, 0, 0);
    ado::WaitFor(DBAppend(1, t));
    EXPECT_EQ(g.R().CountinuousOverrunCount, 1);
    EXPECT_FALSE(g.R().IsDBAppending());
    EXPECT_EQ(Table(), QStringList{QStringLiteral("2024-03-05 09:00:00|1|x")});
    EXPECT_EQ(CountLog(QStringLiteral("Clear Database")), 1);
}

TEST_F(DBAppendTest, DisabledGroupOnlyLogs) {
    SaveGroupRecord& g = ExampleGroup(0);
    g.S().dbSEnableTag.Name = QStringLiteral("EN1");
    g.R().IsDisableDBAppend = true;
    State().DuringSavingTag.ID = 9;
    Record(0, 1, QString());
    EXPECT_EQ(log, QStringList{
                       QStringLiteral("2024/03/05 09:00:00 AM  | Message | Ledgrix.G1 |  Action!(dbEnableTag "
                                      "= EN1 = 0), ")});
    EXPECT_TRUE(statusWrites.empty());
    EXPECT_EQ(readCalls, 0);
}

TEST_F(DBAppendTest, ExcelTargetWithoutKeepAliveIsPreparedAndClosedForEveryRecord) {
    for (const int keepAlive : {0, 1}) {
        SCOPED_TRACE(keepAlive);
        log.clear();
        closeCalls = 0;
        const QString file = QStringLiteral("book%1.xlsx").arg(keepAlive);
        Sql(QStringLiteral("Project/P/dat/") + file,
            {QStringLiteral("CREATE TABLE [Sheet1$] ([Time] TEXT, Flow DOUBLE)")});
        SaveGroupRecord& g = AccessGroup(2, file, QStringLiteral("Sheet1$"));
        g.FieldCount = 0;
        g.S().dbDBTypeName = QStringLiteral("EXCEL2007");
        g.S().dbProvider = QStringLiteral("Microsoft.ACE.OLEDB.12.0");
        g.S().dbExtendedProperties = QStringLiteral("\"Excel 12.0 Xml;HDR=YES\"");
        g.S().dbSKeepConnectionAliveAfterSaveDataForExcel = static_cast<int16_t>(keepAlive);
        AddField(g, QStringLiteral("Time"), QStringLiteral("^DATETIME"), QString());
        AddField(g, QStringLiteral("Flow"), QStringLiteral("FT1"), QStringLiteral("VALUE"));
        for (int k = 0; k < 3; ++k) {
            double t = At(2024, 3, 5, 9, 0, k);
            ado::WaitFor(DBAppend(2, t));
        }
        EXPECT_EQ(
            Sql(QStringLiteral("Project/P/dat/") + file, {QStringLiteral("SELECT COUNT(*) FROM [Sheet1$]")}),
            QStringList{QStringLiteral("3")});
        EXPECT_EQ(CountLog(QStringLiteral("PrepareDB OK!")), keepAlive == 1 ? 1 : 3);
        EXPECT_EQ(closeCalls, keepAlive == 1 ? 0 : 3);
        EXPECT_EQ(g.R().conn && g.R().conn->State() == ado::adStateOpen, keepAlive == 1);
        EXPECT_EQ(
            CountLog(QStringLiteral("Before Exec Insert SQLCommand. (SQL Command=Insert Into [Sheet1$]")), 3);
    }
}

TEST_F(DBAppendTest, ChineseDesignatorsBecomeAmPmOnlyInsideDateLiterals) {
    const QByteArray previous = qgetenv("LC_ALL");
    qputenv("LC_ALL", "zh_TW.UTF-8");
    SaveGroupRecord& g = ExampleGroup(0);
    g.F(3).TagMessageLength = 0;
    Record(-1, 1, QStringLiteral("下午班"));
    double t = At(2024, 3, 5, 14, 7, 9);
    ado::WaitFor(DBAppend(1, t));
    qputenv("LC_ALL", previous);
    EXPECT_EQ(CountLog(QStringLiteral("Values ('2024/03/05 02:07:09 PM',1,'下午班' )")), 1);
    EXPECT_EQ(Table(), QStringList{QStringLiteral("2024-03-05 14:07:09|1|下午班")});
}

TEST_F(DBAppendTest, StatementFormsFollowTheDatabaseType) {
    SaveGroupRecord& g = AccessGroup(3, QStringLiteral("x.mdb"), QStringLiteral("T"));
    AddField(g, QStringLiteral("V"), QStringLiteral("A1"), QStringLiteral("VAL")).DecimalPlaces = 0;
    AddField(g, QStringLiteral("TS"), QStringLiteral("A2"), QStringLiteral("DATETIME"));
    g.F(1).TagValue = 2.5;
    g.F(2).TagTime = At(2024, 3, 5, 14, 0, 0);
    xSvcSettings& s = g.S();
    s.dbNoTableNameDelimiter = s.dbNoFieldNameDelimiter = true;

    auto parts = RecordSql::BuildRecordParts(g, 0, QString(), 0, false);
    EXPECT_EQ(parts.values, QStringLiteral("2,'2024/03/05 02:00:00 PM'"));  // VAL is a value; halves to even
    EXPECT_EQ(RecordSql::ProbeStatement(s), QStringLiteral("Select Top 1 * From T"));

    s.dbDBTypeName = QStringLiteral("MYSQL");
    parts = RecordSql::BuildRecordParts(g, 0, QString(), 0, false);
    EXPECT_EQ(RecordSql::UpdateStatement(s, parts),
              QStringLiteral(
                  "Update T SET V=2, TS='2024/03/05 14:00:00' Where (TS = (SELECT TS From (SELECT TS From "
                  "T ORDER BY TS DESC LIMIT 1) AS x))"));
    EXPECT_EQ(RecordSql::ProbeStatement(s), QStringLiteral("Select * From T LIMIT 1"));

    s.dbDBTypeName = QStringLiteral("ORACLE");
    s.dbDateFunctionName = QStringLiteral("TO_DATE");
    parts = RecordSql::BuildRecordParts(g, 0, QString(), 0, false);
    EXPECT_EQ(parts.values, QStringLiteral("2, to_date('2024/03/05 14:00:00','yyyy/MM/dd hh24:mi:ss')"));
    EXPECT_EQ(RecordSql::UpdateStatement(s, parts),
              QStringLiteral(
                  "Update T SET V=2, TS= to_date('2024/03/05 14:00:00','yyyy/MM/dd hh24:mi:ss') Where (TS "
                  "= (SELECT MAX(TS) From T))"));
    EXPECT_EQ(RecordSql::ProbeStatement(s), QStringLiteral("Select * From T Where rownum=1"));

    // Purge, by provider (any letter case) and type: keep days -2, then rows before 2024-03-01.
    using Run = RecordSql::PurgeRun;
    const QString jet = QStringLiteral("Delete From [T] Where (((TS) < #2024/03/01#))");
    const struct {
        const char *provider, *type;
        QString all, older;
        Run run;
    } purges[] = {
        {"Microsoft.Jet.OLEDB.4.0", "EXCEL", "Delete From [T]", jet, Run::Execute},
        {"Microsoft.ACE.OLEDB.12.0", "ACCESS2007", "Delete From [T]", jet, Run::Execute},
        {"Microsoft.ACE.OLEDB.12.0", "EXCEL2007", "Delete From [T]", jet, Run::PrepareThenDirect},
        {"sqloledb.1", "SQLSERVER", "Delete From [T]", "Delete From [T] Where (((TS) < '2024/03/01'))",
         Run::Execute},
        {"MSDAORA.1", "ORACLE", "Delete From T",
         "Delete From T Where (((TS) < to_date('2024/03/01 00:00:00', 'yyyy/MM/dd hh24:mi:ss')))",
         Run::DirectThenCommit},
        {"MSDASQL.1", "MYSQL", "Delete From T", "Delete From T Where (((TS) < '2024/03/01 00:00:00'))",
         Run::Execute},
        {"MSDASQL.1", "EXCEL", "Delete From [T]", jet, Run::PrepareThenDirect},
        {"SQLOLEDB", "SQLSERVER", "", "", Run::Unknown},
    };
    s.dbSPurgeFieldName = QStringLiteral("TS");
    for (const auto& p : purges) {
        SCOPED_TRACE(p.provider + std::string(" ") + p.type);
        s.dbProvider = QLatin1String(p.provider);
        s.dbDBTypeName = QLatin1String(p.type);
        const RecordSql::PurgePlan all = RecordSql::PurgeStatement(s, true, At(2024, 3, 1));
        const RecordSql::PurgePlan older = RecordSql::PurgeStatement(s, false, At(2024, 3, 1));
        EXPECT_EQ(all.statement, p.all);
        EXPECT_EQ(older.statement, p.older);
        EXPECT_EQ(all.run, p.run);
        EXPECT_EQ(older.run, p.run);
    }
}

TEST(RecordFieldKind, NamesAndTypesInAnyLetterCase) {
    auto kind = [](const char16_t* name, const char16_t* type) {
        xField f;
        f.TagName = QString::fromUtf16(name);
        f.TagType = QString::fromUtf16(type);
        return RecordSql::KindOf(f);
    };
    using K = RecordSql::FieldKind;
    EXPECT_EQ(kind(u"^DateTime", u"VALUE"), K::RecordTime);
    EXPECT_EQ(kind(u"T1", u"val"), K::Value);
    EXPECT_EQ(kind(u"T1", u"Value"), K::Value);
    EXPECT_EQ(kind(u"T1", u"msg"), K::Message);
    EXPECT_EQ(kind(u"T1", u"MEßAGE"), K::Message);  // its upper case is MESSAGE
    EXPECT_EQ(kind(u"T1", u"dateTime"), K::TagTime);
    EXPECT_EQ(kind(u"^DATETIMEX", u"VALUE"), K::Value);
    EXPECT_EQ(kind(u"A_Very_Long_Tag_Name", u"VALUES"), K::None);
    EXPECT_EQ(kind(u"T1", u"VALUE "), K::None);
}

}  // namespace

TEST_F(DBAppendTest, AnotherProgramsWriteLockCostsOnlyItsOwnFileAndItsGroupRecordsOnceItIsFreed) {
    State().DuringSavingTag.ID = 9;
    State().DuringSavingTag.UserParm = 3;
    ado::SetDefaultTimeouts(15, 1);  // the busy timeout: at most the command timeout of 1 s
    struct DefaultTimeouts {
        ~DefaultTimeouts() { ado::SetDefaultTimeouts(0, 0); }
    } defaults;
    SaveGroupRecord& g1 = ExampleGroup(0);
    Sql(QStringLiteral("Project/P/dat/db2.mdb"),
        {QStringLiteral("CREATE TABLE Log2 ([Time] DATETIME, Flow DOUBLE)")});
    SaveGroupRecord& g2 = AccessGroup(2, QStringLiteral("db2.mdb"), QStringLiteral("Log2"));
    AddField(g2, QStringLiteral("Time"), QStringLiteral("^DATETIME"), QStringLiteral("VALUE"));
    AddField(g2, QStringLiteral("Flow"), QStringLiteral("FT1"), QStringLiteral("VALUE"));
    ado::WaitFor(PrepareDB(1, false));
    ado::WaitFor(PrepareDB(2, false));

    // Another program holds the write lock of group 1's file.
    SqliteShell other(Path(QStringLiteral("Project/P/dat/db1.mdb")));
    other.Write("BEGIN IMMEDIATE;\nSELECT 'held';\n");
    ASSERT_TRUE(other.WaitForOutput("held", 10000));

    statusWrites.clear();
    ado::Task<void> waiting = DBAppend(1, At(2024, 3, 5, 9, 0, 0));
    EXPECT_FALSE(waiting.Done());  // the thread goes on meanwhile
    ado::WaitFor(DBAppend(2, At(2024, 3, 5, 9, 0, 0)));
    EXPECT_EQ(g2.R().NumRecordsSaved, 1);
    // The during-saving tag stays 1 while group 1's record is under way.
    EXPECT_EQ(statusWrites, (std::vector<std::pair<int32_t, double>>{{3, 1}, {3, 1}}));
    ado::WaitFor(std::move(waiting));
    EXPECT_EQ(statusWrites.back(), (std::pair<int32_t, double>{3, 0}));
    EXPECT_EQ(CountLog(QStringLiteral("| Error | Ledgrix. G1 | Fail!! Append to Database")), 1);
    EXPECT_EQ(CountLog(QStringLiteral("Error Description = database is locked")), 1)
        << log.join(u'\n').toStdString();

    other.Write("COMMIT;\n");
    ASSERT_TRUE(other.Finish(10000));
    Record(1, 2, QStringLiteral("x"));
    EXPECT_EQ(g1.R().NumRecordsSaved, 1);
    EXPECT_EQ(Table().size(), 1);
}

// Two groups hold one file, which is moved, deleted or replaced (by a backup, just after another
// program's checkpoint) while they record: the first to find it says so, and both prepare the path
// again, so a record logged as saved is in the file at the path, or logged as failed. While another
// program still reads the file held, its records fail and say why.
TEST_F(DBAppendTest, GroupsHoldingAFileThatLeftItsPathPrepareThePathAgain) {
    const QString db = Path(QStringLiteral("Project/P/dat/db1.mdb"));
    for (const QString& change : {QStringLiteral("mv"), QStringLiteral("rm"), QStringLiteral("replace"),
                                  QStringLiteral("replace while read")}) {
        SCOPED_TRACE(change.toStdString());
        ResetState();
        State().DuringSavingTag.ID = -1;
        QFile::remove(db);
        QFile::remove(Path(QStringLiteral("Project/P/dat/backup.mdb")));
        SaveGroupRecord& g1 = ExampleGroup(0);
        SaveGroupRecord& g2 = AccessGroup(2, QStringLiteral("db1.mdb"), QStringLiteral("Log1"));
        for (int i = 1; i <= g1.FieldCount; ++i) g2.F(i) = g1.F(i);
        g2.FieldCount = g1.FieldCount;
        Sql(QStringLiteral("Project/P/dat/backup.mdb"),
            {QStringLiteral("CREATE TABLE Log1 ([Time] DATETIME, Flow DOUBLE, Note TEXT)"),
             QStringLiteral("INSERT INTO Log1 VALUES ('2024-01-01 00:00:00', 0, 'back')")});
        const auto both = [&](int second) {
            Record(second, 1, QStringLiteral("x"));
            ado::WaitFor(DBAppend(2, At(2024, 3, 5, 9, 0, second)));
        };
        both(1);

        const bool read = change == QLatin1String("replace while read");
        std::optional<SqliteShell> reader;
        if (change == QLatin1String("mv")) {
            ASSERT_TRUE(QFile::rename(db, Path(QStringLiteral("Project/P/dat/moved.mdb"))));
        } else if (change == QLatin1String("rm")) {
            ASSERT_TRUE(QFile::remove(db));
        } else {
            reader.emplace(db);
            reader->Write(read ? "BEGIN; SELECT count(*) FROM Log1; SELECT 'held';\n"
                               : "PRAGMA wal_checkpoint; SELECT 'held';\n");
            ASSERT_TRUE(reader->WaitForOutput("held", 10000));
            if (!read) {
                ASSERT_TRUE(reader->Finish(10000));
            }
            ASSERT_EQ(std::rename(QFile::encodeName(Path(QStringLiteral("Project/P/dat/backup.mdb"))),
                                  QFile::encodeName(db)),
                      0);
        }
        log.clear();
        both(2);
        if (read) both(3);  // still held: the change is told once
        const bool missing = change == QLatin1String("mv") || change == QLatin1String("rm");
        EXPECT_EQ(
            CountLog(QStringLiteral(" | Warning | Ledgrix.G1 | The database file "
                                    "[..\\Project\\P\\dat\\db1.mdb] has left its path: %1 is there now.")
                         .arg(missing ? QStringLiteral("no file") : QStringLiteral("another file"))),
            1)
            << log.join(u'\n').toStdString();
        if (missing) {
            // Each record names the missing file.
            EXPECT_EQ(CountLog(QStringLiteral("Error Description = The database file is not exist! The file "
                                              "path:[..\\Project\\P\\dat\\db1.mdb]")),
                      2);
            EXPECT_EQ(CountLog(QStringLiteral("| Error | Ledgrix. G")), 2);
            EXPECT_EQ(g1.R().NumRecordsSaved + g2.R().NumRecordsSaved, 2);
            continue;
        }
        if (read) {
            // Held: each group's record fails and says why; the next one, after the reader, is saved.
            EXPECT_EQ(CountLog(QStringLiteral("Error Description = The file is held until its write-ahead "
                                              "log is folded back into it: ")),
                      4);
            reader->Write("COMMIT;\n");
            ASSERT_TRUE(reader->Finish(10000));
            both(4);
        }
        const QString saved = QStringLiteral("2024-03-05 09:00:0%1|1|x").arg(read ? 4 : 2);
        EXPECT_EQ(Table(), (QStringList{QStringLiteral("2024-01-01 00:00:00|0|back"), saved, saved}));
    }
}
