// The main window as an engineer sees and drives it: the tree, the content list, the pop-up, the
// commands on groups and fields with the files they leave, and the orderly close.
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "common/ProgramState.h"
#include "config/core/ConfigState.h"
#include "config/mainwin/frmRename.h"
#include "platform/captions/Captions.h"
#include "platform/msgbox/OwnerWindow.h"
#include "platform/msgbox/QtMessageService.h"
#include "tests/config/mainwin/MainWindowFixture.h"

namespace {

class MainWindow : public MainWindowFixture {};

QString Panel(const QString& key) {
    return TextOf(FormObj<frmConfigMain>(), key);
}

TEST_F(MainWindow, ShowsAFreshWorkstationAndTheDemoInBothLanguages) {
    for (int language : {0, 1}) {
        const bool en = language == 0;
        frmConfigMain& w = Open(QStringLiteral("P"), QStringLiteral("W"), language);
        EXPECT_EQ(w.windowTitle(), en ? "LedgrixConfig" : "LedgrixConfig 資料庫存檔工具設定程式");
        EXPECT_TRUE(WindowCaptionExists(w.windowTitle()));
        EXPECT_EQ(w.tvTreeView->topLevelItem(0)->text(0), en ? "Project [P - W]" : "專案 [P - W]");
        EXPECT_EQ(TextOf(w, "lblListView"),
                  en ? "Project : P, Workstation : W" : "圖控專案 : P, 工作站名稱 : W");
        EXPECT_EQ(Columns(),
                  en ? QStringList({"Data Group Name", "Database ", "File Usage", "Saving Interval"})
                     : QStringList({"存檔群組名稱", "資料庫種類", "檔案切割方式", "存檔間隔"}));
        EXPECT_EQ(Rows(), "");
        EXPECT_EQ(Panel("ProjName"), en ? "Project name：P" : "專案名稱：P");
        EXPECT_EQ(Panel("Status"), "Welcom to LedgrixConfig");
        EXPECT_EQ(Panel("Mode"), "Config");
        EXPECT_EQ(w.mFile->title(), en ? "File(&F)" : "檔案(&F)");
        EXPECT_EQ(w.mFileWizard->text(), "啟動精靈");
        SaveScreen(&w, QStringLiteral("frmConfigMain-empty"), language);
        // A second start finds the window by its caption.
        EXPECT_THROW(LedgrixConfigMain::RefuseSecondInstance(), ProgramExit);
        EXPECT_EQ(Boxes(), "LedgrixConfig is running now!");
        boxes.boxes.clear();
    }

    CopyDemo();
    for (int language : {0, 1}) {
        const bool en = language == 0;
        frmConfigMain& w = Open(QStringLiteral("Demo"), QStringLiteral("WS1"), language);
        EXPECT_EQ(Children(QStringLiteral("PROJECT,Demo")), "Batches,Cyclic1s,Enabled,Fast250");
        EXPECT_EQ(Children(QStringLiteral("SAVEGROUP,Cyclic1s")), "Flow,Level,Temp,Time");
        const std::string single = en ? "Single DataBase" : "單一資料庫";
        EXPECT_EQ(Rows(), "Cyclic1s|Access database (*.mdb)|" + single + "|1\n" +
                              "Fast250|Excel workbook (*.xls)|" + single + "|0.25\n" +
                              "Batches|CSV text file (*.csv)|" + single + "|0\n" +
                              "Enabled|Access database (*.mdb)|" + single + "|1");
        SaveScreen(&w, QStringLiteral("frmConfigMain"), language);
        w.mFile_Click();
        for (QMenu* menu : {w.mFile, w.mHelp}) {
            menu->adjustSize();
            SaveScreen(menu, QStringLiteral("frmConfigMain-") + menu->objectName(), language);
        }

        Select(QStringLiteral("SAVEGROUP,Batches"));
        EXPECT_EQ(TextOf(w, "lblListView"), en ? "DataGroupName : Batches" : "存檔群組名稱 : Batches");
        EXPECT_EQ(Columns().size(), 7);
        EXPECT_EQ(Columns()[6], en ? "Data Length (for CSV)" : "資料長度 (for CSV)");
        EXPECT_EQ(Rows(),
                  "Time|^DATETIME|DATETIME|||yyyy/MM/dd "
                  "HH:mm:ss|\nBatch|BATCH|MESSAGE|20|||\nWeight|WEIGHT|VALUE||1||");
        SaveScreen(&w, QStringLiteral("frmConfigMain-group"), language);
        Select(QStringLiteral("FIELD,Batches,Weight"));
        EXPECT_EQ(TextOf(w, "lblListView"), en ? "DataGroupName : Batches, DataFieldName : Weight"
                                               : "存檔群組名稱 : Batches, 存檔欄位名稱 : Weight");
        EXPECT_EQ(Rows(), "Weight|WEIGHT|VALUE||1||");
    }
    EXPECT_EQ(Boxes(), "");
}

}  // namespace

