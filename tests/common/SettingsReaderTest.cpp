#include <gtest/gtest.h>
#include <QFile>

#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "tests/support/TestSupport.h"

using namespace SettingUtil;

namespace {

// Project "P", workstation "W" beside the program folder.
class SettingsReader : public ProgramFixture {
  protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        ProgramState& st = State();
        st.ProjectName = "P";
        st.WorkstationName = "W";
        st.ProjectFolder = "..\\Project\\P";
        st.DataFolder = "..\\Project\\P\\dat\\Ledgrix";
        st.WorkstationFilePath = "..\\Project\\P\\cfg\\W\\Ledgrix.Svl";
    }
    void WriteSet(const QByteArray& text) { WriteFile("bin/Ledgrix.set", text); }
    void WriteSvl(const QByteArray& text) { WriteFile("Project/P/cfg/W/Ledgrix.Svl", text); }
    // One group "g" whose file holds the text; both readers run.
    xSvcSettings& LoadOneGroup(const QByteArray& svc) {
        WriteSvl("[SystemBasic]\r\n[ModuleList]\r\nModule1=g,..\\Project\\P\\cfg\\W\\g.svc\r\n");
        WriteFile("Project/P/cfg/W/g.svc", svc);
        LoadWorkstationSettings();
        LoadSaveGroupSettings();
        return State().Group(1).S();
    }
};

}  // namespace

TEST_F(SettingsReader, ProgramLanguageAndTimer) {
    struct Case {
        QByteArray text;
        int16_t language;
        bool timer;
        int32_t interval;
    };
    const Case cases[] = {
        {"[ML]\r\nAppliedLangName=English\r\n[BASIC]\r\nIsUseTimer=1.0\r\nTimerInterval=250.5\r\n", 0, true,
         250},
        {"[ml]\r\nAppliedLangName=chinesebig5\r\n[Basic]\r\nIsUseTimer=1\r\nTimerInterval=abc\r\n", 1, true,
         500},
        // A timer without a positive interval runs at the default.
        {"[BASIC]\r\nIsUseTimer=1\r\nTimerInterval=0\r\n", 0, true, 500},
        {"[BASIC]\r\nIsUseTimer=1\r\nTimerInterval=-20\r\n", 0, true, 500},
        {"[BASIC]\r\nIsUseTimer=1\r\nTimerInterval=0.5\r\n", 0, true, 500},
        {"[BASIC]\nIsUseTimer=1\nTimerInterval=0.6\n", 0, true, 1},
        {"[ML]\r\nAppliedLangName=XYZ\r\n[BASIC]\r\nIsUseTimer=2\r\nTimerInterval=100\r\n", 0, false, 500},
        {"[BASIC]\r\nIsUseTimer=1\r\n", 0, true, 500},
    };
    for (const Case& c : cases) {
        ResetState();
        WriteSet(c.text);
        LoadProgramSettings();
        EXPECT_EQ(State().LanguageIndex, c.language) << c.text.constData();
        EXPECT_EQ(State().IsUseTimer, c.timer) << c.text.constData();
        EXPECT_EQ(State().TimerInterval, c.interval) << c.text.constData();
    }
    // "auto" follows the system locale.
    qputenv("LC_ALL", "zh_TW.UTF-8");
    WriteSet("[ML]\r\nAppliedLangName=auto\r\n");
    LoadProgramSettings();
    EXPECT_EQ(State().LanguageIndex, 1);
    qputenv("LC_ALL", "C");
    LoadProgramSettings();
    EXPECT_EQ(State().LanguageIndex, 0);
    qunsetenv("LC_ALL");
}

