#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QUrl>

#include "common/DateUtil.h"
#include "platform/captions/Captions.h"
#include "platform/msgbox/WaitEvents.h"
#include "saver/runtime/window/frmAbout.h"
#include "saver/runtime/window/frmDummy.h"
#include "tests/saver/window/WindowFixture.h"
#include "tests/support/Screens.h"
#include "tests/support/WindowManager.h"

namespace {

// Receives the files that the window opens with their associated program.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QStringList opened;
  public slots:
    void open(const QUrl& url) { opened << url.toLocalFile(); }
};

const char* const kRoleKeys[9] = {"dbSEnableTag",          "dbSTriggerTag", "dbSStopTag",
                                  "dbSNumRecordsSavedTag", "dbSAliveTag",   "dbSDuringSavingTag",
                                  "dbSPurgeTag",           "dbSDirTag",     "dbSFileNameTag"};

class MainWindowTest : public WindowFixture {
  protected:
    void AddGroups(int count) {
        State().SaveGroupCount = static_cast<int16_t>(count);
        for (int i = 1; i <= count; ++i) State().Group(i).R().ModuleName = QStringLiteral("Group%1").arg(i);
        for (int i = 0; i < 9; ++i) {
            State().TagRoleKeys[static_cast<size_t>(i)] = QString::fromLatin1(kRoleKeys[i]);
            State().TagRoleDescriptions[static_cast<size_t>(i)] = QStringLiteral("desc %1").arg(i);
        }
    }
    frmMain& Loaded() {
        frmMain& f = MainForm();
        f.LoadFormObj();
        return f;
    }
    static int VisibleTabs(frmMain& f) {
        int n = 0;
        for (int i = 0; i < f.SSTabMain->count(); ++i) n += f.SSTabMain->isTabVisible(i) ? 1 : 0;
        return n;
    }
};

TEST_F(MainWindowTest, EnglishCaptionsReplaceTheBuiltInOnes) {
    State().LanguageIndex = 0;
    frmMain& f = Loaded();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Ledgrix for Windows"));
    EXPECT_EQ(f.SSTabMain->tabText(0), QStringLiteral("Log"));
    EXPECT_EQ(f.SSTabMain->tabText(1), QStringLiteral("Tag view"));
    EXPECT_EQ(f.SSTabMain->tabText(3), QStringLiteral("基本設定"));
    EXPECT_EQ(f.mFile->title(), QStringLiteral("File(&F)"));
    EXPECT_EQ(f.mFileExit->text(), QStringLiteral("Exit"));
    EXPECT_EQ(f.mFileModuleBlocks[7]->title(), QStringLiteral("Module no.57 to no.64"));
    EXPECT_EQ(f.cmdExit->text(), QStringLiteral("Exit"));
    EXPECT_EQ(f.CmdDBAppend->text(), QStringLiteral("強迫存檔"));
    EXPECT_EQ(f.ListViewSpcTag->headerItem()->text(3), QStringLiteral("Description"));
    EXPECT_TRUE(f.lblNote1->text().isEmpty());
    EXPECT_EQ(f.mFileExit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
}

TEST_F(MainWindowTest, ChineseKeepsTheBuiltInCaptions) {
    State().LanguageIndex = 1;
    frmMain& f = Loaded();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Ledgrix 資料庫存檔工具程式"));
    EXPECT_EQ(f.SSTabMain->tabText(1), QStringLiteral("Tag 監視"));
    EXPECT_EQ(f.mFile->title(), QStringLiteral("檔案 (&F)"));
    EXPECT_EQ(f.mFileExit->text(), QStringLiteral("結束系統"));
    EXPECT_EQ(f.mFileModuleBlocks[0]->title(), QStringLiteral("存檔群組 No.1 - No.8"));
    EXPECT_TRUE(f.lblNote1->text().startsWith(QStringLiteral("註：")));

    frmAbout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("關於 Ledgrix 資料庫存檔工具程式"));
    EXPECT_EQ(about.lblVersion->text(), QStringLiteral("版別：2.0.0"));
    State().LanguageIndex = 0;
    frmAbout english;
    EXPECT_EQ(english.lblVersion->text(), QStringLiteral("Version: 2.0.0"));
    EXPECT_FALSE(english.lblRights->text().isEmpty());
}

