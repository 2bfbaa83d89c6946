// The wizard's answers recorded by the real saver: two groups of a workstation are set up on line
// from the save-group editor's wizard button, one against the test MariaDB server and one against
// an SQLite file of the data folder, confirmed with the editor's OK, saved, and the real Ledgrix
// then records into both tables.
#include <QCoreApplication>
#include <QListWidget>

#include "common/DBConnect.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "config/core/ConfigState.h"
#include "config/core/ConfigWindows.h"
#include "config/core/OpenProject.h"
#include "config/core/SaveProject.h"
#include "config/groupedit/frmGroupConfig.h"
#include "config/wizard/DBSetupWizard.h"
#include "tests/config/wizard/WizardDriver.h"
#include "tests/saver/SaverProcessFixture.h"
#include "tests/support/TestSupport.h"

namespace {

QString Env(const char* name) {
    return QString::fromLocal8Bit(qgetenv(name));
}

// Binds the named row of the last page to a tag, or to the system date-time.
void Bind(QDialog& page, const QString& field, const QString& tag) {
    NextModal dialog([tag](QDialog& d) {
        if (tag.isEmpty())
            Click(d, "optSaveDateTime");
        else
            SetText(d, "txtTagName", tag);
        Click(d, "cmdOK");
    });
    DoubleClick(page, "lvFields", field);
}

}  // namespace

class WizardSaver : public SaverProcessFixture {
  protected:
    void SetUp() override {
        if (Env("LEDGRIX_TEST_MYSQL_HOST").isEmpty()) {
            if (!Env("CI").isEmpty())
                FAIL() << "LEDGRIX_TEST_MYSQL_* is not set: no MariaDB server for the tests";
            GTEST_SKIP() << "no MariaDB server (LEDGRIX_TEST_MYSQL_* not set)";
        }
        previousDir = QDir::currentPath();
        MakeProgramFolder(BinFile("Ledgrix.set"), TestData("config/wizard"), "PW",
                          {{"STOP", "DIGITAL"},
                           {"ALIVE", "DIGITAL"},
                           {"NREC1", "ANALOG"},
                           {"NREC2", "ANALOG"},
                           {"FLOW", "ANALOG"},
                           {"LEVEL", "ANALOG"}});
        // The configuration program's state, in this process, in the program folder.
        QDir::setCurrent(bin);
        ResetState();
        ResetConfigState();
        ProgramHooks::InstallTestHooks(&log, &boxes);
        SetConfigWindows(&windows);
        Config().AppPath = bin;
        SettingUtil::LoadProgramSettings();
        State().LanguageIndex = 0;
        State().IsInteractive = 1;
        State().WorkstationName = "WS1";
    }
    void TearDown() override {
        Config().WizardConnection.reset();
        SetConfigWindows(nullptr);
        ProgramHooks::SetMessageService(nullptr);
        if (!previousDir.isEmpty()) QDir::setCurrent(previousDir);
        SaverProcessFixture::TearDown();
    }
    // Opens the editor on group i, runs the wizard from its wizard button and confirms the group.
    void Edit(int i, std::vector<WizardDriver::Step> steps) {
        NextModal editor([&](QDialog& dlg) {
            WizardDriver pages(std::move(steps));
            Click(dlg, "cmdDBSetting");
            Click(dlg, "cmdOK");
            EXPECT_FALSE(dlg.isVisible()) << Boxes();
        });
        FormObj<frmGroupConfig>().LoadFormObj(State().Group(i).S().SaveGroupName, false);
        EXPECT_EQ(Config().IsModified, -1);
    }
    std::string Boxes() const {
        QStringList texts;
        for (const auto& b : boxes.boxes) texts << b.text;
        return texts.join(u'\n').toStdString();
    }

    QString previousDir;
    QStringList log;
    RecordingMessageService boxes;
    RecordingConfigWindows windows;
};