TEST_F(SettingsReader, DatabaseTypeTemplates) {
    WriteSet(
        "noName=top\r\n"
        "[DBTYPELIST]\r\n"
        "DBTYPE1=Access files (*.mdb){ACCESS}\r\n"
        "DBTYPE2=My SQL {MYSQL}\r\n"
        "DBTYPE3=No type name\r\n"
        "DBTYPE5=Skipped{CSV}\r\n"
        "[access]\r\n"
        "dbProvider=Microsoft.Jet.OLEDB.4.0\r\n"
        "dbNoOLEDB=\r\n"
        "dbNoTableNameDelimiter=true\r\n"
        "dbNoFieldNameDelimiter=1\r\n"
        "[MYSQL]\r\n"
        "dbDriver=MySQL ODBC 5.1 Driver\r\n"
        "dbNoOLEDB=TRUE\r\n");
    State().Template(2).DBFilter = "kept";
    LoadProgramSettings();
    ProgramState& st = State();
    ASSERT_EQ(st.DBTypeCount, 3);
    const xDBSettings& access = st.Template(1);
    EXPECT_EQ(access.DBTypeName, "ACCESS");
    EXPECT_EQ(access.DBTypeDsc, "Access files (*.mdb)");
    EXPECT_EQ(access.DBFilter, "*.mdb");
    EXPECT_EQ(access.dbProvider, "Microsoft.Jet.OLEDB.4.0");
    EXPECT_FALSE(access.dbNoOLEBDB);
    EXPECT_TRUE(access.dbNoTableNameDelimiter);
    EXPECT_TRUE(access.dbNoFieldNameDelimiter);
    EXPECT_EQ(st.Template(2).DBFilter, "kept");  // no "(...)" part
    EXPECT_TRUE(st.Template(2).dbNoOLEBDB);
    EXPECT_EQ(st.Template(2).dbDriver, "MySQL ODBC 5.1 Driver");
    EXPECT_EQ(st.Template(3).DBTypeName, "");
    EXPECT_EQ(st.Template(3).DBTypeDsc, "No type name");

    ASSERT_TRUE(FindDBSettingsByTypeName("MYSQL"));
    EXPECT_EQ(FindDBSettingsByTypeName("MYSQL").get(), st.DBTypeTemplates[2].get());
    EXPECT_FALSE(FindDBSettingsByTypeName("mysql"));
    EXPECT_FALSE(FindDBSettingsByTypeName("CSV"));
    EXPECT_EQ(FindDBSettingsByTypeDsc("My SQL").get(), st.DBTypeTemplates[2].get());
}

TEST_F(SettingsReader, MissingProgramSettingFileEnds) {
    EXPECT_THROW(
        {
            try {
                LoadProgramSettings();
            } catch (const ProgramExit& e) {
                EXPECT_EQ(e.code, -1);
                throw;
            }
        },
        ProgramExit);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              "The Setting File:Ledgrix.set cannot be found!\r\nThe Program cannot be run!");
    EXPECT_EQ(boxes.boxes[0].title, "Ledgrix-Setting File");
    EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Critical);
}