TEST_F(MainWindowTest, EveryFormRendersInBothLanguages) {
    for (const int language : {0, 1}) {
        State().LanguageIndex = static_cast<int16_t>(language);
        AddGroups(2);
        frmMain& f = Loaded();
        f.lblLogFilePath->setText(QStringLiteral("..\\Project\\P1\\cfg\\WS1\\Ledgrix.log"));
        EXPECT_FALSE(SaveScreen(&f, QStringLiteral("frmMain"), language).isEmpty());
        frmAbout about;
        EXPECT_FALSE(SaveScreen(&about, QStringLiteral("frmAbout"), language).isEmpty());
        EXPECT_FALSE(SaveScreen(&DummyForm(), QStringLiteral("frmDummy"), language).isEmpty());
        DestroyMainForm();
    }
}

TEST_F(MainWindowTest, DebugLevelShowsTheSettingsTabAndForcedSave) {
    frmMain& f = Loaded();
    EXPECT_EQ(VisibleTabs(f), 3);
    EXPECT_TRUE(f.CmdDBAppend->isHidden());
    EXPECT_EQ(f.SSTabMain->currentIndex(), 0);
    DestroyMainForm();

    State().DebugLevel = 1;
    frmMain& d = Loaded();
    EXPECT_EQ(VisibleTabs(d), 4);
    EXPECT_FALSE(d.CmdDBAppend->isHidden());
}

TEST_F(MainWindowTest, ForcedSaveWritesOneRecordPerGroupInOrder) {
    AddGroups(3);
    const double before = DateUtil::Now();
    Loaded().CmdDBAppend_Click();
    ASSERT_EQ(Fakes::appendCalls.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Fakes::appendCalls[static_cast<size_t>(i)].group, i + 1);
        EXPECT_GE(Fakes::appendCalls[static_cast<size_t>(i)].recordTime, before);
        EXPECT_FALSE(IsRecordTimeSentinel(Fakes::appendCalls[static_cast<size_t>(i)].recordTime));
    }
}

TEST_F(MainWindowTest, UserModeRefusesTheClose) {
    State().IsUserMode = true;
    frmMain& f = Loaded();
    EXPECT_TRUE(f.cmdExit->isHidden());
    EXPECT_FALSE(f.mFileExit->isEnabled());
    f.show();
    EXPECT_FALSE(f.close());
    EXPECT_TRUE(f.isVisible());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("The operator can not close the program."));
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Can not close the program"));
    EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Critical);
    DestroyMainForm();

    // With the debug level the exits work, but closing the window is still refused.
    State().DebugLevel = 1;
    frmMain& d = Loaded();
    EXPECT_FALSE(d.cmdExit->isHidden());
    EXPECT_TRUE(d.mFileExit->isEnabled());
    bool cancel = false;
    d.Form_Unload(cancel);
    EXPECT_TRUE(cancel);
    EXPECT_THROW(d.mFileExit_Click(), ProgramExit);
    DestroyMainForm();

    // Outside user mode a close ends the program.
    State().IsUserMode = false;
    try {
        Loaded().Form_Unload(cancel);
        FAIL() << "close returned";
    } catch (const ProgramExit& e) {
        EXPECT_EQ(e.code, -1);
    }
}

