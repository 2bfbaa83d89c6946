#include <gtest/gtest.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include "common/FileUtil.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "platform/registry/Registry.h"
#include "tests/support/TestSupport.h"

using namespace SettingUtil;

namespace {

QString Flag(bool b) {
    return b ? QStringLiteral("1") : QStringLiteral("0");
}
QString Num(double n) {
    return Numbers::NumberText(n);
}
QString TagText(const xTag& t) {
    return t.Name + u'|' + t.DataType;
}
QString Escaped(QString s) {
    return s.replace(u'\r', QStringLiteral("\\r")).replace(u'\n', QStringLiteral("\\n"));
}

// Every record value the readers set, one "name=value" line each.
QStringList Dump() {
    ProgramState& st = State();
    QStringList d{"[System]",
                  "dbSCaption=" + st.dbSCaption,
                  "dbSLiveAlone=" + Num(st.dbSLiveAlone),
                  "dbSUserMode=" + Num(st.dbSUserMode),
                  "IsUserMode=" + Flag(st.IsUserMode),
                  "StopTag=" + st.StopTag.Name,
                  "AliveTag=" + st.AliveTag.Name,
                  "DuringSavingTag=" + st.DuringSavingTag.Name,
                  "dbSLogDisable=" + Num(st.dbSLogDisable),
                  "dbSLogFileName=" + st.dbSLogFileName,
                  "dbSIsSvcDefaultPath=" + Num(st.dbSIsSvcDefaultPath),
                  "dbSIsHideLedgrix=" + Flag(st.dbSIsHideLedgrix),
                  "WorkstationTaskName=" + st.WorkstationTaskName,
                  "SaveGroupCount=" + Num(st.SaveGroupCount),
                  "SvcFileCount=" + Num(st.SvcFileCount)};
    for (int i = 1; i <= st.SaveGroupCount; ++i) {
        SaveGroupRecord& g = st.Group(i);
        const xSvcSettings& s = g.S();
        d << QStringLiteral("[Group %1]").arg(i) << "ModuleName=" + g.R().ModuleName
          << "IsHighSpeedSaver=" + Flag(g.R().IsHighSpeedSaver) << "SvcFilePath=" + s.SvcFilePath
          << "SaveGroupName=" + s.SaveGroupName << "dbFilePath=" + s.dbFilePath
          << "dbTableName=" + s.dbTableName << "dbDBTypeName=" + s.dbDBTypeName
          << "dbIsDefaultFilePath=" + Num(s.dbIsDefaultFilePath) << "dbFileName=" + s.dbFileName
          << "dbFullPath=" + s.dbFullPath << "dbProvider=" + s.dbProvider << "dbDriver=" + s.dbDriver
          << "dbDataSource=" + s.dbDataSource << "dbInitialCatalog=" + s.dbInitialCatalog
          << "dbUserID=" + s.dbUserID << "dbPassword=" + s.dbPassword
          << "dbPersistSecurityInfo=" + s.dbPersistSecurityInfo << "dbNoOLEDB=" + Flag(s.dbNoOLEDB)
          << "dbNoTableNameDelimiter=" + Flag(s.dbNoTableNameDelimiter)
          << "dbNoFieldNameDelimiter=" + Flag(s.dbNoFieldNameDelimiter)
          << "dbDateFunctionName=" + s.dbDateFunctionName << "dbExtendedProperties=" + s.dbExtendedProperties
          << "dbSNoWaitForRoundTime=" + Num(s.dbSNoWaitForRoundTime) << "dbSWriteMode=" + Num(s.dbSWriteMode)
          << "dbSEnableTag=" + TagText(s.dbSEnableTag) << "dbSTriggerTag=" + TagText(s.dbSTriggerTag)
          << "dbSNumRecordsSavedTag=" + TagText(s.dbSNumRecordsSavedTag)
          << "dbSPurgeTag=" + TagText(s.dbSPurgeTag) << "dbSPurgeKeepDays=" + Num(s.dbSPurgeKeepDays)
          << "dbSPurgeFieldName=" + s.dbSPurgeFieldName << "dbSDataBaseRootDir=" + s.dbSDataBaseRootDir
          << "dbSDirTag=" + TagText(s.dbSDirTag) << "dbSFileNameTag=" + TagText(s.dbSFileNameTag)
          << "dbSCount2Zero=" + Flag(s.dbSCount2Zero) << "dbSTaskName=" + s.dbSTaskName
          << "dbSIsSaveCSV=" + Flag(s.dbSIsSaveCSV) << "dbCSVFilePath=" + s.dbCSVFilePath
          << "dbSCSVIsFixDataLength=" + Flag(s.dbSCSVIsFixDataLength)
          << "dbSCSVDelimiterCharacter=" + s.dbSCSVDelimiterCharacter
          << "dbSCSVNewlineCharacter=" + Escaped(s.dbSCSVNewlineCharacter)
          << "dbSCSVIsUseFieldTitle=" + Flag(s.dbSCSVIsUseFieldTitle)
          << "dbSCSVKeepConnectionAliveAfterSaveData=" + Num(s.dbSCSVKeepConnectionAliveAfterSaveData)
          << "dbSCSVDataBaseRootDir=" + s.dbSCSVDataBaseRootDir << "dbSCSVDirTag=" + TagText(s.dbSCSVDirTag)
          << "dbSCSVFileNameTag=" + TagText(s.dbSCSVFileNameTag) << "dbCSVFullPath=" + s.dbCSVFullPath
          << "SaveTimeInterval=" + Num(s.SaveTimeInterval)
          << "dbSCloseConnectionWhileDisabled=" + Num(s.dbSCloseConnectionWhileDisabled)
          << "dbSKeepConnectionAliveAfterSaveDataForExcel=" +
                 Num(s.dbSKeepConnectionAliveAfterSaveDataForExcel)
          << "SaveTimeIntervalWithMilliSeconds=" + Num(s.SaveTimeIntervalWithMilliSeconds.ToDouble())
          << "FieldCount=" + Num(g.FieldCount) << "NameCount=" + Num(g.NameCount);
        for (int n = 1; n <= g.FieldCount; ++n) {
            const xField& f = g.F(n);
            d << QStringLiteral("fd%1=").arg(n) + QStringList{f.FieldName,
                                                              f.TagName,
                                                              f.TagType,
                                                              Num(f.DecimalPlaces),
                                                              f.DatetimeFormatString,
                                                              Num(f.TagDataLength),
                                                              Num(f.TagMessageLength)}
                                                      .join(u'|');
        }
    }
    return d;
}

class SettingsRoundTrip : public ProgramFixture {
  protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        // The project tree beside the program folder, and the shipped program setting file.
        const QString source = TestData("settings/roundtrip");
        QDirIterator it(source + "/Project", QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            QFile in(file);
            ASSERT_TRUE(in.open(QIODevice::ReadOnly));
            WriteFile(file.mid(source.size() + 1), in.readAll());
        }
        ASSERT_TRUE(QFile::copy(TestData("../../dist/Ledgrix.set"), Path("bin/Ledgrix.set")));
        ProgramState& st = State();
        st.ProjectName = "RT";
        st.WorkstationName = "WS1";
        st.ProjectFolder = "..\\Project\\RT";
        st.DataFolder = "..\\Project\\RT\\dat\\Ledgrix";
        st.WorkstationFilePath = "..\\Project\\RT\\cfg\\WS1\\Ledgrix.svl";
    }
};

}  // namespace