TEST_F(SettingsReader, WorkstationFile) {
    WriteSvl(
        "[SystemBasic]\r\n"
        "dbSLiveAlone=1\r\n"
        "dbSStopTag=STOP1\r\n"
        "dbSUserMode=1\r\n"
        "dbSLogFileName=mylog.txt\r\n"
        "dbSIsSvcDefaultPath=1\r\n"
        "dbSIsHideLedgrix=1\r\n"
        "[ModuleList]\r\n"
        "Module1=Line A,line_a.svc\r\n"
        "Module2=line_b.svc\r\n"
        "Module3=G, g.svc /PURGE: 30 /X\r\n"
        "Module5=after_gap.svc\r\n");
    LoadWorkstationSettings();
    ProgramState& st = State();
    EXPECT_EQ(st.dbSCaption, "Ledgrix for Windows");
    EXPECT_EQ(st.dbSLiveAlone, 1);
    EXPECT_TRUE(st.IsUserMode);
    EXPECT_EQ(st.StopTag.Name, "STOP1");
    EXPECT_EQ(st.dbSLogDisable, 1);
    EXPECT_EQ(st.dbSLogFileName, "mylog.txt");
    EXPECT_TRUE(st.dbSIsHideLedgrix);
    EXPECT_EQ(st.WorkstationTaskName, "Ledgrix");
    ASSERT_EQ(st.SaveGroupCount, 3);
    EXPECT_EQ(st.SvcFileCount, 3);
    EXPECT_EQ(st.Group(1).R().ModuleName, "Line A");
    EXPECT_EQ(st.Group(1).S().SvcFilePath, "..\\PROJECT\\P\\CFG\\W\\line_a.svc");
    EXPECT_EQ(st.SvcFileList[1], "..\\PROJECT\\P\\CFG\\W\\line_a.svc");
    EXPECT_EQ(st.Group(1).S().SaveGroupName, "line_a");
    EXPECT_EQ(st.Group(1).S().dbSPurgeKeepDays, -1);
    EXPECT_EQ(st.Group(2).R().ModuleName, "line_b");
    EXPECT_EQ(st.Group(3).S().SvcFilePath, "..\\PROJECT\\P\\CFG\\W\\g.svc");
    EXPECT_EQ(st.Group(3).S().dbSPurgeKeepDays, 30);

    // Reading another workstation starts the list afresh; the hide flag follows the file.
    WriteSvl("[ModuleList]\r\nModule1=A.svc\r\nModule2=b.svc\r\n");
    LoadWorkstationSettings();
    EXPECT_EQ(st.SaveGroupCount, 2);
    EXPECT_FALSE(st.dbSIsHideLedgrix);
    EXPECT_TRUE(st.IsUserMode);  // never cleared by the reader
    EXPECT_EQ(st.Group(1).S().SvcFilePath, "A.svc");

    // One file named twice, in whatever spelling, ends the program.
    WriteFile("Project/P/cfg/W/g.svc", "");
    WriteFile("bin/A.svc", "");
    const char* const duplicates[] = {
        "Module1=x,dup.svc\r\nModule2=y,dup.svc",
        "Module1=A.svc\r\nModule2=a.svc",
        "Module1=..\\Project\\P\\cfg\\W\\g.svc\r\nModule2=h.svc\r\nModule3=..\\PROJECT\\p\\CFG\\w\\G.SVC",
    };
    for (const char* modules : duplicates) {
        boxes.boxes.clear();
        WriteSvl(QByteArray("[ModuleList]\r\n") + modules + "\r\n");
        EXPECT_THROW(LoadWorkstationSettings(), ProgramExit) << modules;
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].title, "SVC 設定檔重覆");
    }
    EXPECT_EQ(boxes.boxes[0].text, "SVC 設定檔:..\\PROJECT\\p\\CFG\\w\\G.SVC重覆");
    // Two files that differ only in letter case are two groups.
    WriteFile("bin/a.svc", "");
    WriteSvl("[ModuleList]\r\nModule1=A.svc\r\nModule2=a.svc\r\n");
    LoadWorkstationSettings();
    EXPECT_EQ(st.SaveGroupCount, 2);
}

TEST_F(SettingsReader, FilesThatExistButCannotBeReadAreSettingsErrors) {
    // A file whose every read fails, whoever runs the test (a permission would not stop root).
    auto unreadable = [this](const char* relative) {
        WriteFile(relative, "");
        QFile::remove(Path(relative));
        ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), Path(relative)));
    };
    unreadable("Project/P/cfg/W/Ledgrix.Svl");
    EXPECT_THROW(LoadWorkstationSettings(), ProgramExit);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Cannot read the setting file:..\\Project\\P\\cfg\\W\\Ledgrix.Svl");

    QFile::remove(Path("Project/P/cfg/W/Ledgrix.Svl"));
    WriteSvl("[ModuleList]\r\nModule1=g,..\\Project\\P\\cfg\\W\\g.svc\r\n");
    LoadWorkstationSettings();
    unreadable("Project/P/cfg/W/g.svc");
    EXPECT_THROW(LoadSaveGroupSettings(), ProgramExit);
    EXPECT_EQ(boxes.boxes.back().text, "Cannot read the setting file:..\\Project\\P\\cfg\\W\\g.svc");
}

