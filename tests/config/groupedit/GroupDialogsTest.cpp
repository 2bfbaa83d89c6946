// The editor's dialogs on their own: the file-layout dialog as the wizard opens it, the
// database-settings dialog by type, and the dialog that adds a field (its name checks, "Get
// Field..." on a live table, its messages).
#include <QComboBox>
#include <QGroupBox>
#include <QRadioButton>

#include "common/FileUtil.h"
#include "config/core/SaveGroupModel.h"
#include "config/groupedit/frmEditDBContent.h"
#include "config/groupedit/frmEditSaveDBWay.h"
#include "config/groupedit/frmGroupConfig.h"
#include "config/wizard/frmAddNewOfflineField.h"
#include "tests/config/groupedit/EditorFixture.h"
#include "tests/support/Dialogs.h"
#include "tests/support/Screens.h"

namespace {

bool Ticked(QWidget& form, const char* name) {
    return Child<QAbstractButton>(form, QLatin1String(name)).isChecked();
}

}  // namespace

class GroupDialogsTest : public EditorFixture {
  protected:
    void Work(int group) { SaveGroupUtil::CopySvcSettings(State().Group(group), Config().WorkingGroup); }
};

TEST_F(GroupDialogsTest, FileLayoutFromTheWizardShowsTheCsvFilesAndReturnsTheirOptions) {
    Work(2);  // lines: dispersed CSV files, line end LF, file kept open
    auto& dlg = FormObj<frmEditSaveDBWay>();
    for (int language : {1, 0}) {
        State().LanguageIndex = static_cast<int16_t>(language);
        NextModal drive([&](QDialog& d) {
            EXPECT_TRUE(Child<QGroupBox>(d, "frmCSVSettings").isVisible());
            EXPECT_TRUE(Ticked(d, "optDspersed"));
            EXPECT_EQ(TextOf(d, "txtDirTag"), "DIR");
            EXPECT_TRUE(Ticked(d, "optDirTagValue"));
            EXPECT_TRUE(Ticked(d, "optFileNameTagMsg"));
            EXPECT_EQ(TextOf(d, "txtDelimiterCharacter"), ",");
            EXPECT_EQ(TextOf(d, "cmbNewlineCharacter"), "CR+LF (Windows)");
            EXPECT_EQ(TextOf(d, "optSingle"), language == 0
                                                  ? "Single CSV file - Data will always be stored in the "
                                                    "same single CSV file"
                                                  : "單一資料檔--所有資料皆集中記錄在一個 CSV 資料檔案");
            SaveScreen(&d, "frmEditSaveDBWay-Wizard", language);
            Child<QComboBox>(d, "cmbNewlineCharacter").setCurrentIndex(1);
            Child<QAbstractButton>(d, "chkCSVCloseConnectionAfterSaveData").setChecked(false);
            Click(d, "cmdOK");
        });
        bool defaults = true;
        dlg.LoadFormObj(true, true, defaults);
    }
    EXPECT_EQ(dlg.mString, kResultOK);
    EXPECT_FALSE(dlg.mIsDBSingle);
    EXPECT_EQ(dlg.mDataBaseRootDir, "..\\Project\\P\\dat\\csv");
    EXPECT_EQ(dlg.mFileNameTagType, "MESSAGE");
    EXPECT_EQ(dlg.mDBFilePath, "..\\Project\\P\\dat\\Ledgrix\\lines.csv");
    EXPECT_EQ(dlg.mNewlineCharacter, "\n");
    EXPECT_EQ(dlg.mKeepConnectionAliveAfterSaveData, 1);

    // From the editor, for the database files: no CSV options; a cancelled file picker keeps the
    // path, and going single empties the dispersed parts.
    Work(1);
    for (int language : {0, 1}) {
        State().LanguageIndex = static_cast<int16_t>(language);
        NextModal drive([&](QDialog& d) {
            EXPECT_FALSE(Child<QGroupBox>(d, "frmCSVSettings").isVisible());
            SetText(d, "txtDBFilePath", "..\\db\\a.mdb");
            Click(d, "cmdSelectDBFilePath");
            EXPECT_EQ(TextOf(d, "txtDBFilePath"), "..\\db\\a.mdb");
            SaveScreen(&d, "frmEditSaveDBWay", language);
            Click(d, "cmdCancel");
        });
        bool defaults = false;
        dlg.LoadFormObj(false, false, defaults);
        EXPECT_EQ(dlg.mString, "");
    }
    EXPECT_EQ(windows.calls.filter("OpenFile:").size(), 2);
}

