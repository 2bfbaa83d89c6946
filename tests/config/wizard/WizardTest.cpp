// The database setup wizard, headless: its pages driven by their control names, on line against
// SQLite files and the test MariaDB server, off line, and for CSV files.
#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>

#include "common/DBConnect.h"
#include "config/core/SaveProject.h"
#include "config/wizard/DBSetupWizard.h"
#include "config/wizard/WizardPage.h"
#include "config/wizard/frmDBSetup1.h"
#include "platform/msgbox/OwnerWindow.h"
#include "tests/config/core/ConfigFixture.h"
#include "tests/config/wizard/WizardDriver.h"
#include "tests/support/Screens.h"

namespace {

[[maybe_unused]] QString Env(const char* name) {
    return QString::fromLocal8Bit(qgetenv(name));
}

// A field row as the field dialogs leave it.
FieldRow Row(const QString& name, const QString& tag, const QString& type, const QString& decimals = {},
             const QString& format = {}, const QString& length = {}) {
    return {name, tag, type, QString(), decimals, format, length};
}

const QString kDefaultPath = QStringLiteral("..\\PROJECT\\P\\DAT\\LEDGRIX\\plant.mdb");

}  // namespace

class Wizard : public ConfigFixture {
  protected:
    void SetUp() override {
        ConfigFixture::SetUp();
        State().ProjectName = QStringLiteral("P");
        State().ProjectFolder = QStringLiteral("..\\Project\\P");
        State().DataFolder = QStringLiteral("..\\Project\\P\\dat\\Ledgrix");
        plant = Path(QStringLiteral("Project/P/dat/Ledgrix/plant.mdb"));
        SqliteRows(plant,
                   {QStringLiteral("CREATE TABLE Log1 (Time DATETIME, Flow DOUBLE, Level DOUBLE, Note TEXT)"),
                    QStringLiteral("CREATE TABLE Log2 (A INT)")});
        ResetGroup();
    }
    void TearDown() override {
        Config().WizardConnection.reset();  // while the database drivers are still there
        ConfigFixture::TearDown();
    }
    // The group as the editor holds it: a MySQL group with two fields and a CSV copy.
    void ResetGroup() {
        group = SaveGroupRecord();
        xSvcSettings& s = group.S();
        s.SaveGroupName = QStringLiteral("Flow");
        s.SvcFilePath = QStringLiteral("..\\Project\\P\\cfg\\W\\flow.svc");
        s.dbDBTypeName = QStringLiteral("MYSQL");
        s.dbDataSource = QStringLiteral("old-server");
        s.dbTableName = QStringLiteral("OldLog");
        s.dbCSVFilePath = QStringLiteral("..\\Project\\P\\dat\\Ledgrix\\flow.csv");
        s.dbSCSVDelimiterCharacter = QStringLiteral(";");
        s.dbSCSVNewlineCharacter = QStringLiteral("\n");
        s.SaveTimeInterval = 5;
        group.R().ModuleName = s.SaveGroupName;
        group.FieldCount = 2;
        group.F(1).FieldName = QStringLiteral("A");
        group.F(1).TagName = QStringLiteral("TA");
        group.F(2).FieldName = QStringLiteral("B");
        group.F(2).TagName = QStringLiteral("TB");
    }
    QString GroupText() { return SettingWriter::GroupFileText(group); }
    QStringList BoxTitles() const {
        QStringList titles;
        for (const auto& b : boxes.boxes) titles << b.title;
        return titles;
    }
    // Passes the first page with the type chosen.
    static WizardDriver::Step First(const QString& type) {
        return {QStringLiteral("frmDBSetup1"), [type](QDialog& p) {
                    ChooseType(p, type);
                    Click(p, QStringLiteral("cmdNext"));
                }};
    }
    static WizardDriver::Step Cancel(const QString& page) {
        return {page, [](QDialog& p) { Click(p, QStringLiteral("cmdCancel")); }};
    }

    QString plant;
    SaveGroupRecord group;
};

