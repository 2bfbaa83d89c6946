// Start-up: the command line, the paths and settings of a workstation, and the orderly exit.
#include <QDirIterator>
#include <filesystem>

#include "common/DateUtil.h"
#include "common/FileUtil.h"
#include "common/SettingUtil.h"
#include "platform/ado/Ado.h"
#include "platform/captions/Captions.h"
#include "saver/runtime/CheckSettings.h"
#include "saver/runtime/LedgrixRuntimeUtil.h"
#include "tests/saver/runtime/RuntimeFixture.h"

namespace {

// How many descriptors of this program are open on a file.
int HeldOpen(const QString& path) {
    const std::filesystem::path file = std::filesystem::canonical(path.toStdString());
    int n = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        n += std::filesystem::read_symlink(fd.path(), ec) == file ? 1 : 0;
    }
    return n;
}

}  // namespace

class StartupTest : public RuntimeFixture {
  protected:
    void CopyProject() {
        const QString from = TestData(QStringLiteral("runtime"));
        QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString src = it.next();
            QFile f(src);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            const QString rel = src.mid(from.size() + 1);
            WriteFile(rel == QLatin1String("Ledgrix.set") ? QStringLiteral("bin/Ledgrix.set") : rel,
                      f.readAll());
        }
    }
};

TEST_F(StartupTest, CommandLineSetsNamesModesAndReferenceTime) {
    LedgrixMain::ParseCommandLine(
        QStringLiteral("  MyProj WS1 extra /debug /Once /PURGE:3 /purge:5 /USERMODE  "));
    EXPECT_EQ(State().ProjectName, QStringLiteral("MyProj"));
    EXPECT_EQ(State().WorkstationName, QStringLiteral("WS1"));
    EXPECT_EQ(State().DebugLevel, 1);
    EXPECT_EQ(Saver().RunMode, QStringLiteral("ONCE"));
    EXPECT_EQ(Saver().PurgeDaysAtStart, 5);
    EXPECT_TRUE(State().IsUserMode);

    LedgrixMain::ParseCommandLine(QStringLiteral("d:\\x\\site.SvL /PURGE: /D:2024/01/05 /T:08:00:00"));
    EXPECT_EQ(State().WorkstationFilePath, QStringLiteral("d:\\x\\site.SvL"));
    EXPECT_TRUE(State().ProjectName.isEmpty());
    EXPECT_EQ(Saver().PurgeDaysAtStart, -1);
    EXPECT_EQ(Saver().ReferenceDateTime, QStringLiteral("2024/01/05 08:00:00"));
    EXPECT_FALSE(State().IsUserMode);

    LedgrixMain::ParseCommandLine(QStringLiteral("P W /PURGE:-2"));
    EXPECT_EQ(Saver().PurgeDaysAtStart, -2);
}

TEST_F(StartupTest, CommandLineFailuresEndTheSaverWithTheirBoxes) {
    auto fails = [this](const QString& line) {
        boxes.boxes.clear();
        EXPECT_THROW(LedgrixMain::ParseCommandLine(line), ProgramExit) << line.toStdString();
        return boxes.boxes.empty() ? RecordingMessageService::Box{} : boxes.boxes.back();
    };
    EXPECT_EQ(fails(QString()).text,
              QStringLiteral("The project name is empty.The program cannot be running"));
    EXPECT_EQ(fails(QStringLiteral("MyProj")).text,
              QStringLiteral("The workstation name is empty.The program cannot be running"));
    const auto unknown = fails(QStringLiteral("P W /DEBUG:1"));
    EXPECT_TRUE(unknown.text.startsWith(QStringLiteral("無法辨識的命令行參數:/DEBUG:1\r\n")));
    EXPECT_EQ(unknown.title, QStringLiteral("無法辨識的命令行參數:"));
    // A purge value that is no 16-bit number is refused, not guessed at.
    EXPECT_TRUE(fails(QStringLiteral("P W /PURGE:abc")).text.contains(QStringLiteral("/PURGE:ABC")));
    EXPECT_TRUE(fails(QStringLiteral("P W /PURGE:40000")).text.contains(QStringLiteral("/PURGE:40000")));

    // The help box, whatever else the line holds; the saver then ends with 0.
    WriteFile(QStringLiteral("bin/help.txt"), "usage text");
    for (const char* line : {"P W /?", "/HELP", "/BOGUS /h"}) {
        boxes.boxes.clear();
        try {
            LedgrixMain::ParseCommandLine(QString::fromLatin1(line));
            ADD_FAILURE() << line;
        } catch (const ProgramExit& e) {
            EXPECT_EQ(e.code, 0) << line;
        }
        ASSERT_EQ(boxes.boxes.size(), 1u) << line;
        EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("usage text")) << line;
    }
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("命令行參數說明"));
    EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Information | MsgStyle::FixedPitch);
}