namespace {

// Chooses the named item of the pop-up menu once it shows (empty: Escape).
class PopupChoice {
  public:
    explicit PopupChoice(const QString& item) {
        QObject::connect(&timer_, &QTimer::timeout, [this, item] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            timer_.stop();
            shown_ = true;
            if (QAction* a = menu->findChild<QAction*>(item); a && !item.isEmpty()) menu->setActiveAction(a);
            QTest::keyClick(menu, item.isEmpty() ? Qt::Key_Escape : Qt::Key_Return);
        });
        timer_.start(5);
    }
    ~PopupChoice() { EXPECT_TRUE(shown_) << "no pop-up showed"; }

  private:
    QTimer timer_;
    bool shown_ = false;
};

// Which items of the pop-up are visible, in menu order.
std::string VisibleItems(frmConfigMain& w) {
    QStringList names;
    for (QAction* a : w.mConfigPop->actions())
        if (a->isVisible()) names << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return names.join(u',').toStdString();
}

TEST_F(MainWindow, PopupOffersTheItemsOfTheSelectedNodeKind) {
    frmConfigMain& w = OpenDemo();
    w.ConfigurePopup();
    EXPECT_EQ(VisibleItems(w), "Basic Settings,-,Add a new data Group");

    Select(QStringLiteral("SAVEGROUP,Batches"));  // CSV without a table
    w.ConfigurePopup();
    EXPECT_EQ(VisibleItems(w),
              "Content(Batches)...,Connect Database,-,Add a new data Group,Add a new data field,-,"
              "Delete(Batches),Rename(Batches)");
    EXPECT_FALSE(w.mConfigGroupConnectDB->isEnabled());
    EXPECT_TRUE(w.mConfigTagAddNew1->isEnabled());
    w.mConfigPop->adjustSize();
    SaveScreen(w.mConfigPop, QStringLiteral("frmConfigMain-popup"), 0);

    SaveGroupRecord& excel = State().Group(2);  // Fast250, an Excel sheet
    excel.S().dbTableName = QStringLiteral("$");
    Select(QStringLiteral("SAVEGROUP,Fast250"));
    w.ConfigurePopup();
    EXPECT_TRUE(w.mConfigGroupConnectDB->isEnabled());
    EXPECT_FALSE(w.mConfigTagAddNew1->isEnabled());
    excel.S().dbDBTypeName.clear();
    excel.S().dbTableName.clear();
    w.ConfigurePopup();
    EXPECT_FALSE(w.mConfigTagAddNew1->isEnabled());
    EXPECT_FALSE(w.mConfigGroupConnectDB->isEnabled());

    // A node whose group the model no longer has: an empty list, the group's items disabled, and
    // the commands stop.
    excel.S().SaveGroupName = QStringLiteral("Gone");
    Select(QStringLiteral("FIELD,Fast250,Flow"));
    EXPECT_EQ(Rows(), "");
    Select(QStringLiteral("SAVEGROUP,Fast250"));
    EXPECT_EQ(Rows(), "");
    w.ConfigurePopup();
    EXPECT_FALSE(w.mConfigGroupConnectDB->isEnabled());
    w.mConfigGroupConnectDB_Click();
    w.AddNewField();
    w.EditField(QStringLiteral("Fast250"), QStringLiteral("Flow"));
    EXPECT_EQ(Boxes(), "");
    excel.S().SaveGroupName = QStringLiteral("Fast250");

    State().LanguageIndex = 1;
    Select(QStringLiteral("FIELD,Batches,Weight"));
    w.ConfigurePopup();
    EXPECT_EQ(VisibleItems(w), "內容(Weight)...,-,新增存檔欄位,-,刪除(Weight),更名(Weight)");
    w.mConfigPop->adjustSize();
    SaveScreen(w.mConfigPop, QStringLiteral("frmConfigMain-popup"), 1);

    // Escape chooses nothing; the list is rebuilt for the selected node all the same.
    w.lvListView->clear();
    {
        PopupChoice escape{QString()};
        w.tvTreeView_MouseUp(Qt::RightButton, w.mapToGlobal(QPoint(40, 80)));
    }
    EXPECT_EQ(Rows(), "Weight|WEIGHT|VALUE||1||");
    // The File menu offers Save only while something is unsaved.
    w.mFile_Click();
    EXPECT_FALSE(w.mFileSaveProj->isEnabled());
    Config().IsModified = -1;
    w.mFile_Click();
    EXPECT_TRUE(w.mFileSaveProj->isEnabled());
}

}  // namespace

