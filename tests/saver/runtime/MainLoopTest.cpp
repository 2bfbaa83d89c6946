// The due test of cyclic groups and one pass of the main loop.
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>

#include "common/DateUtil.h"
#include "platform/captions/Captions.h"
#include "saver/runtime/FieldValues.h"
#include "saver/runtime/LedgrixRuntimeUtil.h"
#include "saver/writers/WriterServices.h"
#include "saver/writers/WriterUtil.h"
#include "saver/writers/Writers.h"
#include "tests/saver/runtime/RuntimeFixture.h"
#include "tests/support/StallingLink.h"
#include "tests/support/TestMariaDb.h"

namespace {
double At(const char* text) {
    return *DateUtil::Parse(QString::fromLatin1(text));
}
DatetimeWithMilliSeconds AtMs(const char* text, int ms) {
    DatetimeWithMilliSeconds d;
    d.SetTo(At(text), Numbers::Fixed4::FromRaw(ms * 10000LL));
    return d;
}
}  // namespace

TEST(DueTest, SlotsSaveUpToHalfACycleLate) {
    const double target = At("2024/03/05 12:00:10");
    EXPECT_EQ(SecondsDue(At("2024/03/05 12:00:09"), target, 10), Due::NotYet);
    EXPECT_EQ(SecondsDue(At("2024/03/05 12:00:10"), target, 10), Due::Save);
    EXPECT_EQ(SecondsDue(At("2024/03/05 12:00:15"), target, 10), Due::Save);
    EXPECT_EQ(SecondsDue(At("2024/03/05 12:00:16"), target, 10), Due::Skip);

    const auto t = AtMs("2024/03/05 12:00:10", 0);
    const auto cycle = Numbers::Fixed4::FromDouble(200);
    EXPECT_EQ(MilliSecondsDue(AtMs("2024/03/05 12:00:09", 999), t, cycle), Due::NotYet);
    EXPECT_EQ(MilliSecondsDue(AtMs("2024/03/05 12:00:10", 100), t, cycle), Due::Save);
    EXPECT_EQ(MilliSecondsDue(AtMs("2024/03/05 12:00:10", 101), t, cycle), Due::Skip);
}

namespace {

std::atomic<qint64> g_clockMs{0};
qint64 TestClock() {
    return g_clockMs;
}

// A value field bound to a tag of the fake tag manager.
void AddValueField(SaveGroupRecord& g, const QString& name, const QString& tag) {
    xField& f = g.F(++g.FieldCount);
    f.FieldName = name;
    f.TagName = tag;
    f.TagType = QStringLiteral("VALUE");
    f.DecimalPlaces = f.TagMessageLength = -1;
    f.TagID = static_cast<int16_t>(FakeTags::Has(tag) ? FakeTags::Get(tag).handle : FakeTags::Add(tag, 7));
}

void EveryQuarterSecond(SaveGroupRecord& g) {
    g.S().SaveTimeInterval = g.R().SaveTimeInterval = 0.25;
    g.R().IsHighSpeedSaver = true;
    g.R().SaveTimeIntervalWithMilliSeconds = Numbers::Fixed4::FromDouble(250);
    g.R().SetFirstSaveTime(true);
}

// The test's clock, from a whole second on, for as long as the scope lives.
struct TestClockScope {
    TestClockScope() {
        g_clockMs = (QDateTime::currentMSecsSinceEpoch() / 1000 + 1) * 1000;
        DateUtil::SetClock(&TestClock);
    }
    ~TestClockScope() { DateUtil::SetClock(nullptr); }
};

}  // namespace

class MainLoopTest : public RuntimeFixture {
  protected:
    // A CSV group that records the fake tag V into <name>.csv below the temporary folder.
    SaveGroupRecord& CsvGroup(const QString& name) {
        SaveGroupRecord& g = AddGroup(name);
        g.S().dbDBTypeName = QStringLiteral("CSV");
        g.S().dbCSVFilePath = g.S().dbCSVFullPath = Path(name + QStringLiteral(".csv"));
        g.S().dbSCSVDelimiterCharacter = QStringLiteral(",");
        g.S().dbSCSVNewlineCharacter = QStringLiteral("\r\n");
        AddValueField(g, QStringLiteral("V"), QStringLiteral("V"));
        int16_t index = State().SaveGroupCount;
        PrepareCSVDB(index, -1, 0);
        return g;
    }
};