TEST_F(Wizard, OnlineRunOnAnSqliteFileFillsTheGroupAndKeepsTagsAcrossPreviousAndNext) {
    for (int language : {0, 1}) {
        State().LanguageIndex = static_cast<int16_t>(language);
        boxes.boxes.clear();
        ResetGroup();
        // Every page is at least as wide as its title bar needs.
        auto screen = [language](QDialog& p) {
            EXPECT_GE(p.width(), TitleBarWidth(p)) << p.objectName().toStdString();
            SaveScreen(&p, p.objectName(), language);
        };
        WizardDriver pages({
            {"frmDBSetup1",
             [&](QDialog& p) {
                 screen(p);
                 EXPECT_FALSE(Child<QPushButton>(p, "cmdPrevious").isEnabled());
                 EXPECT_FALSE(Child<QPushButton>(p, "cmdFinish").isEnabled());
                 ChooseType(p, QStringLiteral("ACCESS"));
                 Click(p, "cmdNext");
             }},
            {"frmDBSetup2_Access",
             [&](QDialog& p) {
                 screen(p);
                 // The shared layout of the file pages.
                 SaveScreen(&p, QStringLiteral("frmDBSetup2_File"), language);
                 Click(p, "cmdNext");  // no file picked
                 ASSERT_EQ(boxes.boxes.size(), 1u);
                 EXPECT_EQ(boxes.boxes[0].text, language == 0
                                                    ? "Access Settings error!\r\nThe database file path "
                                                      "cannot be blank.\r\nPlease specify the database "
                                                      "file path!"
                                                    : "Access 內容設定錯誤!\r\n資料庫檔案路徑不得為空白。\r\n"
                                                      "請重新輸入資料庫檔案路徑!");
                 NextModal picker([](QDialog& d) {
                     auto& files = Child<QListWidget>(d, "lstFile");
                     files.setCurrentRow(0);
                     Click(d, "cmdOK");
                 });
                 Click(p, "cmdSelectFile");
                 EXPECT_EQ(TextOf(p, "lblFileName"), "plant.mdb");
                 auto& password = Child<QLineEdit>(p, "txtPassword");
                 EXPECT_EQ(password.echoMode(), QLineEdit::Password);
                 EXPECT_EQ(
                     password.style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, &password),
                     '*');
                 SetText(p, "txtUserName", "  admin ");
                 Click(p, "cmdNext");
             }},
            {"frmDBSetup3",
             [&](QDialog& p) {
                 screen(p);
                 EXPECT_EQ(TextOf(p, "cmbTableName"), "Log1");
                 // Enter keeps a typed name out of the list of the tables found.
                 auto& tables = Child<QComboBox>(p, "cmbTableName");
                 const int found = tables.count();
                 tables.lineEdit()->setText(QStringLiteral("Bogus"));
                 emit tables.lineEdit()->returnPressed();
                 EXPECT_EQ(tables.count(), found);
                 tables.setCurrentIndex(0);
                 Click(p, "cmdNext");
             }},
            {"frmDBSetup4",
             [&](QDialog& p) {
                 screen(p);
                 EXPECT_EQ(Column(p, "lvFields"), (QStringList{"Time", "Flow", "Level", "Note"}));
                 Highlight(p, "lvFields", {"Note", "Time", "Flow"});
                 Click(p, "cmdMove2Right");
                 EXPECT_EQ(Column(p, "lvSelectedFields"), (QStringList{"Time", "Flow", "Note"}));
                 DoubleClick(p, "lvSelectedFields", "Note");
                 EXPECT_EQ(Column(p, "lvFields"), (QStringList{"Level", "Note"}));
                 Click(p, "cmdNext");
             }},
            {"frmDBSetup5",
             [&](QDialog& p) {
                 EXPECT_EQ(Column(p, "lvFields"), (QStringList{"Time", "Flow"}));
                 NextModal field([](QDialog& d) {
                     SetText(d, "txtTagName", "FLOW");
                     Click(d, "chkUseDataFormat");
                     SetText(d, "txtDecimalPlaces", "2");
                     Click(d, "cmdOK");
                 });
                 DoubleClick(p, "lvFields", "Flow");
                 EXPECT_EQ(Column(p, "lvFields", 1), (QStringList{"", "FLOW"}));
                 EXPECT_EQ(Column(p, "lvFields", 4), (QStringList{"", "2"}));
                 Click(p, "cmdPrevious");
             }},
            {"frmDBSetup4",
             [&](QDialog& p) {
                 EXPECT_EQ(Column(p, "lvSelectedFields"), (QStringList{"Time", "Flow"}));
                 Click(p, "cmdNext");
             }},
            {"frmDBSetup5",
             [&](QDialog& p) {
                 // The tag comes back by field name; its decimals do not.
                 EXPECT_EQ(Column(p, "lvFields", 1), (QStringList{"", "FLOW"}));
                 EXPECT_EQ(Column(p, "lvFields", 2), (QStringList{"", "VALUE"}));
                 EXPECT_EQ(Column(p, "lvFields", 4), (QStringList{"", ""}));
                 screen(p);
                 EXPECT_TRUE(CoveredOrOutside(p, "lvFields").isEmpty());
                 boxes.answers = {MsgAnswer::No};
                 Click(p, "cmdFinish");  // Time has no tag: asked first
                 EXPECT_TRUE(p.isVisible());
                 NextModal field([](QDialog& d) {
                     Click(d, "optSaveDateTime");
                     Click(d, "cmdOK");
                 });
                 DoubleClick(p, "lvFields", "Time");
                 Click(p, "cmdFinish");
             }},
        });
        ApplyDBSetupWizard(group);
        ASSERT_EQ(BoxTitles().size(), 2u);
        EXPECT_EQ(boxes.boxes[1].text, language == 0
                                           ? "These fields have no Tag and will not be saved: [Time]\r\n"
                                             "Finish anyway?"
                                           : "下列欄位未設定 Tag，將不會存檔: [Time]\r\n是否仍要完成?");
        const xSvcSettings& s = group.S();
        EXPECT_EQ(s.dbDBTypeName, "ACCESS");
        EXPECT_EQ(s.dbProvider, "Microsoft.Jet.OLEDB.4.0");
        EXPECT_EQ(s.dbFullPath, kDefaultPath);
        EXPECT_EQ(s.dbFilePath, kDefaultPath);
        EXPECT_EQ(s.dbFileName, "plant.mdb");
        EXPECT_EQ(s.dbIsDefaultFilePath, 0);
        EXPECT_EQ(s.dbDataSource, "");
        EXPECT_EQ(s.dbUserID, "admin");
        EXPECT_EQ(s.dbTableName, "Log1");
        // The CSV file and its options stay the group's own: the CSV dialog was not confirmed.
        EXPECT_EQ(s.dbCSVFilePath, "..\\Project\\P\\dat\\Ledgrix\\flow.csv");
        EXPECT_EQ(s.dbSCSVDelimiterCharacter, ";");
        EXPECT_EQ(s.dbSCSVNewlineCharacter, "\n");
        ASSERT_EQ(group.FieldCount, 2);
        EXPECT_EQ(group.F(1).FieldName, "Time");
        EXPECT_EQ(group.F(1).TagName, "^DateTime");
        EXPECT_EQ(group.F(1).TagType, "DATETIME");
        EXPECT_EQ(group.F(2).TagName, "FLOW");
        EXPECT_EQ(group.F(2).DecimalPlaces, -1);
        EXPECT_EQ(group.F(2).TagMessageLength, -1);
        EXPECT_EQ(WizardFields().WizardFieldCount, 2);
    }
}