namespace {

TEST_F(MainWindow, GroupsAreAddedRenamedAndDeletedWithTheirFilesOnDisk) {
    frmConfigMain& w = OpenDemo();
    const QString cfg = QStringLiteral("Project/Demo/cfg/WS1/");
    {
        std::unique_ptr<NextModal> editor;  // the editor opens on the new group: cancelled
        NextModal drive([&](QDialog& dlg) {
            SaveScreen(&dlg, QStringLiteral("frmAddNewSaveGroup"), 0);
            SetText(dlg, "txtSaveGroupName", "  Alarms ");
            editor = std::make_unique<NextModal>([](QDialog& group) { Click(group, "cmdCancel"); });
            Click(dlg, "cmdOK");
        });
        w.AddNewSaveGroup();
    }
    EXPECT_EQ(w.SelectedTag(), "SAVEGROUP,Alarms");
    EXPECT_EQ(Children(QStringLiteral("PROJECT,Demo")), "Alarms,Batches,Cyclic1s,Enabled,Fast250");
    EXPECT_EQ(State().Group(5).R().ModuleName, "Alarms");
    EXPECT_EQ(State().Group(5).S().SvcFilePath, "..\\Project\\Demo\\cfg\\WS1\\Alarms.svc");
    EXPECT_EQ(Config().IsModified, -1);

    // A rename follows the module name that carried the group's name; the old file stays.
    Select(QStringLiteral("SAVEGROUP,Batches"));
    {
        NextModal drive([&](QDialog& dlg) {
            EXPECT_EQ(dlg.windowTitle(), "Rename a data group name");
            EXPECT_EQ(TextOf(dlg, "lblOldName"), "Batches");
            EXPECT_EQ(TextOf(dlg, "txtNewName"), "Batches");
            SaveScreen(&dlg, QStringLiteral("frmRename"), 0);
            SetText(dlg, "txtNewName", "Lots");
            Click(dlg, "cmdOK");
        });
        w.RenameSaveGroup();
    }
    EXPECT_EQ(w.SelectedTag(), "SAVEGROUP,Lots");
    EXPECT_EQ(Rows(),
              "Time|^DATETIME|DATETIME|||yyyy/MM/dd HH:mm:ss|\nBatch|BATCH|MESSAGE|20|||\n"
              "Weight|WEIGHT|VALUE||1||");
    EXPECT_NE(w.FindNode(QStringLiteral("FIELD,Lots,Weight")), nullptr);
    w.mFileSaveProj_Click();
    EXPECT_EQ(Boxes(), "Project saved!");
    const QString svl = Text(cfg + "Ledgrix.svl");
    EXPECT_TRUE(svl.contains(
        "\r\nModule3=Lots,Lots.svc\r\nModule4=Enabled,Enabled.svc\r\nModule5=Alarms,Alarms.svc\r\n"))
        << svl.toStdString();
    EXPECT_TRUE(Exists(cfg + "Batches.svc"));
    EXPECT_TRUE(Text(cfg + "Lots.svc").contains("fd3=Weight,WEIGHT.VALUE,1,-1"));

    // Same name in another letter case: the name exists. A window title of its own stays.
    State().Group(3).R().ModuleName = QStringLiteral("Lot line");
    boxes.boxes.clear();
    {
        NextModal drive([&](QDialog& dlg) {
            SetText(dlg, "txtNewName", "CYCLIC1S");
            Click(dlg, "cmdOK");
        });
        w.RenameSaveGroup();
    }
    EXPECT_EQ(Boxes(),
              "Fail to rename a data group name!\r\nThe new group name[CYCLIC1S] exists.\r\n"
              "Please specify the data group name.");
    {
        NextModal drive([&](QDialog& dlg) {
            SetText(dlg, "txtNewName", "Lots2");
            Click(dlg, "cmdOK");
        });
        w.RenameSaveGroup();
    }
    EXPECT_EQ(State().Group(3).R().ModuleName, "Lot line");

    // A delete saves at once; the file goes once the workstation file no longer lists it.
    boxes.boxes.clear();
    Select(QStringLiteral("SAVEGROUP,Enabled"));
    boxes.answers = {MsgAnswer::Yes};
    w.DeleteSaveGroup();
    EXPECT_EQ(Boxes(), "Are you sure to delete this data group[Enabled]?");
    EXPECT_EQ(w.FindNode(QStringLiteral("SAVEGROUP,Enabled")), nullptr);
    EXPECT_EQ(State().SaveGroupCount, 4);
    EXPECT_FALSE(Exists(cfg + "Enabled.svc"));
    EXPECT_TRUE(Text(cfg + "Ledgrix.svl")
                    .contains("\r\nModule3=Lot line,Lots2.svc\r\nModule4=Alarms,Alarms.svc\r\n"));
    EXPECT_EQ(Config().IsModified, 0);
}

TEST_F(MainWindow, DeletedGroupKeepsItsFileUntilASaveSucceeds) {
    frmConfigMain& w = OpenDemo();
    const QString cfg = QStringLiteral("Project/Demo/cfg/WS1/");
    // Sub-second saving into an Access file is refused by the save's checks.
    State().Group(1).S().SaveTimeInterval = 0.5;
    State().Group(1).R().IsHighSpeedSaver = true;
    Select(QStringLiteral("SAVEGROUP,Enabled"));
    boxes.answers = {MsgAnswer::Yes};
    w.DeleteSaveGroup();
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_TRUE(boxes.boxes[1].text.contains("高速存檔只適用於 Excel 及 SQL Server 2008以上的版本。"));
    EXPECT_TRUE(Exists(cfg + "Enabled.svc"));
    EXPECT_TRUE(Text(cfg + "Ledgrix.svl").contains("Module4=Enabled,Enabled.svc"));

    State().Group(1).R().IsHighSpeedSaver = false;
    // Answering No to a later delete question still saves, and the pending file goes.
    Select(QStringLiteral("SAVEGROUP,Batches"));
    boxes.answers = {MsgAnswer::No};
    w.DeleteSaveGroup();
    EXPECT_FALSE(Exists(cfg + "Enabled.svc"));
    EXPECT_FALSE(Text(cfg + "Ledgrix.svl").contains("Enabled"));
    EXPECT_TRUE(Exists(cfg + "Batches.svc"));
}

TEST_F(MainWindow, NameDialogsRefuseNamesThatCannotNameAGroupOrField) {
    Open(QStringLiteral("P"), QStringLiteral("W"));
    ProgramState& st = State();
    st.SaveGroupCount = 1;
    st.Group(1).S().SaveGroupName = QStringLiteral("Line");
    st.Group(1).S().SvcFilePath =
        QStringLiteral("..\\Project\\P\\cfg\\W\\other.svc");  // not named after the group
    main().mkTreeView();
    const QStringList refused = {"..", "a,b", "x/y", "a\\b", "q?", "   ", "LINE", "tab\tname"};
    NextModal drive([&](QDialog& dlg) {
        for (const QString& name : refused) {
            boxes.boxes.clear();
            SetText(dlg, "txtSaveGroupName", name);
            Click(dlg, "cmdOK");
            EXPECT_TRUE(dlg.isVisible()) << name.toStdString();
            ASSERT_EQ(boxes.boxes.size(), 1u) << name.toStdString();
            EXPECT_EQ(boxes.boxes[0].title, "Error-Add a new data group");
        }
        EXPECT_TRUE(boxes.boxes[0].text.contains("The group name[tab\tname] cannot be used"));
        Click(dlg, "cmdCancel");
    });
    main().AddNewSaveGroup();
    EXPECT_EQ(st.SaveGroupCount, 1);

    // "other.svc" is the file of "Line".
    {
        NextModal drive([&](QDialog& dlg) {
            boxes.boxes.clear();
            SetText(dlg, "txtSaveGroupName", "other");
            Click(dlg, "cmdOK");
            EXPECT_EQ(
                Boxes(),
                "Fail to add a new data group!\r\nThe settings file [..\\Project\\P\\cfg\\W\\other.svc] "
                "of the group name[other] belongs to the data group[Line].\r\nPlease specify the data "
                "group name.");
            Click(dlg, "cmdCancel");
        });
        main().AddNewSaveGroup();
    }

    // Rename: blanks are refused with the blank message, in the language of the captions.
    st.LanguageIndex = 1;
    Select(QStringLiteral("SAVEGROUP,Line"));
    {
        NextModal drive([&](QDialog& dlg) {
            boxes.boxes.clear();
            SetText(dlg, "txtNewName", "   ");
            Click(dlg, "cmdOK");
            EXPECT_TRUE(dlg.isVisible());
            EXPECT_EQ(Boxes(), "更名存檔群組失敗!\r\n新存檔群組名稱不得為空白。\r\n請重新輸入!");
            EXPECT_EQ(boxes.boxes[0].title, "更名存檔群組失敗");
            SetText(dlg, "txtNewName", "a|b");
            Click(dlg, "cmdOK");
            EXPECT_TRUE(dlg.isVisible());
            EXPECT_TRUE(boxes.boxes[1].text.contains("新存檔群組名稱[a|b]無法使用"));
            SetText(dlg, "txtNewName", "Line");
            SaveScreen(&dlg, QStringLiteral("frmRename"), 1);
            Click(dlg, "cmdCancel");
        });
        main().RenameSaveGroup();
    }
    EXPECT_EQ(st.Group(1).S().SaveGroupName, "Line");

    // The add dialog in Chinese.
    NextModal zh([&](QDialog& dlg) {
        EXPECT_EQ(dlg.windowTitle(), "新增存檔群組");
        EXPECT_EQ(TextOf(dlg, "Label4"), "存檔群組名稱");
        SaveScreen(&dlg, QStringLiteral("frmAddNewSaveGroup"), 1);
        Click(dlg, "cmdCancel");
    });
    main().AddNewSaveGroup();
}

}  // namespace