TEST_F(MainLoopTest, ALateSlotIsCountedAndTheNextSaveLogsTheSeriesFirst) {
    State().dbSLiveAlone = 1;
    SaveGroupRecord& g = AddGroup(QStringLiteral("G1"));
    g.S().SaveTimeInterval = 10;
    // A CSV group with one field, so that a save really writes a line.
    g.S().dbDBTypeName = QStringLiteral("CSV");
    g.S().dbCSVFilePath = g.S().dbCSVFullPath = Path(QStringLiteral("g1.csv"));
    g.S().dbSCSVDelimiterCharacter = QStringLiteral(",");
    g.S().dbSCSVNewlineCharacter = QStringLiteral("\r\n");
    g.F(1).FieldName = QStringLiteral("V");
    g.F(1).TagName = QStringLiteral("V");
    g.F(1).TagType = QStringLiteral("VALUE");
    g.FieldCount = 1;
    g.F(1).TagID = static_cast<int16_t>(FakeTags::Add(QStringLiteral("V"), 42));
    Services().GetFieldValues = [](int16_t group) { GetFieldValues(group); };
    int16_t gi = 1;
    PrepareCSVDB(gi, -1, 0);
    xRuntimeInfo& r = g.R();
    r.SaveTimeInterval = 10;
    const double now = DateUtil::Now();
    // A target 7 s ago is more than half a cycle late: skipped and counted, no save.
    r.TargetSaveTime = DateUtil::AddSeconds(now, -7);
    r.LastSavedTime = DateUtil::AddSeconds(now, -17);
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    EXPECT_GE(r.CountinuousOverrunCount, 1);
    EXPECT_GT(r.TargetSaveTime, now);
    EXPECT_EQ(r.LastSavedTime, DateUtil::AddSeconds(now, -17));

    // The next due slot is saved, after one overrun line.
    log.clear();
    const int16_t lost = r.CountinuousOverrunCount;
    const double slot = DateUtil::Now();
    r.TargetSaveTime = slot;
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    ASSERT_FALSE(log.isEmpty());
    EXPECT_TRUE(log[0].contains(QStringLiteral(" | Warning | Ledgrix.G1 | [Overrun ")));
    EXPECT_TRUE(log[0].endsWith(QStringLiteral("] Loss %1 times records. (RuntimMain)").arg(lost)));
    EXPECT_EQ(log.filter(QStringLiteral("[Overrun")).size(), 1);
    EXPECT_EQ(r.CountinuousOverrunCount, 0);
    EXPECT_EQ(r.LastSavedTime, slot);
    EXPECT_FALSE(r.IsFirstSaveTime);
    EXPECT_TRUE(ReadFile(QStringLiteral("g1.csv")).contains("42")) << log.join(u'\n').toStdString();

    // A disabled group is left alone.
    r.SetDisableDBAppend(true);
    r.TargetSaveTime = DateUtil::Now();
    const double before = r.TargetSaveTime;
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    EXPECT_EQ(r.TargetSaveTime, before);
}

TEST_F(MainLoopTest, TheLoopWaitsForTheEarliestTargetAndEndsWithoutTheHmiRuntime) {
    SaveGroupRecord& g = AddGroup(QStringLiteral("G1"));
    g.S().SaveTimeInterval = 10;
    g.R().SaveTimeInterval = 10;
    g.R().TargetSaveTime = DateUtil::AddSeconds(DateUtil::Now(), 5);
    const qint64 wait = LedgrixRuntime::MillisecondsToNextTarget();
    EXPECT_GT(wait, 3000);
    EXPECT_LE(wait, 5000);
    g.R().SetDisableDBAppend(true);
    EXPECT_EQ(LedgrixRuntime::MillisecondsToNextTarget(), -1);

    State().dbSLiveAlone = 0;  // and no window "Vellumdock for Windows"
    EXPECT_THROW(LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop), ProgramExit);
    EXPECT_TRUE(log.last().endsWith(QStringLiteral(" | Message | Ledgrix.System | dbSLiveAlone = 0")));
}