TEST_F(SettingsReader, LogFilePath) {
    ProgramState& st = State();
    EXPECT_TRUE(CheckLogFilePath());
    EXPECT_EQ(st.dbSLogFileName, "..\\Project\\P\\cfg\\W\\Ledgrix.log");
    EXPECT_TRUE(QFile::exists(Path("Project/P/cfg/W/Ledgrix.log")));

    st.dbSLogFileName = "mylog.txt";
    EXPECT_TRUE(CheckLogFilePath());
    EXPECT_EQ(st.dbSLogFileName, "..\\Project\\P\\cfg\\W\\mylog.txt");
    EXPECT_TRUE(QFile::exists(Path("Project/P/cfg/W/mylog.txt")));

    st.dbSLogFileName = "..\\logs\\deep\\run.log";
    EXPECT_TRUE(CheckLogFilePath());
    EXPECT_TRUE(QFile::exists(Path("logs/deep/run.log")));

    // The default file of an empty setting is named like a configured one.
    const QString defaultLog = "..\\Project\\P\\cfg\\W\\Ledgrix.log";
    QFile::remove(Path("Project/P/cfg/W/Ledgrix.log"));
    QDir().mkpath(Path("Project/P/cfg/W/Ledgrix.log"));
    for (const QString bad : {"C:\\logs\\", "..\\logs", ""}) {
        st.dbSLogFileName = bad;
        boxes.boxes.clear();
        EXPECT_THROW(CheckLogFilePath(), ProgramExit) << bad.toStdString();
        ASSERT_EQ(boxes.boxes.size(), 1u);
        // A path that names a folder says so.
        const QString shown = bad.isEmpty() ? defaultLog : bad;
        const QString folderLine = bad.endsWith("\\") ? "" : "\r\n[" + shown + "] is a folder, not a file.";
        EXPECT_EQ(boxes.boxes[0].text,
                  "Settings error!\r\ndbSLogFile Path[" + shown + "] does not exist." + folderLine);
        EXPECT_EQ(st.ErrorCaption, "Settings error");
    }
}

TEST_F(SettingsReader, ProjectPathsAndEmptySvl) {
    EXPECT_FALSE(ProjectExists("P"));
    EXPECT_TRUE(CreateEmptySvl("P", "W2"));
    EXPECT_TRUE(ProjectExists(" P "));
    EXPECT_TRUE(ProjectCfgExists("P", " W2"));
    EXPECT_TRUE(SvlExists("p", "w2"));
    EXPECT_FALSE(SvlExists("P", "W3"));
    EXPECT_EQ(ReadFile("Project/P/cfg/W2/Ledgrix.svl"), "[SystemBasic]\r\n\r\n[ModuleList]\r\n\r\n");
    WriteFile("Project/P/cfg/W2/Ledgrix.svl", "kept");
    EXPECT_TRUE(CreateEmptySvl("P", "W2"));
    EXPECT_EQ(ReadFile("Project/P/cfg/W2/Ledgrix.svl"), "kept");
}

