// Opening a project and workstation: pickers, missing files, the upgrades and the re-open pass.
#include "config/core/ConfigMain.h"
#include "config/core/OpenProject.h"
#include "config/core/SaveProject.h"
#include "tests/config/core/ConfigFixture.h"

using ProjectUtil::OpenProject;

class OpenProjectTest : public ConfigFixture {
  protected:
    // The orderly exit of the program in place of the test's: it saves what may be saved.
    void UseOrderlyExit() {
        ProgramHooks::SetExit([](int code) { LedgrixConfigMain::sysExit(static_cast<int16_t>(code)); });
    }
    // An old project: group file outside the workstation folder, written in the old format.
    void OldProject(
        const QByteArray& groupFile = "[Basic]\r\ndbProvider=Microsoft.Jet.OLEDB.4.0\r\ndbTableName=T\r\n") {
        WriteFile(
            QStringLiteral("Project/P/cfg/W/Ledgrix.svl"),
            "[SystemBasic]\r\ndbSLogDisable=0\r\ndbSLogFileName=..\\Project\\P\\old.log\r\n[ModuleList]\r\n"
            "Module1=G,..\\Project\\P\\g.svc\r\n");
        WriteFile(QStringLiteral("Project/P/g.svc"), groupFile);
    }
};

TEST_F(OpenProjectTest, FirstOpeningCreatesTheMissingFilesAndStartsUnmodified) {
    QDir().mkpath(Path(QStringLiteral("Project/P/cfg")));
    windows.projects = {QStringLiteral("P")};
    windows.workstations = {QStringLiteral("W")};
    ASSERT_TRUE(OpenProject(QString(), false));
    EXPECT_EQ(windows.calls.mid(0, 2),
              (QStringList{QStringLiteral("PickProject"), QStringLiteral("PickWorkstation:P")}));
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl")),
              "[SystemBasic]\r\n\r\ndbSIsSvcDefaultPath=0\r\n\r\n[ModuleList]\r\n\r\n");
    EXPECT_TRUE(Exists(QStringLiteral("Project/P/cfg/W/Ledgrix.log")));
    EXPECT_EQ(Config().IsModified, 0);
    EXPECT_EQ(State().WorkstationFilePath, QStringLiteral("..\\Project\\P\\cfg\\W\\Ledgrix.svl"));

    // A listed group file that is missing is created empty.
    WriteFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl"),
              "[SystemBasic]\r\n[ModuleList]\r\nModule1=G,..\\PROJECT\\P\\CFG\\W\\g.svc\r\n");
    windows.calls.clear();
    ASSERT_TRUE(OpenProject(QStringLiteral("P"), true));
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W/g.svc")), "[Basic]\r\n\r\n[FieldList]\r\n\r\n");
    EXPECT_EQ(State().SaveGroupCount, 1);
    EXPECT_EQ(State().dbSCaption, QStringLiteral("Ledgrix for Windows"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(OpenProjectTest, PickersCancelledOrNamesRefusedOpenNothing) {
    QDir().mkpath(Path(QStringLiteral("Project/P/cfg/W")));
    EXPECT_FALSE(OpenProject(QString(), false));
    EXPECT_EQ(BoxTexts(), QStringList{QStringLiteral("No project is selected. Program will end.\r\n"
                                                     "Ledgrix initialization failed！")});
    windows.projects = {QStringLiteral("P")};
    EXPECT_FALSE(OpenProject(QString(), false));
    EXPECT_TRUE(BoxTexts().last().startsWith(QStringLiteral("No workstation is selected.")));

    // A name from the command line is checked before it reaches a path; a typo creates nothing.
    State().WorkstationName = QStringLiteral("W");
    EXPECT_FALSE(OpenProject(QStringLiteral(".."), false));
    EXPECT_TRUE(BoxTexts().last().startsWith(QStringLiteral("The name [..] cannot be used")));
    EXPECT_THROW(OpenProject(QStringLiteral("Typo"), false), ProgramExit);
    EXPECT_EQ(BoxTexts().last(),
              QStringLiteral("The project [Typo] cannot be found.\r\nThe program cannot be run!"));
    EXPECT_FALSE(Exists(QStringLiteral("Project/Typo")));
    EXPECT_TRUE(State().ProjectName.isEmpty());
}

TEST_F(OpenProjectTest, OldLayoutIsUpgradedIntoTheWorkstationFolderAfterYes) {
    OldProject(
        "[Basic]\r\ndbDBTypeName=ACCESS\r\ndbIsDefaultFilePath=1\r\ndbFileName=g.mdb\r\ndbTableName=T\r\n");
    State().WorkstationName = QStringLiteral("W");
    boxes.answers = {MsgAnswer::Yes};
    ASSERT_TRUE(OpenProject(QStringLiteral("P"), false));
    EXPECT_EQ(BoxTexts(), QStringList{QStringLiteral("是否要升級Ledgrix專案?")});
    EXPECT_TRUE(ReadFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl"))
                    .contains("dbSLogFileName=..\\PROJECT\\P\\CFG\\W\\Ledgrix.log\r\n"));
    EXPECT_TRUE(ReadFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl"))
                    .contains("Module1=G,..\\PROJECT\\P\\CFG\\W\\g.svc\r\n"));
    EXPECT_TRUE(ReadFile(QStringLiteral("Project/P/cfg/W/g.svc")).contains("dbFileName=g.mdb\r\n"));
    EXPECT_TRUE(Exists(QStringLiteral("Project/P/g.svc")));  // the old file stays
    EXPECT_EQ(Config().IsModified, 0);
    EXPECT_EQ(State().Group(1).S().SvcFilePath, QStringLiteral("..\\PROJECT\\P\\CFG\\W\\g.svc"));

    // The same file in another spelling is not copied onto itself.
    WriteFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl"),
              "[SystemBasic]\r\n[ModuleList]\r\nModule1=G,..\\Project\\P\\cfg\\W\\..\\W\\g.svc\r\n");
    const QByteArray group = ReadFile(QStringLiteral("Project/P/cfg/W/g.svc"));
    boxes.answers = {MsgAnswer::Yes};
    ASSERT_TRUE(OpenProject(QStringLiteral("P"), false));
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W/g.svc")), group);
}

TEST_F(OpenProjectTest, YesToTheFormatNoToTheLayoutRewritesTheGroupWhereItIs) {
    OldProject();
    State().WorkstationName = QStringLiteral("W");
    boxes.answers = {MsgAnswer::Yes, MsgAnswer::No};
    EXPECT_FALSE(OpenProject(QStringLiteral("P"), false));
    EXPECT_EQ(BoxTexts(), (QStringList{QStringLiteral("是否要升級Ledgrix專案?"),
                                       QStringLiteral("是否要升級Ledgrix專案?")}));
    EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Question | MsgStyle::YesNo);
    EXPECT_TRUE(ReadFile(QStringLiteral("Project/P/g.svc")).contains("dbDBTypeName=ACCESS\r\n"));
    EXPECT_FALSE(ReadFile(QStringLiteral("Project/P/g.svc")).contains("dbProvider"));
    EXPECT_FALSE(Exists(QStringLiteral("Project/P/cfg/W/g.svc")));
}

