// Start-up, the command line and the orderly exit of the configuration program.
#include <sys/stat.h>

#include "config/core/ConfigMain.h"
#include "platform/captions/Captions.h"
#include "tests/config/core/ConfigFixture.h"
#include "tests/platform/hexvane-sim/HmiTestProject.h"

using namespace LedgrixConfigMain;

class StartUpTest : public ConfigFixture {
  protected:
    // Runs a command line that must end the program; returns its exit code.
    int Ends(const QString& line) {
        try {
            ProcessCommandLine(line);
        } catch (const ProgramExit& e) {
            return e.code;
        }
        ADD_FAILURE() << "did not end: " << line.toStdString();
        return 99;
    }
    QString LastBox() const {
        return boxes.boxes.empty() ? QString() : boxes.boxes.back().title + u'|' + boxes.boxes.back().text;
    }
};

TEST_F(StartUpTest, CommandLineSetsNamesModesAndReferenceTime) {
    ProcessCommandLine(
        QStringLiteral("  MyProj WS1 /debug /Nt /Once /UserMode /PURGE:3 /purge /D:2024/01/05 /t:08:00:00"));
    const ConfigState& cf = Config();
    EXPECT_EQ(State().ProjectName, QStringLiteral("MyProj"));
    EXPECT_EQ(State().WorkstationName, QStringLiteral("WS1"));
    EXPECT_EQ(State().DebugLevel, 1);
    EXPECT_EQ(cf.IsNT, -1);
    EXPECT_EQ(cf.RunMode, QStringLiteral("ONCE"));
    EXPECT_TRUE(State().IsUserMode);
    EXPECT_EQ(cf.ReferenceDateTime, QStringLiteral("2024/01/05 08:00:00"));
    EXPECT_EQ(State().IsInteractive, 0);  // the start-up sets it after the command line

    ProcessCommandLine(QStringLiteral("/CONFIG"));
    EXPECT_EQ(State().IsInteractive, 1);
    EXPECT_TRUE(State().ProjectName.isEmpty());
    EXPECT_EQ(State().DebugLevel, 0);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(StartUpTest, HelpUnknownSwitchesAndMissingNamesEndTheProgram) {
    WriteFile(QStringLiteral("bin/help.txt"), "usage text");
    for (const char* line : {"P W /?", "/h"}) {
        EXPECT_EQ(Ends(QString::fromLatin1(line)), 0) << line;
        EXPECT_EQ(LastBox(), QStringLiteral("命令行參數說明|usage text")) << line;
    }

    EXPECT_NE(Ends(QStringLiteral("P W /debug:1 /PAMADDWKS")), 0);
    EXPECT_EQ(
        LastBox(),
        QStringLiteral("Unrecognized command line parameter:|Unrecognized command line parameter:/DEBUG:1\r\n"
                       "Cannot execute!\r\nPlease use Ledgrix /Help to find correct command line parameter"));
    State().LanguageIndex = 1;
    Ends(QStringLiteral("/X"));
    EXPECT_EQ(LastBox(), QStringLiteral("無法辨識的命令行參數:|無法辨識的命令行參數:/X\r\n程式無法執行!\r\n"
                                        "請用 Ledgrix /Help 可查詢正確的命令行參數"));

    // Too few names: the action's box, Chinese in both languages but for two English rows.
    const std::pair<const char*, const char*> missing[] = {
        {"P /PAMADDWKS",
         "Ledgrix 程式 - "
         "新增工作站失敗!|新增工作站失敗!\r\n找不到工作站名稱，工作站名稱不得為空白。\r\n專案名稱:[P]\r\n"
         "本動作無法執行!"},
        {"/pamdeleteproj",
         "Ledgrix 程式 - "
         "刪除專案失敗!|刪除專案失敗!\r\n找不到專案名稱，專案名稱不得為空白。\r\n本動作無法執行!"},
        {"Old /PAMRENAMEPROJ",
         "Ledgrix 程式 - 更名專案名稱失敗!|更名專案名稱失敗!\r\n找不到新專案名稱，新專案名稱不得為空白。\r\n"
         "原專案名稱:[Old]\r\n本動作無法執行!"},
        {"P W1 /PAMCOPYWKS",
         "Ledgrix 程式 - "
         "複製工作站名稱失敗!|複製工作站名稱失敗!\r\n找不到新工作站名稱，新工作站名稱不得為空白。\r\n"
         "專案名稱:[P]\r\n舊工作站名稱:[W1]\r\n本動作無法執行!"},
    };
    State().LanguageIndex = 0;
    for (const auto& [line, box] : missing) {
        EXPECT_NE(Ends(QString::fromUtf8(line)), 0) << line;
        EXPECT_EQ(LastBox(), QString::fromUtf8(box)) << line;
    }
    Ends(QStringLiteral("P /PAMCOPYWKS"));
    EXPECT_EQ(LastBox(),
              QStringLiteral("Ledgrix - Fail to copy workstatin name!|Fail to copy workstation name!\r\n"
                             "Cannot find new/old workstation name. New/old workstation name cannot be "
                             "blank.\r\nCannot execute!"));
}

TEST_F(StartUpTest, PamSwitchRunsItsActionAndEndsWithItsStatus) {
    QDir().mkpath(Path(QStringLiteral("Project/P/cfg/W")));
    EXPECT_EQ(Ends(QStringLiteral("P W /PamAddWks /HELP")), 0);  // switches after the action are not read
    EXPECT_TRUE(Exists(QStringLiteral("Project/P/cfg/W/Ledgrix.svl")));
    EXPECT_TRUE(boxes.boxes.empty());
    // More names than the action takes leave them empty, which is refused before the disk is touched.
    EXPECT_NE(Ends(QStringLiteral("P W extra /PAMDELETEWKS")), 0);
    EXPECT_TRUE(Exists(QStringLiteral("Project/P/cfg/W/Ledgrix.svl")));
    EXPECT_TRUE(LastBox().contains(QStringLiteral("名稱[]")));
    EXPECT_EQ(Ends(QStringLiteral("P /PAMADDPROJ")), 0);  // the project actions have nothing to do
}

TEST_F(StartUpTest, SecondInstanceIsRefusedBeforeTheCommandLineInEitherCaption) {
    PrivateRuntimeFolder windowDir;
    QDir().mkpath(Path(QStringLiteral("Project/P/cfg/W")));
    for (const QString& caption : MainCaptions()) {
        CaptionHold running(caption);
        boxes.boxes.clear();
        EXPECT_THROW(StartUp(QStringLiteral("P W /PAMADDWKS")), ProgramExit) << caption.toStdString();
        EXPECT_EQ(LastBox(), QStringLiteral("LedgrixConfig|LedgrixConfig is running now!"));
        EXPECT_FALSE(Exists(QStringLiteral("Project/P/cfg/W/Ledgrix.svl")));
    }
    EXPECT_TRUE(MainCaptions().contains(QStringLiteral("LedgrixConfig")));
}

TEST_F(StartUpTest, ARuntimeFolderOthersMayUseIsRefusedBeforeTheCommandLine) {
    PrivateRuntimeFolder windowDir;
    QDir().mkpath(Path(QStringLiteral("Project/P/cfg/W")));
    const QByteArray folder = QFile::encodeName(windowDir.Path());
    ASSERT_EQ(::chmod(folder.constData(), 0777), 0);
    EXPECT_THROW(StartUp(QStringLiteral("P W /PAMADDWKS")), ProgramExit);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Critical);
    EXPECT_EQ(LastBox(), QStringLiteral("Cannot use the runtime folder|The program cannot be running.\r\n"
                                        "The runtime folder [%1] cannot be used: other users may use it "
                                        "[mode 0777].\r\nPlease remove it, or set LEDGRIX_WINDOW_DIR to a "
                                        "folder of your own (mode 0700).")
                             .arg(windowDir.Path()));
    EXPECT_FALSE(Exists(QStringLiteral("Project/P/cfg/W/Ledgrix.svl")));
    EXPECT_TRUE(FolderHoldsNothing(windowDir.Path()));

    // In Chinese, a symbolic link in the folder's place.
    WriteFile(QStringLiteral("bin/Ledgrix.set"),
              ReadFile(QStringLiteral("bin/Ledgrix.set")).replace("=ENGLISH", "=CHINESEBIG5"));
    const QString link = Path(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(windowDir.Path(), link));
    qputenv("LEDGRIX_WINDOW_DIR", QFile::encodeName(link));
    EXPECT_THROW(StartUp(QStringLiteral("P W")), ProgramExit);
    EXPECT_EQ(LastBox(),
              QStringLiteral("無法使用執行資料夾|程式無法執行。\r\n執行資料夾 [%1] 無法使用: "
                             "它是符號連結，不是資料夾。\r\n請刪除此資料夾，或將 LEDGRIX_WINDOW_DIR "
                             "設為您自己的資料夾 (權限 0700)。")
                  .arg(link));
}