TEST_F(StartupTest, WorkstationLoadsResolvesSystemTagsAndSetsPaths) {
    CopyProject();
    const QString svc = QStringLiteral("Project/P1/cfg/WS1/trig.svc");
    WriteFile(svc, ReadFile(svc).replace("dbDataSource=\r\n", "dbDataSource=\r\n dbpassword = Sq7pw \r\n"));
    FakeTags::Add(QStringLiteral("STOP"));
    FakeTags::Add(QStringLiteral("ALIVE"));
    FakeTags::Add(QStringLiteral("TRIG"));
    FakeTags::Add(QStringLiteral("T1"));
    SettingUtil::LoadProgramSettings();
    LedgrixMain::ParseCommandLine(QStringLiteral("P1 WS1"));
    ASSERT_TRUE(LedgrixMain::SetupProjectPaths(State().ProjectName));
    ProgramState& st = State();
    EXPECT_EQ(st.WorkstationFilePath, QStringLiteral("..\\Project\\P1\\cfg\\WS1\\Ledgrix.Svl"));
    EXPECT_EQ(st.DataFolder, QStringLiteral("..\\Project\\P1\\dat\\Ledgrix"));
    EXPECT_EQ(st.dbSCaption, QStringLiteral("Ledgrix for Windows"));
    EXPECT_TRUE(st.StopTag.IsDefined());
    EXPECT_FALSE(st.DuringSavingTag.IsDefined());  // no name
    ASSERT_EQ(st.SaveGroupCount, 1);
    EXPECT_TRUE(st.Group(1).S().dbSTriggerTag.IsDefined());
    EXPECT_FALSE(st.Group(1).S().dbSNumRecordsSavedTag.IsDefined());  // NREC is not defined here
    EXPECT_EQ(st.Group(1).F(1).TagID, static_cast<int16_t>(FakeTags::Get(QStringLiteral("T1")).handle));
    EXPECT_TRUE(Saver().IsLogFileReady);
    EXPECT_TRUE(Saver().IsLinkOnline);
    // The settings text is shown with its password masked; the group keeps it as read.
    const QString stored = st.Group(1).S().dbSettingString;
    EXPECT_TRUE(stored.contains(QStringLiteral("\r\n dbpassword = Sq7pw \r\n")));
    EXPECT_EQ(window.Last(QStringLiteral("SettingsText")),
              QString(stored).replace(QStringLiteral("= Sq7pw "), QStringLiteral("=****")));

    // A saver already running with this settings file: refused with code 0, which leaves the
    // alive tag to that saver; the refusal still ends with a failure status.
    CaptionHold other(LedgrixRuntime::WorkstationCaption());
    EXPECT_EQ(LedgrixRuntime::WorkstationCaption(), QStringLiteral("Ledgrix for Windows [Ledgrix]"));
    try {
        CheckSaveGroupSettings();
        FAIL();
    } catch (const ProgramExit& e) {
        EXPECT_EQ(e.code, 1);
    }
    EXPECT_FALSE(LogHas(QStringLiteral("ALIVE = 0")));
    EXPECT_EQ(boxes.boxes.back().text, QStringLiteral("Setting file [Ledgrix] is running!"));
}

TEST_F(StartupTest, CyclesTheScheduleCannotHoldAreReportedAndTheTimerStaysPositive) {
    CopyProject();
    for (const char* tag : {"STOP", "ALIVE", "TRIG", "T1"}) FakeTags::Add(QString::fromLatin1(tag));
    SettingUtil::LoadProgramSettings();
    const QString svc = QStringLiteral("Project/P1/cfg/WS1/trig.svc");
    const QByteArray text = ReadFile(svc);
    auto start = [&](const char* cycle) {
        WriteFile(svc,
                  QByteArray(text).replace("SaveTimeInterval=0", QByteArray("SaveTimeInterval=") + cycle));
        log.clear();
        boxes.boxes.clear();
        LedgrixMain::ParseCommandLine(QStringLiteral("P1 WS1"));
        LedgrixMain::SetupProjectPaths(State().ProjectName);
    };
    for (const char* cycle : {"-1e12", "0.0004"}) {
        start(cycle);
        EXPECT_EQ(State().Group(1).S().SaveTimeInterval, 0) << cycle;
        EXPECT_EQ(State().TimerInterval, 500) << cycle;
        EXPECT_TRUE(LogHas(QStringLiteral("| Error | Ledgrix.Trig | SaveTimeInterval=") +
                           QLatin1String(cycle) +
                           QStringLiteral(" cannot be scheduled: the group saves on its trigger only.")))
            << log.join(u'\n').toStdString();
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].style, MsgStyle::Exclamation | MsgStyle::OkOnly);
    }
    start("0.0006");  // 0.6 ms: the timer ticks every millisecond, never at 0
    EXPECT_EQ(State().TimerInterval, 1);
    EXPECT_THROW(start("3e9"), ProgramExit);
    EXPECT_TRUE(boxes.boxes.back().text.contains(QStringLiteral("The cycle is too long to be scheduled!")));
}