TEST_F(GroupDialogsTest, DatabaseSettingsDialogShowsTheRowsOfTheTypeAndChecksFiles) {
    auto& editor = FormObj<frmGroupConfig>();
    QLabel* const shown[] = {editor.lblDBSetting1, editor.lblDBSetting2, editor.lblDBSetting3,
                             editor.lblDBSetting4, editor.lblDBSetting5};
    for (int i = 0; i < 5; ++i) shown[i]->setText(QStringLiteral("v%1").arg(i + 1));
    auto load = [&](const QString& description, frmEditDBContent& dlg) {
        editor.lblDBTypeName->setText(description);
        dlg.LoadFormObj(editor);
    };
    {
        frmEditDBContent dlg;
        load("SQL Server database", dlg);
        EXPECT_EQ(dlg.mDBType, "SQLSERVER");
        EXPECT_EQ(TextOf(dlg, "lblDBName1"), "Server Name");
        EXPECT_EQ(TextOf(dlg, "txtDBSetting5"), "v5");
        EXPECT_FALSE(dlg.txtDBSetting5->isHidden());
        EXPECT_TRUE(dlg.cmdSelectFile->isHidden());
        EXPECT_TRUE(dlg.CheckFormObj());
        SaveScreen(&dlg, "frmEditDBContent", 0);
        State().LanguageIndex = 1;
        load("SQL Server database", dlg);
        SaveScreen(&dlg, "frmEditDBContent", 1);
        State().LanguageIndex = 0;
    }
    {
        frmEditDBContent dlg;
        load("Oracle database", dlg);
        EXPECT_EQ(TextOf(dlg, "lblDBName1"), "Service Name");
        EXPECT_TRUE(dlg.txtDBSetting5->isHidden());
        // A line break would end the settings line: refused, naming the row.
        dlg.txtDBSetting2->setText("a\nb");
        EXPECT_FALSE(dlg.CheckFormObj());
        EXPECT_EQ(dlg.mFocusObj, dlg.txtDBSetting2);
    }
    {
        frmEditDBContent dlg;
        load("", dlg);  // no template: the rows of a type the design does not name
        EXPECT_EQ(TextOf(dlg, "lblDBName2"), "資料表名稱");
        EXPECT_TRUE(dlg.CheckFormObj());
    }
    for (int language : {0, 1}) {
        // An Access file of the data folder pointed at a rooted path, as the file button gives
        // it: the path names its file itself.
        State().LanguageIndex = static_cast<int16_t>(language);
        WriteFile(QStringLiteral("srv/plant/line1.mdb"), "x");
        editor.mdbIsDefaultFilePath = 1;
        frmEditDBContent dlg;
        load("Access database (*.mdb)", dlg);
        EXPECT_EQ(TextOf(dlg, "cmdSelectFile"), "...");
        dlg.txtDBSetting1->setText(Path(QStringLiteral("srv/plant/line1.mdb")));
        SaveScreen(&dlg, "frmEditDBContent-access", language);
        EXPECT_TRUE(dlg.CheckFormObj());
        editor.mdbIsDefaultFilePath = 0;
    }
    for (int language : {0, 1}) {
        State().LanguageIndex = static_cast<int16_t>(language);
        frmEditDBContent dlg;
        load("Excel workbook (*.xls)", dlg);
        EXPECT_EQ(TextOf(dlg, "lblDBName1"), "活頁簿路徑");
        EXPECT_FALSE(dlg.chkKeepConnectionAliveAfterSaveDataForExcel->isHidden());
        EXPECT_FALSE(dlg.CheckFormObj());
    }
    ASSERT_EQ(boxes.boxes.size(), 3u);
    EXPECT_EQ(boxes.boxes[0].text.section("\r\n", 1, 1), "The Table Name cannot contain a line break.");
    const QString missing = "活頁簿檔案路徑不存在!\r\n活頁簿檔案路徑: " + FileUtil::GetAbsolutePathName("v1");
    EXPECT_EQ(boxes.boxes[1].text, missing + "\r\n請重新設定活頁簿檔案!");
    EXPECT_EQ(boxes.boxes[2].text, missing + "\r\n請重新設定活頁簿檔案路徑!");
    EXPECT_EQ(boxes.boxes[2].title, "資料庫內容");
}

