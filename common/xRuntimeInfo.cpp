#include "common/xRuntimeInfo.h"

#include <algorithm>
#include <cmath>

#include "common/DateUtil.h"
#include "common/Failure.h"
#include "common/ProgramHooks.h"

namespace {

constexpr int16_t kMaxCount = 32767;

// Lost slots are counted up to the largest count the run state can hold; a longer series
// saturates instead of stopping the schedule.
int16_t AddLost(int16_t count, double lost) {
    const double sum = static_cast<double>(count) + lost;
    if (sum >= kMaxCount) return kMaxCount;
    return static_cast<int16_t>(sum);
}

double SlotsBetween(double from, double to, double interval) {
    return Numbers::RoundHalfEven(static_cast<double>(DateUtil::SecondsBetween(from, to)) / interval);
}

}  // namespace

double xRuntimeInfo::SearchLastTargetSaveTime(double StartDT, int32_t TimeInterval) const {
    if (TimeInterval == 0) throw Failure(FailureNumber::DivisionByZero, QStringLiteral("Division by zero"));
    const auto f = DateUtil::ToFields(StartDT);
    if (!f)
        throw Failure(FailureNumber::InvalidArgument, QStringLiteral("Invalid procedure call or argument"));
    const double s = f->hour * 3600.0 + f->minute * 60.0 + f->second;
    const double g = std::floor(s / TimeInterval) * TimeInterval;
    DateUtil::Fields r = *f;
    r.hour = static_cast<int>(std::floor(g / 3600));
    r.minute = static_cast<int>(std::fmod(std::floor(g / 60), 60));
    r.second = static_cast<int>(std::fmod(g, 60));
    r.millisecond = 0;
    return *DateUtil::FromFields(r);
}

void xRuntimeInfo::SetupNextTargetSaveTime(double tmpNow) {
    const double interval = SaveTimeInterval;
    const auto whole = Numbers::ToInt32(interval);
    if (!whole) throw Failure(FailureNumber::Overflow, QStringLiteral("Overflow"));
    const double S = SearchLastTargetSaveTime(tmpNow, *whole);
    double target = 0;
    if (IsFirstSaveTime) {
        target = DateUtil::AddSeconds(S, interval);
    } else {
        target = DateUtil::AddSeconds(LastSavedTime, interval);
        if (target < tmpNow) target = DateUtil::AddSeconds(S, interval);
        // Lost slots since the later of the last save and the last slot already counted (a series
        // may have been opened by a dropped write, with no slot counted since the save).
        const double basis = std::max(LastSavedTime, lastCountedSlot_);
        if (DateUtil::SecondsBetween(basis, S) > 0) {
            const double n = SlotsBetween(basis, S, interval);
            if (CountinuousOverrunCount != 0) {
                CountinuousOverrunCount = AddLost(CountinuousOverrunCount, n);
            } else {
                FirstOverrunTime = TargetSaveTime;
                CountinuousOverrunCount = AddLost(0, n);
                WriteLog(DateUtil::Format(DateUtil::Now(), QStringLiteral("yyyy/MM/dd hh:mm:ss AMPM")) +
                         QStringLiteral(" | Warning | Ledgrix.") + ModuleName +
                         QStringLiteral(" | [Overrun ") +
                         DateUtil::Format(FirstOverrunTime, QStringLiteral("yyyy/MM/dd HH:mm:ss AMPM")) +
                         QStringLiteral("] Loss ") + Numbers::NumberText(n) +
                         QStringLiteral(" times records. (SetupNextTargetSaveTime)"));
            }
            lastCountedSlot_ = S;
        }
    }
    TargetSaveTime = target;
    CyclicTimerIntervalSec = static_cast<int32_t>(DateUtil::SecondsBetween(DateUtil::Now(), TargetSaveTime));
}

DatetimeWithMilliSeconds xRuntimeInfo::SearchLastTargetSaveTimeWithMilliSeconds(
    const DatetimeWithMilliSeconds& start, Numbers::Fixed4 interval) const {
    if (interval.raw == 0) throw Failure(FailureNumber::DivisionByZero, QStringLiteral("Division by zero"));
    const double day = start.DateTime();
    const auto f = DateUtil::ToFields(day);
    if (!f)
        throw Failure(FailureNumber::InvalidArgument, QStringLiteral("Invalid procedure call or argument"));
    const double t = (f->hour * 3600.0 + f->minute * 60.0 + f->second) * 1000.0 + start.ValueMilliseconds();
    const double iv = interval.ToDouble();
    // The grid time is rounded to whole milliseconds first and then added to the day's midnight,
    // so a time of x.9995 s or later carries into the next second, minute, hour or day.
    const double g = Numbers::RoundHalfEven(std::floor(t / iv) * iv);
    DateUtil::Fields midnight = *f;
    midnight.hour = midnight.minute = midnight.second = 0;
    DatetimeWithMilliSeconds out;
    out.SetTo(*DateUtil::FromFields(midnight), Numbers::Fixed4::FromDouble(g));
    return out;
}