TEST_F(StartupTest, AGroupWithNeitherCycleNorTriggerIsNamedAtStart) {
    CopyProject();
    for (const char* tag : {"STOP", "ALIVE", "TRIG", "T1"}) FakeTags::Add(QString::fromLatin1(tag));
    SettingUtil::LoadProgramSettings();
    const QString svc = QStringLiteral("Project/P1/cfg/WS1/trig.svc");
    const QByteArray triggered = ReadFile(svc);
    auto namedAtStart = [&](const QByteArray& settings) {
        WriteFile(svc, settings);
        log.clear();
        LedgrixMain::ParseCommandLine(QStringLiteral("P1 WS1"));
        LedgrixMain::SetupProjectPaths(State().ProjectName);
        return log
            .filter(QStringLiteral(" | Warning | Ledgrix.Trig | Group [Trig] has neither a cycle "
                                   "(SaveTimeInterval=0) nor a trigger tag: it records only with /ONCE."))
            .size();
    };
    const QByteArray untriggered = QByteArray(triggered).replace("dbSTriggerTag=TRIG", "dbSTriggerTag=");
    EXPECT_EQ(namedAtStart(untriggered), 1) << log.join(u'\n').toStdString();
    EXPECT_EQ(namedAtStart(triggered), 0);
    EXPECT_EQ(namedAtStart(QByteArray(untriggered).replace("SaveTimeInterval=0", "SaveTimeInterval=0.5")), 0);
}

TEST_F(StartupTest, BlankCsvSeparatorsGetTheDefaultsWithAWarning) {
    CopyProject();
    for (const char* tag : {"STOP", "ALIVE", "TRIG", "T1"}) FakeTags::Add(QString::fromLatin1(tag));
    SettingUtil::LoadProgramSettings();
    const QString svc = QStringLiteral("Project/P1/cfg/WS1/trig.svc");
    WriteFile(svc, ReadFile(svc)
                       .replace("dbSCSVDelimiterCharacter=,", "dbSCSVDelimiterCharacter= ")
                       .replace("dbSCSVNewlineCharacter=CRLF", "dbSCSVNewlineCharacter=CRLFX"));
    LedgrixMain::ParseCommandLine(QStringLiteral("P1 WS1"));
    LedgrixMain::SetupProjectPaths(State().ProjectName);
    EXPECT_EQ(State().Group(1).S().dbSCSVDelimiterCharacter, QStringLiteral(","));
    EXPECT_EQ(State().Group(1).S().dbSCSVNewlineCharacter, QStringLiteral("\r\n"));
    EXPECT_TRUE(LogHas(QStringLiteral("| Warning | Ledgrix.Trig | dbSCSVDelimiterCharacter is blank")));
    EXPECT_TRUE(
        LogHas(QStringLiteral("| Warning | Ledgrix.Trig | dbSCSVNewlineCharacter is blank or unknown")));
}

TEST_F(StartupTest, MissingWorkstationOrProjectEndsTheSaver) {
    CopyProject();
    SettingUtil::LoadProgramSettings();
    LedgrixMain::ParseCommandLine(QStringLiteral("P1 NOWS"));
    EXPECT_THROW(LedgrixMain::SetupProjectPaths(State().ProjectName), ProgramExit);
    EXPECT_EQ(boxes.boxes.back().title, QStringLiteral("Cannot find the file"));
    LedgrixMain::ParseCommandLine(QStringLiteral("NOPROJ WS1"));
    EXPECT_THROW(LedgrixMain::SetupProjectPaths(State().ProjectName), ProgramExit);
    EXPECT_EQ(boxes.boxes.back().text,
              QStringLiteral("Can not find the project:NOPROJ\r\nThe program can not be running."));
    // No tag was written by these exits.
    EXPECT_FALSE(LogHas(QStringLiteral(" = 0")));
}