namespace {

TEST_F(MainWindow, FieldsAreEditedRenamedAndDeleted) {
    frmConfigMain& w = OpenDemo();
    SaveGroupRecord& cyclic = State().Group(1);

    // The field dialog edits the source (a tag the demo defines); the name stays.
    Select(QStringLiteral("SAVEGROUP,Cyclic1s"));
    w.lvListView->setCurrentItem(w.lvListView->topLevelItem(1));
    {
        NextModal drive([&](QDialog& dlg) {
            EXPECT_EQ(TextOf(dlg, "txtTagName"), "FLOW");
            SetText(dlg, "txtTagName", "WEIGHT");
            Click(dlg, "cmdOK");
        });
        w.lvListView_DblClick();
    }
    EXPECT_EQ(cyclic.F(2).TagName, "WEIGHT");
    EXPECT_NE(Rows().find("\nFlow|WEIGHT|VALUE||2||\n"), std::string::npos) << Rows();
    EXPECT_EQ(Config().IsModified, -1);

    // Rename: the old name again gives nothing; a name of another field of the group is refused.
    Select(QStringLiteral("FIELD,Cyclic1s,Level"));
    {
        NextModal drive([&](QDialog& dlg) {
            EXPECT_EQ(dlg.objectName(), "frmRenameField");
            EXPECT_EQ(dlg.windowTitle(), "Rename data field name");
            SaveScreen(&dlg, QStringLiteral("frmRenameField"), 0);
            SetText(dlg, "txtNewName", "Temp");
            Click(dlg, "cmdOK");
            EXPECT_EQ(Boxes(),
                      "Fail to Rename data field name!\r\nNew field name is exist!\r\nPlease specify the New "
                      "field name");
            SetText(dlg, "txtNewName", " Level ");
            Click(dlg, "cmdOK");
        });
        w.RenameField();
    }
    EXPECT_EQ(FormObj<frmRenameField>().mString, "");
    {
        NextModal drive([&](QDialog& dlg) {
            SetText(dlg, "txtNewName", "level");  // another case is another name
            Click(dlg, "cmdOK");
        });
        w.RenameField();
    }
    EXPECT_EQ(w.SelectedTag(), "FIELD,Cyclic1s,level");
    EXPECT_EQ(cyclic.F(3).FieldName, "level");

    // Delete asks in Chinese whatever the language.
    boxes.boxes.clear();
    boxes.answers = {MsgAnswer::Yes};
    w.DeleteField();
    EXPECT_EQ(Boxes(), "是否刪除該存檔欄位[level]?");
    EXPECT_EQ(boxes.boxes[0].title, "刪除存檔欄位");
    EXPECT_EQ(cyclic.FieldCount, 3);
    EXPECT_EQ(cyclic.F(3).FieldName, "Temp");
    EXPECT_EQ(Children(QStringLiteral("SAVEGROUP,Cyclic1s")), "Flow,Temp,Time");

    State().LanguageIndex = 1;
    Select(QStringLiteral("FIELD,Cyclic1s,Temp"));
    NextModal zh([&](QDialog& dlg) {
        EXPECT_EQ(TextOf(dlg, "lblNewCaption"), "新欄位名稱");
        SaveScreen(&dlg, QStringLiteral("frmRenameField"), 1);
        Click(dlg, "cmdCancel");
    });
    w.RenameField();
}

TEST_F(MainWindow, CommandsRefusedByTheLimitsOpenNoDialog) {
    frmConfigMain& w = OpenDemo();
    ProgramState& st = State();
    Select(QStringLiteral("SAVEGROUP,Cyclic1s"));
    st.Group(1).S().dbTableName.clear();
    w.AddNewField();
    st.Group(1).S().dbTableName = QStringLiteral("Cyclic1s");
    st.Group(1).FieldCount = 255;
    w.AddNewField();
    st.SaveGroupCount = 64;
    for (int i = 5; i <= 64; ++i) st.Group(i).S().SaveGroupName = QStringLiteral("G") + QString::number(i);
    w.AddNewSaveGroup();
    EXPECT_EQ(
        Boxes(),
        "Fail to add a new data group!\r\nTable name is not defined for the data group [Cyclic1s]\r\nPlease "
        "specify the database table name!\n"
        "Failt to add a new data group!\r\nA data group can have upto [255] data fields. \n"
        "Fail to Add a new data group!\r\nA project can have upto [64] data groups.");
    EXPECT_EQ(st.ErrorCaption, "Error - Add a new data group");
    EXPECT_EQ(Config().IsModified, 0);
}

}  // namespace