// A MYSQL group whose server stops answering, beside a CSV group, on a clock of the test's own:
// the CSV group records every slot meanwhile, and at the stop every slot of the server's group is
// written, named as of unknown outcome, or counted in its summary.
TEST_F(MainLoopTest, AStalledServerCostsOnlyItsOwnGroupAndTheStopAccountsForEverySlot) {
    using TestMariaDb::Env;
    if (!TestMariaDb::Present()) {
        if (!Env("CI").isEmpty())
            FAIL() << "LEDGRIX_TEST_MYSQL_* is not set: no MariaDB server for the tests";
        GTEST_SKIP() << "no MariaDB server (LEDGRIX_TEST_MYSQL_* not set)";
    }
    State().dbSLiveAlone = 1;
    Services().GetFieldValues = [](int16_t group) { GetFieldValues(group); };
    const QString table = QStringLiteral("loop_%1").arg(QCoreApplication::applicationPid());
    ado::Connection check;
    check.Open(TestMariaDb::ConnectionString());
    check.Execute(QStringLiteral("CREATE TABLE ") + table + QStringLiteral(" (T DATETIME, Flow DOUBLE)"));

    SaveGroupRecord& csv = CsvGroup(QStringLiteral("CSV1"));

    StallingLink link(TestMariaDb::Host(), TestMariaDb::Port());
    SaveGroupRecord& my = AddGroup(QStringLiteral("MY"));
    xSvcSettings& s = my.S();
    s.dbDBTypeName = QStringLiteral("MYSQL");
    s.dbProvider = QStringLiteral("MSDASQL.1");
    s.dbDriver = QStringLiteral("{MySQL ODBC 3.51 Driver}");
    s.dbNoTableNameDelimiter = s.dbNoFieldNameDelimiter = true;
    s.dbUserID = Env("LEDGRIX_TEST_MYSQL_USER");
    s.dbPassword = Env("LEDGRIX_TEST_MYSQL_PASSWORD");
    s.dbInitialCatalog = Env("LEDGRIX_TEST_MYSQL_DATABASE");
    s.dbDataSource = link.Address();
    s.dbTableName = table;
    xField& t = my.F(++my.FieldCount);
    t.FieldName = QStringLiteral("T");
    t.TagName = QStringLiteral("^DATETIME");
    t.DecimalPlaces = t.TagMessageLength = -1;
    AddValueField(my, QStringLiteral("Flow"), QStringLiteral("V"));
    // Statements are given up after 20 s: the passes and the stop come while the first one is
    // with the server.
    ado::SetDefaultTimeouts(1, 20);
    ado::WaitFor(PrepareDB(2, false));
    ASSERT_TRUE(WriterUtil::IsOpen(my.R().conn)) << log.join(u'\n').toStdString();
    link.StopAnswers();

    // The test's clock, on a whole second, moves a quarter second a pass.
    struct DefaultTimeouts {
        ~DefaultTimeouts() { ado::SetDefaultTimeouts(0, 0); }
    } defaults;
    const TestClockScope clock;
    DatetimeWithMilliSeconds start;
    start.SetNow();
    for (SaveGroupRecord* g : {&csv, &my}) {
        EveryQuarterSecond(*g);
        g->R().SetupNextTargetSaveTimeWithMilliSeconds(start);
    }
    Saver().IsScheduleRunning = true;
    QElapsedTimer real;
    real.start();
    constexpr int kPasses = 12;
    for (int k = 0; k < kPasses; ++k) {
        LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
        g_clockMs += 250;
        ado::WaitForReadyWork(10);
    }
    EXPECT_LT(real.elapsed(), 10000);  // the server's group never held the passes up for its 20 s
    EXPECT_TRUE(my.R().IsDBAppending());
    EXPECT_EQ(ReadFile(QStringLiteral("CSV1.csv")).count("7\r\n"), kPasses);

    // The stop: the record with the server is named as of unknown outcome, the other slots due
    // up to the stop (the one at the stop itself too) are counted.
    log.clear();
    Saver().LogFileStreamSet = true;
    EXPECT_THROW(LedgrixMain::sysExit(-1), ProgramExit);
    const QString slot0 = start.FormatString(QStringLiteral("yyyy/MM/dd HH:mm:ss.ms AMPM"));
    DatetimeWithMilliSeconds slot1;
    slot1.CopyFrom(start);
    slot1.AddMilliSeconds(Numbers::Fixed4::FromDouble(250));
    const QStringList unknown = log.filter(QStringLiteral("| Fail!! Append to Database, SQL Command:"));
    ASSERT_EQ(unknown.size(), 1) << log.join(u'\n').toStdString();
    EXPECT_TRUE(unknown[0].startsWith(slot0 + QStringLiteral(" | Error | Ledgrix. MY | ")));
    EXPECT_TRUE(unknown[0].endsWith(WriterUtil::OutcomeUnknownNote()));
    EXPECT_EQ(log[log.indexOf(unknown[0]) + 1],
              QStringLiteral("Error Description = ") + WriterUtil::StoppedBeforeAnswer());
    EXPECT_EQ(log.filter(QStringLiteral(" | Warning | Ledgrix.MY | [Overrun") +
                         slot1.FormatString(QStringLiteral("yyyy/MM/dd HH:mm:ss.ms AMPM")) +
                         QStringLiteral("] Loss %1 times records. (sysExit)").arg(kPasses))
                  .size(),
              1)
        << log.join(u'\n').toStdString();
    EXPECT_EQ(log.filter(QStringLiteral(" | Ledgrix.CSV1 | [Overrun"))
                  .filter(QStringLiteral("] Loss 1 times"))
                  .size(),
              1);
    ado::ForgetWaitingWork();
    check.Execute(QStringLiteral("DROP TABLE ") + table);
}

