#include "common/Numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "common/Failure.h"

namespace Numbers {

double LeadingNumber(const QString& text) {
    const int n = text.size();
    int i = 0;
    while (i < n && (text[i] == u' ' || text[i] == u'\t')) ++i;
    QString digits;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) digits += text[i++];
    bool any = false;
    bool dot = false;
    while (i < n) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128) {
            digits += c;
            any = true;
        } else if (c == u'.' && !dot) {
            digits += c;
            dot = true;
        } else {
            break;
        }
        ++i;
    }
    if (!any) return 0.0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        int j = i + 1;
        QString exp = QStringLiteral("e");
        if (j < n && (text[j] == u'+' || text[j] == u'-')) exp += text[j++];
        bool expDigits = false;
        while (j < n && text[j].isDigit() && text[j].unicode() < 128) {
            exp += text[j++];
            expDigits = true;
        }
        if (expDigits) digits += exp;
    }
    bool ok = false;
    const double v = digits.toDouble(&ok);
    return ok ? v : 0.0;
}

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    const double fl = std::floor(value);
    const double diff = value - fl;
    if (diff < 0.5) return fl;
    if (diff > 0.5) return fl + 1.0;
    return std::fmod(fl, 2.0) == 0.0 ? fl : fl + 1.0;
}

namespace {

// More decimals than this change no double: its smallest step is about 4.9e-324.
constexpr int kMaxDecimals = 340;

// Adds one to the last digit of a digit string (which may grow by one digit).
void Increment(std::string& digits) {
    size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0)
        digits.insert(digits.begin(), '1');
    else
        ++digits[i - 1];
}

// The digits of a finite a >= 0 with exactly `places` decimals (no point), made from its shortest
// round-trip text: every digit a double holds and zeros beyond them, never the noise of its
// binary expansion (1e300 is a 1 and 300 zeros). The last place is rounded half to even.
std::string FixedDigits(double a, int places) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific);
    const std::string sci(buf, r.ptr);
    const size_t e = sci.find('e');
    std::string mantissa = sci.substr(0, e);
    if (const size_t dot = mantissa.find('.'); dot != std::string::npos) mantissa.erase(dot, 1);
    const long point = std::strtol(sci.c_str() + e + 1, nullptr, 10) + 1;  // digits before the point
    std::string whole, fraction;
    if (point <= 0) {
        whole = "0";
        fraction = std::string(static_cast<size_t>(-point), '0') + mantissa;
    } else if (static_cast<size_t>(point) >= mantissa.size()) {
        whole = mantissa + std::string(static_cast<size_t>(point) - mantissa.size(), '0');
    } else {
        whole = mantissa.substr(0, static_cast<size_t>(point));
        fraction = mantissa.substr(static_cast<size_t>(point));
    }
    const size_t keep = static_cast<size_t>(places);
    std::string digits = whole + fraction.substr(0, std::min(keep, fraction.size()));
    if (fraction.size() < keep) digits.append(keep - fraction.size(), '0');
    if (fraction.size() > keep) {
        const std::string tail = fraction.substr(keep);
        const bool above = tail.find_first_not_of('0', 1) != std::string::npos;
        if (tail[0] > '5' || (tail[0] == '5' && (above || (digits.back() - '0') % 2 == 1))) Increment(digits);
    }
    return digits;
}

// The decimal digits of |value| rounded to `places` decimals (whole part, then exactly `places`
// fraction digits, no point), judged on its decimal text with three more places so that 12.345 is
// seen as written, not as its binary neighbour. A half goes to the even neighbour, or away from
// zero.
std::string RoundedDigits(double value, int places, bool halfEven) {
    const std::string text = FixedDigits(std::fabs(value), places + 3);
    const std::string rest = text.substr(text.size() - 3);
    std::string digits = text.substr(0, text.size() - 3);
    const int half = rest.compare("500");
    if (half > 0 || (half == 0 && (!halfEven || (digits.back() - '0') % 2 == 1))) Increment(digits);
    return digits;
}

}  // namespace