namespace {

TEST_F(MainWindow, CloseThatCannotSaveLetsTheEngineerGoBackOrLeaveWithoutSaving) {
    frmConfigMain& w = OpenDemo();
    const QByteArray svl = ReadFile(QStringLiteral("Project/Demo/cfg/WS1/Ledgrix.svl"));
    State().Group(1).S().dbSWriteMode = 2;  // an update needs a date-time field
    State().Group(1).FieldCount = 1;
    State().Group(1).F(1).TagName = QStringLiteral("FLOW");
    State().Group(1).F(1).TagType = QStringLiteral("VALUE");
    Config().IsModified = -1;

    boxes.answers = {MsgAnswer::No};
    w.Form_Unload();  // back to the window
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.startsWith("存檔群組 [Cyclic1s] 設定錯誤, 請重新設定。\r\n"));
    EXPECT_TRUE(boxes.boxes[0].text.endsWith(
        "\r\n\r\nThe changes cannot be saved as they are.\r\nLeave LedgrixConfig "
        "without saving them?\r\nChoose No to go back and correct the settings."));
    EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Question | MsgStyle::YesNo | MsgStyle::DefaultButton2);
    EXPECT_EQ(Config().IsModified, -1);

    boxes.answers = {MsgAnswer::Yes};
    EXPECT_THROW(w.Form_Unload(), ProgramExit);
    EXPECT_EQ(boxes.boxes.size(), 2u);  // no save question follows
    EXPECT_EQ(ReadFile(QStringLiteral("Project/Demo/cfg/WS1/Ledgrix.svl")), svl);
    QSettings settings(QStringLiteral("LedgrixConfig"), QStringLiteral("LedgrixConfig"));
    EXPECT_EQ(settings.value(QStringLiteral("Settings/MainWidth")).toString(),
              QString::number(w.frameGeometry().width() * 15));
    EXPECT_EQ(settings.value(QStringLiteral("Settings/ViewMode")).toString(), "3");
}