TEST_F(Wizard, FirstPageAppliesTheTypeRulesAndNeedsARootFolderForDispersedFiles) {
    WizardDriver pages({
        {"frmDBSetup1",
         [&](QDialog& p) {
             auto& types = Child<QComboBox>(p, "cmbDBTypeName");
             ASSERT_EQ(types.count(), 8);
             EXPECT_EQ(types.itemText(4), "SQL Server database");
             EXPECT_TRUE(Child<QRadioButton>(p, "optDspersed").isEnabled());
             ChooseType(p, "SQLSERVER");
             EXPECT_FALSE(Child<QRadioButton>(p, "optDspersed").isEnabled());
             EXPECT_TRUE(Child<QRadioButton>(p, "optSingle").isChecked());
             ChooseType(p, "CSV");
             EXPECT_FALSE(Child<QWidget>(p, "Frame1").isEnabled());
             EXPECT_FALSE(Child<QCheckBox>(p, "chkSaveCSV").isEnabled());
             EXPECT_TRUE(Child<QPushButton>(p, "cmdSelectCSVDB").isEnabled());
             ChooseType(p, "EXCEL");
             Click(p, "chkSaveCSV");
             EXPECT_TRUE(Child<QPushButton>(p, "cmdSelectCSVDB").isEnabled());
             Click(p, "optDspersed");
             SetText(p, "txtDirTag", " D1 ");
             Click(p, "optDirTagMsg");
             Click(p, "cmdNext");
             ASSERT_EQ(boxes.boxes.size(), 1u);
             EXPECT_EQ(boxes.boxes[0].title, "Database File Usage Error");
             EXPECT_EQ(boxes.boxes[0].text,
                       "Since [Multiple Database] is selected in Database File Usage,\r\n"
                       "Root Folder setting cannot be blank. Please enter again!");
             SetText(p, "txtDataBaseRootDir", "  ");  // blanks pass and are saved as nothing
             Click(p, "cmdNext");
         }},
        Cancel("frmDBSetup2_Excel"),
    });
    DBSetupWizard::RunDBSetupWizard(false);
    const frmDBSetup1& page1 = FormObj<frmDBSetup1>();
    EXPECT_EQ(page1.mDBTypeName, "EXCEL");
    EXPECT_EQ(page1.mDBFilter, "*.xls");
    EXPECT_FALSE(page1.mIsDBSingle);
    EXPECT_EQ(page1.mDataBaseRootDir, "");
    EXPECT_EQ(page1.mDirTagName, "D1");
    EXPECT_EQ(page1.mDirTagType, "MESSAGE");
    EXPECT_EQ(page1.mFileNameTagType, "");
    EXPECT_TRUE(page1.mbSaveCSV);

    // A type without a connection page, or no type at all, ends the wizard with nothing applied.
    const QString before = GroupText();
    WizardDriver other({{"frmDBSetup1", [](QDialog& p) { Click(p, "cmdNext"); }}});
    State().Template(1).DBTypeName = QStringLiteral("POSTGRESQL");
    ApplyDBSetupWizard(group);
    State().DBTypeCount = 0;
    WizardDriver none({{"frmDBSetup1", [](QDialog& p) { Click(p, "cmdNext"); }}});
    ApplyDBSetupWizard(group);
    EXPECT_EQ(GroupText(), before);
}

TEST_F(Wizard, TypeRulesApplyAtEveryChoiceAndADisabledBoxIsNotBlamed) {
    WizardDriver pages({
        First("MYSQL"),
        {"frmDBSetup2_SQLServer", [](QDialog& p) { Click(p, "cmdPrevious"); }},
        {"frmDBSetup1",
         [](QDialog& p) {
             ChooseType(p, "MYSQL");  // the type last seen: a server still keeps no dispersed files
             EXPECT_FALSE(Child<QRadioButton>(p, "optDspersed").isEnabled());
             EXPECT_TRUE(Child<QRadioButton>(p, "optSingle").isChecked());
             ChooseType(p, "ACCESS");
             Click(p, "optDspersed");
             ChooseType(p, "CSV");  // the empty root folder can no longer be edited
             Click(p, "cmdNext");
         }},
        Cancel("frmOfflineDBSetup4"),
    });
    DBSetupWizard::RunDBSetupWizard(false);
    EXPECT_EQ(BoxTexts(), QStringList());
}

TEST_F(Wizard, CancelOnAnyPageLeavesTheGroupAsItWas) {
    const QString before = GroupText();
    const std::vector<WizardDriver::Step> path = {
        First("ACCESS"),
        {"frmDBSetup2_Access",
         [](QDialog& p) {
             Click(p, "optUserFilePath");
             SetText(p, "txtFilePath", QStringLiteral(" ") + kDefaultPath + QStringLiteral(" "));
             Click(p, "cmdNext");
         }},
        {"frmDBSetup3", [](QDialog& p) { Click(p, "cmdNext"); }},
        {"frmDBSetup4",
         [](QDialog& p) {
             Click(p, "cmdAllMove2Right");
             Click(p, "cmdNext");
         }},
        {"frmDBSetup5",
         [](QDialog& p) {
             EXPECT_EQ(Column(p, "lvFields").size(), 4);
             Click(p, "cmdPrevious");  // keeps the rows in the wizard's records
         }},
    };
    for (size_t last = 0; last < path.size(); ++last) {
        std::vector<WizardDriver::Step> steps(path.begin(), path.begin() + static_cast<long>(last));
        steps.push_back({path[last].first, [](QDialog& p) { p.reject(); }});  // Escape or the close button
        WizardDriver pages(steps);
        ApplyDBSetupWizard(group);
        EXPECT_EQ(GroupText(), before) << path[last].first.toStdString();
        EXPECT_EQ(WizardFields().WizardFieldCount, 0);
    }
    // Previous and Next keep each page's answers as it was left; moving on reloads the next page.
    WizardDriver pages({path[0],
                        path[1],
                        {"frmDBSetup3", [](QDialog& p) { Click(p, "cmdPrevious"); }},
                        {"frmDBSetup2_Access",
                         [](QDialog& p) {
                             EXPECT_EQ(TextOf(p, "txtFilePath"), kDefaultPath);
                             Click(p, "cmdPrevious");
                         }},
                        {"frmDBSetup1",
                         [](QDialog& p) {
                             EXPECT_EQ(TextOf(p, "cmbDBTypeName"), "Access database (*.mdb)");
                             Click(p, "cmdNext");
                         }},
                        {"frmDBSetup2_Access", [](QDialog& p) {
                             EXPECT_EQ(TextOf(p, "txtFilePath"), "");
                             Click(p, "cmdCancel");
                         }}});
    ApplyDBSetupWizard(group);
    EXPECT_EQ(GroupText(), before);
}