TEST_F(GroupDialogsTest, NewFieldNamesFollowTheColumnRuleOfTheirType) {
    auto& dlg = FormObj<frmAddNewOfflineField>();
    auto add = [&](const QString& group, const std::function<void(QDialog&)>& action) {
        NextModal drive(action);
        dlg.LoadFormObj(true, false, false, QString(), group, QString(), QString(), QString(), QString(),
                        true);
    };
    // CSV titles compare exactly; the table name and "Get Field..." do not apply.
    add("lines", [&](QDialog& d) {
        EXPECT_EQ(TextOf(d, "lblFieldName"), "Data Title");
        EXPECT_FALSE(Child<QWidget>(d, "cmdFindFields").isEnabled());
        SetText(d, "cmbFieldName", "stamp");
        SetText(d, "txtTagName", "T1");
        Click(d, "cmdOK");
    });
    EXPECT_EQ(dlg.mString, kResultOK);
    EXPECT_EQ(dlg.mFieldName, "stamp");
    struct Case {
        const char* name;
        const char* tag;
        bool system;
        QString text;
        const char* focus;
    };
    const std::vector<Case> cases = {
        {"  ", "T1", false,
         "Fail to add a new data field!\r\nThe field name cannot be blank.\r\nPlease specify the field name.",
         "cmbFieldName"},
        {"time", "T1", false,
         "Fail to add a new data field!\r\nThe field name [time] exists.\r\nPlease specify the field name.",
         "cmbFieldName"},
        {"A,B", "T1", false,
         "Fail to add a new data field!\r\nThe field name [A,B] cannot contain [,]!\r\nPlease specify the "
         "field "
         "name.",
         "cmbFieldName"},
        // The system date-time needs a format even without a custom format.
        {"Stamp", "", true,
         "Fail to add a new data field.\r\nThe datetime Format cannot be blank.\r\nPlease specify the "
         "datetime "
         "format.",
         "cmbDatetimeFormat"},
        {"Level", "ABCDEFGHI", false,
         "The length of tag name cannot exceed 8 characters.\r\nPlease specify the Tag name.", "txtTagName"},
    };
    for (const Case& c : cases) {
        boxes.boxes.clear();
        add("flow", [&](QDialog& d) {
            SetText(d, "cmbFieldName", c.name);
            SetText(d, "txtTagName", c.tag);
            if (c.system) {
                Child<QRadioButton>(d, "optSaveDateTime").setChecked(true);
                SetText(d, "cmbDatetimeFormat", " ");
            }
            Click(d, "cmdOK");
            EXPECT_EQ(dlg.mFocusObj ? dlg.mFocusObj->objectName() : QString(), QLatin1String(c.focus));
            Click(d, "cmdCancel");
        });
        ASSERT_EQ(boxes.boxes.size(), 1u) << c.name;
        EXPECT_EQ(boxes.boxes[0].text, c.text);
    }

    // A custom date-time format is proposed again at the next use.
    add("flow", [&](QDialog& d) {
        SetText(d, "cmbFieldName", "Day");
        Child<QRadioButton>(d, "optSaveDateTime").setChecked(true);
        Child<QAbstractButton>(d, "chkUseDataFormat").setChecked(true);
        SetText(d, "cmbDatetimeFormat", "yyyy/MM/dd");
        Click(d, "cmdOK");
    });
    EXPECT_EQ(dlg.mTagName, "^DateTime");
    for (int language : {0, 1}) {
        State().LanguageIndex = static_cast<int16_t>(language);
        NextModal drive([&](QDialog& d) {
            EXPECT_EQ(TextOf(d, "cmbDatetimeFormat"), "yyyy/MM/dd");
            SaveScreen(&d, "frmAddNewOfflineField", language);
            SetText(d, "cmbFieldName", "Stamp");
            SetText(d, "txtTagName", "ABCDEFGHI");
            Click(d, "cmdOK");
            Click(d, "cmdCancel");
        });
        dlg.LoadFormObj(true, true, true, QString(), "flow", QString(), QString(), QString(), QString(),
                        true);
    }
    EXPECT_EQ(boxes.boxes.back().text, "存檔 Tag [ABCDEFGHI] 的長度超過8個字元, 請重新輸入!");
    EXPECT_EQ(dlg.mFieldCaption, "欄位");
}