// The clock steps back a minute: each schedule ahead of it by more than its cycle starts again
// from the clock, with a log line, and records go on; a step forward is counted as lost slots.
TEST_F(MainLoopTest, AScheduleAheadOfTheClockStartsAgainFromTheClock) {
    State().dbSLiveAlone = 1;
    Services().GetFieldValues = [](int16_t group) { GetFieldValues(group); };
    const TestClockScope clock;
    const char* names[] = {"SEC", "FAST"};
    for (int k = 0; k < 2; ++k) {
        SaveGroupRecord& g = CsvGroup(QLatin1String(names[k]));
        if (k == 1) {
            EveryQuarterSecond(g);
        } else {
            g.S().SaveTimeInterval = g.R().SaveTimeInterval = 1;
            g.R().SetFirstSaveTime(true);
        }
    }
    DatetimeWithMilliSeconds nowMs;
    nowMs.SetNow();
    State().Group(1).R().SetupNextTargetSaveTime(DateUtil::Now());
    State().Group(2).R().SetupNextTargetSaveTimeWithMilliSeconds(nowMs);
    const auto records = [this](const char* name) {
        return ReadFile(QLatin1String(name) + QStringLiteral(".csv")).count("7\r\n");
    };
    // Passes a twentieth of a second apart, as the loop makes them.
    const auto run = [](qint64 ms) {
        for (qint64 t = 0; t < ms; t += 50) {
            LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
            g_clockMs += 50;
        }
    };
    run(1500);
    const qsizetype sec = records("SEC"), fast = records("FAST");
    EXPECT_EQ(sec, 1);
    EXPECT_EQ(fast, 6);

    g_clockMs -= 60000;
    run(2000);
    EXPECT_EQ(log.filter(QStringLiteral("| The clock stepped back: the next save was due at ")).size(), 2)
        << log.join(u'\n').toStdString();
    EXPECT_GE(records("SEC"), sec + 1);
    EXPECT_GE(records("FAST"), fast + 7);

    // Forward: the slots passed over are lost and counted, the schedule keeps its grid.
    log.clear();
    g_clockMs += 10000;
    run(500);
    EXPECT_TRUE(log.filter(QStringLiteral("| The clock stepped back")).isEmpty());
    EXPECT_EQ(log.filter(QStringLiteral(" | Warning | Ledgrix.FAST | [Overrun ")).size(), 2)
        << log.join(u'\n').toStdString();
}

