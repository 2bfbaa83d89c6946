#include "common/DateUtil.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace DateUtil {
namespace {

const QDate kEpoch(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;

// Date values before the epoch count whole days backwards and the fraction forwards.
double FromDayAndMs(qint64 days, qint64 ms) {
    const double frac = static_cast<double>(ms) / kMsPerDay;
    if (days >= 0) return static_cast<double>(days) + frac;
    return static_cast<double>(days) - frac;
}

// Days far beyond the years 100 to 9999; tested before any conversion to an integer.
constexpr double kMaxDays = 1e8;

bool SplitDate(double date, qint64& days, qint64& ms) {
    if (!std::isfinite(date) || std::fabs(date) > kMaxDays) return false;
    const double whole = std::trunc(date);
    double frac = std::fabs(date - whole);
    days = static_cast<qint64>(whole);
    ms = static_cast<qint64>(std::llround(frac * kMsPerDay));
    if (date < 0 && whole == 0.0 && frac > 0) days = 0;  // -0.x: same day as the epoch
    // The fraction counts forwards on both sides of the epoch: a full day carries to the next.
    if (ms >= static_cast<qint64>(kMsPerDay)) {
        ms -= static_cast<qint64>(kMsPerDay);
        days += 1;
    }
    return true;
}

}  // namespace

std::optional<double> FromFields(const Fields& f) {
    if (f.year < 100 || f.year > 9999) return std::nullopt;
    const QDate d(f.year, f.month, f.day);
    if (!d.isValid()) return std::nullopt;
    if (f.hour < 0 || f.hour > 23 || f.minute < 0 || f.minute > 59 || f.second < 0 || f.second > 59 ||
        f.millisecond < 0 || f.millisecond > 999)
        return std::nullopt;
    const qint64 days = kEpoch.daysTo(d);
    const qint64 ms = ((f.hour * 60LL + f.minute) * 60LL + f.second) * 1000LL + f.millisecond;
    return FromDayAndMs(days, ms);
}

std::optional<Fields> ToFields(double date) {
    qint64 days = 0, ms = 0;
    if (!SplitDate(date, days, ms)) return std::nullopt;
    // Round to the nearest second, as date values are used to the whole second.
    qint64 secs = (ms + 500) / 1000;
    if (secs >= 86400) {
        secs -= 86400;
        days += 1;
    }
    const QDate d = kEpoch.addDays(days);
    Fields f;
    d.getDate(&f.year, &f.month, &f.day);
    if (!d.isValid() || f.year < 100 || f.year > 9999) return std::nullopt;
    f.hour = static_cast<int>(secs / 3600);
    f.minute = static_cast<int>(secs / 60 % 60);
    f.second = static_cast<int>(secs % 60);
    f.millisecond = 0;
    f.weekday = d.dayOfWeek() % 7 + 1;
    return f;
}

bool IsWholeSecond(double date) {
    const auto f = ToFields(date);
    return f && FromFields(*f) == date;
}

double FromDateTime(const QDateTime& dt) {
    const qint64 days = kEpoch.daysTo(dt.date());
    return FromDayAndMs(days, dt.time().msecsSinceStartOfDay());
}

QDateTime ToDateTime(double date) {
    qint64 days = 0, ms = 0;
    if (!SplitDate(date, days, ms)) return {};
    return QDateTime(kEpoch.addDays(days), QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)), Qt::UTC);
}

namespace {

// The clock's local date and time. The time zone is asked once per second of the clock: local
// time moves from UTC only at whole seconds, so within a second it is the second's local time
// plus the milliseconds.
struct LocalClock {
    QDate date;
    qint64 msOfDay = 0;
};

std::atomic<qint64 (*)()> g_clock{nullptr};

LocalClock LocalNow() {
    thread_local qint64 second = std::numeric_limits<qint64>::min();
    thread_local QDate date;
    thread_local qint64 secondOfDay = 0;
    qint64 (*const clock)() = g_clock.load();
    const qint64 utcMs = clock ? clock() : QDateTime::currentMSecsSinceEpoch();
    const qint64 utcSecond = utcMs >= 0 ? utcMs / 1000 : (utcMs - 999) / 1000;
    if (utcSecond != second) {
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(utcSecond * 1000, Qt::LocalTime);
        date = local.date();
        secondOfDay = local.time().msecsSinceStartOfDay() / 1000;
        second = utcSecond;
    }
    return {date, secondOfDay * 1000 + (utcMs - utcSecond * 1000)};
}

}  // namespace

double Now() {
    const LocalClock now = LocalNow();
    return FromDayAndMs(kEpoch.daysTo(now.date), now.msOfDay / 1000 * 1000);
}

double Today() {
    return static_cast<double>(kEpoch.daysTo(LocalNow().date));
}

void SetClock(qint64 (*msSinceEpoch)()) {
    g_clock = msSinceEpoch;
}

Fields NowFields() {
    const LocalClock now = LocalNow();
    Fields f;
    now.date.getDate(&f.year, &f.month, &f.day);
    f.hour = static_cast<int>(now.msOfDay / 3600000);
    f.minute = static_cast<int>(now.msOfDay / 60000 % 60);
    f.second = static_cast<int>(now.msOfDay / 1000 % 60);
    f.millisecond = static_cast<int>(now.msOfDay % 1000);
    f.weekday = now.date.dayOfWeek() % 7 + 1;
    return f;
}

int SystemLocaleId() {
    for (const char* var : {"LC_ALL", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) return std::strncmp(v, "zh_TW", 5) == 0 ? 1028 : 1033;
    }
    return 1033;
}