TEST_F(Wizard, ConnectionPagesReportEachFailureAndStayOpen) {
    const QString noTables = WriteFile("views.mdb", "");
    SqliteRows(noTables, {QStringLiteral("CREATE VIEW V AS SELECT 1 AS A")});
    WizardDriver access({First("ACCESS"), {"frmDBSetup2_Access", [&](QDialog& p) {
                                               Click(p, "optUserFilePath");
                                               SetText(p, "txtFilePath", noTables + "  ");
                                               Click(p, "cmdNext");
                                               SetText(p, "txtFilePath", Path("missing.mdb"));
                                               Click(p, "cmdNext");
                                               Click(p, "cmdCancel");
                                           }}});
    DBSetupWizard::RunDBSetupWizard(false);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].title, "Error-List tables");
    EXPECT_EQ(boxes.boxes[0].text,
              "Fail to list tables!\r\nThe database [" + noTables +
                  "] contains no usable data table.\r\nPlease specify database name again!");
    EXPECT_EQ(boxes.boxes[1].title, "Error-Connect Database");
    EXPECT_EQ(boxes.boxes[1].text,
              "Fail to connect Database!\r\nPlease make sure Access settings and Database is correct!");

    // The debug boxes show the connection string with its password masked.
    boxes.boxes.clear();
    State().DebugLevel = 1;
    WizardDriver debug({First("ACCESS"), {"frmDBSetup2_Access", [&](QDialog& p) {
                                              Click(p, "optUserFilePath");
                                              SetText(p, "txtFilePath", noTables);
                                              SetText(p, "txtPassword", "s3cret;x");
                                              Click(p, "cmdNext");
                                              Click(p, "cmdCancel");
                                          }}});
    DBSetupWizard::RunDBSetupWizard(false);
    State().DebugLevel = 0;
    ASSERT_GE(boxes.boxes.size(), 2u);
    EXPECT_TRUE(BoxTexts().join(u'|').contains("Data Source=" + noTables));
    EXPECT_FALSE(BoxTexts().join(u'|').contains("s3cret")) << BoxTexts().join(u'|').toStdString();

    // Oracle: no driver here, so every service fails to connect.
    boxes.boxes.clear();
    WizardDriver oracle({First("ORACLE"), {"frmDBSetup2_Oracle", [](QDialog& p) {
                                               Click(p, "cmdNext");
                                               SetText(p, "txtServiceName", "PLANT");
                                               Click(p, "cmdNext");
                                               Click(p, "cmdCancel");
                                           }}});
    DBSetupWizard::RunDBSetupWizard(false);
    EXPECT_EQ(BoxTexts(),
              (QStringList{"Oracle Settings error!\r\nThe service name cannot be blank.\r\n"
                           "Please specify the Service name!",
                           "Fail to connect Database!\r\nPlease make sure Oracle settings and Database "
                           "is correct!"}));

    if (Env("LEDGRIX_TEST_MYSQL_HOST").isEmpty()) {
        if (!Env("CI").isEmpty())
            FAIL() << "LEDGRIX_TEST_MYSQL_* is not set: no MariaDB server for the tests";
        GTEST_SKIP() << "no MariaDB server (LEDGRIX_TEST_MYSQL_* not set)";
    }
    // MySQL: the blank server is reported before the blank database, a wrong password and an empty
    // database each have their message, and a listed table whose name needs quotes lists no field.
    const QString server = Env("LEDGRIX_TEST_MYSQL_HOST") + u':' + Env("LEDGRIX_TEST_MYSQL_PORT");
    const QString empty = QStringLiteral("wiz_empty_%1").arg(QCoreApplication::applicationPid());
    const QString odd = QStringLiteral("wiz_%1;x").arg(QCoreApplication::applicationPid());
    ado::Connection admin;
    ASSERT_TRUE(OpenDBConnectionByType("MYSQL", QString(), server, QString(),
                                       Env("LEDGRIX_TEST_MYSQL_DATABASE"), Env("LEDGRIX_TEST_MYSQL_USER"),
                                       Env("LEDGRIX_TEST_MYSQL_PASSWORD"), admin));
    admin.Execute("CREATE DATABASE IF NOT EXISTS " + empty);
    admin.Execute("CREATE TABLE `" + odd + "` (A INT)");
    boxes.boxes.clear();
    auto login = [&](QDialog& p, const QString& database, const QString& password) {
        SetText(p, "txtPCName", " " + server + " ");
        SetText(p, "txtDataBaseName", database);
        SetText(p, "txtUserName", Env("LEDGRIX_TEST_MYSQL_USER"));
        SetText(p, "txtPassword", password);
        Click(p, "cmdNext");
    };
    WizardDriver mysql({First("MYSQL"),
                        {"frmDBSetup2_SQLServer",
                         [&](QDialog& p) {
                             Click(p, "cmdNext");
                             SetText(p, "txtPCName", server);
                             Click(p, "cmdNext");
                             login(p, Env("LEDGRIX_TEST_MYSQL_DATABASE"), "wrong");
                             login(p, empty, Env("LEDGRIX_TEST_MYSQL_PASSWORD"));
                             EXPECT_EQ(TextOf(p, "txtPCName"), server);  // trimmed in the box
                             login(p, Env("LEDGRIX_TEST_MYSQL_DATABASE"), Env("LEDGRIX_TEST_MYSQL_PASSWORD"));
                         }},
                        {"frmDBSetup3", [&](QDialog& p) {
                             SetText(p, "cmbTableName", odd);
                             Click(p, "cmdNext");
                             Click(p, "cmdCancel");
                         }}});
    DBSetupWizard::RunDBSetupWizard(false);
    admin.Execute("DROP DATABASE " + empty);
    admin.Execute("DROP TABLE `" + odd + "`");
    EXPECT_EQ(
        BoxTexts(),
        (QStringList{
            "MySQL settings error!\r\nThe Server name cannot be blank.\r\nPlease specify the Server name!",
            "MySQL settings error!\r\nThe Database name cannot be blank.\r\nPlease specify the "
            "Database name!",
            "Fail to connect Database!\r\nPlease make sure MySQL settings and Database is correct!",
            "Fail to list tables!\r\nThe database[" + empty +
                "] contains no usable data table.\r\nPlease specify database name again!",
            "Fail to list field name!\r\nThe data table[" + odd +
                "] contains no usable data field.\r\nPlease specify data table!"}));
    EXPECT_EQ(boxes.boxes[0].title, "Error-MySQL Settings");
}