// The window manager's close of the main window while the window thread waits for the HMI runtime
// is noted, and done once the wait is over (in user mode it is then refused, with its box).
TEST_F(MainWindowTest, ACloseDuringAWaitForTheRuntimeIsNotedAndDoneAfterIt) {
    State().IsUserMode = true;
    frmMain& f = Loaded();
    f.show();
    WaitEvents& events = WaitEvents::Instance();
    events.Begin();
    CloseAsTheWindowManager(f.windowHandle());
    events.Process();
    EXPECT_TRUE(window.IsCloseNoted());
    EXPECT_TRUE(boxes.boxes.empty());
    events.Ended();
    QElapsedTimer t;
    t.start();
    while (boxes.boxes.empty() && t.elapsed() < 2000) QCoreApplication::processEvents();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("The operator can not close the program."));
    EXPECT_FALSE(window.IsCloseNoted());
}

TEST_F(MainWindowTest, MissingTagManagerLibraryEndsAtOnce) {
    QFile::remove(Path(QStringLiteral("bin/PTSERV32.dll")));
    try {
        MainForm();
        FAIL() << "window loaded without the library";
    } catch (const ProgramExit& e) {
        EXPECT_EQ(e.code, -1);
    }
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              QStringLiteral("The program cannot be running.\r\nThe file [PTSERV32.dll] is not exist."));
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Programm error"));
    EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Critical);
}

TEST_F(MainWindowTest, GroupMenuShowsOneBlockPerEightGroups) {
    AddGroups(10);
    frmMain& f = Loaded();
    EXPECT_TRUE(f.mFileModuleBlocks[0]->menuAction()->isVisible());
    EXPECT_TRUE(f.mFileModuleBlocks[1]->menuAction()->isVisible());
    for (size_t b = 2; b < 8; ++b) EXPECT_FALSE(f.mFileModuleBlocks[b]->menuAction()->isVisible());
    EXPECT_EQ(f.mFileModuleBlocks[1]->title(), QStringLiteral("Module no.9 to no.16"));
    for (size_t i = 1; i <= 10; ++i) EXPECT_TRUE(f.mFileModule[i]->isVisible());
    EXPECT_FALSE(f.mFileModule[11]->isVisible());
    EXPECT_EQ(f.mFileModule[10]->text(), QStringLiteral("Group10"));
    EXPECT_TRUE(f.mFileModule[1]->isChecked());
}

TEST_F(MainWindowTest, NoGroupLeavesOnlySeparatorAndExit) {
    frmMain& f = Loaded();
    QStringList visible;
    for (QAction* a : f.mFile->actions())
        if (a->isVisible()) visible << a->objectName();
    EXPECT_EQ(visible, (QStringList{QStringLiteral("mFileSpace1"), QStringLiteral("mFileExit")}));
}

TEST_F(MainWindowTest, ChoosingAGroupMovesTheCheckMark) {
    AddGroups(40);
    State().Group(40).S().dbSTriggerTag.Name = QStringLiteral("TRG40");
    frmMain& f = Loaded();
    f.mFileModule[40]->trigger();
    EXPECT_EQ(Saver().ShownGroupIndex, 40);
    EXPECT_EQ(f.lblModuleName->text(), QStringLiteral("Group40"));
    f.mFileModule[3]->trigger();
    EXPECT_EQ(Saver().ShownGroupIndex, 3);
    for (size_t i = 1; i <= 40; ++i) EXPECT_EQ(f.mFileModule[i]->isChecked(), i == 3) << i;
}

TEST_F(MainWindowTest, SaveModeLineDescribesCycleTriggerAndCsvCopy) {
    AddGroups(4);
    auto& s1 = State().Group(1).S();
    s1.SaveTimeInterval = 2.5;
    s1.dbSTriggerTag.Name = QStringLiteral("TRG");
    s1.dbSIsSaveCSV = true;
    State().Group(2).S().dbSTriggerTag.Name = QStringLiteral("T2");
    State().Group(3).S().dbSIsSaveCSV = true;
    State().Group(4).S().SaveTimeInterval = 10;
    frmMain& f = Loaded();
    EXPECT_EQ(
        f.lblSaveMode->text(),
        QStringLiteral("Cyclic Saver（2.5seconds), Trigger Saver (Tag Name:TRG), Save another CSV file"));
    f.ShowSaveGroupInfo(2);
    EXPECT_EQ(f.lblSaveMode->text(), QStringLiteral("Trigger Saver (Tag Name:T2)"));
    f.ShowSaveGroupInfo(3);
    EXPECT_EQ(f.lblSaveMode->text(), QStringLiteral(", Save another CSV file"));
    f.ShowSaveGroupInfo(4);
    EXPECT_EQ(f.lblSaveMode->text(), QStringLiteral("Cyclic Saver（10seconds)"));

    State().LanguageIndex = 1;
    f.ShowSaveGroupInfo(1);
    EXPECT_EQ(f.lblSaveMode->text(),
              QStringLiteral("週期性存檔（2.5秒), 事件觸發存檔 (TRG) 方式, 另存一份 CSV 檔案"));
}