QString AmDesignator() {
    return SystemLocaleId() == 1028 ? QStringLiteral("上午") : QStringLiteral("AM");
}
QString PmDesignator() {
    return SystemLocaleId() == 1028 ? QStringLiteral("下午") : QStringLiteral("PM");
}

QString ShortDateFormat() {
    return QStringLiteral("yyyy/M/d");
}
QString LongTimeFormat() {
    return SystemLocaleId() == 1028 ? QStringLiteral("AMPM hh:mm:ss") : QStringLiteral("HH:mm:ss");
}

namespace {

// Appends a number of at least `width` digits, zeros in front.
void AppendNumber(QString& out, int value, int width) {
    char16_t digits[12];
    int n = 0;
    unsigned v = static_cast<unsigned>(value < 0 ? -value : value);
    do {
        digits[n++] = static_cast<char16_t>(u'0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n < width) digits[n++] = u'0';
    if (value < 0) digits[n++] = u'-';
    std::reverse(digits, digits + n);
    out.append(reinterpret_cast<const QChar*>(digits), n);
}

}  // namespace

QString Format(double date, const QString& format) {
    if (format == QLatin1String("Short Date")) return Format(date, ShortDateFormat());
    if (format == QLatin1String("Long Time")) return Format(date, LongTimeFormat());
    if (format == QLatin1String("General Date")) return DefaultText(date);
    const auto f = ToFields(date);
    if (!f) return QString();
    const QStringView pattern(format);
    const bool twelve = pattern.contains(QLatin1String("AMPM"));
    int hour = f->hour;
    if (twelve) {
        hour = f->hour % 12;
        if (hour == 0) hour = 12;
    }
    QString out;
    out.reserve(format.size() + 8);
    const char16_t* p = reinterpret_cast<const char16_t*>(format.utf16());
    const qsizetype n = format.size();
    auto at = [&](qsizetype i, const char* word) {
        for (qsizetype k = 0; word[k]; ++k)
            if (i + k >= n || p[i + k] != static_cast<char16_t>(word[k])) return false;
        return true;
    };
    for (qsizetype i = 0; i < n;) {
        const char16_t c = p[i];
        const bool twice = i + 1 < n && p[i + 1] == c;
        if (c == u'A' && at(i, "AMPM")) {
            out += f->hour < 12 ? AmDesignator() : PmDesignator();
            i += 4;
        } else if (c == u'y' && at(i, "yyyy")) {
            AppendNumber(out, f->year, 4);
            i += 4;
        } else if (c == u'M') {
            AppendNumber(out, f->month, twice ? 2 : 1);
            i += twice ? 2 : 1;
        } else if (c == u'd') {
            AppendNumber(out, f->day, twice ? 2 : 1);
            i += twice ? 2 : 1;
        } else if (c == u'H' || c == u'h') {
            AppendNumber(out, hour, twice ? 2 : 1);
            i += twice ? 2 : 1;
        } else if (twice && c == u'm') {
            AppendNumber(out, f->minute, 2);
            i += 2;
        } else if (twice && c == u's') {
            AppendNumber(out, f->second, 2);
            i += 2;
        } else {
            out += QChar(c);
            i += 1;
        }
    }
    return out;
}

QString DefaultText(double date) {
    qint64 days = 0, ms = 0;
    if (!SplitDate(date, days, ms)) return QString();
    if (ms == 0) return Format(date, ShortDateFormat());
    if (days == 0) return Format(date, LongTimeFormat());
    return Format(date, ShortDateFormat()) + u' ' + Format(date, LongTimeFormat());
}

std::optional<double> Parse(const QString& text) {
    static const QRegularExpression re(
        QStringLiteral(
            R"(^\s*(\d{3,4})[/\-.](\d{1,2})[/\-.](\d{1,2})(?:[ T]+(?:(AM|PM|上午|下午)\s*)?(\d{1,2}):(\d{1,2})(?::(\d{1,2})(?:\.(\d{1,3}))?)?(?:\s*(AM|PM|上午|下午))?)?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(text);
    if (!m.hasMatch()) return std::nullopt;
    Fields f;
    f.year = m.captured(1).toInt();
    f.month = m.captured(2).toInt();
    f.day = m.captured(3).toInt();
    if (!m.captured(5).isEmpty()) {
        f.hour = m.captured(5).toInt();
        f.minute = m.captured(6).toInt();
        f.second = m.captured(7).isEmpty() ? 0 : m.captured(7).toInt();
        if (!m.captured(8).isEmpty()) f.millisecond = m.captured(8).leftJustified(3, u'0').toInt();
        QString ampm = m.captured(4).isEmpty() ? m.captured(9) : m.captured(4);
        ampm = ampm.toUpper();
        if (!ampm.isEmpty()) {
            if (f.hour < 1 || f.hour > 12) return std::nullopt;
            const bool pm = ampm == QLatin1String("PM") || ampm == QStringLiteral("下午");
            f.hour = f.hour % 12 + (pm ? 12 : 0);
        }
    }
    return FromFields(f);
}

long long SecondsBetween(double a, double b) {
    return std::llround((b - a) * 86400.0);
}

long long SecondBoundariesCrossed(double a, double b) {
    if (!std::isfinite(a) || !std::isfinite(b) || std::fabs(a) > kMaxDays || std::fabs(b) > kMaxDays)
        return 0;
    return static_cast<long long>(std::floor(b * 86400.0 + 1e-6)) -
           static_cast<long long>(std::floor(a * 86400.0 + 1e-6));
}

double AddSeconds(double date, double seconds) {
    const QDateTime dt = ToDateTime(date);
    if (!dt.isValid()) return date + seconds / 86400.0;
    return FromDateTime(dt.addMSecs(std::llround(seconds * 1000.0)));
}

}  // namespace DateUtil