TEST_F(MainWindow, SplitterDragStopsNearTheEdgesAndTheLayoutKeepsItsLimits) {
    frmConfigMain& w = Open(QStringLiteral("P"), QStringLiteral("W"));
    w.resize(960, 560);
    QApplication::processEvents();
    QTest::mousePress(w.imgSplitter, Qt::LeftButton, {}, QPoint(1, 10));
    EXPECT_TRUE(w.picSplitter->isVisible());
    QMouseEvent move(QEvent::MouseMove, QPointF(1 - w.imgSplitter->x() + 7, 10), QPointF(), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(w.imgSplitter, &move);
    EXPECT_EQ(w.picSplitter->x(), 33);  // 500 twips
    QTest::mouseRelease(w.imgSplitter, Qt::LeftButton, {}, QPoint(1, 10));
    EXPECT_FALSE(w.picSplitter->isVisible());
    EXPECT_EQ(w.tvTreeView->width(), 167);  // 2500 twips
    EXPECT_EQ(w.lvListView->x(), 169);

    // At least 6000 twips, and as wide as the status-bar panels need to show their whole texts.
    w.resize(200, 400);
    EXPECT_GE(w.width(), 400);
    w.SetStatusPanel(QStringLiteral("ProjName"), QStringLiteral("Project name：PlantNorth"));
    w.resize(200, 400);
    QApplication::processEvents();
    EXPECT_EQ(w.width(), w.minimumWidth());
    for (const char* key : {"Status", "ProjName", "Mode", "Date"}) {
        auto& panel = Child<QLabel>(w, key);
        EXPECT_GE(panel.contentsRect().width(), panel.fontMetrics().horizontalAdvance(panel.text())) << key;
    }
    SaveScreen(&w, QStringLiteral("frmConfigMain-narrow"), 0);
}

TEST_F(MainWindow, FieldNodesFollowTheFieldsTheEditorLeaves) {
    frmConfigMain& w = OpenDemo();
    Select(QStringLiteral("SAVEGROUP,Cyclic1s"));
    boxes.answers = {MsgAnswer::Yes};
    {
        NextModal drive([&](QDialog& dlg) {
            auto& fields = Child<QTreeWidget>(dlg, "lvFields");
            fields.setCurrentItem(fields.findItems(QStringLiteral("Temp"), Qt::MatchExactly).value(0));
            Click(dlg, "cmdDeleteField");
            Click(dlg, "cmdOK");
        });
        w.EditSaveGroup();
    }
    EXPECT_EQ(Children(QStringLiteral("SAVEGROUP,Cyclic1s")), "Flow,Level,Time");
    EXPECT_EQ(w.SelectedTag(), "SAVEGROUP,Cyclic1s");
    // A node whose field is no longer in the group goes on the next command on it.
    State().Group(1).FieldCount = 2;
    Select(QStringLiteral("FIELD,Cyclic1s,Time"));
    boxes.answers = {MsgAnswer::Yes};
    w.DeleteField();
    EXPECT_EQ(Children(QStringLiteral("SAVEGROUP,Cyclic1s")), "Flow,Level");
    EXPECT_EQ(w.SelectedTag(), "SAVEGROUP,Cyclic1s");
}

TEST_F(MainWindow, EveryDialogIsOwnedByTheWindowThatOpensIt) {
    frmConfigMain& w = OpenDemo();
    Select(QStringLiteral("SAVEGROUP,Cyclic1s"));
    // A picker that is cancelled: its owner stays in front.
    auto cancelledPicker = [](QWidget& owner) {
        return std::make_unique<NextModal>([&owner](QDialog& file) {
            EXPECT_EQ(OwnerOf(file), &owner) << file.metaObject()->className();
            file.reject();
        });
    };
    NextModal editor([&](QDialog& ed) {
        EXPECT_EQ(OwnerOf(ed), &w);
        {
            NextModal content([&](QDialog& db) {
                EXPECT_EQ(OwnerOf(db), &ed);
                auto picker = cancelledPicker(db);
                Click(db, "cmdSelectFile");
                picker.reset();
                EXPECT_EQ(OwnerOf(*QtMessageService::MakeBox(QStringLiteral("x"), MsgStyle::OkOnly, {})),
                          &db);
                Click(db, "cmdCancel");
            });
            Click(ed, "cmdDBContent");
        }
        {
            NextModal page1([&](QDialog& p) {
                EXPECT_EQ(OwnerOf(p), &ed);
                Click(p, "chkSaveCSV");
                NextModal layout([&](QDialog& csv) {
                    EXPECT_EQ(OwnerOf(csv), &p);
                    auto picker = cancelledPicker(csv);
                    Click(csv, "cmdSelectDBFilePath");
                    picker.reset();
                    Click(csv, "cmdCancel");
                });
                Click(p, "cmdSelectCSVDB");
                Click(p, "cmdCancel");
            });
            Click(ed, "cmdDBSetting");
        }
        Click(ed, "cmdCancel");
    });
    w.EditSaveGroup();
}

}  // namespace