TEST_F(StartUpTest, NamedProjectOpensWithoutPickersAndTheExitSavesOnlyWhatChanged) {
    PrivateRuntimeFolder windowDir;
    CopyData();
    StartUp(QStringLiteral("P W"));
    EXPECT_EQ(windows.calls,
              (QStringList{QStringLiteral("RefreshTree"), QStringLiteral("Status:ProjName=Project name：P"),
                           QStringLiteral("ShowMain")}));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(State().SaveGroupCount, 2);
    EXPECT_EQ(Config().SavedAppPath, QDir::currentPath());

    // Nothing changed: nothing is asked or written.
    EXPECT_THROW(LedgrixConfigMain::sysExit(0), ProgramExit);
    EXPECT_TRUE(boxes.boxes.empty());
    // Changed and confirmed: saved before the end.
    Config().IsModified = -1;
    State().Group(2).S().dbTableName = QStringLiteral("Renamed");
    boxes.answers = {MsgAnswer::Yes};
    try {
        LedgrixConfigMain::sysExit(0);
    } catch (const ProgramExit& e) {
        EXPECT_EQ(e.code, 0);
    }
    EXPECT_TRUE(ReadFile(QStringLiteral("Project/P/cfg/W/lines.svc")).contains("dbTableName=Renamed\r\n"));
}