TEST_F(SettingsRoundTrip, ShippedProgramSettingFile) {
    LoadProgramSettings();
    ProgramState& st = State();
    EXPECT_FALSE(st.IsUseTimer);
    EXPECT_EQ(st.TimerInterval, 500);
    ASSERT_EQ(st.DBTypeCount, 8);
    const QString names[] = {"ACCESS",    "ACCESS2007", "EXCEL",  "EXCEL2007",
                             "SQLSERVER", "MYSQL",      "ORACLE", "CSV"};
    const QString providers[] = {"Microsoft.Jet.OLEDB.4.0",
                                 "Microsoft.ACE.OLEDB.12.0",
                                 "Microsoft.Jet.OLEDB.4.0",
                                 "Microsoft.ACE.OLEDB.12.0",
                                 "SQLOLEDB.1",
                                 "MSDASQL.1",
                                 "MSDAORA.1",
                                 ""};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(st.Template(i + 1).DBTypeName, names[i]);
        EXPECT_EQ(st.Template(i + 1).dbProvider, providers[i]) << names[i].toStdString();
    }
    EXPECT_EQ(st.Template(1).DBFilter, "*.mdb");
    EXPECT_EQ(st.Template(3).dbExtendedProperties, "Excel 8.0");
    EXPECT_TRUE(st.Template(4).dbExtendedProperties.contains("Excel 12.0"));
    EXPECT_TRUE(st.Template(5).dbNoOLEBDB);
    EXPECT_TRUE(st.Template(6).dbDriver.toUpper().contains("MYSQL"));
    EXPECT_TRUE(st.Template(6).dbNoTableNameDelimiter && st.Template(6).dbNoFieldNameDelimiter);
    EXPECT_EQ(st.Template(7).dbDateFunctionName, "TO_DATE");
    // The file is written with CR LF line ends.
    const QByteArray raw = ReadFile("bin/Ledgrix.set");
    EXPECT_EQ(raw.count("\r\n"), raw.count('\n'));
}