// The commands that open the save-group editor, the new-field dialog and the wizard.
namespace {

TEST_F(MainWindow, NewFieldTakesTheNewFieldDialogsAnswer) {
    frmConfigMain& w = OpenDemo();
    Select(QStringLiteral("SAVEGROUP,Cyclic1s"));
    {
        NextModal drive([&](QDialog& dlg) {
            EXPECT_EQ(dlg.objectName(), "frmAddNewOfflineField");
            SetText(dlg, "cmbFieldName", "Pressure");
            SetText(dlg, "txtTagName", "PRES");
            Click(dlg, "cmdOK");
        });
        w.AddNewField();
    }
    EXPECT_EQ(State().Group(1).FieldCount, 5);
    EXPECT_EQ(State().Group(1).F(5).TagName, "PRES");
    EXPECT_EQ(w.SelectedTag(), "SAVEGROUP,Cyclic1s");
    EXPECT_NE(w.FindNode(QStringLiteral("FIELD,Cyclic1s,Pressure")), nullptr);
    EXPECT_EQ(Config().IsModified, -1);
}

TEST_F(MainWindow, GroupEditorOpensOnANewGroupAndFromTheList) {
    frmConfigMain& w = OpenDemo();
    std::unique_ptr<NextModal> editor;
    {
        NextModal drive([&](QDialog& dlg) {
            SetText(dlg, "txtSaveGroupName", "Alarms");
            editor = std::make_unique<NextModal>([](QDialog& group) {
                EXPECT_EQ(group.objectName(), "frmGroupConfig");
                Click(group, "cmdCancel");
            });
            Click(dlg, "cmdOK");
        });
        w.AddNewSaveGroup();
    }
    editor.reset();
    EXPECT_EQ(w.SelectedTag(), "SAVEGROUP,Alarms");
    Select(QStringLiteral("PROJECT,Demo"));
    w.lvListView->setCurrentItem(w.lvListView->topLevelItem(1));
    NextModal drive([](QDialog& group) {
        EXPECT_EQ(group.objectName(), "frmGroupConfig");
        Click(group, "cmdCancel");
    });
    w.lvListView_DblClick();
}

TEST_F(MainWindow, WizardMenuItemRunsTheWizardAndAppliesNothing) {
    frmConfigMain& w = OpenDemo();
    NextModal drive([](QDialog& page) {
        EXPECT_EQ(page.objectName(), "frmDBSetup1");
        Click(page, "cmdCancel");
    });
    w.mFileWizard_Click();
    EXPECT_EQ(Config().IsModified, 0);
}

}  // namespace