void xRuntimeInfo::SetupNextTargetSaveTimeWithMilliSeconds(const DatetimeWithMilliSeconds& now) {
    const Numbers::Fixed4 interval = SaveTimeIntervalWithMilliSeconds;
    const DatetimeWithMilliSeconds S = SearchLastTargetSaveTimeWithMilliSeconds(now, interval);
    DatetimeWithMilliSeconds target;
    if (IsFirstSaveTime) {
        target.CopyFrom(S);
    } else {
        target.CopyFrom(LastSavedTimeWithMilliSeconds);
        target.AddMilliSeconds(interval);
        if (target.Compare(now) < 0) {
            target.CopyFrom(S);
            target.AddMilliSeconds(interval);
        }
        const DatetimeWithMilliSeconds& basis =
            LastSavedTimeWithMilliSeconds.Compare(lastCountedSlotWithMilliSeconds_) >= 0
                ? LastSavedTimeWithMilliSeconds
                : lastCountedSlotWithMilliSeconds_;
        if (S.Compare(basis) > 0) {
            const double n =
                Numbers::RoundHalfEven(S.MilliSecondsDiff(basis).ToDouble() / interval.ToDouble());
            if (CountinuousOverrunCount != 0) {
                CountinuousOverrunCount = AddLost(CountinuousOverrunCount, n);
            } else {
                FirstOverrunTimeWithMilliSeconds.CopyFrom(TargetSaveTimeWithMilliSeconds);
                CountinuousOverrunCount = AddLost(0, n);
                WriteLog(DateUtil::Format(DateUtil::Now(), QStringLiteral("yyyy/MM/dd hh:mm:ss AMPM")) +
                         QStringLiteral(" | Warning | Ledgrix.") + ModuleName +
                         QStringLiteral(" | [Overrun ") +
                         FirstOverrunTimeWithMilliSeconds.FormatString(
                             QStringLiteral("yyyy/MM/dd HH:mm:ss.ms AMPM")) +
                         QStringLiteral("] Loss ") + Numbers::NumberText(n) +
                         QStringLiteral(" times records. (SetupNextTargetSaveTimeWithMilliSeconds)"));
            }
            lastCountedSlotWithMilliSeconds_.CopyFrom(S);
        }
    }
    TargetSaveTimeWithMilliSeconds.CopyFrom(target);
}

void xRuntimeInfo::ReleaseDatabaseObjects() {
    rs.reset();
    conn.reset();
}

void xRuntimeInfo::CountLost(double first, const DatetimeWithMilliSeconds& firstWithMilliSeconds, double n) {
    // The series' first lost time is its earliest one.
    if (IsHighSpeedSaver) {
        if (CountinuousOverrunCount == 0 ||
            firstWithMilliSeconds.Compare(FirstOverrunTimeWithMilliSeconds) < 0)
            FirstOverrunTimeWithMilliSeconds.CopyFrom(firstWithMilliSeconds);
    } else if (CountinuousOverrunCount == 0 || first < FirstOverrunTime) {
        FirstOverrunTime = first;
    }
    CountinuousOverrunCount = AddLost(CountinuousOverrunCount, n);
}

void xRuntimeInfo::CountBusySlot() {
    CountLost(TargetSaveTime, TargetSaveTimeWithMilliSeconds, 1);
    if (IsHighSpeedSaver) {
        LastSavedTimeWithMilliSeconds.CopyFrom(TargetSaveTimeWithMilliSeconds);
        lastCountedSlotWithMilliSeconds_.CopyFrom(TargetSaveTimeWithMilliSeconds);
    } else {
        LastSavedTime = TargetSaveTime;
        lastCountedSlot_ = TargetSaveTime;
    }
    // The slot is done with, as a saved one is: the schedule goes on from it.
    IsFirstSaveTime = false;
}

void xRuntimeInfo::CountLostRecord(const DatetimeWithMilliSeconds& time) {
    CountLost(time.DateTime(), time, 1);
}

void xRuntimeInfo::CountDueSlots(double tmpNow, const DatetimeWithMilliSeconds& tmpNowWithMilliSeconds) {
    const double late =
        IsHighSpeedSaver ? tmpNowWithMilliSeconds.MilliSecondsDiff(TargetSaveTimeWithMilliSeconds).ToDouble()
                         : static_cast<double>(DateUtil::SecondsBetween(TargetSaveTime, tmpNow));
    const double interval = IsHighSpeedSaver ? SaveTimeIntervalWithMilliSeconds.ToDouble() : SaveTimeInterval;
    if (!(interval > 0) || late < 0) return;
    CountLost(TargetSaveTime, TargetSaveTimeWithMilliSeconds, std::floor(late / interval) + 1);
}

bool xRuntimeInfo::IsAheadOfClock(double tmpNow,
                                  const DatetimeWithMilliSeconds& tmpNowWithMilliSeconds) const {
    if (IsHighSpeedSaver)
        return TargetSaveTimeWithMilliSeconds.MilliSecondsDiff(tmpNowWithMilliSeconds).raw >
               SaveTimeIntervalWithMilliSeconds.raw;
    return static_cast<double>(DateUtil::SecondsBetween(tmpNow, TargetSaveTime)) > SaveTimeInterval;
}

void xRuntimeInfo::RestartFromClock(double tmpNow, const DatetimeWithMilliSeconds& tmpNowWithMilliSeconds) {
    // Slots counted or saved ahead of the clock are no basis for the lost-slot count any more.
    IsFirstSaveTime = true;
    lastCountedSlot_ = 0;
    lastCountedSlotWithMilliSeconds_ = DatetimeWithMilliSeconds();
    if (IsHighSpeedSaver)
        SetupNextTargetSaveTimeWithMilliSeconds(tmpNowWithMilliSeconds);
    else
        SetupNextTargetSaveTime(tmpNow);
}
