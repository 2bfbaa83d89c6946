#include <gtest/gtest.h>

#include "common/DateUtil.h"
#include "common/Failure.h"
#include "common/xRuntimeInfo.h"
#include "tests/support/TestSupport.h"

using Numbers::Fixed4;

namespace {
double At(int h, int mi, int s, int day = 5) {
    DateUtil::Fields f;
    f.year = 2024, f.month = 3, f.day = day, f.hour = h, f.minute = mi, f.second = s;
    return *DateUtil::FromFields(f);
}
DatetimeWithMilliSeconds AtMs(int h, int mi, int s, int ms) {
    DatetimeWithMilliSeconds v;
    v.SetTo(At(h, mi, s), Fixed4::FromDouble(ms));
    return v;
}
}  // namespace

class Schedule : public ProgramFixture {
  protected:
    xRuntimeInfo r;
    void SetUp() override {
        ProgramFixture::SetUp();
        r.ModuleName = "G1";
    }
};

TEST_F(Schedule, SecondsScheduleFollowsTheGrid) {
    r.SaveTimeInterval = 10;
    r.SetFirstSaveTime(true);
    r.SetupNextTargetSaveTime(At(12, 0, 35));
    EXPECT_EQ(r.TargetSaveTime, At(12, 0, 40));

    // A save at 12:00:30, next step at 12:00:31: one cycle on, nothing lost.
    r.SetFirstSaveTime(false);
    r.LastSavedTime = At(12, 0, 30);
    r.SetupNextTargetSaveTime(At(12, 0, 31));
    EXPECT_EQ(r.TargetSaveTime, At(12, 0, 40));
    EXPECT_EQ(r.CountinuousOverrunCount, 0);
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(Schedule, SevenSecondCycleAcrossMidnight) {
    r.SaveTimeInterval = 7;
    r.SetFirstSaveTime(true);
    r.SetupNextTargetSaveTime(At(23, 59, 58));
    EXPECT_EQ(r.SearchLastTargetSaveTime(At(23, 59, 58), 7), At(23, 59, 54));
    EXPECT_EQ(r.TargetSaveTime, At(0, 0, 1, 6));
}

TEST_F(Schedule, LostSlotsAreCountedOncePerSeriesNamedByItsFirst) {
    r.SaveTimeInterval = 10;
    r.SetFirstSaveTime(false);
    r.LastSavedTime = At(12, 0, 30);
    r.TargetSaveTime = At(12, 0, 40);
    // The 12:00:40 slot was skipped as late.
    r.SetupNextTargetSaveTime(At(12, 0, 47));
    EXPECT_EQ(r.TargetSaveTime, At(12, 0, 50));
    EXPECT_EQ(r.CountinuousOverrunCount, 1);
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(
        log[0].contains("| Warning | Ledgrix.G1 | [Overrun 2024/03/05 12:00:40 PM] Loss 1 times records. "
                        "(SetupNextTargetSaveTime)"))
        << log[0].toStdString();

    // The series goes on: 12:00:50 is lost too; only that slot is added.
    r.SetupNextTargetSaveTime(At(12, 0, 57));
    EXPECT_EQ(r.CountinuousOverrunCount, 2);
    r.SetupNextTargetSaveTime(At(12, 1, 8));
    EXPECT_EQ(r.CountinuousOverrunCount, 3);
    EXPECT_EQ(log.size(), 1);

    // After a save, the slots 12:01:30, 12:01:40 and 12:01:50 are lost in one step: the series is
    // named by the first of them.
    r.LastSavedTime = At(12, 1, 20);
    r.TargetSaveTime = At(12, 1, 30);
    r.CountinuousOverrunCount = 0;
    r.SetupNextTargetSaveTime(At(12, 1, 55));
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log[1].contains("[Overrun 2024/03/05 12:01:30 PM] Loss 3 times records."))
        << log[1].toStdString();
}

TEST_F(Schedule, HugeGapsSaturateInsteadOfStoppingTheGroup) {
    r.SaveTimeInterval = 1;
    r.SetFirstSaveTime(false);
    r.LastSavedTime = At(0, 0, 0);
    r.TargetSaveTime = At(0, 0, 1);
    r.SetupNextTargetSaveTime(At(23, 0, 0));  // 82800 slots lost
    EXPECT_EQ(r.CountinuousOverrunCount, 32767);
    EXPECT_EQ(r.TargetSaveTime, At(23, 0, 1));
    r.SetupNextTargetSaveTime(At(23, 0, 5));
    EXPECT_EQ(r.CountinuousOverrunCount, 32767);
    EXPECT_EQ(r.TargetSaveTime, At(23, 0, 6));
}

