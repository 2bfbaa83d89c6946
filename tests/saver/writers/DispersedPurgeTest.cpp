// Dispersed database files and the purge of expired records.
#include "common/FileUtil.h"
#include "tests/saver/writers/WriterFixture.h"

namespace {

const QString kTable = QStringLiteral("CREATE TABLE Log1 ([Time] DATETIME, Flow DOUBLE)");
const QString kCount = QStringLiteral("SELECT COUNT(*) FROM Log1");

class DispersedTest : public WriterFixture {
  protected:
    SaveGroupRecord& Group() {
        Sql(QStringLiteral("Project/P/dat/tpl.mdb"), {kTable});
        SaveGroupRecord& g = AccessGroup(1, QStringLiteral("tpl.mdb"), QStringLiteral("Log1"));
        g.S().dbSDataBaseRootDir = QStringLiteral("..\\Project\\P\\dat\\root");
        g.S().dbSDirTag = xTag{-1, QStringLiteral("DIR"), 0, {}, 0, 0, QStringLiteral("VALUE")};
        g.S().dbSFileNameTag = xTag{-1, QStringLiteral("FN"), 0, {}, 0, 0, QStringLiteral("MSG")};
        AddField(g, QStringLiteral("Time"), QStringLiteral("^DATETIME"), QString());
        AddField(g, QStringLiteral("Flow"), QStringLiteral("F1"), QStringLiteral("VALUE"));
        tags[QStringLiteral("DIR")] = {3, {}, 21};
        tags[QStringLiteral("FN")] = {0, QStringLiteral("May"), 22};
        return g;
    }
    void Record() {
        double t = At(2024, 5, 1, 8, 0, 0);
        ado::WaitFor(DBAppend(1, t));
    }
};

TEST_F(DispersedTest, TagsChooseFolderAndFileCreatedFromTheTemplate) {
    SaveGroupRecord& g = Group();
    g.S().dbSCount2Zero = true;
    Record();
    const QString may = QStringLiteral("..\\Project\\P\\dat\\root\\3\\May.mdb");
    EXPECT_EQ(g.S().dbSDataBaseRootDir, QStringLiteral("..\\Project\\P\\dat\\root\\"));
    EXPECT_EQ(shownPaths, QStringList{may});
    EXPECT_EQ(Sql(QStringLiteral("Project/P/dat/root/3/May.mdb"), {kCount}),
              QStringList{QStringLiteral("1")});
    EXPECT_EQ(Sql(QStringLiteral("Project/P/dat/tpl.mdb"), {kCount}), QStringList{QStringLiteral("0")});

    const auto* first = g.R().conn.get();  // same target: the connection is reused
    Record();
    EXPECT_EQ(g.R().conn.get(), first);
    EXPECT_EQ(g.R().NumRecordsSaved, 2);

    tags[QStringLiteral("FN")].message = QStringLiteral("June");  // a new file restarts the count
    Record();
    EXPECT_EQ(g.R().LastdbSFullPath, QStringLiteral("..\\Project\\P\\dat\\root\\3\\June.mdb"));
    EXPECT_EQ(g.R().NumRecordsSaved, 1);

    tags.remove(QStringLiteral("FN"));  // undefined file-name tag: the template's name
    Record();
    EXPECT_EQ(g.R().LastdbSFullPath, QStringLiteral("..\\Project\\P\\dat\\root\\3\\tpl.mdb"));
    EXPECT_EQ(CountLog(QStringLiteral("Fail")), 0);
}

TEST_F(DispersedTest, TagTextsThatLeaveTheRootAreRefused) {
    SaveGroupRecord& g = Group();
    g.S().dbSDirTag.DataType = QStringLiteral("MSG");
    tags[QStringLiteral("DIR")].message = QStringLiteral("..\\..\\..");
    tags[QStringLiteral("FN")].message = QStringLiteral("C:\\evil");
    Record();
    EXPECT_EQ(CountLog(QStringLiteral(
                  " | Error | Ledgrix. G1 | [dbSDBFilePath=..\\Project\\P\\dat\\root\\..\\..\\..\\] "
                  "Is Error!")),
              1);
    EXPECT_EQ(CountLog(QStringLiteral(
                  " | Error | Ledgrix.G1 | [dbSDBFullPath=..\\Project\\P\\dat\\root\\C:\\evil.mdb] "
                  "Is Error!!")),
              1);
    EXPECT_EQ(Sql(QStringLiteral("Project/P/dat/root/tpl.mdb"), {kCount}), QStringList{QStringLiteral("1")});

    tags[QStringLiteral("DIR")].message = QStringLiteral("line2\\");  // a trailing "\" is still one folder
    tags[QStringLiteral("FN")].message = QStringLiteral("ok");
    Record();
    EXPECT_EQ(g.R().LastdbSFullPath, QStringLiteral("..\\Project\\P\\dat\\root\\line2\\ok.mdb"));
}

// A tag text that names the template itself (in any spelling) is refused like a bad name: the
// record goes to the fallback file; where the template is the fallback too, the record fails and
// says why. The template stays as it is.
TEST_F(DispersedTest, TheTemplateIsNeverADispersedFile) {
    SaveGroupRecord& g = Group();
    Sql(QStringLiteral("Project/P/dat/root/tpl.mdb"), {kTable});
    g.S().dbFullPath = QStringLiteral("..\\Project\\P\\dat\\root\\tpl.mdb");  // in the root
    tags.remove(QStringLiteral("DIR"));
    tags[QStringLiteral("FN")].message = QStringLiteral("TPL");
    Record();
    EXPECT_EQ(CountLog(QStringLiteral(
                  " | Error | Ledgrix.G1 | [dbSDBFullPath=..\\Project\\P\\dat\\root\\TPL.mdb] Is Error!!")),
              1);
    EXPECT_EQ(
        CountLog(QStringLiteral(" | Message | Ledgrix.G1 | Prepare RootDir Fail!  \r\nError Description: "
                                "The dispersed file would be the template database itself: "
                                "..\\Project\\P\\dat\\root\\tpl.mdb")),
        1);
    EXPECT_EQ(CountLog(QStringLiteral("| Error | Ledgrix. G1 | Fail!! Append to Database")), 1);

    Sql(QStringLiteral("Project/P/dat/root/3/tpl.mdb"), {kTable});
    g.S().dbFullPath = QStringLiteral("..\\Project\\P\\dat\\root\\3\\tpl.mdb");  // where the tags lead
    tags[QStringLiteral("DIR")] = {3, {}, 21};
    Record();
    EXPECT_EQ(CountLog(QStringLiteral("[dbSDBFullPath=..\\Project\\P\\dat\\root\\3\\TPL.mdb] Is Error!!")),
              1);
    EXPECT_EQ(g.R().LastdbSFullPath, QStringLiteral("..\\Project\\P\\dat\\root\\tpl.mdb"));
    EXPECT_EQ(g.R().NumRecordsSaved, 1);
    EXPECT_EQ(Sql(QStringLiteral("Project/P/dat/root/tpl.mdb"), {kCount}), QStringList{QStringLiteral("1")});
    EXPECT_EQ(Sql(QStringLiteral("Project/P/dat/root/3/tpl.mdb"), {kCount}),
              QStringList{QStringLiteral("0")});
}

TEST_F(DispersedTest, SettingsAndTagTextsNeverRewriteTheConnectionString) {
    SaveGroupRecord& g = Group();
    g.S().dbUserID = QStringLiteral("ops;Provider=Bogus");
    for (const char* name : {"a;Data Source=..\\..\\other.mdb", "a;b", "x=y"}) {
        tags[QStringLiteral("FN")].message = QString::fromLatin1(name);
        Record();
    }
    EXPECT_EQ(CountLog(QStringLiteral("Is Error!!")), 3);
    EXPECT_EQ(CountLog(QStringLiteral("Fail")), 0) << log.join(u'\n').toStdString();
    EXPECT_EQ(Sql(QStringLiteral("Project/P/dat/root/tpl.mdb"), {kCount}), QStringList{QStringLiteral("3")});
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("Project/P/dat/other.mdb"))));

    // The single-file target with the same user name.
    SaveGroupRecord& single = AccessGroup(2, QStringLiteral("tpl.mdb"), QStringLiteral("Log1"));
    single.S().dbUserID = g.S().dbUserID;
    AddField(single, QStringLiteral("Flow"), QStringLiteral("F1"), QStringLiteral("VALUE"));
    double t = At(2024, 5, 1, 9, 0, 0);
    ado::WaitFor(DBAppend(2, t));
    EXPECT_EQ(Sql(QStringLiteral("Project/P/dat/tpl.mdb"), {kCount}), QStringList{QStringLiteral("1")});
    EXPECT_EQ(CountLog(QStringLiteral("Fail")), 0) << log.join(u'\n').toStdString();
}