TEST_F(SettingsRoundTrip, WrittenWorkstationReadsIntoEveryField) {
    WriteFile("Project/RT/dat/Ledgrix/line.mdb", "");  // an existing file becomes the data source
    LoadProgramSettings();
    LoadWorkstationSettings();
    LoadSaveGroupSettings();

    QFile expected(TestData("settings/roundtrip/expected.txt"));
    ASSERT_TRUE(expected.open(QIODevice::ReadOnly));
    const QStringList want = QString::fromUtf8(expected.readAll()).split(u'\n', Qt::SkipEmptyParts);
    const QStringList got = Dump();
    for (int i = 0; i < std::max(want.size(), got.size()); ++i)
        ASSERT_EQ(got.value(i).toStdString(), want.value(i).toStdString()) << "line " << i + 1;
    EXPECT_TRUE(State().Group(5).S().dbSettingString.startsWith("[Basic]\r\n"));
    EXPECT_TRUE(boxes.boxes.empty());

    // The SQL Server group registered its client alias.
    Registry::Key key;
    ASSERT_TRUE(Registry::CreateKey(Registry::Root::LocalMachine,
                                    "SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo", key));
    EXPECT_EQ(Registry::QueryStringValue(key, "dbhost\\SQLEXPRESS"), "DBMSSOCN,dbhost\\SQLEXPRESS,1433");
}

TEST_F(SettingsRoundTrip, OnePathInTwoSpellingsIsOneFile) {
    // The stored spelling finds the file on disk whatever its letter case.
    EXPECT_TRUE(FileUtil::FileExists("..\\PROJECT\\RT\\CFG\\WS1\\csvdisp.svc"));
    EXPECT_EQ(FileUtil::ReadTextFile("..\\PROJECT\\RT\\CFG\\WS1\\csvdisp.svc"),
              FileUtil::ReadTextFile("../Project/RT/cfg/WS1/csvdisp.svc"));

    EXPECT_TRUE(CreateEmptySvl("RT", "WS2"));
    EXPECT_TRUE(CreateEmptySvl("rt", "ws2"));
    EXPECT_TRUE(CreateEmptySvl("NEW", "W"));
    EXPECT_TRUE(CreateEmptySvl("new", "w"));
    EXPECT_EQ(QDir(Path("Project")).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList({"NEW", "RT"}));
    EXPECT_EQ(QDir(Path("Project/RT/cfg")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList({"WS1", "WS2"}));
    EXPECT_EQ(QDir(Path("Project/NEW/cfg/W")).entryList(QDir::Files), QStringList({"Ledgrix.svl"}));
}

TEST_F(SettingsRoundTrip, CyclesThatCannotBeScheduled) {
    // A negative cycle, or one that rounds below a millisecond, leaves the group trigger-only.
    State().Group(1).S().SaveTimeIntervalWithMilliSeconds = Numbers::Fixed4::FromDouble(125);
    const struct {
        const char* interval;
        double seconds;
        bool highSpeed;
        double ms;
    } cases[] = {{"-5", 0, false, 125},     {"-1e12", 0, false, 125},      {"-0.5", 0, false, 125},
                 {"0.0005", 0, false, 125}, {"0.0015", 0.0015, true, 1.5}, {"0.5", 0.5, true, 500},
                 {"abc", 0, false, 500}};
    WriteFile("Project/RT/cfg/WS1/Ledgrix.svl", "[ModuleList]\nModule1=..\\Project\\RT\\cfg\\WS1\\g.svc\n");
    for (const auto& c : cases) {
        WriteFile("Project/RT/cfg/WS1/g.svc", QByteArray("[Basic]\nSaveTimeInterval=") + c.interval + "\n");
        LoadWorkstationSettings();
        LoadSaveGroupSettings();
        const SaveGroupRecord& g = State().Group(1);
        EXPECT_EQ(g.Settings->SaveTimeInterval, c.seconds) << c.interval;
        EXPECT_EQ(g.RunState->IsHighSpeedSaver, c.highSpeed) << c.interval;
        EXPECT_EQ(g.Settings->SaveTimeIntervalWithMilliSeconds.ToDouble(), c.ms) << c.interval;
    }
}