TEST_F(Wizard, OfflineRunsTypeTheTableAndFieldsAndAskBeforeRemovingTheGroupsFields) {
    for (int language : {0, 1}) {
        State().LanguageIndex = static_cast<int16_t>(language);
        ResetGroup();
        boxes.boxes.clear();
        auto screen = [language](QDialog& p) { SaveScreen(&p, p.objectName(), language); };
        WizardDriver pages({
            First("ACCESS"),
            {"frmDBSetup2_Access",
             [](QDialog& p) {
                 Click(p, "optUserFilePath");
                 SetText(p, "txtFilePath", " ..\\Remote\\new.mdb ");  // not there: off line it need not be
                 Click(p, "chkOffLineConfigDB");
                 Click(p, "cmdNext");
             }},
            {"frmOfflineDBSetup3",
             [&](QDialog& p) {
                 screen(p);
                 SetText(p, "txtTableName", "   ");
                 Click(p, "cmdNext");
                 EXPECT_TRUE(p.isVisible());
                 SetText(p, "txtTableName", " Log9 ");
                 Click(p, "cmdNext");
             }},
            {"frmOfflineDBSetup4",
             [&](QDialog& p) {
                 screen(p);
                 boxes.answers = {MsgAnswer::No};
                 Click(p, "cmdFinish");  // no field: the group's fields would go
                 EXPECT_TRUE(p.isVisible());
                 // Rows as the field dialogs leave them; Previous keeps them in the wizard's records.
                 auto& list = Child<QTreeWidget>(p, "lvFields");
                 AddFieldRow(list, Row("Time", "^DateTime", "DATETIME", "", "yyyy/MM/dd"));
                 AddFieldRow(list, Row("Flow", "FLOW", "VALUE", "3"));
                 AddFieldRow(list, Row("Spare", " ", "VALUE"));
                 Highlight(p, "lvFields", {"Spare"});
                 EXPECT_TRUE(Child<QPushButton>(p, "cmdEditField").isEnabled());
                 Click(p, "cmdDeleteField");
                 EXPECT_EQ(Column(p, "lvFields"), (QStringList{"Time", "Flow"}));
                 EXPECT_FALSE(Child<QPushButton>(p, "cmdDeleteField").isEnabled());
                 Click(p, "cmdPrevious");
             }},
            {"frmOfflineDBSetup3",
             [](QDialog& p) {
                 EXPECT_EQ(TextOf(p, "txtTableName"), "Log9");
                 Click(p, "cmdNext");
             }},
            {"frmOfflineDBSetup4",
             [](QDialog& p) {
                 EXPECT_EQ(Column(p, "lvFields"), QStringList());  // coming forward starts afresh
                 auto& list = Child<QTreeWidget>(p, "lvFields");
                 AddFieldRow(list, Row("Flow", "FLOW", "VALUE", "3", "", "8"));
                 Click(p, "cmdFinish");
             }},
        });
        ApplyDBSetupWizard(group);
        ASSERT_EQ(boxes.boxes.size(), 2u);
        EXPECT_EQ(boxes.boxes[0].text, language == 0
                                           ? "The table name error!\r\nThe table name cannot be blank!\r\n"
                                             "Please specify the table name."
                                           : "資料表名稱輸入錯誤!\r\n資料表名稱不得為空白。\r\n"
                                             "請重新輸入資料表名稱輸入錯誤");
        EXPECT_EQ(boxes.boxes[1].text,
                  language == 0
                      ? "No field has a Tag, so the present fields of the data group will be removed: "
                        "[A], [B]\r\nFinish anyway?"
                      : "沒有任何欄位設定 Tag，存檔群組現有的欄位將被移除: [A], [B]\r\n是否仍要完成?");
        const WizardFieldRecords& kept = WizardFields();
        ASSERT_EQ(kept.WizardFieldCount, 2);
        EXPECT_EQ(kept.aWizardFields[1].DatetimeFormat, "yyyy/MM/dd");
        EXPECT_EQ(kept.aWizardFields[1].DecimalPlaces, -1);
        EXPECT_EQ(kept.aWizardFields[2].DecimalPlaces, 3);
        const xSvcSettings& s = group.S();
        EXPECT_EQ(s.dbDBTypeName, "ACCESS");
        EXPECT_EQ(s.dbFullPath, "..\\Remote\\new.mdb");
        EXPECT_EQ(s.dbFilePath, "..\\Remote\\new.mdb");
        EXPECT_EQ(s.dbIsDefaultFilePath, 0);
        EXPECT_EQ(s.dbDataSource, "");
        EXPECT_EQ(s.dbTableName, "Log9");
        ASSERT_EQ(group.FieldCount, 1);
        EXPECT_EQ(group.F(1).FieldName, "Flow");
        EXPECT_EQ(group.F(1).DecimalPlaces, 3);
        EXPECT_EQ(group.F(1).TagDataLength, 8);
    }

    // A server keeps no file of the group's past; the CSV path has only the field list, and the
    // group keeps its table and its CSV file.
    State().LanguageIndex = 0;
    group.S().dbFileName = QStringLiteral("old.mdb");
    group.S().dbIsDefaultFilePath = 1;
    WizardDriver server({First("MYSQL"),
                         {"frmDBSetup2_SQLServer",
                          [](QDialog& p) {
                              SetText(p, "txtPCName", "plant-db");
                              SetText(p, "txtDataBaseName", "line1");
                              Click(p, "chkOffLineConfigDB");
                              Click(p, "cmdNext");
                          }},
                         {"frmOfflineDBSetup3",
                          [](QDialog& p) {
                              SetText(p, "txtTableName", "Log");
                              Click(p, "cmdNext");
                          }},
                         {"frmOfflineDBSetup4", [](QDialog& p) {
                              AddFieldRow(Child<QTreeWidget>(p, "lvFields"), Row("Flow", "FLOW", "VALUE"));
                              Click(p, "cmdFinish");
                          }}});
    ApplyDBSetupWizard(group);
    const xSvcSettings& s = group.S();
    EXPECT_EQ(s.dbDBTypeName, "MYSQL");
    EXPECT_EQ(s.dbProvider, "MSDASQL.1");
    EXPECT_EQ(s.dbFilePath + s.dbFileName + s.dbFullPath, "");
    EXPECT_EQ(s.dbIsDefaultFilePath, 0);
    EXPECT_EQ(s.dbDataSource, "plant-db");
    EXPECT_EQ(s.dbInitialCatalog, "line1");

    WizardDriver csv({{"frmDBSetup1",
                       [](QDialog& p) {
                           ChooseType(p, "CSV");
                           NextModal cancel([](QDialog& d) { Click(d, "cmdCancel"); });
                           Click(p, "cmdSelectCSVDB");  // not confirmed
                           Click(p, "cmdNext");
                       }},
                      {"frmOfflineDBSetup4",
                       [](QDialog& p) {
                           EXPECT_EQ(p.windowTitle(),
                                     "Database Wizard - Settings of database fields and Tags ");
                           Click(p, "cmdPrevious");
                       }},
                      {"frmDBSetup1", [](QDialog& p) { Click(p, "cmdNext"); }},
                      {"frmOfflineDBSetup4", [](QDialog& p) {
                           AddFieldRow(Child<QTreeWidget>(p, "lvFields"), Row("Level", "LEVEL", "VALUE"));
                           Click(p, "cmdFinish");
                       }}});
    ApplyDBSetupWizard(group);
    EXPECT_EQ(s.dbDBTypeName, "CSV");
    EXPECT_EQ(s.dbTableName, "Log");
    EXPECT_EQ(s.dbCSVFilePath, "..\\Project\\P\\dat\\Ledgrix\\flow.csv");
    EXPECT_EQ(s.dbSCSVDelimiterCharacter, ";");
    ASSERT_EQ(group.FieldCount, 1);
    EXPECT_EQ(group.F(1).FieldName, "Level");
}

