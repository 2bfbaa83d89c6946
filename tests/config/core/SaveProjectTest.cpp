// Validation and writing of the workstation and save-group files.
#include "config/core/OpenProject.h"
#include "config/core/SaveProject.h"
#include "tests/config/core/ConfigFixture.h"

using namespace SettingWriter;

namespace {
const QString kSvl = QStringLiteral("Project/P/cfg/W/Ledgrix.svl");
const QString kFlow = QStringLiteral("Project/P/cfg/W/flow.svc");
const QString kLines = QStringLiteral("Project/P/cfg/W/lines.svc");
}  // namespace

class SaveProjectTest : public ConfigFixture {
  protected:
    void SetUp() override {
        ConfigFixture::SetUp();
        CopyData();
        State().WorkstationName = QStringLiteral("W");
        ASSERT_TRUE(ProjectUtil::OpenProject(QStringLiteral("P"), false));
        boxes.boxes.clear();
    }
    SaveGroupRecord& Group(int i) { return State().Group(i); }
    QString CheckMessage() {
        QString message;
        return CheckSaveGroups(message) ? QString() : message;
    }
};

TEST_F(SaveProjectTest, WrittenFilesAreTheFilesReadByteForByte) {
    Config().IsModified = -1;
    ASSERT_TRUE(SaveProject(true, false));
    // Caption, purge option and round-time flag are kept although nothing here edits them.
    for (const QString& f : {kSvl, kFlow, kLines}) EXPECT_EQ(ReadFile(f), DataFile(f)) << f.toStdString();
    EXPECT_EQ(Config().IsModified, 0);
    EXPECT_EQ(State().SvcFileCount, 2);
    EXPECT_EQ(State().SvcFileList[2], QStringLiteral("..\\PROJECT\\P\\CFG\\W\\lines.svc"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SaveProjectTest, TagReferencesThatBeginWithADotAreWrittenAsRead) {
    QByteArray text = DataFile(kLines);
    text.replace("dbSCSVDirTag=DIR.VALUE", "dbSCSVDirTag=.").replace("LEVEL.VAL,", ".x,");
    WriteFile(kLines, text);
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(ProjectUtil::OpenProject(QStringLiteral("P"), true));
        Config().IsModified = -1;
        ASSERT_TRUE(SaveProject(true, false));
        EXPECT_EQ(ReadFile(kLines), text);
    }
}

TEST_F(SaveProjectTest, FileLocationTypeAndListRules) {
    xSvcSettings& flow = Group(1).S();
    // A file in the data folder keeps its full path in memory, written without it.
    const QString fullPath = flow.dbFullPath;
    Config().IsModified = -1;
    ASSERT_TRUE(SaveProject(true, false));
    EXPECT_EQ(flow.dbFullPath, fullPath);
    EXPECT_FALSE(fullPath.isEmpty());

    // A name that climbs out of the data folder is no name in it.
    flow.dbFileName = QStringLiteral("..\\x.mdb");
    NormaliseFileLocation(flow);
    EXPECT_EQ(flow.dbIsDefaultFilePath, 0);
    EXPECT_TRUE(GroupFileText(Group(1)).contains(QStringLiteral("\r\ndbIsDefaultFilePath=0\r\ndbFilePath=") +
                                                 fullPath + QStringLiteral("\r\ndbFileName=\r\n")));

    flow.dbDBTypeName = QStringLiteral("SQLSERVER");
    flow.dbDataSource = QStringLiteral("srv,1433");
    EXPECT_TRUE(GroupFileText(Group(1)).contains(QStringLiteral("\r\ndbDataSource=srv,1433\r\n")));
    Group(2).S().dbDataSource = QStringLiteral("ignored");
    EXPECT_TRUE(GroupFileText(Group(2)).contains(QStringLiteral("\r\ndbDataSource=\r\n")));

    // Removed groups and groups after a nameless one are not listed, but still written.
    Group(1).IsGroupDeleted = -1;
    EXPECT_TRUE(SvlFileText().endsWith(
        QStringLiteral("[ModuleList]\r\nModule1=Lines,..\\PROJECT\\P\\CFG\\W\\lines.svc\r\n")));
    Group(1).IsGroupDeleted = 0;
    Group(1).S().SaveGroupName.clear();
    EXPECT_TRUE(SvlFileText().endsWith(QStringLiteral("[ModuleList]\r\n")));
    State().dbSIsSvcDefaultPath = 1;
    Group(1).S().SaveGroupName = QStringLiteral("flow");
    EXPECT_TRUE(SvlFileText().contains(QStringLiteral("\r\nModule1=Flow,flow.svc/PURGE:30\r\n")));
}

TEST_F(SaveProjectTest, NothingIsWrittenUnlessModifiedConfirmedValidAndLoaded) {
    Group(2).S().dbTableName = QStringLiteral("Changed");
    ASSERT_TRUE(SaveProject(true, true));  // not modified: nothing at all
    EXPECT_EQ(ReadFile(kLines), DataFile(kLines));
    EXPECT_TRUE(boxes.boxes.empty());

    Config().IsModified = -1;
    boxes.answers = {MsgAnswer::No};
    EXPECT_FALSE(SaveProject(false, false));
    EXPECT_EQ(boxes.boxes.back().text, QStringLiteral("Can you save changes of the project[P]?"));
    EXPECT_EQ(Config().IsModified, -1);

    Config().IsProjectLoaded = false;
    EXPECT_FALSE(SaveProject(true, false));
    Config().IsProjectLoaded = true;

    Group(1).F(1).TagName = QStringLiteral("T1");
    Group(1).F(1).TagType = QStringLiteral("VALUE");
    EXPECT_FALSE(SaveProject(true, false));
    EXPECT_EQ(boxes.boxes.back().title, QStringLiteral("Save Project"));
    EXPECT_EQ(ReadFile(kLines), DataFile(kLines));
    EXPECT_EQ(Config().IsModified, -1);
    Group(1).F(1).TagName = QStringLiteral("^DATETIME");
    Group(1).F(1).TagType = QStringLiteral("DATETIME");

    boxes.answers = {MsgAnswer::Yes};
    ASSERT_TRUE(SaveProject(false, true));
    EXPECT_EQ(boxes.boxes.back().text, QStringLiteral("Project saved!"));
    EXPECT_TRUE(ReadFile(kLines).contains("dbTableName=Changed\r\n"));
    EXPECT_EQ(Config().IsModified, 0);
}

TEST_F(SaveProjectTest, AFailedWriteKeepsTheWorkstationFileAndTheModifiedFlag) {
    Config().IsModified = -1;
    Group(1).S().dbTableName = QStringLiteral("Changed");
    Group(2).S().SvcFilePath = QStringLiteral("..\\PROJECT\\P\\CFG\\W\\blocked.svc");
    Group(2).R().ModuleName = QStringLiteral("Blocked");
    QDir().mkpath(Path(QStringLiteral("Project/P/cfg/W/blocked.svc")));  // a folder in its place
    EXPECT_FALSE(SaveProject(true, false));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.startsWith(QStringLiteral(
        "Fail to save the project!\r\nThe settings file [..\\PROJECT\\P\\CFG\\W\\blocked.svc]")));
    EXPECT_EQ(ReadFile(kSvl), DataFile(kSvl));  // still lists only files that were written whole
    EXPECT_EQ(Config().IsModified, -1);
}

