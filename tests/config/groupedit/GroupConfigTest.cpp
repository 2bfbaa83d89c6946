// The save-group editor on the test project P (flow: Access in the data folder; lines: CSV with
// dispersed files) and on groups added in memory: what it shows, what its checks refuse, what
// OK stores and Cancel keeps, the field list and the dialogs it opens.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "config/groupedit/frmGroupConfig.h"
#include "tests/config/groupedit/EditorFixture.h"
#include "tests/support/Dialogs.h"
#include "tests/support/Screens.h"

namespace {

using Action = std::function<void(QDialog&)>;

bool On(QWidget& form, const char* name) {
    return Child<QWidget>(form, QLatin1String(name)).isEnabled();
}
bool Ticked(QWidget& form, const char* name) {
    return Child<QAbstractButton>(form, QLatin1String(name)).isChecked();
}
void Tick(QWidget& form, const char* name, bool on) {
    Child<QAbstractButton>(form, QLatin1String(name)).setChecked(on);
}
QStringList Row(QWidget& form, int r) {
    QTreeWidgetItem* row = Child<QTreeWidget>(form, QStringLiteral("lvFields")).topLevelItem(r);
    QStringList cells;
    for (int c = 0; c < 7; ++c) cells << row->text(c);
    return cells;
}
// The top of a control once its tab is shown and laid out.
int TopOnItsTab(QWidget& form, const char* name) {
    Child<QTabWidget>(form, QStringLiteral("SSTab1")).setCurrentIndex(2);
    QCoreApplication::processEvents();
    return Child<QWidget>(form, QLatin1String(name)).y();
}
void Select(QWidget& form, int r) {
    auto& list = Child<QTreeWidget>(form, QStringLiteral("lvFields"));
    list.setCurrentItem(list.topLevelItem(r));
}

}  // namespace

class GroupConfigTest : public EditorFixture {
  protected:
    frmGroupConfig& editor = FormObj<frmGroupConfig>();

    void Open(const QString& name, const Action& action, bool csvDefaults = false) {
        NextModal drive(action);
        editor.LoadFormObj(name, csvDefaults);
    }
    // A group added to the table in memory, with the templates' keys of its type.
    SaveGroupRecord& AddGroup(const QString& name, const QString& type) {
        ProgramState& st = State();
        st.SaveGroupCount = static_cast<int16_t>(st.SaveGroupCount + 1);
        SaveGroupRecord& g = st.Group(st.SaveGroupCount);
        g.S().SaveGroupName = name;
        g.S().dbDBTypeName = type;
        g.R().ModuleName = name;
        return g;
    }
    SaveGroupRecord& Flow() { return State().Group(1); }
    QStringList BoxTitles() const {
        QStringList t;
        for (const auto& b : boxes.boxes) t << b.title;
        return t;
    }
};