// A group whose target is busy from its first slot on (its server has not answered) counts each
// slot once; after the clock stepped back, the slots a late pass passes over are counted too.
TEST_F(MainLoopTest, LostSlotsAreCountedOnceFromTheFirstSlotAndAfterTheClockSteppedBack) {
    State().dbSLiveAlone = 1;
    Services().GetFieldValues = [](int16_t group) { GetFieldValues(group); };
    const TestClockScope clock;
    SaveGroupRecord& g = CsvGroup(QStringLiteral("sec"));
    g.S().SaveTimeInterval = g.R().SaveTimeInterval = 1;
    g.R().SetFirstSaveTime(true);
    xRuntimeInfo& r = g.R();
    r.SetupNextTargetSaveTime(DateUtil::Now());
    int passed = 0;
    const auto run = [&](qint64 ms) {
        for (qint64 t = 0; t < ms; t += 50) {
            const double target = r.TargetSaveTime;
            LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
            if (r.TargetSaveTime > target) ++passed;  // a slot passed (a restart steps back)
            g_clockMs += 50;
        }
    };
    std::optional<GroupWork> busy = GroupWork::TakeIfFree(1);
    run(3000);
    EXPECT_GE(passed, 2);
    EXPECT_EQ(r.CountinuousOverrunCount, passed);
    busy.reset();
    run(2000);
    EXPECT_EQ(r.CountinuousOverrunCount, 0);

    g_clockMs -= 60000;
    run(2000);
    ASSERT_EQ(log.filter(QStringLiteral("| The clock stepped back")).size(), 1);
    // A pass five seconds late: the slots passed over are lost.
    g_clockMs += 5000;
    run(100);
    EXPECT_GE(r.CountinuousOverrunCount, 4) << log.join(u'\n').toStdString();
}

// Triggered records of a group without a cycle, dropped while its target was busy, are named
// once the target is free again, from the earliest.
TEST_F(MainLoopTest, DroppedTriggeredRecordsAreNamedOnceTheTargetIsFree) {
    State().dbSLiveAlone = 1;
    SaveGroupRecord& g = AddGroup(QStringLiteral("TRG"));
    AddValueField(g, QStringLiteral("V"), QStringLiteral("V"));
    std::optional<GroupWork> busy = GroupWork::TakeIfFree(1);
    DBAppend(1, At("2024/03/05 12:00:09")).Detach();
    DBAppend(1, At("2024/03/05 12:00:05")).Detach();
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    EXPECT_TRUE(log.filter(QStringLiteral("[Overrun")).isEmpty());
    busy.reset();
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    EXPECT_EQ(log.filter(QStringLiteral(" | Warning | Ledgrix.TRG | [Overrun 2024/03/05 12:00:05 PM] Loss 2 "
                                        "times records. (RuntimMain)"))
                  .size(),
              1)
        << log.join(u'\n').toStdString();
    EXPECT_EQ(g.R().CountinuousOverrunCount, 0);
}

// The tag manager found that the HMI runtime stopped answering: the next pass shows the link
// offline and logs it once, without the question.
TEST_F(MainLoopTest, APassNamesALinkTheTagManagerFoundLostOnce) {
    State().dbSLiveAlone = 1;
    Saver().IsLinkOnline = true;
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    EXPECT_TRUE(Saver().IsLinkOnline);
    FakeTags::linkLost = true;
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Timer);
    EXPECT_FALSE(Saver().IsLinkOnline);
    EXPECT_EQ(log.filter(QStringLiteral(" | Error | Ledgrix.System | Ledgrix can not connect with Hexvane!"))
                  .size(),
              1);
    EXPECT_EQ(window.Last(QStringLiteral("LinkStatus")), QStringLiteral("（Offline）"));
    EXPECT_TRUE(boxes.boxes.empty());
}

// While a call waits for the HMI runtime the window thread's messages go on, but a tick of the
// timer form runs no pass inside the wait; a close of the main window (which ends the saver
// unless in user mode) gives the wait up once it has lasted a moment, and comes before the
// question of a lost link.
TEST_F(MainLoopTest, AStopDuringAWaitForTheRuntimeGivesItUpAndComesBeforeTheQuestion) {
    State().dbSLiveAlone = 1;
    QTimer::singleShot(0, [] { tmrLedgrix_Timer(); });
    EXPECT_EQ(LedgrixMain::WhileLinkWaits(600), 0);
    EXPECT_TRUE(window.Last(QStringLiteral("Now")).isNull());
    window.closeNoted = true;
    EXPECT_EQ(LedgrixMain::WhileLinkWaits(100), 0);
    EXPECT_EQ(LedgrixMain::WhileLinkWaits(600), 1);
    State().IsUserMode = true;
    EXPECT_EQ(LedgrixMain::WhileLinkWaits(600), 0);
    LedgrixMain::WhileLinkWaits(-1);
    State().IsUserMode = false;
    Saver().IsLinkOnline = true;
    EXPECT_THROW(SetLinkState(false, true), ProgramExit);
    EXPECT_TRUE(boxes.boxes.empty());
}