TEST_F(Schedule, MillisecondSchedule) {
    r.SaveTimeIntervalWithMilliSeconds = Fixed4::FromDouble(250);
    r.SetFirstSaveTime(true);
    r.SetupNextTargetSaveTimeWithMilliSeconds(AtMs(10, 0, 0, 300));
    EXPECT_EQ(r.TargetSaveTimeWithMilliSeconds.Compare(AtMs(10, 0, 0, 250)), 0);

    r.SetFirstSaveTime(false);
    r.LastSavedTimeWithMilliSeconds = AtMs(10, 0, 0, 250);
    r.TargetSaveTimeWithMilliSeconds = AtMs(10, 0, 0, 500);
    r.SetupNextTargetSaveTimeWithMilliSeconds(AtMs(10, 0, 0, 810));
    EXPECT_EQ(r.TargetSaveTimeWithMilliSeconds.Compare(AtMs(10, 0, 1, 0)), 0);
    EXPECT_EQ(r.CountinuousOverrunCount, 2);
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(
        log[0].contains("[Overrun 2024/03/05 10:00:00.500 AM] Loss 2 times records. "
                        "(SetupNextTargetSaveTimeWithMilliSeconds)"))
        << log[0].toStdString();
}

TEST_F(Schedule, ZeroCycleIsADivisionFailure) {
    r.SaveTimeIntervalWithMilliSeconds = Fixed4{};
    EXPECT_THROW(r.SetupNextTargetSaveTimeWithMilliSeconds(AtMs(10, 0, 0, 0)), Failure);
}

TEST_F(Schedule, ASeriesOpenedByADroppedWriteCountsFromTheLastSave) {
    r.SaveTimeInterval = 10;
    r.SetFirstSaveTime(false);
    r.LastSavedTime = At(12, 0, 30);
    r.TargetSaveTime = At(12, 0, 40);
    r.CountinuousOverrunCount = 2;  // two writes dropped while one ran
    r.SetupNextTargetSaveTime(At(12, 0, 47));
    EXPECT_EQ(r.CountinuousOverrunCount, 3);
    EXPECT_TRUE(log.isEmpty());

    r.IsHighSpeedSaver = true;
    r.SaveTimeIntervalWithMilliSeconds = Fixed4::FromDouble(250);
    r.LastSavedTimeWithMilliSeconds = AtMs(10, 0, 0, 250);
    r.TargetSaveTimeWithMilliSeconds = AtMs(10, 0, 0, 500);
    r.CountinuousOverrunCount = 2;
    r.SetupNextTargetSaveTimeWithMilliSeconds(AtMs(10, 0, 0, 810));
    EXPECT_EQ(r.CountinuousOverrunCount, 4);
}

TEST_F(Schedule, MillisecondGridCarriesIntoTheNextSecond) {
    // With a 333.3 ms cycle the third slot lies at 999.9 ms: 00:00:01.000, not 00:00:00.000.
    const auto slot = r.SearchLastTargetSaveTimeWithMilliSeconds(AtMs(0, 0, 1, 0), Fixed4::FromDouble(333.3));
    EXPECT_EQ(slot.Compare(AtMs(0, 0, 1, 0)), 0) << slot.FormatString("HH:mm:ss.ms").toStdString();
}

// Slots whose record cannot start (the group's target is busy) are each counted once, from the
// very first slot on, and the schedule moves on from them; the exit counts the slots due since.
TEST_F(Schedule, BusySlotsCountOnceEachAndTheExitCountsTheSlotsDueSince) {
    r.IsHighSpeedSaver = true;
    r.SaveTimeIntervalWithMilliSeconds = Fixed4::FromDouble(250);
    r.SetFirstSaveTime(true);
    r.SetupNextTargetSaveTimeWithMilliSeconds(AtMs(12, 0, 0, 0));
    for (const int ms : {0, 10, 20, 250, 260, 500}) {
        const DatetimeWithMilliSeconds now = AtMs(12, 0, 0, ms);
        if (now.MilliSecondsDiff(r.TargetSaveTimeWithMilliSeconds).raw < 0) continue;  // not due
        r.CountBusySlot();
        r.SetupNextTargetSaveTimeWithMilliSeconds(now);
    }
    EXPECT_EQ(r.CountinuousOverrunCount, 3);
    EXPECT_EQ(r.FirstOverrunTimeWithMilliSeconds.Compare(AtMs(12, 0, 0, 0)), 0);
    EXPECT_EQ(r.TargetSaveTimeWithMilliSeconds.Compare(AtMs(12, 0, 0, 750)), 0);
    // 12:00:01.100: the slots at .750 and 1.000 are due and not saved.
    r.CountDueSlots(At(12, 0, 1), AtMs(12, 0, 1, 100));
    EXPECT_EQ(r.CountinuousOverrunCount, 5);
}