TEST_F(OpenProjectTest, AnotherProjectAfterNoToSavingDropsTheChangesAndNeverSavesHalfLoaded) {
    CopyData();
    State().WorkstationName = QStringLiteral("W");
    ASSERT_TRUE(OpenProject(QStringLiteral("P"), false));
    const auto before = QList<QByteArray>{ReadFile(QStringLiteral("Project/P/cfg/W/flow.svc")),
                                          ReadFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl"))};
    Config().IsModified = -1;
    // Project Q holds an old-format group: refusing its upgrade ends the program while Q is
    // half loaded.
    const QByteArray oldGroup = "[Basic]\r\ndbProvider=SQLOLEDB.1\r\ndbDataSource=srv\r\n";
    WriteFile(QStringLiteral("Project/Q/cfg/V/Ledgrix.svl"),
              "[ModuleList]\r\nModule1=X,..\\PROJECT\\Q\\CFG\\V\\x.svc\r\n");
    WriteFile(QStringLiteral("Project/Q/cfg/V/x.svc"), oldGroup);
    windows.projects = {QStringLiteral("Q")};
    windows.workstations = {QStringLiteral("V")};
    boxes.answers = {MsgAnswer::No, MsgAnswer::Ok, MsgAnswer::No};
    UseOrderlyExit();
    EXPECT_THROW(OpenProject(QString(), false), ProgramExit);
    EXPECT_EQ(BoxTexts(),
              (QStringList{QStringLiteral("Can you save changes of the project[P]?"),
                           QStringLiteral("Are you sure you want to close current project and open another?"),
                           QStringLiteral("是否要升級Ledgrix專案?")}));
    EXPECT_EQ(ReadFile(QStringLiteral("Project/Q/cfg/V/x.svc")), oldGroup);
    EXPECT_EQ((QList<QByteArray>{ReadFile(QStringLiteral("Project/P/cfg/W/flow.svc")),
                                 ReadFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl"))}),
              before);
}

TEST_F(OpenProjectTest, CancelAtTheCloseQuestionKeepsTheOpenProject) {
    CopyData();
    QDir().mkpath(Path(QStringLiteral("Project/Q/cfg/V")));
    State().WorkstationName = QStringLiteral("W");
    ASSERT_TRUE(OpenProject(QStringLiteral("P"), false));
    windows.projects = {QStringLiteral("Q")};
    boxes.answers = {MsgAnswer::Cancel};
    OpenProject(QString(), false);
    EXPECT_EQ(State().ProjectName, QStringLiteral("P"));
    EXPECT_EQ(State().SaveGroupCount, 2);
    EXPECT_EQ(windows.calls.filter(QStringLiteral("PickWorkstation")).size(), 0);
}

TEST_F(OpenProjectTest, MissingGroupFilesAreCreatedOnlyInTheProjectOrTheProgramFolder) {
    WriteFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl"),
              "[ModuleList]\r\nModule1=G,..\\Project\\P\\cfg\\W\\new\\g.svc\r\nModule2=H,h.svc\r\n"
              "Module3=L,..\\Project\\P\\link\\l.svc\r\n");
    QDir().mkpath(Path(QStringLiteral("elsewhere")));
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("elsewhere")), Path(QStringLiteral("Project/P/link"))));
    State().WorkstationName = QStringLiteral("W");
    EXPECT_THROW(OpenProject(QStringLiteral("P"), false), ProgramExit);
    EXPECT_TRUE(Exists(QStringLiteral("Project/P/cfg/W/new/g.svc")) && Exists(QStringLiteral("bin/h.svc")));
    EXPECT_FALSE(Exists(QStringLiteral("elsewhere/l.svc")));
    EXPECT_EQ(BoxTexts(),
              QStringList{QStringLiteral("Cannot find the setting file:..\\Project\\P\\link\\l.svc")});
}