// The tag manager has the link again: the saver shows it online, says how long it was lost and
// which triggers may have missed changes, before the changes passed on with the link; a trigger
// and the stop tag are handled after it.
TEST_F(MainLoopTest, ALinkThatComesBackIsOnlineAgainNamedAndHeard) {
    ProgramState& st = State();
    st.dbSLiveAlone = 1;
    SaveGroupRecord& g = CsvGroup(QStringLiteral("TRG"));
    DefineTag(g.S().dbSTriggerTag, QStringLiteral("TRIG"));
    AddGroup(QStringLiteral("CYC"));  // no trigger tag: no line
    DefineTag(st.StopTag, QStringLiteral("STOP"));
    PrepareTagDataBank();
    RegisterXTag();
    g.R().LastdbSTriggerTagValue = 0;
    Saver().IsLinkOnline = true;
    FakeTags::linkLost = true;
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    ASSERT_FALSE(Saver().IsLinkOnline);
    Saver().LinkOfflineSince = DateUtil::AddSeconds(Saver().LinkOfflineSince, -75);

    // The trigger was set during the outage: the tag manager passes it on as the link comes back.
    log.clear();
    FakeTags::linkLost = false;
    FakeTags::Get(QStringLiteral("TRIG")).value = 1;
    FakeTags::callback(FakeTags::Get(QStringLiteral("TRIG")).handle, g.S().dbSTriggerTag.UserParm);
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Timer);
    EXPECT_TRUE(Saver().IsLinkOnline);
    EXPECT_EQ(window.Last(QStringLiteral("LinkPicture")), QStringLiteral("online"));
    EXPECT_EQ(window.Last(QStringLiteral("LinkStatus")), QStringLiteral("（Online）"));
    ASSERT_GE(log.size(), 3) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log[0].endsWith(QStringLiteral(
        " | Message | Ledgrix.System | The link to Hexvane is back; it was lost for 1 min 15 s.")))
        << log[0].toStdString();
    EXPECT_TRUE(
        log[1].endsWith(QStringLiteral(" | Warning | Ledgrix.TRG | Changes of the trigger tag TRIG "
                                       "while the link to Hexvane was lost may have been missed.")))
        << log[1].toStdString();
    EXPECT_TRUE(log[2].endsWith(QStringLiteral(" | Message | Ledgrix.TRG | TRIG=1"))) << log[2].toStdString();
    FakeTags::Get(QStringLiteral("STOP")).value = 1;
    FakeTags::callback(FakeTags::Get(QStringLiteral("STOP")).handle, st.StopTag.UserParm);
    EXPECT_THROW(LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop), ProgramExit);
    EXPECT_EQ(FakeTags::Get(QStringLiteral("STOP")).value, 0);
    EXPECT_EQ(log.filter(QStringLiteral("The link to Hexvane is back")).size(), 1);
}

// The runtime folder opened to others or removed while the link answers: the saver goes on and
// names the folder once; once the link is lost too, the runtime counts as ended.
TEST_F(MainLoopTest, AnUnusableRuntimeFolderIsNamedNotTakenForTheRuntimesEnd) {
    State().dbSLiveAlone = 0;
    CaptionHold runtime(QStringLiteral("Vellumdock for Windows"));
    ASSERT_TRUE(runtime.IsHeld());
    const QByteArray folder = qgetenv("LEDGRIX_WINDOW_DIR");
    const auto named = [&](const QString& why) {
        return log
            .filter(QStringLiteral(" | Error | Ledgrix.System | The runtime folder [") +
                    QFile::decodeName(folder) + QStringLiteral("] cannot be used: ") + why)
            .size();
    };
    ASSERT_EQ(::chmod(folder.constData(), 0777), 0);
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    EXPECT_EQ(named(QStringLiteral("other users may use it [mode 0777].")), 1)
        << log.join(u'\n').toStdString();
    ASSERT_EQ(::chmod(folder.constData(), 0700), 0);
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);

    ASSERT_TRUE(QDir(QFile::decodeName(folder)).removeRecursively());
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    EXPECT_EQ(named(QStringLiteral("it cannot be made or read [")), 1) << log.join(u'\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(QFile::decodeName(folder)));  // the rule makes no folder
    EXPECT_TRUE(log.filter(QStringLiteral("dbSLiveAlone")).isEmpty());

    FakeTags::linkLost = true;
    EXPECT_THROW(LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop), ProgramExit);
    EXPECT_TRUE(log.last().endsWith(QStringLiteral(" | Message | Ledgrix.System | dbSLiveAlone = 0")));
}