TEST_F(WizardSaver, OnlineRunsOnMariaDbAndSqliteAreSavedAndRecorded) {
    const QString host = Env("LEDGRIX_TEST_MYSQL_HOST") + u':' + Env("LEDGRIX_TEST_MYSQL_PORT");
    const QString database = Env("LEDGRIX_TEST_MYSQL_DATABASE");
    const QString user = Env("LEDGRIX_TEST_MYSQL_USER");
    const QString password = Env("LEDGRIX_TEST_MYSQL_PASSWORD");
    const QString table = QStringLiteral("wiz_line_%1").arg(QCoreApplication::applicationPid());
    ado::Connection mysql;
    ASSERT_TRUE(OpenDBConnectionByType("MYSQL", QString(), host, QString(), database, user, password, mysql));
    mysql.Execute("DROP TABLE IF EXISTS " + table);
    mysql.Execute("CREATE TABLE " + table + " (Stamp DATETIME, Flow DOUBLE, Spare INT)");
    const QString lab = project + "/dat/Ledgrix/lab.mdb";
    SqliteRows(lab, {"CREATE TABLE Lab1 (Stamp DATETIME, Level DOUBLE, Extra TEXT)"});
    ASSERT_TRUE(ProjectUtil::OpenProject("PW", false));

    auto first = [](const QString& type) {
        return WizardDriver::Step{"frmDBSetup1", [type](QDialog& p) {
                                      ChooseType(p, type);
                                      Click(p, "cmdNext");
                                  }};
    };
    auto choose = [](const QStringList& fields) {
        return WizardDriver::Step{"frmDBSetup4", [fields](QDialog& p) {
                                      Highlight(p, "lvFields", fields);
                                      Click(p, "cmdMove2Right");
                                      Click(p, "cmdNext");
                                  }};
    };
    // The MySQL group was an Access group with a file that is gone.
    Edit(1, {first("MYSQL"),
             {"frmDBSetup2_SQLServer",
              [&](QDialog& p) {
                  SetText(p, "txtPCName", host);
                  SetText(p, "txtDataBaseName", database);
                  SetText(p, "txtUserName", user);
                  SetText(p, "txtPassword", password);
                  Click(p, "cmdNext");
              }},
             {"frmDBSetup3",
              [&](QDialog& p) {
                  SetText(p, "cmbTableName", table);
                  Click(p, "cmdNext");
              }},
             choose({"Stamp", "Flow"}),
             {"frmDBSetup5", [](QDialog& p) {
                  Bind(p, "Stamp", QString());
                  Bind(p, "Flow", "FLOW");
                  Click(p, "cmdFinish");
              }}});
    // The SQLite group wrote CSV files; its file is picked in the data folder.
    Edit(2, {first("ACCESS"),
             {"frmDBSetup2_Access",
              [](QDialog& p) {
                  NextModal picker([](QDialog& d) {
                      Child<QListWidget>(d, "lstFile").setCurrentRow(0);
                      Click(d, "cmdOK");
                  });
                  Click(p, "cmdSelectFile");
                  Click(p, "cmdNext");
              }},
             {"frmDBSetup3", [](QDialog& p) { Click(p, "cmdNext"); }},
             choose({"Stamp", "Level"}),
             {"frmDBSetup5", [](QDialog& p) {
                  Bind(p, "Stamp", QString());
                  Bind(p, "Level", "LEVEL");
                  Click(p, "cmdFinish");
              }}});
    // The editor's OK clears the CSV options of a group that writes no CSV.
    ASSERT_TRUE(SettingWriter::SaveProject(true, false));
    EXPECT_TRUE(boxes.boxes.empty()) << Boxes();

    EXPECT_EQ(ProjectFile("cfg/WS1/line.svc").toStdString(),
              ("[Basic]\r\ndbIsDefaultFilePath=0\r\ndbFilePath=\r\ndbFileName=\r\ndbTableName=" + table +
               "\r\n\r\ndbDBTypeName=MYSQL\r\ndbDataSource=" + host + "\r\ndbInitialCatalog=" + database +
               "\r\ndbUserID=" + user + "\r\ndbPassword=" + password +
               "\r\ndbSKeepConnectionAliveAfterSaveDataForExcel=0\r\nSaveTimeInterval=1\r\ndbSWriteMode=0\r\n"
               "dbSEnableTag=\r\ndbSCloseConnectionWhileDisabled=0\r\ndbSTriggerTag=\r\n"
               "dbSNumRecordsSavedTag=NREC1\r\ndbSPurgeTag=\r\ndbSPurgeKeepDays=-1\r\ndbSDataBaseRootDir=\r\n"
               "dbSDirTag=\r\ndbSFileNameTag=\r\ndbSCount2Zero= 0\r\ndbSSaveCSV= 0\r\n[CSV]\r\n"
               "dbCSVFilePath=..\\Project\\PW\\dat\\Ledgrix\\line.csv\r\ndbSCSVFixDataLength=0\r\n"
               "dbSCSVDelimiterCharacter=\r\ndbSCSVUseFieldTitle=0\r\ndbSCSVNewlineCharacter=\r\n"
               "dbSCSVKeepConnectionAliveAfterSaveData=0\r\n"
               "dbSCSVDataBaseRootDir=\r\ndbSCSVDirTag=\r\ndbSCSVFileNameTag=\r\n[FieldList]\r\n"
               "fd1=Stamp,^DateTime,,-1\r\nfd2=Flow,FLOW.VALUE,-1,-1\r\n")
                  .toStdString());
    const QByteArray labFile = ProjectFile("cfg/WS1/lab.svc");
    EXPECT_TRUE(labFile.contains("\r\ndbFilePath=..\\PROJECT\\PW\\DAT\\LEDGRIX\\lab.mdb\r\n"))
        << labFile.toStdString();
    EXPECT_TRUE(labFile.contains("\r\ndbCSVFilePath=..\\Project\\PW\\dat\\Ledgrix\\lab.csv\r\n"));

    ASSERT_TRUE(server->SetValue("FLOW", 2.5));
    ASSERT_TRUE(server->SetValue("LEVEL", 7.25));
    QProcess& saver = StartSaver({"PW", "WS1"});
    ASSERT_TRUE(server->WaitForValue("ALIVE", 1, 20000)) << saver.readAllStandardError().toStdString();
    ASSERT_TRUE(WaitUntil([&] { return server->Value("NREC1") >= 2 && server->Value("NREC2") >= 2; }, 20000))
        << saver.readAllStandardError().toStdString();
    StopSaver(saver);
    ado::Recordset rs;
    rs.CursorLocation = ado::adUseClient;
    rs.Open("SELECT COUNT(*) AS N, SUM(Flow = 2.5 AND Stamp IS NOT NULL) AS Good FROM " + table, mysql);
    EXPECT_EQ(rs.Value("N").toInt(), server->Value("NREC1"));
    EXPECT_EQ(rs.Value("Good").toInt(), server->Value("NREC1"));
    mysql.Execute("DROP TABLE " + table);
    const QStringList rows = SqliteRows(lab, {"SELECT Level, Stamp IS NOT NULL FROM Lab1"});
    EXPECT_EQ(rows.size(), server->Value("NREC2"));
    for (const QString& row : rows) EXPECT_EQ(row, "7.25|1");
}
