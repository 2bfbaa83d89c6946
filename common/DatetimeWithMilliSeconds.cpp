#include "common/DatetimeWithMilliSeconds.h"

#include <QDate>
#include <algorithm>

#include "common/DateUtil.h"
#include "common/Failure.h"

namespace {

constexpr int64_t kTicksPerMs = 10000;
constexpr int64_t kTicksPerDay = 86400LL * 1000 * kTicksPerMs;
const QDate kFileTimeEpoch(1601, 1, 1);

Failure Invalid() {
    return Failure(FailureNumber::InvalidArgument, QStringLiteral("Invalid procedure call or argument"));
}
Failure Overflow() {
    return Failure(FailureNumber::Overflow, QStringLiteral("Overflow"));
}

int64_t CheckedAdd(int64_t a, int64_t b) {
    int64_t r = 0;
    if (__builtin_add_overflow(a, b, &r)) throw Overflow();
    return r;
}

struct TickFields {
    QDate date;
    int64_t msOfDay;
};

TickFields Split(int64_t ticks) {
    if (ticks < 0) throw Invalid();
    const int64_t days = ticks / kTicksPerDay;
    const int64_t rest = ticks % kTicksPerDay;
    return {kFileTimeEpoch.addDays(days), rest / kTicksPerMs};
}

}  // namespace

void DatetimeWithMilliSeconds::SetTo(double tmpDate, Numbers::Fixed4 tmpMilliSeconds) {
    if (tmpMilliSeconds.raw < 0) throw Invalid();
    const auto f = DateUtil::ToFields(tmpDate);
    if (!f) throw Invalid();
    const QDate d(f->year, f->month, f->day);
    if (d < kFileTimeEpoch) throw Invalid();
    const int64_t days = kFileTimeEpoch.daysTo(d);
    const int64_t secs = f->hour * 3600LL + f->minute * 60LL + f->second;
    ticks_ = days * kTicksPerDay + secs * 1000 * kTicksPerMs;
    if (tmpMilliSeconds.raw > 0) ticks_ = CheckedAdd(ticks_, tmpMilliSeconds.raw);
}

void DatetimeWithMilliSeconds::SetNow() {
    const auto f = DateUtil::NowFields();
    const QDate d(f.year, f.month, f.day);
    const int64_t ms = ((f.hour * 60LL + f.minute) * 60LL + f.second) * 1000LL + f.millisecond;
    ticks_ = kFileTimeEpoch.daysTo(d) * kTicksPerDay + ms * kTicksPerMs;
}

int16_t DatetimeWithMilliSeconds::ValueMilliseconds() const {
    return static_cast<int16_t>(Split(ticks_).msOfDay % 1000);
}

double DatetimeWithMilliSeconds::DateTime() const {
    const TickFields t = Split(ticks_);
    DateUtil::Fields f;
    t.date.getDate(&f.year, &f.month, &f.day);
    const int64_t secs = t.msOfDay / 1000;
    f.hour = static_cast<int>(secs / 3600);
    f.minute = static_cast<int>(secs / 60 % 60);
    f.second = static_cast<int>(secs % 60);
    const auto v = DateUtil::FromFields(f);
    if (!v) throw Invalid();
    return *v;
}

int32_t DatetimeWithMilliSeconds::Compare(const DatetimeWithMilliSeconds& other) const {
    if (ticks_ < other.ticks_) return -1;
    return ticks_ > other.ticks_ ? 1 : 0;
}

void DatetimeWithMilliSeconds::AddMilliSeconds(Numbers::Fixed4 tmpMilliSeconds) {
    ticks_ = CheckedAdd(ticks_, tmpMilliSeconds.raw);
}

void DatetimeWithMilliSeconds::AddSeconds(Numbers::Fixed4 tmpSeconds) {
    int64_t raw = 0;
    if (__builtin_mul_overflow(tmpSeconds.raw, int64_t{1000}, &raw)) throw Overflow();
    ticks_ = CheckedAdd(ticks_, raw);
}

Numbers::Fixed4 DatetimeWithMilliSeconds::MilliSecondsDiff(const DatetimeWithMilliSeconds& other) const {
    return Numbers::Fixed4::FromRaw(ticks_ - other.ticks_);
}

Numbers::Fixed4 DatetimeWithMilliSeconds::SecondsDiff(const DatetimeWithMilliSeconds& other) const {
    // Milliseconds times 0.001, kept to four decimals (rounded half to even).
    const int64_t raw = ticks_ - other.ticks_;
    const int64_t q = raw / 1000, r = raw % 1000;
    int64_t result = q;
    const int64_t twice = 2 * (r < 0 ? -r : r);
    if (twice > 1000 || (twice == 1000 && (q % 2 != 0))) result += raw < 0 ? -1 : 1;
    return Numbers::Fixed4::FromRaw(result);
}

QString DatetimeWithMilliSeconds::FormatString(const QString& tmpFormat) const {
    const int p = tmpFormat.indexOf(QLatin1String(".ms")) + 1;  // 1-based, 0 when absent
    if (p < 2) return DateUtil::Format(DateTime(), tmpFormat);
    QString f = tmpFormat;
    f.remove(p - 1, 3);
    QString r = DateUtil::Format(DateTime(), f);
    // The milliseconds, three digits, at the place of ".ms" in the text (or at its end).
    const int ms = ValueMilliseconds();
    const char16_t m[4] = {u'.', static_cast<char16_t>(u'0' + ms / 100),
                           static_cast<char16_t>(u'0' + ms / 10 % 10), static_cast<char16_t>(u'0' + ms % 10)};
    r.insert(std::min<qsizetype>(p - 1, r.size()), reinterpret_cast<const QChar*>(m), 4);
    return r;
}