// A saver started before the runtime: once it answers, the tags that no runtime defined are
// registered and advised, the link is called back after that, the stop tag is heard as at start,
// and the undefined tags are named again only for what the runtime lacks.
TEST_F(MainLoopTest, ASaverStartedBeforeTheRuntimeHearsItsTagsOnceItAnswers) {
    ProgramState& st = State();
    st.IsUseTimer = true;
    st.dbSLiveAlone = 1;
    SaveGroupRecord& g = CsvGroup(QStringLiteral("TRG"));
    xSvcSettings& s = g.S();
    s.dbSTriggerTag.Name = QStringLiteral("TRIG");
    s.dbSPurgeTag.Name = QStringLiteral("NOPE");
    st.StopTag.Name = QStringLiteral("STOP");
    st.AliveTag.Name = QStringLiteral("ALIVE");
    for (xTag* t : {&s.dbSEnableTag, &s.dbSTriggerTag, &s.dbSDirTag, &s.dbSFileNameTag,
                    &s.dbSNumRecordsSavedTag, &s.dbSPurgeTag, &st.StopTag, &st.AliveTag, &st.DuringSavingTag})
        ResolveTagID(*t);
    Saver().IsLinkOnline = true;
    FakeTags::linkLost = true;
    try {
        RuntimeMain();
    } catch (const ProgramExit&) {
        FAIL() << log.join(u'\n').toStdString();
    }
    ASSERT_EQ(log.filter(QStringLiteral("Please define the tags.")).size(), 1);

    for (const char* name : {"TRIG", "STOP", "ALIVE"}) FakeTags::Add(QLatin1String(name));
    FakeTags::Get(QStringLiteral("STOP")).value = 1;
    FakeTags::linkLost = false;
    FakeTags::generation = 1;
    qsizetype advisedAt = -1;
    FakeTags::onAdvise = [&] { advisedAt = log.size(); };
    EXPECT_THROW(LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Timer), ProgramExit);
    const QStringList back = log.filter(QStringLiteral("| The link to Hexvane is back; it was lost for "));
    ASSERT_EQ(back.size(), 1) << log.join(u'\n').toStdString();
    ASSERT_GE(advisedAt, 0);
    EXPECT_GE(log.indexOf(back[0]), advisedAt);
    ASSERT_TRUE(s.dbSTriggerTag.IsDefined());
    const auto advised = [](const xTag& t) {
        for (const auto& a : FakeTags::advised)
            if (a.handle == t.Handle() && a.index == t.UserParm) return true;
        return false;
    };
    EXPECT_TRUE(advised(s.dbSTriggerTag));
    EXPECT_TRUE(advised(st.StopTag));
    EXPECT_EQ(FakeTags::Get(QStringLiteral("STOP")).value, 0);
    EXPECT_TRUE(LogHas(QStringLiteral(" | Message | Ledgrix.System | ALIVE = 1")));
    const QStringList define = log.filter(QStringLiteral("Please define the tags."));
    ASSERT_EQ(define.size(), 2);
    EXPECT_TRUE(define[1].contains(QStringLiteral("NOPE")));
    EXPECT_FALSE(define[1].contains(QStringLiteral("TRIG")));
}