TEST_F(MainWindowTest, NextSaveTimeAndRecordCount) {
    AddGroups(3);
    State().Group(1).S().SaveTimeInterval = 0;
    State().Group(1).R().NumRecordsSaved = 12;
    auto& disabled = State().Group(2);
    disabled.S().SaveTimeInterval = 5;
    disabled.R().IsDisableDBAppend = true;
    auto& fast = State().Group(3);
    fast.S().SaveTimeInterval = 0.25;
    fast.R().IsHighSpeedSaver = true;
    fast.R().TargetSaveTimeWithMilliSeconds.SetTo(*DateUtil::Parse(QStringLiteral("2024/03/05 14:07:09")),
                                                  Numbers::Fixed4::FromDouble(250));
    State().LanguageIndex = 1;
    frmMain& f = Loaded();
    EXPECT_EQ(f.lblNextSaveTime->text(), QStringLiteral("(None)"));
    EXPECT_EQ(f.lblNumRecSaved->text(), QStringLiteral("12"));
    EXPECT_EQ(f.lblNumRecSavedinDB->text(), QStringLiteral("12"));
    f.ShowSaveGroupInfo(2);
    EXPECT_EQ(f.lblNextSaveTime->text(), QStringLiteral("(None)"));
    f.ShowSaveGroupInfo(3);
    EXPECT_TRUE(f.lblNextSaveTime->text().startsWith(QStringLiteral("2024/03/05 02:07:09.250")))
        << f.lblNextSaveTime->text().toStdString();
}

TEST_F(MainWindowTest, TagViewListsTheNineRolesWithTheirTags) {
    AddGroups(1);
    auto& s = State().Group(1).S();
    s.dbSTriggerTag.Name = QStringLiteral("TRG");
    s.dbSTriggerTag.DataType = QStringLiteral("msg");
    s.dbSEnableTag.Name = QStringLiteral("EN");
    s.dbSEnableTag.DataType = QStringLiteral("VALUE");
    s.dbSDirTag.Name = QStringLiteral("DIR");
    s.dbSDirTag.DataType = QStringLiteral("MESSAGE");
    State().StopTag.Name = QStringLiteral("STOP");
    frmMain& f = Loaded();
    const int refreshesAfterLoad = Fakes::refreshCount;
    EXPECT_GE(refreshesAfterLoad, 1);

    QTreeWidget* view = f.ListViewSpcTag;
    ASSERT_EQ(view->topLevelItemCount(), 9);
    const QStringList expectedNames{"EN", "TRG.msg", "STOP", "", "", "", "", "DIR.msg", ""};
    const qint64 withTag = f.ImageListSpcTag[1].cacheKey();
    const qint64 without = f.ImageListSpcTag[2].cacheKey();
    for (int i = 0; i < 9; ++i) {
        QTreeWidgetItem* row = view->topLevelItem(i);
        EXPECT_EQ(row->text(0), QString::fromLatin1(kRoleKeys[i]));
        EXPECT_EQ(row->text(1), expectedNames[i]) << i;
        EXPECT_EQ(row->text(3), QStringLiteral("desc %1").arg(i));
        EXPECT_EQ(row->icon(0).cacheKey(), expectedNames[i].isEmpty() ? without : withTag) << i;
    }

    // Choosing the tag view refreshes its status column, in either language.
    f.SSTabMain->setCurrentIndex(1);
    EXPECT_EQ(Fakes::refreshCount, refreshesAfterLoad + 1);
}