TEST_F(SettingsReader, SaveGroupTarget) {
    WriteSet(
        "[DBTYPELIST]\r\nDBTYPE1=Excel{EXCEL}\r\n[EXCEL]\r\ndbProvider=Microsoft.Jet.OLEDB.4.0\r\n"
        "dbExtendedProperties=Excel 8.0\r\ndbNoOLEDB=True\r\n");
    LoadProgramSettings();

    xSvcSettings& s = LoadOneGroup(
        "[Basic]\r\ndbIsDefaultFilePath=1\r\ndbFileName=data.mdb\r\ndbFilePath=x.mdb\r\n"
        "dbDBTypeName=EXCEL\r\ndbTableName=Sheet1\r\n");
    EXPECT_EQ(s.dbFullPath, "..\\PROJECT\\P\\DAT\\LEDGRIX\\data.mdb");
    EXPECT_EQ(s.dbTableName, "Sheet1$");
    EXPECT_EQ(s.dbExtendedProperties, "Excel 8.0");
    EXPECT_TRUE(s.dbNoOLEDB);
    EXPECT_EQ(State().dbSCaption, "Ledgrix for Windows");

    LoadOneGroup("[Basic]\r\ndbFilePath=x.mdb\r\ndbDBTypeName=EXCEL\r\ndbTableName=Sheet1$\r\n");
    EXPECT_EQ(s.dbFullPath, "x.mdb");
    EXPECT_EQ(s.dbTableName, "Sheet1$");

    // Without a type name the type follows the provider, and the file's own keys count.
    LoadOneGroup("[Basic]\r\ndbProvider=SQLOLEDB.1\r\ndbNoOLEDB=true\r\ndbNoFieldNameDelimiter=1\r\n");
    EXPECT_EQ(s.dbDBTypeName, "SQLSERVER");
    EXPECT_TRUE(s.dbNoOLEDB);
    EXPECT_FALSE(s.dbNoFieldNameDelimiter);  // only "TRUE" counts here
    LoadOneGroup("[Basic]\r\ndbProvider=MSDASQL.1\r\ndbDriver=Microsoft Excel Driver\r\ndbTableName=T\r\n");
    EXPECT_EQ(s.dbDBTypeName, "EXCEL");
    EXPECT_EQ(s.dbTableName, "T$");
    LoadOneGroup("[Basic]\r\ndbProvider=Microsoft.ACE.OLEDB.12.0\r\ndbExtendedProperties=excel 12.0\r\n");
    EXPECT_EQ(s.dbDBTypeName, "");  // letter case counts in "Excel 12.0"

    // An unknown type name: no template, the provider falls back to Jet; an existing database file
    // becomes the data source.
    State().Group(1).Settings.reset();
    WriteFile("Project/P/dat/Ledgrix/d.mdb", "");
    const xSvcSettings& fresh =
        LoadOneGroup("[Basic]\r\ndbDBTypeName=NOSUCH\r\ndbIsDefaultFilePath=1\r\ndbFileName=d.mdb\r\n");
    EXPECT_EQ(fresh.dbProvider, "Microsoft.Jet.OLEDB.4.0");
    EXPECT_EQ(fresh.dbDataSource, "..\\PROJECT\\P\\DAT\\LEDGRIX\\d.mdb");
}