TEST_F(GroupConfigTest, OpensEachKindOfGroupWithItsSettings) {
    int csvFrameTopOfAccess = 0;
    Open("flow", [&](QDialog& dlg) {
        EXPECT_EQ(dlg.windowTitle(), "Ledgrix config- Settings of Data group [flow]");
        EXPECT_EQ(TextOf(dlg, "txtCaption"), "Flow");
        EXPECT_TRUE(Ticked(dlg, "chkCyclical"));
        EXPECT_EQ(TextOf(dlg, "txtSaveTimeInterval"), "5");
        EXPECT_EQ(TextOf(dlg, "cmbWriteMode"), "Update");
        EXPECT_EQ(TextOf(dlg, "txtTriggerTag"), "TRIG");
        EXPECT_TRUE(Ticked(dlg, "chkCloseConnectionWhileDisabled"));
        EXPECT_EQ(TextOf(dlg, "txtPurgeKeepDays"), "10");
        EXPECT_TRUE(Ticked(dlg, "chkCount2Zero"));
        EXPECT_EQ(TextOf(dlg, "lblDBTypeName"), "Access database (*.mdb)");
        EXPECT_EQ(TextOf(dlg, "lblDBName1"), "Database File Path");
        EXPECT_EQ(TextOf(dlg, "lblDBSetting1"), "..\\PROJECT\\P\\DAT\\LEDGRIX\\flow.mdb");
        EXPECT_EQ(TextOf(dlg, "lblDBSetting2"), "Flow");
        EXPECT_TRUE(Child<QWidget>(dlg, "lblDBSetting5").isHidden());
        EXPECT_TRUE(Ticked(dlg, "optSingle"));
        EXPECT_FALSE(Child<QWidget>(dlg, "chkbSaveCSV").isHidden());
        EXPECT_FALSE(On(dlg, "Frame7"));
        EXPECT_EQ(Row(dlg, 1), (QStringList{"Flow", "FLOW", "VALUE", "", "2", "", ""}));
        EXPECT_EQ(Row(dlg, 2), (QStringList{"Note", "NOTE", "MSG", "4", "", "", "8"}));
        EXPECT_EQ(Row(dlg, 3), (QStringList{"Spare", "", "", "", "", "", ""}));
        csvFrameTopOfAccess = TopOnItsTab(dlg, "Frame7");
        Click(dlg, "cmdCancel");
    });
    // A CSV group writing dispersed files keeps its stored options although it has no save-CSV flag.
    State().Group(2).S().dbSIsSaveCSV = false;
    Open("lines", [&](QDialog& dlg) {
        EXPECT_TRUE(Child<QWidget>(dlg, "chkbSaveCSV").isHidden());
        EXPECT_LT(TopOnItsTab(dlg, "Frame7"), csvFrameTopOfAccess);
        EXPECT_TRUE(On(dlg, "Frame7"));
        EXPECT_EQ(TextOf(dlg, "txtDelimiterCharacter"), ";");
        EXPECT_EQ(TextOf(dlg, "cmbNewlineCharacter"), "LF (Linux)");
        EXPECT_TRUE(Ticked(dlg, "optCSVDspersed"));
        EXPECT_EQ(TextOf(dlg, "lblCSVDirTag"), "DIR.VALUE");
        EXPECT_EQ(TextOf(dlg, "lblCSVFileNameTag"), "FNAME.MSG");
        EXPECT_FALSE(On(dlg, "cmdConnectDB"));
        EXPECT_FALSE(On(dlg, "cmdEditSaveDBWay"));
        Click(dlg, "cmdCancel");
    });

    SaveGroupRecord& excel = AddGroup("Book", "EXCEL");
    excel.S().dbFilePath = "..\\book.xls";
    excel.S().dbTableName = "Sheet1$";
    excel.S().dbSKeepConnectionAliveAfterSaveDataForExcel = 1;
    excel.S().dbSDataBaseRootDir = "..\\data";
    excel.S().dbSDirTag.Name = "D";
    excel.S().dbSDirTag.DataType = "VALUE";
    Open("Book", [&](QDialog& dlg) {
        EXPECT_EQ(TextOf(dlg, "lblDBName1"), "Workbook Path");
        EXPECT_EQ(TextOf(dlg, "lblDBSetting1"), "..\\book.xls");
        EXPECT_EQ(TextOf(dlg, "lblDBSetting2"), "Sheet1$");
        EXPECT_FALSE(Ticked(dlg, "chkKeepConnectionAliveAfterSaveDataForExcel"));
        EXPECT_TRUE(Ticked(dlg, "optDspersed"));
        EXPECT_EQ(TextOf(dlg, "lblDirTag"), "D.VALUE");
        EXPECT_EQ(TextOf(dlg, "lblFileNameTag"), "");
        // The option buttons only show the file usage.
        Tick(dlg, "optSingle", true);
        EXPECT_TRUE(Ticked(dlg, "optDspersed"));
        Click(dlg, "cmdCancel");
    });
    for (const char* type : {"SQLSERVER", "MYSQL"}) {
        SaveGroupRecord& server = AddGroup(type, type);
        server.S().dbDataSource = "srv";
        server.S().dbInitialCatalog = "plant";
        server.S().dbTableName = "log";
        server.S().dbUserID = "u";
        server.S().dbPassword = "p";
        Open(type, [&](QDialog& dlg) {
            EXPECT_EQ(TextOf(dlg, "lblDBName1"), "Server Name");
            EXPECT_EQ(TextOf(dlg, "lblDBName5"), "Password");
            for (int i = 1; i <= 5; ++i)
                EXPECT_EQ(TextOf(dlg, QStringLiteral("lblDBSetting%1").arg(i)),
                          (QStringList{"srv", "plant", "log", "u", "p"}[i - 1]));
            EXPECT_FALSE(Child<QWidget>(dlg, "lblDBSetting5").isHidden());
            Click(dlg, "cmdCancel");
        });
    }
    // A type that the program setting file does not know: no description, nothing breaks.
    AddGroup("Odd", "NOSUCH").S().dbFilePath = "x.db";
    Open("Odd", [&](QDialog& dlg) {
        EXPECT_EQ(TextOf(dlg, "lblDBTypeName"), "");
        EXPECT_EQ(TextOf(dlg, "lblDBName1"), "資料庫路徑");
        Click(dlg, "cmdOK");  // the two questions, answered Yes by default
    });
    EXPECT_EQ(BoxTitles(), (QStringList{"Database settings", "Database fields settings"}))
        << BoxTexts().join("\n").toStdString();

    // A name no group has, in another case: the not-found box, no dialog.
    boxes.boxes.clear();
    editor.LoadFormObj("FLOW", false);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              "Fail to open the save group!\r\nThe save group [FLOW] does not exist.\r\n"
              "Please specify the save group name again.");
}