TEST_F(MainWindowTest, DatabasePathsAndTheirOpenButtons) {
    AddGroups(3);
    auto& server = State().Group(1);
    server.S().dbProvider = QStringLiteral("sqloledb.1");
    server.S().dbFullPath = QStringLiteral("C:\\ignored.mdb");
    auto& csv = State().Group(2);
    csv.S().dbDBTypeName = QStringLiteral("CSV");
    csv.S().dbFullPath = QStringLiteral("..\\Project\\P\\dat\\db.mdb");
    csv.S().dbCSVFullPath = QStringLiteral("..\\Project\\P\\dat\\g.csv");
    csv.S().dbSCSVDataBaseRootDir = QStringLiteral("..\\Project\\P\\dat\\root");
    csv.R().LastdbSCSVFullPath = QStringLiteral("..\\Project\\P\\dat\\root\\A\\b.csv");
    auto& dispersed = State().Group(3);
    dispersed.S().dbDBTypeName = QStringLiteral("ACCESS");
    dispersed.S().dbFullPath = QStringLiteral("..\\Project\\P\\dat\\one.mdb");
    dispersed.S().dbSDataBaseRootDir = QStringLiteral("..\\Project\\P\\dat\\root");
    dispersed.R().LastdbSFullPath = QStringLiteral("..\\Project\\P\\dat\\root\\X\\y.mdb");
    WriteFile(QStringLiteral("Project/P/dat/g.csv"), "a\r\n");

    frmMain& f = Loaded();
    EXPECT_EQ(f.txtSourceDB->toPlainText(), QStringLiteral("(無)"));
    EXPECT_EQ(f.txtTargetDB->toPlainText(), QStringLiteral("(無)"));
    EXPECT_FALSE(f.cmdOpenSourceDB->isEnabled());
    EXPECT_FALSE(f.cmdOpenTargetDB->isEnabled());

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    f.mFileModule[2]->trigger();
    EXPECT_TRUE(f.cmdOpenSourceDB->isEnabled());
    EXPECT_EQ(f.txtSourceDB->toPlainText(), csv.S().dbCSVFullPath);
    EXPECT_EQ(f.txtTargetDB->toPlainText(), csv.R().LastdbSCSVFullPath);
    f.cmdOpenSourceDB->click();
    f.cmdOpenTargetDB->click();

    f.mFileModule[3]->trigger();
    EXPECT_EQ(f.txtSourceDB->toPlainText(), dispersed.S().dbFullPath);
    EXPECT_EQ(f.txtTargetDB->toPlainText(), dispersed.R().LastdbSFullPath);
    f.cmdOpenTargetDB->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    ASSERT_EQ(catcher.opened.size(), 3);
    // An existing file is found by its real spelling; the others keep the folder's spelling.
    EXPECT_EQ(catcher.opened[0], Path(QStringLiteral("Project/P/dat/g.csv")));
    EXPECT_TRUE(catcher.opened[1].endsWith(QStringLiteral("/Project/P/dat/root/A/b.csv")));
    EXPECT_TRUE(catcher.opened[2].endsWith(QStringLiteral("/Project/P/dat/root/X/y.mdb")));
}

TEST_F(MainWindowTest, ShownWindowHoldsItsCaptions) {
    State().dbSCaption = QStringLiteral("Ledgrix for Windows");
    State().WorkstationTaskName = QStringLiteral("Ledgrix");
    frmMain& f = Loaded();
    const QString settingsCaption = QStringLiteral("Ledgrix for Windows [Ledgrix]");
    EXPECT_FALSE(WindowCaptionExists(QStringLiteral("Ledgrix for Windows")));
    f.show();
    EXPECT_TRUE(WindowCaptionExists(QStringLiteral("Ledgrix for Windows")));
    EXPECT_TRUE(WindowCaptionExists(settingsCaption));
    f.hide();  // a hidden saver is still found
    EXPECT_TRUE(WindowCaptionExists(settingsCaption));
    DestroyMainForm();
    EXPECT_FALSE(WindowCaptionExists(QStringLiteral("Ledgrix for Windows")));
    EXPECT_FALSE(WindowCaptionExists(settingsCaption));
}