TEST_F(SettingsReader, SaveGroupRules) {
    xSvcSettings& s = LoadOneGroup(
        "[Basic]\r\nSaveTimeInterval=0.25\r\ndbSWriteMode= "
        "2\r\ndbSEnableTag=EN1\r\ndbSTriggerTag=TR1.VALUE\r\n"
        "dbSDirTag=DIRTAG.msg\r\ndbSFileNameTag=FN\r\ndbSCount2Zero=1\r\ndbSSaveCSV=1\r\n"
        "[CSV]\r\ndbSCSVNewlineCharacter=\r\ndbSCSVDelimiterCharacter= ; "
        "\r\ndbSCSVKeepConnectionAliveAfterSaveData=0\r\n"
        "dbSCSVUseFieldTitle=1\r\n");
    SaveGroupRecord& g = State().Group(1);
    EXPECT_TRUE(g.R().IsHighSpeedSaver);
    EXPECT_EQ(s.SaveTimeIntervalWithMilliSeconds.ToDouble(), 250.0);
    EXPECT_EQ(s.dbSWriteMode, 2);
    EXPECT_EQ(s.dbSEnableTag.Name, "EN1");
    EXPECT_EQ(s.dbSTriggerTag.Name, "TR1.VALUE");  // whole text
    EXPECT_EQ(s.dbSDirTag.Name, "DIRTAG");
    EXPECT_EQ(s.dbSDirTag.DataType, "MSG");
    EXPECT_EQ(s.dbSFileNameTag.DataType, "VALUE");
    EXPECT_TRUE(s.dbSCount2Zero);
    EXPECT_TRUE(s.dbSIsSaveCSV);
    EXPECT_EQ(s.dbSTaskName, "g");
    EXPECT_EQ(s.dbCSVFilePath, "..\\Project\\P\\dat\\Ledgrix\\g.csv");
    EXPECT_EQ(s.dbCSVFullPath, s.dbCSVFilePath);
    EXPECT_EQ(s.dbSCSVNewlineCharacter, "");
    EXPECT_EQ(s.dbSCSVDelimiterCharacter, ";");
    EXPECT_EQ(s.dbSCSVKeepConnectionAliveAfterSaveData, 0);
    EXPECT_TRUE(s.dbSCSVIsUseFieldTitle);

    LoadOneGroup(
        "[Basic]\r\nSaveTimeInterval=5\r\ndbSWriteMode=02\r\n[CSV]\r\ndbCSVFilePath=C:\\out\\x.csv\r\n");
    EXPECT_FALSE(g.R().IsHighSpeedSaver);
    EXPECT_EQ(s.SaveTimeInterval, 5.0);
    EXPECT_EQ(s.SaveTimeIntervalWithMilliSeconds.ToDouble(), 250.0);  // left as it was
    EXPECT_EQ(s.dbSWriteMode, 0);
    EXPECT_EQ(s.dbSCSVNewlineCharacter, "\r\n");
    EXPECT_EQ(s.dbSCSVKeepConnectionAliveAfterSaveData, 1);
    EXPECT_EQ(s.dbCSVFilePath, "C:\\out\\x.csv");
    EXPECT_EQ(s.dbSCSVDelimiterCharacter, ",");
}

TEST_F(SettingsReader, SaveGroupFields) {
    LoadOneGroup(
        "[FieldList]\r\nfd1=DATETIME\r\nfd2=Temp,T1.VAL,2,8\r\nfd3=Note,T2.MSG,20\r\nfd4=Time,^datetime,yyyy-"
        "MM-dd\r\n"
        "fd5=Raw,T3,,8\r\nfd6=Stamp,^DATETIME\r\nfd8=Gap,T8\r\n");
    SaveGroupRecord& g = State().Group(1);
    ASSERT_EQ(g.FieldCount, 6);
    EXPECT_EQ(g.NameCount, 0);
    const xField& f1 = g.F(1);
    EXPECT_EQ(f1.FieldName, "DATETIME");
    EXPECT_EQ(f1.TagName, "^DATETIME");
    EXPECT_EQ(f1.TagType, "DATETIME");
    EXPECT_EQ(f1.DatetimeFormatString, "");
    const xField& f2 = g.F(2);
    EXPECT_EQ(f2.TagName, "T1");
    EXPECT_EQ(f2.TagType, "VAL");
    EXPECT_EQ(f2.DecimalPlaces, 2);
    EXPECT_EQ(f2.TagDataLength, 8);
    EXPECT_EQ(f2.TagValue.toString(), "");
    EXPECT_EQ(g.F(3).TagMessageLength, 20);
    EXPECT_EQ(g.F(3).DecimalPlaces, -1);
    EXPECT_EQ(g.F(4).TagName, "^datetime");
    EXPECT_EQ(g.F(4).DatetimeFormatString, "yyyy-MM-dd");
    EXPECT_EQ(g.F(5).DecimalPlaces, -1);
    EXPECT_EQ(g.F(5).TagType, "VALUE");
    EXPECT_EQ(g.F(5).TagDataLength, 8);
    EXPECT_EQ(g.F(6).TagType, "DATETIME");
    // The last "^DATETIME" field with two items or more names the purge column.
    EXPECT_EQ(g.S().dbSPurgeFieldName, "Stamp");

    // A file without field lines keeps the count it had.
    LoadOneGroup("[Basic]\r\n");
    EXPECT_EQ(g.FieldCount, 6);

    // A lone "DATETIME" item names no purge column.
    g.Settings.reset();
    EXPECT_EQ(LoadOneGroup("[FieldList]\r\nfd1=DATETIME\r\n").dbSPurgeFieldName, "");
}