TEST_F(GroupDialogsTest, GetFieldListsTheColumnsOfTheWorkingGroupsTable) {
    Work(1);  // flow: table Flow in the data folder's flow.mdb
    auto& dlg = FormObj<frmAddNewOfflineField>();
    auto getFields = [&](const std::function<void(QDialog&)>& check) {
        NextModal drive([&](QDialog& d) {
            SetText(d, "cmbFieldName", "Ext");
            Click(d, "cmdFindFields");
            check(d);
            Click(d, "cmdCancel");
        });
        dlg.LoadFormObj(true, false, false, "ACCESS", QString(), QString(), QString(), QString(), QString(),
                        true);
    };
    getFields([&](QDialog& d) { EXPECT_EQ(Child<QComboBox>(d, "cmbFieldName").count(), 0); });
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              "Fail to get database fields!\r\nPlease make sure Database/Table name is correct!");
    EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Exclamation);

    SqliteRows(Path("Project/P/dat/Ledgrix/flow.mdb"),
               {"CREATE TABLE Flow (Time TEXT, Flow DOUBLE, Extra TEXT)"});
    getFields([&](QDialog& d) {
        auto& names = Child<QComboBox>(d, "cmbFieldName");
        ASSERT_EQ(names.count(), 3);
        EXPECT_EQ(names.itemText(2), "Extra");
        EXPECT_EQ(names.currentText(), "Ext");
    });
    EXPECT_EQ(boxes.boxes.size(), 1u);

    // The wizard's off-line field list passes the table typed on its table page: shown and listed.
    SqliteRows(Path("Project/P/dat/Ledgrix/flow.mdb"), {"CREATE TABLE Typed (Only INT)"});
    NextModal typed([&](QDialog& d) {
        EXPECT_EQ(TextOf(d, "lblTableName"), "Typed");
        Click(d, "cmdFindFields");
        EXPECT_EQ(Child<QComboBox>(d, "cmbFieldName").itemText(0), "Only");
        // "msg" in any letter case is a message part: its length box is the one the check reads.
        Click(d, "chkUseDataFormat");
        SetText(d, "cmbTagType", "msg");
        EXPECT_TRUE(Child<QWidget>(d, "txtMessageLength").isEnabled());
        Click(d, "cmdCancel");
    });
    dlg.LoadFormObj(true, false, false, "ACCESS", QString(), "Typed", QString(), QString(), QString(), false);
    EXPECT_EQ(boxes.boxes.size(), 1u);
}