class PurgeTest : public WriterFixture {
  protected:
    SaveGroupRecord& Group() {
        // Rows: 31 days ago, 30 days ago at noon, yesterday late, today early.
        const double today = DateUtil::Today();
        QStringList sql{kTable};
        for (const double d : {today - 31, today - 30 + 0.5, today - 1 + 0.99, today + 0.01})
            sql << QStringLiteral("INSERT INTO Log1 VALUES ('%1', 1)")
                       .arg(DateUtil::Format(d, QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        Sql(QStringLiteral("Project/P/dat/db1.mdb"), sql);
        SaveGroupRecord& g = AccessGroup(1, QStringLiteral("db1.mdb"), QStringLiteral("Log1"));
        AddField(g, QStringLiteral("Time"), QStringLiteral("^DATETIME"), QString());
        return g;
    }
    int Count() { return Sql(QStringLiteral("Project/P/dat/db1.mdb"), {kCount}).value(0).toInt(); }
};

TEST_F(PurgeTest, ExactlyTheRowsBeforeTheCutOffGo) {
    Group();  // no open connection yet: the purge prepares it
    ado::WaitFor(PurgeDatabase(1, 30));
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(CountLog(QStringLiteral(" | Message | Ledgrix.G1 | Purge Action! PurgeKeepDays=30")), 1);
    ado::WaitFor(PurgeDatabase(1, 0));
    EXPECT_EQ(Count(), 1);  // today's row stays
    ado::WaitFor(PurgeDatabase(1, -3));
    EXPECT_EQ(Count(), 1);
    EXPECT_TRUE(log.value(log.size() - 2)
                    .endsWith(QStringLiteral(" | Error | Ledgrix.G1 | Purge Fail! PurgeKeepDays=-3")));
    EXPECT_EQ(log.last(), QStringLiteral("Error Description = "));
    // A purge waits for its group's turn: a record or a preparation under way ends first.
    std::optional<GroupWork> busy = GroupWork::TakeIfFree(1);
    ado::Task<void> purge = PurgeDatabase(1, -2);
    ado::ResumeWork();
    EXPECT_FALSE(purge.Done());
    EXPECT_EQ(Count(), 1);
    busy.reset();
    ado::WaitFor(std::move(purge));
    EXPECT_EQ(Count(), 0);
}

// The purge keeps its group's turn while it waits (here for another program's lock): a record
// whose slot comes meanwhile does not run beside it but is dropped and counted.
TEST_F(PurgeTest, ARecordDueWhileThePurgeIsUnderWayIsDroppedAndCounted) {
    SaveGroupRecord& g = Group();
    ado::WaitFor(PrepareDB(1, false));
    SqliteShell other(Path(QStringLiteral("Project/P/dat/db1.mdb")));
    other.Write("BEGIN IMMEDIATE;\nSELECT 'held';\n");
    ASSERT_TRUE(other.WaitForOutput("held", 10000));
    ado::Task<void> purge = PurgeDatabase(1, -2);
    ASSERT_FALSE(purge.Done());

    EXPECT_TRUE(DBAppend(1, At(2024, 3, 5, 9, 0, 0)).Done()) << "the record runs beside the purge";
    EXPECT_EQ(g.R().CountinuousOverrunCount, 1);

    other.Write("COMMIT;\n");
    ASSERT_TRUE(other.Finish(10000));
    ado::WaitFor(std::move(purge));
    EXPECT_EQ(CountLog(QStringLiteral("Purge Action! PurgeKeepDays=-2")), 1) << log.join(u'\n').toStdString();
    EXPECT_EQ(Count(), 0);
}

TEST_F(PurgeTest, CsvAndDispersedGroupsAreNeverPurgedAndAMissingFileFailsClearly) {
    SaveGroupRecord& g = Group();
    g.S().dbSDataBaseRootDir = QStringLiteral("..\\Project\\P\\dat\\root");
    ado::WaitFor(PurgeDatabase(1, -2));
    g.S().dbSDataBaseRootDir.clear();
    g.S().dbDBTypeName = QStringLiteral("CSV");
    ado::WaitFor(PurgeDatabase(1, -2));
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(Count(), 4);

    g.S().dbDBTypeName = QStringLiteral("ACCESS");
    g.S().dbFullPath = QStringLiteral("..\\Project\\P\\dat\\gone.mdb");
    ado::WaitFor(PurgeDatabase(1, 5));
    EXPECT_EQ(CountLog(QStringLiteral("Purge Fail! PurgeKeepDays=5")), 1);
    EXPECT_EQ(log.last(), QStringLiteral("Error Description = The database connection is not open."));
}

}  // namespace