TEST_F(OpenProjectTest, AFailedUpgradeCopySavesNothingAtAnyExit) {
    OldProject("[Basic]\r\ndbDBTypeName=CSV\r\n");
    WriteFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl"),
              "[ModuleList]\r\nModule1=G,..\\Project\\P\\g.svc\r\nModule2=H,..\\Project\\P\\h.svc\r\n");
    WriteFile(QStringLiteral("Project/P/h.svc"), "[Basic]\r\n");
    QDir().mkpath(Path(QStringLiteral("Project/P/cfg/W/h.svc")));  // a folder where the copy must go
    State().WorkstationName = QStringLiteral("W");
    boxes.answers = {MsgAnswer::Yes, MsgAnswer::Yes};
    EXPECT_FALSE(OpenProject(QStringLiteral("P"), false));
    UseOrderlyExit();
    EXPECT_THROW(LedgrixConfigMain::sysExit(-1), ProgramExit);
    // The failed copy names its file; no save question follows.
    ASSERT_EQ(BoxTexts().size(), 2);
    EXPECT_EQ(BoxTexts()[0], QStringLiteral("是否要升級Ledgrix專案?"));
    EXPECT_TRUE(BoxTexts()[1].contains(QStringLiteral("h.svc")));
    EXPECT_FALSE(ReadFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl")).contains("CFG"));
}

// The save refuses the group (update-last-row mode without a date-time field): its box names it,
// and the project opens from its files, so that the group can be mended in the editor.
TEST_F(OpenProjectTest, AnUpgradeWhoseSaveRefusesAGroupStillOpensTheProject) {
    OldProject("[Basic]\r\ndbDBTypeName=CSV\r\ndbSWriteMode=2\r\n[FieldList]\r\nfd1=Value,T1\r\n");
    State().WorkstationName = QStringLiteral("W");
    boxes.answers = {MsgAnswer::Yes};
    ASSERT_TRUE(OpenProject(QStringLiteral("P"), false));
    ASSERT_EQ(BoxTexts().size(), 2);
    EXPECT_TRUE(BoxTexts()[1].startsWith(QStringLiteral("存檔群組 [G]"))) << BoxTexts()[1].toStdString();
    EXPECT_TRUE(Config().IsProjectLoaded);
    ASSERT_EQ(State().SaveGroupCount, 1);
    EXPECT_EQ(State().Group(1).S().dbSWriteMode, 2);
}