TEST_F(GroupConfigTest, ChecksRefuseBadInputWithTheirMessageAndFocus) {
    struct Case {
        std::function<void(QDialog&)> type;
        QString text;
        const char* focus;
    };
    const QString tagAgain = "\r\nPlease enter Tag name again or cancel the operation.";
    const std::vector<Case> cases = {
        {[](QDialog& d) { SetText(d, "txtCaption", "Flow, line 2"); },
         "Windows Title[Flow, line 2] error!\r\nThe Windows Title cannot contain [,].\r\nPlease enter "
         "Windows "
         "Title again.",
         "txtCaption"},
        {[](QDialog& d) { SetText(d, "txtSaveTimeInterval", "abc"); },
         "Cyclic Storgage setting error!\r\nInterval cannot be less than 0 second.\r\nPlease enter interval "
         "again!",
         "txtSaveTimeInterval"},
        // Not wholly a number: "1,5" is not one and a half.
        {[](QDialog& d) { SetText(d, "txtSaveTimeInterval", "1,5"); },
         "Cyclic Storgage setting error!\r\nInterval cannot be less than 0 second.\r\nPlease enter interval "
         "again!",
         "txtSaveTimeInterval"},
        // Below the millisecond grid: the saver would read it back as no cycle at all.
        {[](QDialog& d) { SetText(d, "txtSaveTimeInterval", "0.0004"); },
         "Cyclic Storgage setting error!\r\nInterval cannot be less than 0 second.\r\nPlease enter interval "
         "again!",
         "txtSaveTimeInterval"},
        {[](QDialog& d) { SetText(d, "txtTriggerTag", "   "); },
         "Fail to specify the Tag name!\r\nThe Tag name cannot be blank." + tagAgain, "txtTriggerTag"},
        {[](QDialog& d) { SetText(d, "txtTriggerTag", "T1.MSG"); },
         "Tag name[T1.MSG] error!\r\nThis function [Storage Method- Triggered by Tag] does not support this "
         "Tag "
         "field[MESSAGE]." +
             tagAgain,
         "txtTriggerTag"},
        {[](QDialog& d) { SetText(d, "txtEnableTag", "T1.XYZ"); },
         "Tag name[T1.XYZ] error!\r\nThis function [Runtime Control- Enable/Disable] does not support this "
         "Tag "
         "field[XYZ]." +
             tagAgain,
         "txtEnableTag"},
        {[](QDialog& d) { SetText(d, "txtPurgeTag", "ABCDEFGHI"); },
         "Tag name[ABCDEFGHI] error!\r\nThe length of Tag name cannot exceed 8 characters." + tagAgain,
         "txtPurgeTag"},
        {[](QDialog& d) { SetText(d, "txtNumRecordsSavedTag", "N,1"); },
         "Tag name[N,1] error!\r\nThe Tag name cannot contain [,].\r\nPlease enter Tag name again.",
         "txtNumRecordsSavedTag"},
        // A blank or fractional number of days would purge every record older than today.
        {[](QDialog& d) { SetText(d, "txtPurgeKeepDays", ""); },
         "Number of days[] error!\r\nThe number of days must be a whole number of 0 or more.\r\nPlease enter "
         "the "
         "number of days again.",
         "txtPurgeKeepDays"},
        {[](QDialog& d) { SetText(d, "txtPurgeKeepDays", "1.5"); },
         "Number of days[1.5] error!\r\nThe number of days must be a whole number of 0 or more.\r\nPlease "
         "enter "
         "the number of days again.",
         "txtPurgeKeepDays"},
    };
    for (const Case& c : cases) {
        boxes.boxes.clear();
        Open("flow", [&](QDialog& dlg) {
            c.type(dlg);
            Click(dlg, "cmdOK");
            EXPECT_TRUE(dlg.isVisible());
            EXPECT_EQ(editor.mFocusObj ? editor.mFocusObj->objectName() : QString(), QLatin1String(c.focus));
            Click(dlg, "cmdCancel");
        });
        ASSERT_EQ(boxes.boxes.size(), 1u) << c.text.toStdString();
        EXPECT_EQ(boxes.boxes[0].text, c.text);
        EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Critical);
    }
    EXPECT_EQ(Flow().S().dbSTriggerTag.Name, "TRIG");

    // Excel: no overwrite; the content tab is shown with the combo focused. Incomplete settings
    // and fields ask; No stays without a control to focus.
    AddGroup("Book", "EXCEL").S().dbTableName = "$";
    boxes.boxes.clear();
    boxes.answers = {MsgAnswer::Ok, MsgAnswer::No};
    Open("Book", [&](QDialog& dlg) {
        Child<QComboBox>(dlg, "cmbWriteMode").setCurrentIndex(1);
        Child<QTabWidget>(dlg, "SSTab1").setCurrentIndex(3);
        Click(dlg, "cmdOK");
        EXPECT_EQ(editor.mFocusObj, &Child<QWidget>(dlg, "cmbWriteMode"));
        EXPECT_EQ(Child<QTabWidget>(dlg, "SSTab1").currentIndex(), 0);
        Child<QComboBox>(dlg, "cmbWriteMode").setCurrentIndex(0);
        Click(dlg, "cmdOK");
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(editor.mFocusObj, nullptr);
        Click(dlg, "cmdCancel");
    });
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text,
              "Write mode must be append when database type is EXCEL. \r\nPlease select write mode again.");
    EXPECT_EQ(
        boxes.boxes[1].text,
        "The database settings is not completed, whether to leave ? \r\n\r\nYes: leave the screen.\r\nNo: "
        "donot leave, continue setting.");
    EXPECT_EQ(boxes.boxes[1].style, MsgStyle::YesNo | MsgStyle::Information);
}