double RoundHalfEven(double value, int decimals) {
    if (!std::isfinite(value)) return value;
    if (decimals <= 0) return RoundHalfEven(value);
    if (decimals > kMaxDecimals) return value;
    std::string digits = RoundedDigits(value, decimals, true);
    digits.insert(digits.size() - static_cast<size_t>(decimals), 1, '.');
    const double r = std::strtod(digits.c_str(), nullptr);
    return value < 0 ? -r : r;
}

std::optional<int16_t> ToInt16(double value) {
    const double r = RoundHalfEven(value);
    if (!std::isfinite(r) || r < -32768.0 || r > 32767.0) return std::nullopt;
    return static_cast<int16_t>(r);
}

std::optional<int32_t> ToInt32(double value) {
    const double r = RoundHalfEven(value);
    if (!std::isfinite(r) || r < -2147483648.0 || r > 2147483647.0) return std::nullopt;
    return static_cast<int32_t>(r);
}

std::optional<double> WholeTextNumber(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<bool> BooleanText(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0) return true;
    if (t.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0) return false;
    if (auto n = WholeTextNumber(t)) return *n != 0.0;
    return std::nullopt;
}

QString NumberText(double value) {
    if (std::isnan(value)) return QStringLiteral("NaN");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (value == 0.0) return QStringLiteral("0");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    QString s = QString::fromLatin1(buf);
    if (s.contains(u'e')) {
        const double a = std::fabs(value);
        if (a >= 1e-6 && a < 1e15) {
            std::snprintf(buf, sizeof buf, "%.15f", value);
            s = QString::fromLatin1(buf);
            while (s.endsWith(u'0')) s.chop(1);
            if (s.endsWith(u'.')) s.chop(1);
        } else {
            s.replace(QStringLiteral("e+"), QStringLiteral("E+"))
                .replace(QStringLiteral("e-"), QStringLiteral("E-"));
        }
    }
    return s;
}

QString FormatNumberPattern(double value, const QString& pattern) {
    if (!std::isfinite(value)) return QString();
    const int dot = pattern.indexOf(u'.');
    const QString intPart = dot < 0 ? pattern : pattern.left(dot);
    const QString fracPart = dot < 0 ? QString() : pattern.mid(dot + 1);
    const int required = static_cast<int>(fracPart.count(u'0'));
    const int optional = static_cast<int>(fracPart.count(u'#'));
    const int places = required + optional;
    const int minInt = static_cast<int>(intPart.count(u'0'));
    // Halves away from zero, judged on the decimal text of the value.
    QString digits = QString::fromStdString(RoundedDigits(value, places, false));
    while (digits.size() < places + 1) digits.prepend(u'0');
    QString ip = digits.left(digits.size() - places);
    QString fp = digits.right(places);
    const bool zero = digits.count(u'0') == digits.size();
    while (ip.size() > 1 && ip.startsWith(u'0') && ip.size() > minInt) ip.remove(0, 1);
    if (minInt == 0 && ip == QStringLiteral("0")) ip.clear();
    while (ip.size() < minInt) ip.prepend(u'0');
    while (fp.size() > required && fp.endsWith(u'0')) fp.chop(1);
    QString out = ip;
    if (!fp.isEmpty())
        out += u'.' + fp;
    else if (dot >= 0 && places > 0 && required == 0)
        out += u'.';
    if (value < 0 && !zero) out.prepend(u'-');
    return out;
}

Fixed4 Fixed4::FromDouble(double value) {
    const double raw = RoundHalfEven(value * 10000.0);
    // The range is tested before the conversion: beyond it the conversion is undefined.
    if (!std::isfinite(raw) || raw < -9223372036854775808.0 || raw >= 9223372036854775808.0)
        throw Failure(FailureNumber::Overflow, QStringLiteral("Overflow"));
    return Fixed4{static_cast<int64_t>(raw)};
}

}  // namespace Numbers
