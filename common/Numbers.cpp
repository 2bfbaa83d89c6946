#include "common/Numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
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

// The fast form of RoundedDigits for ordinary magnitudes (up to 24 whole digits, up to 30
// places), the same steps on a fixed buffer; the plain form serves every other value.
class FastDigits {
  public:
    static constexpr int kMaxWhole = 24;
    static constexpr int kMaxPlaces = 30;

    // False when the value is beyond the ordinary magnitudes.
    bool Round(double value, int places, bool halfEven) {
        char sci[40];
        const auto r = std::to_chars(sci, sci + sizeof sci, std::fabs(value), std::chars_format::scientific);
        // d[.ddd]e±XX: the shortest digits and the count of digits before the point.
        char mantissa[24];
        int count = 0;
        const char* p = sci;
        for (; *p != 'e'; ++p)
            if (*p != '.') mantissa[count++] = *p;
        const bool negative = p[1] == '-';
        int exponent = 0;
        for (p += 2; p < r.ptr; ++p) exponent = exponent * 10 + (*p - '0');
        const int point = (negative ? -exponent : exponent) + 1;
        if (point > kMaxWhole || places > kMaxPlaces || places < 0) return false;
        auto digit = [&](int k) { return k >= 0 && k < count ? mantissa[k] : '0'; };
        // Whole digits, then the fraction with three more places rounded half to even on the rest.
        const int keep = places + 3;
        begin_ = buf_ + 1;
        size_ = 0;
        if (point <= 0) begin_[size_++] = '0';
        for (int k = 0; k < point; ++k) begin_[size_++] = digit(k);
        for (int k = point; k < point + keep; ++k) begin_[size_++] = digit(k);
        if (count - point > keep) {
            const char first = digit(point + keep);
            bool above = false;
            for (int k = std::max(point + keep + 1, 0); k < count && !above; ++k) above = mantissa[k] != '0';
            if (first > '5' || (first == '5' && (above || Odd(size_)))) Increment(size_);
        }
        // The three extra places decide the last kept one.
        size_ -= 3;
        const char* rest = begin_ + size_;
        const int half = std::memcmp(rest, "500", 3);
        if (half > 0 || (half == 0 && (!halfEven || Odd(size_)))) Increment(size_);
        return true;
    }
    const char* Data() const { return begin_; }
    int Size() const { return size_; }

  private:
    bool Odd(int length) const { return (begin_[length - 1] - '0') % 2 == 1; }
    // Adds one to the last of the first `length` digits; a carry out of the first digit puts a
    // new '1' before them.
    void Increment(int length) {
        int i = length;
        while (i > 0 && begin_[i - 1] == '9') begin_[--i] = '0';
        if (i > 0) {
            ++begin_[i - 1];
            return;
        }
        *--begin_ = '1';
        ++size_;
    }

    char buf_[2 + kMaxWhole + kMaxPlaces + 3];
    char* begin_ = buf_ + 1;
    int size_ = 0;
};

// The parts of a digit pattern: the whole digits required, the fraction digits required and
// optional, and whether it has a point.
struct Pattern {
    int minInt = 0;
    int required = 0;
    int optional = 0;
    bool dot = false;
};

// The text of rounded digits (whole digits, then `places` fraction digits) laid out by a pattern.
QString PatternText(const char* digits, qsizetype size, bool negative, const Pattern& pt) {
    const int places = pt.required + pt.optional;
    const qsizetype wholeEnd = size - places;
    bool zero = true;
    for (qsizetype k = 0; k < size && zero; ++k) zero = digits[k] == '0';
    qsizetype first = 0;  // leading zeros beyond the required whole digits are dropped
    while (wholeEnd - first > 1 && digits[first] == '0' && wholeEnd - first > pt.minInt) ++first;
    qsizetype whole = wholeEnd - first;
    if (pt.minInt == 0 && whole == 1 && digits[first] == '0') whole = 0;
    const qsizetype pad = std::max<qsizetype>(0, pt.minInt - whole);
    qsizetype fraction = places;
    while (fraction > pt.required && digits[wholeEnd + fraction - 1] == '0') --fraction;
    const bool point = fraction > 0 || (pt.dot && places > 0 && pt.required == 0);
    const bool sign = negative && !zero;
    QString out(sign + pad + whole + point + fraction, Qt::Uninitialized);
    QChar* o = out.data();
    if (sign) *o++ = u'-';
    for (qsizetype k = 0; k < pad; ++k) *o++ = u'0';
    for (qsizetype k = 0; k < whole; ++k) *o++ = QLatin1Char(digits[first + k]);
    if (point) *o++ = u'.';
    for (qsizetype k = 0; k < fraction; ++k) *o++ = QLatin1Char(digits[wholeEnd + k]);
    return out;
}

