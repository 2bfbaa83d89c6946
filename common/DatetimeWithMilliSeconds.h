// A local date-time with a resolution of one millisecond: 100-nanosecond ticks since
// 1601-01-01 00:00:00 of the local clock. Millisecond amounts are fixed-point numbers whose raw
// value equals their tick count.
#pragma once
#include <QString>
#include <cstdint>

#include "common/Numbers.h"

class DatetimeWithMilliSeconds {
  public:
    // Raises failure 5 for a negative amount or a date before 1601.
    void SetTo(double tmpDate, Numbers::Fixed4 tmpMilliSeconds);
    void SetNow();
    int16_t ValueMilliseconds() const;  // failure 5 for a negative tick count
    double DateTime() const;            // whole seconds; failure 5 when out of range
    Numbers::Fixed4 DateTimeValueWithMilliSeconds() const { return Numbers::Fixed4::FromRaw(ticks_); }
    int32_t Compare(const DatetimeWithMilliSeconds& other) const;
    void AddMilliSeconds(Numbers::Fixed4 tmpMilliSeconds);  // overflow failure past the range
    void AddSeconds(Numbers::Fixed4 tmpSeconds);
    Numbers::Fixed4 SecondsDiff(const DatetimeWithMilliSeconds& other) const;
    Numbers::Fixed4 MilliSecondsDiff(const DatetimeWithMilliSeconds& other) const;
    QString FormatString(const QString& tmpFormat) const;

    // A copy made the way the system copies: whole milliseconds kept.
    void CopyFrom(const DatetimeWithMilliSeconds& source) {
        SetTo(source.DateTime(), Numbers::Fixed4::FromRaw(source.ValueMilliseconds() * 10000LL));
    }
    int64_t Ticks() const { return ticks_; }

  private:
    int64_t ticks_ = 0;
};