TEST_F(Wizard, FieldListsStopAt255AndOddOrHugeTablesListTheirFieldsAtOnce) {
    QStringList columns;
    for (int i = 1; i <= 256; ++i) columns << QStringLiteral("C%1 INT").arg(i);
    SqliteRows(
        plant,
        {"CREATE TABLE Wide (" + columns.join(u',') + u')',
         QStringLiteral("CREATE TABLE \"x]y;DROP TABLE Log2\" (A INT, B INT)"),
         QStringLiteral("CREATE TABLE BigRows (Id INT, Flow DOUBLE)"),
         QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000) "
                        "INSERT INTO BigRows SELECT i, i FROM n"),
         // A million rows, each of which fails when read (abs() of the least integer overflows):
         // its fields are listed without reading a row, or not at all.
         QStringLiteral("CREATE VIEW Big AS SELECT Id, Flow + abs(Id * 0 - 9223372036854775807 - 1) AS Flow "
                        "FROM BigRows")});
    auto table = [](const QString& name) {
        return WizardDriver::Step{"frmDBSetup3", [name](QDialog& p) {
                                      SetText(p, "cmbTableName", name);
                                      Click(p, "cmdNext");
                                  }};
    };
    auto back = [](const QStringList& fields) {
        return WizardDriver::Step{"frmDBSetup4", [fields](QDialog& p) {
                                      EXPECT_EQ(Column(p, "lvFields"), fields);
                                      Click(p, "cmdPrevious");
                                  }};
    };
    WizardDriver pages({
        First("ACCESS"),
        {"frmDBSetup2_Access",
         [&](QDialog& p) {
             Click(p, "optUserFilePath");
             SetText(p, "txtFilePath", plant);
             Click(p, "cmdNext");
         }},
        table("x]y;DROP TABLE Log2"),
        back({"A", "B"}),
        table("Big"),
        back({"Id", "Flow"}),
        table("Wide"),
        {"frmDBSetup4",
         [&](QDialog& p) {
             Click(p, "cmdAllMove2Right");  // 256 fields: refused, nothing moves
             EXPECT_EQ(Column(p, "lvSelectedFields").size(), 0);
             Highlight(p, "lvFields", columns.mid(0, 255).replaceInStrings(" INT", ""));
             Click(p, "cmdMove2Right");
             EXPECT_EQ(Column(p, "lvSelectedFields").size(), 255);
             DoubleClick(p, "lvFields", "C256");
             EXPECT_EQ(Column(p, "lvFields"), QStringList{"C256"});
             Click(p, "cmdNext");
         }},
        {"frmDBSetup5", [](QDialog& p) { Click(p, "cmdCancel"); }},
    });
    DBSetupWizard::RunDBSetupWizard(false);
    EXPECT_EQ(BoxTexts(),
              (QStringList(2,
                           "Failt to add a new data group!\r\nA data group can have upto [255] data "
                           "fields. ")));
    EXPECT_EQ(SqliteRows(plant, {QStringLiteral("SELECT COUNT(*) FROM Log2")}), QStringList{"0"});

    // The off-line list refuses a 256th field before the field dialog opens.
    boxes.boxes.clear();
    WizardDriver offline({{"frmDBSetup1",
                           [](QDialog& p) {
                               ChooseType(p, "CSV");
                               Click(p, "cmdNext");
                           }},
                          {"frmOfflineDBSetup4", [](QDialog& p) {
                               auto& list = Child<QTreeWidget>(p, "lvFields");
                               for (int i = 1; i <= 255; ++i)
                                   AddFieldRow(list, Row(QString::number(i), "T", "VALUE"));
                               Click(p, "cmdAddNewField");
                               Click(p, "cmdCancel");
                           }}});
    DBSetupWizard::RunDBSetupWizard(false);
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(Wizard, ConnectionPagesNameTheirTypeInBothLanguages) {
    const std::vector<std::pair<QString, QString>> pages = {{"EXCEL", "frmDBSetup2_Excel"},
                                                            {"SQLSERVER", "frmDBSetup2_SQLServer"},
                                                            {"ORACLE", "frmDBSetup2_Oracle"}};
    QStringList titles;
    for (int language : {0, 1}) {
        State().LanguageIndex = static_cast<int16_t>(language);
        for (const auto& [type, form] : pages) {
            WizardDriver run({First(type), {form, [&, language](QDialog& p) {
                                                SaveScreen(&p, p.objectName(), language);
                                                titles << p.windowTitle();
                                                Click(p, "cmdCancel");
                                            }}});
            DBSetupWizard::RunDBSetupWizard(false);
        }
    }
    EXPECT_EQ(titles, (QStringList{"Database Wizard - Step 2 of 5 Settings of Excel",
                                   "Database Wizard - Step 2 of 5 Settings of SQL Server",
                                   "Database Wizard - Step 2 of 5 Settings of Oracle",
                                   "資料庫設定精靈 - 步驟 5 之 2  Excel 內容設定",
                                   "資料庫設定精靈 - 步驟 5 之 2  SQL Server 內容設定",
                                   "資料庫設定精靈 - 步驟 5 之 2  Oracle 內容設定"}));
}