TEST_F(GroupConfigTest, OkStoresAWholeCopyAndCancelChangesNothing) {
    Open("flow", [&](QDialog& dlg) {
        SetText(dlg, "txtTriggerTag", "T9");
        Tick(dlg, "chkEnableTag", false);
        SetText(dlg, "txtCaption", "Changed");
        Click(dlg, "cmdCancel");
    });
    EXPECT_EQ(Flow().S().dbSTriggerTag.Name, "TRIG");
    EXPECT_EQ(Flow().S().dbSEnableTag.Name, "EN");
    EXPECT_EQ(Flow().R().ModuleName, "Flow");
    EXPECT_EQ(Config().IsModified, 0);

    Open("flow", [&](QDialog& dlg) {
        SetText(dlg, "txtCaption", "Flow line");
        SetText(dlg, "txtSaveTimeInterval", "0.25");
        SetText(dlg, "txtTriggerTag", " T9.value ");  // the part in any letter case
        Tick(dlg, "chkEnableTag", false);
        SetText(dlg, "txtPurgeKeepDays", "7");
        Child<QComboBox>(dlg, "cmbWriteMode").setCurrentIndex(0);
        Tick(dlg, "chkbSaveCSV", true);
        Click(dlg, "cmdOK");
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(TextOf(dlg, "txtTriggerTag"), "T9.value");
    });
    const xSvcSettings& s = Flow().S();
    EXPECT_EQ(Flow().R().ModuleName, "Flow line");
    EXPECT_EQ(s.SaveTimeInterval, 0.25);
    EXPECT_TRUE(Flow().R().IsHighSpeedSaver);
    EXPECT_EQ(s.SaveTimeIntervalWithMilliSeconds.ToDouble(), 250);
    EXPECT_EQ(s.dbSTriggerTag.Name, "T9");  // the name, as the saver looks it up
    EXPECT_EQ(s.dbSEnableTag.Name, "");
    EXPECT_EQ(s.dbSCloseConnectionWhileDisabled, 0);
    EXPECT_EQ(s.dbSPurgeKeepDays, 7);
    EXPECT_EQ(s.dbSWriteMode, 0);
    EXPECT_TRUE(s.dbSIsSaveCSV);
    EXPECT_EQ(s.dbSCSVDelimiterCharacter, ",");  // the defaults of a group that starts to save CSV
    EXPECT_EQ(s.dbSCSVNewlineCharacter, "\r\n");
    EXPECT_EQ(s.dbSCSVKeepConnectionAliveAfterSaveData, 0);
    EXPECT_EQ(s.dbIsDefaultFilePath, 1);
    EXPECT_EQ(s.dbFileName, "flow.mdb");
    EXPECT_EQ(Flow().FieldCount, 4);
    EXPECT_EQ(Config().IsModified, -1);

    // The table holds objects of its own: the working copy of the next edit never reaches it.
    Config().WorkingGroup.S().dbSTriggerTag.Name = "OTHER";
    Config().WorkingGroup.F(1).FieldName = "Other";
    EXPECT_EQ(s.dbSTriggerTag.Name, "T9");
    EXPECT_EQ(Flow().F(1).FieldName, "Time");
}