TEST_F(SettingsReader, PurgeDaysAndMissingFile) {
    xSvcSettings& s = LoadOneGroup("[Basic]\r\ndbSPurgeTag=PG\r\ndbSPurgeKeepDays=7\r\n");
    EXPECT_EQ(s.dbSPurgeKeepDays, 7);
    EXPECT_TRUE(boxes.boxes.empty());

    LoadOneGroup("[Basic]\r\ndbSPurgeTag=PG\r\ndbSPurgeKeepDays=\r\n");
    EXPECT_EQ(s.dbSPurgeKeepDays, -1);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Settings error!\r\n[dbSPurgeKeepDays] is blank.");
    EXPECT_EQ(boxes.boxes[0].title, "Settings error");

    // Dispersed files keep the workstation's "/PURGE" value.
    WriteSvl("[ModuleList]\r\nModule1=g,..\\Project\\P\\cfg\\W\\g.svc/PURGE:30\r\n");
    WriteFile("Project/P/cfg/W/g.svc", "[Basic]\r\ndbSPurgeTag=PG\r\ndbSDataBaseRootDir=D:\\x\r\n");
    LoadWorkstationSettings();
    LoadSaveGroupSettings();
    EXPECT_EQ(s.dbSPurgeKeepDays, 30);
    EXPECT_EQ(State().TagRoleKeys[8], "dbSFileNameTag");
    EXPECT_EQ(State().TagRoleDescriptions[8], "Dtatabase file name");

    boxes.boxes.clear();
    State().LanguageIndex = 1;
    WriteSvl("[ModuleList]\r\nModule1=gone.svc\r\n");
    LoadWorkstationSettings();
    EXPECT_THROW(LoadSaveGroupSettings(), ProgramExit);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "找不到設定檔:gone.svc");
    EXPECT_EQ(boxes.boxes[0].title, "找不到設定檔");
}

TEST_F(SettingsReader, WrittenSaveGroupFileReadsBack) {
    QFile golden(TestData("settings/written.svc"));
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    xSvcSettings& s = LoadOneGroup(golden.readAll());
    SaveGroupRecord& g = State().Group(1);
    EXPECT_EQ(s.dbDBTypeName, "CSV");
    EXPECT_EQ(s.dbTableName, "Tab");
    EXPECT_EQ(s.SaveTimeInterval, 1.5);
    EXPECT_EQ(s.dbSWriteMode, 1);
    EXPECT_EQ(s.dbSTriggerTag.Name, "TRIG");
    EXPECT_EQ(s.dbSDirTag.Name, "DIR");
    EXPECT_EQ(s.dbSDirTag.DataType, "VALUE");
    EXPECT_EQ(s.dbSFileNameTag.Name, "");
    EXPECT_FALSE(s.dbSCount2Zero);
    EXPECT_TRUE(s.dbSIsSaveCSV);
    EXPECT_EQ(s.dbSCSVNewlineCharacter, "\n");
    EXPECT_EQ(s.dbSCSVDirTag.Name, "CDIR");
    EXPECT_EQ(s.dbSCSVDirTag.DataType, "MSG");
    EXPECT_EQ(s.dbSPurgeKeepDays, 10);
    ASSERT_EQ(g.FieldCount, 3);
    EXPECT_EQ(g.F(1).DatetimeFormatString, "yyyy/MM/dd HH:mm:ss");
    EXPECT_EQ(g.F(1).TagDataLength, -1);
    EXPECT_EQ(g.F(2).TagName, "T1");
    EXPECT_EQ(g.F(2).DecimalPlaces, 3);
    EXPECT_EQ(g.F(3).TagType, "MSG");
    EXPECT_EQ(g.F(3).TagMessageLength, -1);
    EXPECT_EQ(s.dbSPurgeFieldName, "Time");
}