// The pattern text of a finite value: its digits from the fast form where it serves, else from
// the plain one. Halves are rounded away from zero.
QString FormatFinite(double value, const Pattern& pt) {
    FastDigits fast;
    if (fast.Round(value, pt.required + pt.optional, false))
        return PatternText(fast.Data(), fast.Size(), value < 0, pt);
    const std::string digits = RoundedDigits(value, pt.required + pt.optional, false);
    return PatternText(digits.data(), static_cast<qsizetype>(digits.size()), value < 0, pt);
}

}  // namespace

namespace Exact {

double RoundHalfEven(double value, int decimals) {
    if (!std::isfinite(value)) return value;
    if (decimals <= 0) return Numbers::RoundHalfEven(value);
    if (decimals > kMaxDecimals) return value;
    std::string digits = RoundedDigits(value, decimals, true);
    digits.insert(digits.size() - static_cast<size_t>(decimals), 1, '.');
    double r = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), r);
    return value < 0 ? -r : r;
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

}  // namespace Exact

double RoundHalfEven(double value, int decimals) {
    if (!std::isfinite(value)) return value;
    if (decimals <= 0) return RoundHalfEven(value);
    FastDigits fast;
    if (!fast.Round(value, decimals, true)) return Exact::RoundHalfEven(value, decimals);
    // Digits that make a whole number below 2^53, over a power of ten that a double holds
    // exactly, divide to the correctly rounded value, as reading their text would.
    double r = 0;
    uint64_t whole = 0;
    if (fast.Size() <= 15 && decimals <= 22) {
        for (int k = 0; k < fast.Size(); ++k)
            whole = whole * 10 + static_cast<uint64_t>(fast.Data()[k] - '0');
        static constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                           1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                           1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        r = static_cast<double>(whole) / kTens[decimals];
    } else {
        char text[64];
        const int w = fast.Size() - decimals;
        std::memcpy(text, fast.Data(), static_cast<size_t>(w));
        text[w] = '.';
        std::memcpy(text + w + 1, fast.Data() + w, static_cast<size_t>(decimals));
        std::from_chars(text, text + fast.Size() + 1, r);
    }
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
    // 15 significant digits as "%.15g" gives them in the "C" locale; an exponent only beyond
    // ordinary magnitudes.
    char buf[64];
    char* end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15).ptr;
    if (char* e = std::find(buf, end, 'e'); e != end) {
        const double a = std::fabs(value);
        if (a >= 1e-6 && a < 1e15) {
            end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 15).ptr;
            while (end[-1] == '0') --end;
            if (end[-1] == '.') --end;
        } else {
            *e = 'E';
        }
    }
    return QString::fromLatin1(buf, end - buf);
}

QString FormatNumberPattern(double value, const QString& pattern) {
    if (!std::isfinite(value)) return QString();
    Pattern pt;
    for (const QChar c : pattern) {
        if (c == u'.' && !pt.dot)
            pt.dot = true;
        else if (c == u'0')
            ++(pt.dot ? pt.required : pt.minInt);
        else if (c == u'#' && pt.dot)
            ++pt.optional;
    }
    return FormatFinite(value, pt);
}

QString DecimalsText(double value, int decimals) {
    if (!std::isfinite(value)) return QString();
    const int places = std::max(decimals, 0);
    return FormatFinite(value, Pattern{1, places, 0, places > 0});
}

Fixed4 Fixed4::FromDouble(double value) {
    const double raw = RoundHalfEven(value * 10000.0);
    // The range is tested before the conversion: beyond it the conversion is undefined.
    if (!std::isfinite(raw) || raw < -9223372036854775808.0 || raw >= 9223372036854775808.0)
        throw Failure(FailureNumber::Overflow, QStringLiteral("Overflow"));
    return Fixed4{static_cast<int64_t>(raw)};
}

}  // namespace Numbers