TEST_F(GroupConfigTest, FieldListAddsEditsDeletesAndMovesFields) {
    Open("flow", [&](QDialog& dlg) {
        Child<QTabWidget>(dlg, "SSTab1").setCurrentIndex(3);
        EXPECT_TRUE(On(dlg, "cmdAddNewField"));
        {
            NextModal add([&](QDialog& d) {
                EXPECT_EQ(TextOf(d, "lblTableName"), "Flow");
                SetText(d, "cmbFieldName", "FLOW");  // "Flow" in another case: one column to the engine
                SetText(d, "txtTagName", "LV");
                Click(d, "cmdOK");
                EXPECT_TRUE(d.isVisible());
                SetText(d, "cmbFieldName", "Level");
                Click(d, "cmdOK");
            });
            Click(dlg, "cmdAddNewField");
        }
        EXPECT_EQ(Row(dlg, 4), (QStringList{"Level", "LV", "VALUE", "", "", "", ""}));
        EXPECT_EQ(Config().IsModified, -1);
        Select(dlg, 0);
        EXPECT_FALSE(On(dlg, "cmdMoveUp"));
        Click(dlg, "cmdMoveLast");
        EXPECT_EQ(Row(dlg, 4)[0], "Time");
        EXPECT_EQ(Child<QTreeWidget>(dlg, "lvFields").currentItem()->text(0), "Time");
        Click(dlg, "cmdMoveDown");  // already last: nothing
        Click(dlg, "cmdMoveUp");
        EXPECT_EQ(Row(dlg, 3)[0], "Time");
        Select(dlg, 0);  // Flow
        {
            NextModal edit([&](QDialog& d) {
                EXPECT_EQ(TextOf(d, "txtDecimalPlaces"), "2");
                SetText(d, "txtTagName", "FLOW2");
                Click(d, "cmdOK");
            });
            Click(dlg, "cmdEditField");
        }
        EXPECT_EQ(Row(dlg, 0), (QStringList{"Flow", "FLOW2", "VALUE", "", "2", "", ""}));
        Select(dlg, 1);  // Note
        Click(dlg, "cmdDeleteField");
        EXPECT_EQ(Child<QTreeWidget>(dlg, "lvFields").topLevelItemCount(), 4);
        Click(dlg, "cmdOK");
    });
    EXPECT_EQ(
        boxes.boxes.front().text,
        "Fail to add a new data field!\r\nThe field name [FLOW] exists.\r\nPlease specify the field name.");
    EXPECT_EQ(boxes.boxes.back().text, "是否刪除該存檔欄位[Note]?");
    QStringList stored;
    for (int n = 1; n <= Flow().FieldCount; ++n) stored << Flow().F(n).FieldName + u'=' + Flow().F(n).TagName;
    EXPECT_EQ(stored, (QStringList{"Flow=FLOW2", "Spare=", "Time=^DATETIME", "Level=LV"}));

    // A group with 255 fields takes no more.
    for (int n = 1; n <= 255; ++n) Flow().F(n).FieldName = QStringLiteral("F%1").arg(n);
    Flow().FieldCount = 255;
    boxes.boxes.clear();
    Open("flow", [&](QDialog& dlg) {
        Click(dlg, "cmdAddNewField");
        Click(dlg, "cmdCancel");
    });
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              "Failt to add a new data group!\r\nA data group can have upto [255] data fields. ");
}