TEST_F(Wizard, CsvFileUsageIsAppliedOnlyInTheRunThatConfirmedIt) {
    auto csvRun = [](const std::function<void(QDialog&)>& firstPage) {
        return std::vector<WizardDriver::Step>{{"frmDBSetup1", firstPage},
                                               {"frmOfflineDBSetup4", [](QDialog& p) {
                                                    AddFieldRow(Child<QTreeWidget>(p, "lvFields"),
                                                                Row("Level", "LEVEL", "VALUE"));
                                                    Click(p, "cmdFinish");
                                                }}};
    };
    WizardDriver confirmed(csvRun([](QDialog& p) {
        ChooseType(p, "CSV");
        NextModal layout([](QDialog& d) {
            Click(d, "optSingle");
            SetText(d, "txtDBFilePath", "..\\Project\\P\\dat\\Ledgrix\\line.csv");
            SetText(d, "txtDelimiterCharacter", ";");
            Click(d, "chkbUseFieldTitle");
            Child<QComboBox>(d, "cmbNewlineCharacter").setCurrentText("LF (Linux)");
            Click(d, "cmdOK");
        });
        Click(p, "cmdSelectCSVDB");
        Click(p, "cmdNext");
    }));
    ApplyDBSetupWizard(group);
    const xSvcSettings& s = group.S();
    EXPECT_EQ(s.dbCSVFilePath, "..\\Project\\P\\dat\\Ledgrix\\line.csv");
    EXPECT_EQ(s.dbSCSVDelimiterCharacter, ";");
    EXPECT_EQ(s.dbSCSVNewlineCharacter, "\n");  // the characters, as the files hold them
    EXPECT_TRUE(s.dbSCSVIsUseFieldTitle);

    // Another group in a later run keeps its own CSV file and options.
    ResetGroup();
    group.S().dbSCSVNewlineCharacter = QStringLiteral("\r\n");
    WizardDriver later(csvRun([](QDialog& p) {
        ChooseType(p, "CSV");
        Click(p, "cmdNext");
    }));
    ApplyDBSetupWizard(group);
    EXPECT_EQ(group.S().dbCSVFilePath, "..\\Project\\P\\dat\\Ledgrix\\flow.csv");
    EXPECT_EQ(group.S().dbSCSVNewlineCharacter, "\r\n");
}

TEST_F(Wizard, OfflineFieldListAddsFieldsThroughTheOfflineFieldDialog) {
    auto add = [](const QString& name, const QString& tag) {
        return [name, tag](QDialog& d) {
            SetText(d, "cmbFieldName", name);
            SetText(d, "txtTagName", tag);
            Click(d, "cmdOK");
        };
    };
    WizardDriver pages({{"frmDBSetup1",
                         [](QDialog& p) {
                             ChooseType(p, "CSV");
                             Click(p, "cmdNext");
                         }},
                        {"frmOfflineDBSetup4", [&](QDialog& p) {
                             {
                                 NextModal dialog(add("Flow", "FLOW"));
                                 Click(p, "cmdAddNewField");
                             }
                             {
                                 NextModal dialog(add("flow", "FLOW2"));  // the same name in another case
                                 Click(p, "cmdAddNewField");
                             }
                             EXPECT_EQ(Column(p, "lvFields", 1), QStringList{"FLOW"});
                             Click(p, "cmdFinish");
                         }}});
    ApplyDBSetupWizard(group);
    EXPECT_EQ(BoxTexts(), QStringList{"Fail to add a new data field!\r\nThe field name [flow] is exist!\r\n"
                                      "Please specify the field name."});
    ASSERT_EQ(group.FieldCount, 1);
    EXPECT_EQ(group.F(1).TagName, "FLOW");
    EXPECT_EQ(group.F(1).TagType, "VALUE");
}