TEST_F(MainWindowTest, EveryRuntimeCallLandsInItsControl) {
    AddGroups(1);
    State().Group(1).S().dbSTriggerTag.Name = QStringLiteral("TRG");
    EXPECT_FALSE(window.Exists());
    window.ShowMain(false);
    ASSERT_TRUE(window.Exists());
    frmMain& f = MainForm();
    EXPECT_TRUE(f.isVisible());
    EXPECT_TRUE(f.isMinimized());
    EXPECT_EQ(f.lblModuleName->text(), QStringLiteral("Group1"));  // filled

    window.ShowNow(QStringLiteral("now"));
    window.ShowNextSaveTime(QStringLiteral("next"));
    window.ShowRecordCount(QStringLiteral("12"));
    window.ShowTargetPath(QStringLiteral("t.mdb"));
    window.ShowLogFilePath(QStringLiteral("x.log"));
    window.ShowSettingsText(QStringLiteral("[a]\r\nb=1"));
    window.ShowLinkStatus(QStringLiteral("（Offline）"));
    EXPECT_EQ(f.lblNow->text(), QStringLiteral("now"));
    EXPECT_EQ(f.lblNextSaveTime->text(), QStringLiteral("next"));
    EXPECT_EQ(f.lblNumRecSaved->text(), QStringLiteral("12"));
    EXPECT_EQ(f.lblNumRecSavedinDB->text(), QStringLiteral("12"));
    EXPECT_EQ(f.txtTargetDB->toPlainText(), QStringLiteral("t.mdb"));
    EXPECT_EQ(f.lblLogFilePath->text(), QStringLiteral("x.log"));
    EXPECT_EQ(f.txtCfgSetting->toPlainText(), QStringLiteral("[a]\nb=1"));
    EXPECT_EQ(f.lblStatus->text(), QStringLiteral("（Offline）"));
    for (const bool online : {false, true}) {
        window.ShowLinkPicture(online);
        EXPECT_EQ(f.imgStatus->pixmap().toImage(),
                  f.StatusImage(online ? QStringLiteral("online") : QStringLiteral("offline")).toImage());
    }

    const QStringList tags = window.TagViewTags();
    ASSERT_EQ(tags.size(), 9);
    EXPECT_EQ(tags[1], QStringLiteral("TRG"));
    window.ShowTagValue(1, QStringLiteral("5"));
    EXPECT_EQ(f.ListViewSpcTag->topLevelItem(1)->text(2), QStringLiteral("5"));

    // The timer runs the runtime's timer form until stopped.
    window.StartTimer(1);
    EXPECT_EQ(f.tmrLedgrix->interval(), 1);
    QElapsedTimer waited;
    waited.start();
    while (Fakes::timerTicks == 0 && waited.elapsed() < 30000) QCoreApplication::processEvents();
    EXPECT_GT(Fakes::timerTicks, 0);
    window.StopTimer();
    EXPECT_FALSE(f.tmrLedgrix->isActive());

    EXPECT_EQ(window.ClientHandle(), ClientHandle());
    window.ShowMain(true);  // a hidden saver
    EXPECT_FALSE(f.isVisible());
}

TEST_F(MainWindowTest, ClientHandleIsNonZeroAndStable) {
    MainForm();
    const int32_t first = ClientHandle();
    EXPECT_NE(first, 0);
    DummyForm().ShowModal();
    EXPECT_EQ(ClientHandle(), first);
    EXPECT_FALSE(DummyForm().isVisible());
}

}  // namespace

#include "MainWindowTest.moc"