TEST_F(GroupConfigTest, DialogsChangeTheWorkingCopyThatTheTestAndOkUse) {
    // The group's stored file does not exist; the one typed in the database-settings dialog does,
    // by its bare name in the project data folder.
    SqliteRows(Path("Project/P/dat/Ledgrix/other.mdb"),
               {"CREATE TABLE Flow (Time TEXT, Flow DOUBLE, Note TEXT, Spare TEXT)"});
    Open("flow", [&](QDialog& dlg) {
        Child<QTabWidget>(dlg, "SSTab1").setCurrentIndex(1);
        {
            NextModal content([&](QDialog& d) {
                EXPECT_EQ(TextOf(d, "txtDBSetting1"), "..\\PROJECT\\P\\DAT\\LEDGRIX\\flow.mdb");
                EXPECT_EQ(TextOf(d, "txtDBSetting2"), "Flow");
                SetText(d, "txtDBSetting1", "missing.mdb");
                Click(d, "cmdOK");
                EXPECT_TRUE(d.isVisible());
                SetText(d, "txtDBSetting1", "other.mdb");
                Click(d, "cmdOK");
            });
            Click(dlg, "cmdDBContent");
        }
        EXPECT_EQ(TextOf(dlg, "lblDBSetting1"), "..\\PROJECT\\P\\DAT\\LEDGRIX\\other.mdb");
        Click(dlg, "cmdConnectDB");
        // A row moved before the file-layout dialog stays where it was put.
        Select(dlg, 0);
        Click(dlg, "cmdMoveLast");
        {
            NextModal layout([&](QDialog& d) {
                EXPECT_EQ(d.windowTitle(), "Database File Usage");
                Tick(d, "optDspersed", true);
                Click(d, "cmdOK");  // no root folder
                SetText(d, "txtDataBaseRootDir", "..\\Project\\P\\dat\\split");
                SetText(d, "txtDirTag", "D.1");
                Click(d, "cmdOK");
                SetText(d, "txtDirTag", "DAY");
                Tick(d, "optDirTagMsg", true);
                Click(d, "cmdOK");
            });
            Click(dlg, "cmdEditSaveDBWay");
        }
        EXPECT_TRUE(Ticked(dlg, "optDspersed"));
        EXPECT_EQ(TextOf(dlg, "lblDirTag"), "DAY.MESSAGE");
        EXPECT_EQ(Row(dlg, 3)[0], "Time");
        Click(dlg, "cmdOK");
    });
    ASSERT_EQ(boxes.boxes.size(), 4u);
    EXPECT_EQ(boxes.boxes[0].text.section("\r\n", 0, 0), "資料庫檔案路徑不存在!");
    EXPECT_EQ(boxes.boxes[1].title, "Connect Database");
    EXPECT_EQ(boxes.boxes[2].text,
              "Since [Multiple Database] is selected in Database File Usage,\r\nRoot Folder "
              "setting cannot be blank. Please enter again!");
    EXPECT_EQ(
        boxes.boxes[3].text,
        "Subfolder Tag[D.1] error!\r\nThe Subfolder Tag cannot contain [.].\r\nPlease enter Subfolder Tag "
        "again.");
    const xSvcSettings& s = Flow().S();
    EXPECT_EQ(s.dbFullPath, "..\\PROJECT\\P\\DAT\\LEDGRIX\\other.mdb");  // the path that was checked
    EXPECT_EQ(s.dbIsDefaultFilePath, 0);
    EXPECT_EQ(s.dbSDataBaseRootDir, "..\\Project\\P\\dat\\split");
    EXPECT_EQ(s.dbSDirTag.DataType, "MESSAGE");
    EXPECT_EQ(Flow().F(4).FieldName, "Time");

    // A new single path replaces the file in the data folder.
    boxes.boxes.clear();
    Flow().S().dbSDataBaseRootDir.clear();
    Flow().S().dbIsDefaultFilePath = 1;
    Flow().S().dbFileName = "flow.mdb";
    Open("flow", [&](QDialog& dlg) {
        NextModal layout([&](QDialog& d) {
            SetText(d, "txtDBFilePath", "..\\db\\new.mdb");
            Click(d, "cmdOK");
        });
        Click(dlg, "cmdEditSaveDBWay");
        EXPECT_EQ(TextOf(dlg, "lblDBSetting1"), "..\\db\\new.mdb");
        Click(dlg, "cmdOK");
    });
    EXPECT_EQ(Flow().S().dbFullPath, "..\\db\\new.mdb");
    EXPECT_EQ(Flow().S().dbIsDefaultFilePath, 0);
}

