// Date values: doubles counting days since 1899-12-30, the time of day as the fraction.
// Local time only; no time-zone conversion anywhere.
#pragma once
#include <QDateTime>
#include <QString>
#include <optional>

namespace DateUtil {

struct Fields {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0, millisecond = 0;
    int weekday = 0;  // 1 Sunday .. 7 Saturday, filled by ToFields
};

// The date value of calendar fields (milliseconds included); nothing outside years 100..9999.
std::optional<double> FromFields(const Fields& f);
// Calendar fields of a date value, rounded to the nearest second; nothing outside 100..9999.
std::optional<Fields> ToFields(double date);
// True when the date is a whole second of the years 100..9999: its fields give it back exactly,
// so any text of it to the second reads back as the date itself (or not at all).
bool IsWholeSecond(double date);

double FromDateTime(const QDateTime& dt);  // local QDateTime -> date value (to the millisecond)
QDateTime ToDateTime(double date);         // invalid when out of range

double Now();  // current local date-time, whole seconds
// The clock the process reads (milliseconds since 1970 UTC): the system's unless a test sets
// its own (nullptr: the system's again).
void SetClock(qint64 (*msSinceEpoch)());
double Today();      // today at midnight
Fields NowFields();  // current local time with milliseconds

// 1028 when LANG/LC_ALL names zh_TW (Traditional Chinese), else 1033.
int SystemLocaleId();
QString AmDesignator();
QString PmDesignator();

// Formats with the codes yyyy, MM, M, dd, d, HH, H, hh, h, mm, ss and AMPM. With AMPM the hour
// runs 1..12 and AMPM becomes the locale's morning or afternoon designator. Anything else is
// copied. The named formats "Short Date", "Long Time" and "General Date" are understood too.
QString Format(double date, const QString& format);

QString ShortDateFormat();  // "yyyy/M/d"
QString LongTimeFormat();   // "HH:mm:ss", or "AMPM hh:mm:ss" on a 1028 system
// The system's default text of a date value: short date and long time, the date alone at
// midnight.
QString DefaultText(double date);

// Reads a date-time text such as "2024/3/5", "2024/03/05 02:07:09 PM", "2024-03-05 14:07:09",
// "2024/3/1 上午 10:20:30". Nothing when the text is no date.
std::optional<double> Parse(const QString& text);

// Whole seconds between two date values (b - a), rounded to the nearest second.
long long SecondsBetween(double a, double b);
// Number of second boundaries crossed from a to b.
long long SecondBoundariesCrossed(double a, double b);
double AddSeconds(double date, double seconds);

}  // namespace DateUtil