TEST_F(StartupTest, OrderlyExitResetsAliveSumsUpLostSlotsAndReleasesEveryStream) {
    ProgramState& st = State();
    FakeTags::Add(QStringLiteral("ALIVE"), 1);
    // Before start-up resolved the alive tag, nothing is written to it.
    EXPECT_THROW(LedgrixMain::sysExit(-1), ProgramExit);
    EXPECT_EQ(FakeTags::Get(QStringLiteral("ALIVE")).value, 1);

    WriteFile(QStringLiteral("Project/P/cfg/W/Ledgrix.svl"),
              "[SystemBasic]\r\ndbSAliveTag=ALIVE\r\ndbSLogDisable=0\r\n[ModuleList]\r\n");
    st.WorkstationFilePath = QStringLiteral("..\\Project\\P\\cfg\\W\\Ledgrix.svl");
    LedgrixMain::LoadWorkstationSettings();
    ASSERT_TRUE(st.AliveTag.IsDefined());
    st.AliveTag.UserParm = AddTagRole(st.AliveTag, 0, QStringLiteral("dbSAliveTag"));
    SaveGroupRecord& g1 = AddGroup(QStringLiteral("G1"));
    g1.R().CountinuousOverrunCount = 3;
    g1.R().FirstOverrunTime = *DateUtil::Parse(QStringLiteral("2024/03/05 12:00:10"));
    AddGroup(QString());
    SaveGroupRecord& g3 = AddGroup(QStringLiteral("G3"));
    g3.R().CountinuousOverrunCount = 2;
    Saver().LogFileStreamSet = true;
    log.clear();

    // Code 0 leaves the alive tag to the saver that runs.
    EXPECT_THROW(LedgrixMain::sysExit(0), ProgramExit);
    EXPECT_EQ(FakeTags::Get(QStringLiteral("ALIVE")).value, 1);
    EXPECT_EQ(log.filter(QStringLiteral("ALIVE")).size(), 0);
    log.clear();

    // Connections with their record sets and a CSV file, also of a group after the unnamed one.
    const QString csv = WriteFile(QStringLiteral("g3.csv"), "");
    g3.R().CSVFSO = std::make_shared<TextFileStream>(csv, TextFileStream::Mode::Append);
    const QString db = Path(QStringLiteral("db.mdb"));
    SqliteRows(db, {QStringLiteral("CREATE TABLE Log1 (V DOUBLE)")});
    for (SaveGroupRecord* g : {&g1, &g3}) {
        g->R().conn = std::make_shared<ado::Connection>();
        g->R().conn->Open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + db);
        g->R().rs = std::make_shared<ado::Recordset>();
        g->R().rs->Open(QStringLiteral("SELECT * FROM Log1"), *g->R().conn);
    }
    ASSERT_GT(HeldOpen(db), 0);
    EXPECT_THROW(LedgrixMain::sysExit(-1), ProgramExit);
    EXPECT_EQ(FakeTags::Get(QStringLiteral("ALIVE")).value, 0);
    ASSERT_EQ(log.size(), 3) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log[0].endsWith(QStringLiteral(" | Message | Ledgrix.System | ALIVE = 0")));
    EXPECT_TRUE(log[1].endsWith(QStringLiteral(
        " | Warning | Ledgrix.G1 | [Overrun 2024/03/05 12:00:10 PM] Loss 3 times records. (sysExit)")));
    EXPECT_TRUE(log[2].endsWith(QStringLiteral(" | Message | Ledgrix.System | Ledgrix is closed.\r\n")));
    // Groups after the first unnamed one get no summary, but their files are released too: no
    // handle of the program holds the database or the CSV file any more.
    EXPECT_EQ(g3.R().CSVFSO, nullptr);
    for (SaveGroupRecord* g : {&g1, &g3}) EXPECT_FALSE(g->R().rs || g->R().conn);
    EXPECT_EQ(HeldOpen(db), 0);
    EXPECT_EQ(HeldOpen(csv), 0);
}

// A runtime that did not answer the first lookups: the link is named once, before the boxes
// about the tags it could not define.
TEST_F(StartupTest, AStartWithoutTheRuntimeNamesTheLinkBeforeTheTagBoxes) {
    ProgramState& st = State();
    st.IsUseTimer = true;
    st.dbSLiveAlone = 1;
    st.StopTag.Name = QStringLiteral("STOP");
    st.StopTag.ID = -1;
    Saver().IsLinkOnline = true;
    FakeTags::linkLost = true;
    RuntimeMain();
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Timer);
    const QStringList lost =
        log.filter(QStringLiteral(" | Error | Ledgrix.System | Ledgrix can not connect with Hexvane!"));
    ASSERT_EQ(lost.size(), 1) << log.join(u'\n').toStdString();
    const QStringList define = log.filter(QStringLiteral("Please define the tags."));
    ASSERT_EQ(define.size(), 1);
    EXPECT_LT(log.indexOf(lost[0]), log.indexOf(define[0]));
    ASSERT_FALSE(boxes.boxes.empty());
    EXPECT_TRUE(boxes.boxes[0].text.startsWith(QStringLiteral("Please define the tags.")));
}