TEST_F(SaveProjectTest, ChecksNameTheGroupAndTheValueAtFault) {
    EXPECT_EQ(CheckMessage(), QString());
    // Update mode needs a date-time field: "^DateTime" by name, or the DATETIME type.
    Group(1).F(1).TagName = QStringLiteral("^datetime");
    EXPECT_EQ(CheckMessage(), QString());
    Group(1).F(1).TagType = QStringLiteral("VALUE");
    EXPECT_EQ(
        CheckMessage(),
        QStringLiteral("存檔群組 [Flow] 設定錯誤, 請重新設定。\r\n資料庫欄位必須要含有 [日期時間] 欄位。\r\n"
                       "存檔群組: Flow"));
    Group(1).F(1).TagName = QStringLiteral("^DateTime");
    EXPECT_EQ(CheckMessage(), QString());

    Group(2).R().IsHighSpeedSaver = true;
    Group(2).S().SaveTimeInterval = 0.25;
    EXPECT_EQ(
        CheckMessage(),
        QStringLiteral("存檔群組 [Lines] 設定錯誤, 請重新設定。\r\n高速存檔只適用於 Excel 及 SQL Server "
                       "2008以上的版本。\r\n存檔群組: Lines\r\n資料庫種類: CSV\r\n時間間隔: 0.25秒"));
    Group(2).S().dbDBTypeName = QStringLiteral("EXCEL");
    EXPECT_EQ(CheckMessage(), QString());

    // A server keeps no database files to disperse: every record would fail at run time.
    const QString root = Group(1).S().dbSDataBaseRootDir;
    const QString type = Group(1).S().dbDBTypeName;
    Group(1).S().dbSDataBaseRootDir = QStringLiteral("D:\\Data");
    Group(1).S().dbDBTypeName = QStringLiteral("MYSQL");
    EXPECT_EQ(
        CheckMessage(),
        QStringLiteral("Save group [Flow] settings error, please set it again.\r\nThe database type [MYSQL] "
                       "keeps no dispersed database files: choose Single Database.\r\nSave group: Flow"));
    Group(1).S().dbDBTypeName = type;
    EXPECT_EQ(CheckMessage(), QString());
    Group(1).S().dbSDataBaseRootDir = root;

    // Values that would shift or drop settings when the files are read again.
    Group(1).F(2).FieldName = QStringLiteral("Flow,m3");
    EXPECT_EQ(CheckMessage(),
              QStringLiteral("Save group [Flow] settings error, please set it again.\r\n"
                             "[fd2 FieldName] holds \",\", which its settings line cannot keep: "
                             "[Flow,m3]\r\nSave group: Flow"));
    Group(1).F(2).FieldName = QStringLiteral("Flow");
    Group(2).S().dbPassword = QStringLiteral("pw\r\n[ModuleList]");
    EXPECT_TRUE(CheckMessage().contains(
        QStringLiteral("[dbPassword] holds a line break, which its settings file cannot "
                       "keep: [****]")));
    Group(2).S().dbPassword.clear();
    Group(2).R().ModuleName = QStringLiteral("A,B");
    EXPECT_TRUE(CheckMessage().contains(QStringLiteral("[Module] holds \",\"")));
    Config().IsModified = -1;
    EXPECT_FALSE(SaveProject(true, false));
    EXPECT_EQ(ReadFile(kSvl), DataFile(kSvl));
}