// The same for the old format, upgraded where the group file lies: one question, the box that
// names the group, and the project open as the files hold it.
TEST_F(OpenProjectTest, AFormatUpgradeWhoseSaveRefusesAGroupStillOpensTheProject) {
    const QByteArray group =
        "[Basic]\r\ndbProvider=Microsoft.Jet.OLEDB.4.0\r\ndbSWriteMode=2\r\n"
        "[FieldList]\r\nfd1=Value,T1\r\n";
    WriteFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl"),
              "[SystemBasic]\r\n[ModuleList]\r\nModule1=G,..\\PROJECT\\P\\CFG\\W\\g.svc\r\n");
    WriteFile(QStringLiteral("Project/P/cfg/W/g.svc"), group);
    State().WorkstationName = QStringLiteral("W");
    boxes.answers = {MsgAnswer::Yes};
    ASSERT_TRUE(OpenProject(QStringLiteral("P"), false));
    ASSERT_EQ(BoxTexts().size(), 2) << BoxTexts().join(u'\n').toStdString();
    EXPECT_EQ(BoxTexts()[0], QStringLiteral("是否要升級Ledgrix專案?"));
    EXPECT_TRUE(BoxTexts()[1].startsWith(QStringLiteral("存檔群組 [G]"))) << BoxTexts()[1].toStdString();
    EXPECT_TRUE(Config().IsProjectLoaded);
    ASSERT_EQ(State().SaveGroupCount, 1);
    EXPECT_EQ(State().Group(1).S().dbSWriteMode, 2);
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W/g.svc")), group);
}

TEST_F(OpenProjectTest, NoUpgradeFromTheMenuGoesOnWithTheProjectShown) {
    CopyData();
    WriteFile(QStringLiteral("Project/Q/cfg/V/Ledgrix.svl"),
              "[ModuleList]\r\nModule1=X,..\\Project\\Q\\x.svc\r\n");
    WriteFile(QStringLiteral("Project/Q/x.svc"), "[Basic]\r\n");
    State().WorkstationName = QStringLiteral("W");
    ASSERT_TRUE(OpenProject(QStringLiteral("P"), false));
    State().Group(1).S().dbTableName = QStringLiteral("Unsaved");
    Config().IsModified = -1;
    windows.calls.clear();
    windows.projects = {QStringLiteral("Q"), QStringLiteral("P")};
    windows.workstations = {QStringLiteral("V")};
    boxes.answers = {MsgAnswer::No, MsgAnswer::Ok, MsgAnswer::No};
    EXPECT_FALSE(OpenProject(QString(), false));
    // The project shown is opened again from its files.
    EXPECT_EQ(State().WorkstationFilePath, QStringLiteral("..\\Project\\P\\cfg\\W\\Ledgrix.svl"));
    EXPECT_EQ(State().Group(1).S().dbTableName, QStringLiteral("Flow"));
    EXPECT_EQ(windows.calls.mid(2), (QStringList{QStringLiteral("RefreshTree"),
                                                 QStringLiteral("Status:ProjName=Project name：P")}));

    // From the menu the program goes on: the box does not say that it ends.
    EXPECT_FALSE(OpenProject(QString(), false));
    EXPECT_EQ(BoxTexts().last(),
              QStringLiteral("No workstation is selected.\r\nLedgrix initialization failed！"));
}

TEST_F(OpenProjectTest, GroupsBeyondTheTableAreReportedAndNeverSavedOver) {
    QByteArray svl = "[SystemBasic]\r\ndbSIsSvcDefaultPath=1\r\n[ModuleList]\r\n";
    for (int k = 1; k <= 66; ++k)
        svl += "Module" + QByteArray::number(k) + "=G" + QByteArray::number(k) + ",g" +
               QByteArray::number(k) + ".svc\r\n";
    WriteFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl"), svl);
    State().WorkstationName = QStringLiteral("W");
    ASSERT_TRUE(OpenProject(QStringLiteral("P"), false));
    ASSERT_EQ(boxes.boxes.size(), 1u);  // once, not again in the re-open pass
    EXPECT_TRUE(BoxTexts()[0].contains(QStringLiteral("(Module65 to Module66: [G65], [G66])")));
    Config().IsModified = -1;
    EXPECT_FALSE(SettingWriter::SaveProject(true, false));
    EXPECT_TRUE(
        BoxTexts().last().startsWith(QStringLiteral("Fail to save the project!\r\nThe save groups after")));
    EXPECT_EQ(ReadFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl")), svl);
}
