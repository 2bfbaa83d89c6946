// The due test of cyclic groups and one pass of the main loop.
#include "common/DateUtil.h"
#include "saver/runtime/FieldValues.h"
#include "saver/runtime/LedgrixRuntimeUtil.h"
#include "saver/writers/WriterServices.h"
#include "saver/writers/Writers.h"
#include "tests/saver/runtime/RuntimeFixture.h"

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

class MainLoopTest : public RuntimeFixture {};

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
    LedgrixRuntime::RunPass(LedgrixRuntime::PassForm::Loop);
    EXPECT_GE(r.CountinuousOverrunCount, 1);
    EXPECT_GT(r.TargetSaveTime, now);
    EXPECT_EQ(r.LastSavedTime, DateUtil::AddSeconds(now, -17));

    // The next due slot is saved, after one overrun line.
    log.clear();
    const int16_t lost = r.CountinuousOverrunCount;
    const double slot = DateUtil::Now();
    r.TargetSaveTime = slot;
    LedgrixRuntime::RunPass(LedgrixRuntime::PassForm::Loop);
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
    LedgrixRuntime::RunPass(LedgrixRuntime::PassForm::Loop);
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
    EXPECT_THROW(LedgrixRuntime::RunPass(LedgrixRuntime::PassForm::Loop), ProgramExit);
    EXPECT_TRUE(log.last().endsWith(QStringLiteral(" | Message | Ledgrix.System | dbSLiveAlone = 0")));
}