TEST_F(Wizard, FieldListPagesShowTheWholeListBesideItsButtons) {
    // The off-line page of the CSV path and of the off-line path (their titles differ), with
    // enough rows for the scroll bar, in both languages.
    for (int language : {0, 1}) {
        State().LanguageIndex = static_cast<int16_t>(language);
        for (const QString type : {"CSV", "ACCESS"}) {
            auto fields = [&](QDialog& p) {
                auto& list = Child<QTreeWidget>(p, "lvFields");
                for (int i = 1; i <= 40; ++i) AddFieldRow(list, Row(QString::number(i), "T", "VALUE"));
                list.doItemsLayout();
                QCoreApplication::processEvents();
                EXPECT_TRUE(list.verticalScrollBar()->isVisible());
                const QStringList faults = CoveredOrOutside(p, "lvFields");
                EXPECT_TRUE(faults.isEmpty()) << type.toStdString() << ' ' << language << ": "
                                              << faults.join(QStringLiteral(", ")).toStdString();
                Click(p, "cmdCancel");
            };
            // Each path's pages as one list (no growing vector: GCC 12 at -O3 sees a false
            // out-of-bounds access in its reallocation).
            WizardDriver pages(
                type == "ACCESS"
                    ? std::vector<WizardDriver::Step>{First(type),
                                                      {"frmDBSetup2_Access",
                                                       [](QDialog& p) {
                                                           Click(p, "optUserFilePath");
                                                           SetText(p, "txtFilePath", "new.mdb");
                                                           Click(p, "chkOffLineConfigDB");
                                                           Click(p, "cmdNext");
                                                       }},
                                                      {"frmOfflineDBSetup3",
                                                       [](QDialog& p) {
                                                           SetText(p, "txtTableName", "Log");
                                                           Click(p, "cmdNext");
                                                       }},
                                                      {"frmOfflineDBSetup4", fields}}
                    : std::vector<WizardDriver::Step>{First(type), {"frmOfflineDBSetup4", fields}});
            DBSetupWizard::RunDBSetupWizard(false);
        }
    }
}

TEST_F(Wizard, GetFieldOnTheOfflineListConnectsWithTheAnswersForANewGroup) {
    // A new group in the editor holds no database yet: the fields come from the file, server
    // and table answered so far.
    Config().WorkingGroup = SaveGroupRecord();
    auto offline = [](const std::function<void(QDialog&)>& connection, const QString& table) {
        QStringList listed;
        WizardDriver pages({First(connection ? "ACCESS" : "MYSQL"),
                            {connection ? "frmDBSetup2_Access" : "frmDBSetup2_SQLServer",
                             [connection](QDialog& p) {
                                 if (connection)
                                     connection(p);
                                 else {
                                     SetText(p, "txtPCName",
                                             Env("LEDGRIX_TEST_MYSQL_HOST") + u':' +
                                                 Env("LEDGRIX_TEST_MYSQL_PORT"));
                                     SetText(p, "txtDataBaseName", Env("LEDGRIX_TEST_MYSQL_DATABASE"));
                                     SetText(p, "txtUserName", Env("LEDGRIX_TEST_MYSQL_USER"));
                                     SetText(p, "txtPassword", Env("LEDGRIX_TEST_MYSQL_PASSWORD"));
                                 }
                                 Click(p, "chkOffLineConfigDB");
                                 Click(p, "cmdNext");
                             }},
                            {"frmOfflineDBSetup3",
                             [table](QDialog& p) {
                                 SetText(p, "txtTableName", table);
                                 Click(p, "cmdNext");
                             }},
                            {"frmOfflineDBSetup4", [&listed](QDialog& p) {
                                 NextModal dialog([&listed](QDialog& d) {
                                     Click(d, "cmdFindFields");
                                     const auto& names = Child<QComboBox>(d, "cmbFieldName");
                                     for (int i = 0; i < names.count(); ++i) listed << names.itemText(i);
                                     Click(d, "cmdCancel");
                                 });
                                 Click(p, "cmdAddNewField");
                                 Click(p, "cmdCancel");
                             }}});
        ApplyDBSetupWizard(Config().WorkingGroup);
        return listed;
    };
    EXPECT_EQ(offline(
                  [this](QDialog& p) {
                      Click(p, "optUserFilePath");
                      SetText(p, "txtFilePath", plant);
                  },
                  "Log1"),
              (QStringList{"Time", "Flow", "Level", "Note"}));
    EXPECT_EQ(BoxTexts(), QStringList());

    if (Env("LEDGRIX_TEST_MYSQL_HOST").isEmpty()) {
        if (!Env("CI").isEmpty())
            FAIL() << "LEDGRIX_TEST_MYSQL_* is not set: no MariaDB server for the tests";
        GTEST_SKIP() << "no MariaDB server (LEDGRIX_TEST_MYSQL_* not set)";
    }
    const QString table = QStringLiteral("wiz_get_%1").arg(QCoreApplication::applicationPid());
    ado::Connection admin;
    ASSERT_TRUE(OpenDBConnectionByType(
        "MYSQL", QString(), Env("LEDGRIX_TEST_MYSQL_HOST") + u':' + Env("LEDGRIX_TEST_MYSQL_PORT"), QString(),
        Env("LEDGRIX_TEST_MYSQL_DATABASE"), Env("LEDGRIX_TEST_MYSQL_USER"),
        Env("LEDGRIX_TEST_MYSQL_PASSWORD"), admin));
    admin.Execute("CREATE TABLE " + table + " (Stamp DATETIME, Flow DOUBLE)");
    const QStringList listed = offline(nullptr, table);
    admin.Execute("DROP TABLE " + table);
    EXPECT_EQ(listed, (QStringList{"Stamp", "Flow"}));
    EXPECT_EQ(BoxTexts(), QStringList());
}