TEST_F(GroupConfigTest, RendersEveryTabInBothLanguages) {
    const char* const tabs[] = {"frmGroupConfig", "frmGroupConfig-Database", "frmGroupConfig-CSV",
                                "frmGroupConfig-Fields"};
    for (int language : {0, 1}) {
        State().LanguageIndex = static_cast<int16_t>(language);
        Open("flow", [&](QDialog& dlg) {
            for (int tab = 0; tab < 4; ++tab) {
                Child<QTabWidget>(dlg, "SSTab1").setCurrentIndex(tab);
                EXPECT_FALSE(SaveScreen(&dlg, QLatin1String(tabs[tab]), language).isEmpty());
            }
            EXPECT_EQ(Child<QTabWidget>(dlg, "SSTab1").tabText(3),
                      language == 0 ? "Database Fields" : "資料庫欄位");
            Click(dlg, "cmdCancel");
        });
        // A CSV group's own CSV tab, without the save-CSV box.
        Open("lines", [&](QDialog& dlg) {
            Child<QTabWidget>(dlg, "SSTab1").setCurrentIndex(2);
            EXPECT_FALSE(SaveScreen(&dlg, "frmGroupConfig-CSVGroup", language).isEmpty());
            Click(dlg, "cmdCancel");
        });
    }
}