// The runtime restarted between two passes without a field's tag: the outage is named, the tag
// once (the field records the failed-read value, never another tag's), again once when it is
// back, and the alive tag reads 1 again at each new connection.
TEST_F(MainLoopTest, ARuntimeRestartedWithAnotherTagListIsNamedPerTagAndTheAliveTagReadsOneAgain) {
    ProgramState& st = State();
    st.dbSLiveAlone = 1;
    SaveGroupRecord& g = CsvGroup(QStringLiteral("FLOWS"));
    DefineTag(st.AliveTag, QStringLiteral("ALIVE"));
    PrepareTagDataBank();
    RegisterXTag();
    Saver().IsLinkOnline = true;
    FakeTags::generation = Saver().LinkGenerationSeen = 1;
    const auto passes = [] {
        LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
        LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    };
    passes();
    FakeTags::Get(QStringLiteral("V")).absent = true;
    FakeTags::Get(QStringLiteral("ALIVE")).value = 0;
    FakeTags::generation = 2;
    passes();
    int16_t gi = 1;
    GetFieldValues(gi);
    EXPECT_EQ(g.F(1).TagValue.toInt(), 0);
    EXPECT_EQ(FakeTags::Get(QStringLiteral("ALIVE")).value, 1);
    EXPECT_EQ(
        log.filter(QStringLiteral(" | Warning | Ledgrix.System | The tag V is no longer in Hexvane")).size(),
        1)
        << log.join(u'\n').toStdString();
    EXPECT_TRUE(log.filter(QStringLiteral("The tag V can not be read")).isEmpty());
    EXPECT_EQ(log.filter(QStringLiteral("Ledgrix can not connect with Hexvane!")).size(), 1);
    EXPECT_EQ(log.filter(QStringLiteral("The link to Hexvane is back")).size(), 1);

    FakeTags::Get(QStringLiteral("V")).absent = false;
    FakeTags::generation = 3;
    passes();
    EXPECT_EQ(
        log.filter(QStringLiteral(" | Message | Ledgrix.System | The tag V is in Hexvane again.")).size(), 1);
}

TEST_F(MainLoopTest, AnOutageReadsInHoursMinutesAndSecondsFromTheLastLineHeardForAllItsReports) {
    EXPECT_EQ(LedgrixRuntime::SpanText(5), QStringLiteral("5 s"));
    EXPECT_EQ(LedgrixRuntime::SpanText(75), QStringLiteral("1 min 15 s"));
    EXPECT_EQ(LedgrixRuntime::SpanText(4 * 3600 + 2 * 60 + 3), QStringLiteral("4 h 2 min 3 s"));

    State().dbSLiveAlone = 1;
    Saver().IsLinkOnline = true;
    FakeTags::msSinceHeard = 10000;
    FakeTags::linkLost = true;
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    FakeTags::msSinceHeard = 30000;
    SetLinkState(false, false);  // a second report within the outage
    FakeTags::linkLost = false;
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    EXPECT_EQ(log.filter(QStringLiteral("| The link to Hexvane is back; it was lost for 10 s.")).size(), 1)
        << log.join(u'\n').toStdString();
}

// Each new reason the library gives for a lost link is logged once after its failure line; an
// unusable runtime folder is named once whatever the live-alone rule, and again when a
// connection is refused for it.
TEST_F(MainLoopTest, EachReasonForALostLinkIsLoggedOnceAndAnUnusableFolderIsNamed) {
    State().dbSLiveAlone = 1;
    Saver().IsLinkOnline = true;
    FakeTags::linkLost = true;
    FakeTags::faultNumber = 1;
    FakeTags::faultText = QStringLiteral("the runtime did not answer");
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    const QStringList lines = log.filter(QStringLiteral("Ledgrix can not connect with Hexvane!"));
    ASSERT_EQ(lines.size(), 1);
    const qsizetype lost = log.indexOf(lines[0]);
    ASSERT_LT(lost + 1, log.size());
    EXPECT_EQ(log[lost + 1], QStringLiteral("Error Description = the runtime did not answer"));
    EXPECT_EQ(log.filter(QStringLiteral("Error Description")).size(), 1);

    const QByteArray folder = qgetenv("LEDGRIX_WINDOW_DIR");
    const auto named = [&] {
        return log
            .filter(QStringLiteral(" | Error | Ledgrix.System | The runtime folder [") +
                    QFile::decodeName(folder) +
                    QStringLiteral("] cannot be used: other users may use it [mode 0777]."))
            .size();
    };
    ASSERT_EQ(::chmod(folder.constData(), 0777), 0);
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    EXPECT_EQ(named(), 1) << log.join(u'\n').toStdString();
    FakeTags::faultNumber = 2;
    FakeTags::faultText = QStringLiteral("the runtime folder cannot be used");
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    LedgrixRuntime::Pass(LedgrixRuntime::PassForm::Loop);
    ASSERT_EQ(::chmod(folder.constData(), 0700), 0);
    EXPECT_EQ(named(), 2);
    EXPECT_EQ(log.filter(QStringLiteral("Error Description = the runtime folder cannot be used")).size(), 1);
}
