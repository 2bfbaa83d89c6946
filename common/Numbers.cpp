#include "common/Numbers.h"

#include <cmath>
#include <cstdio>
#include <limits>

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

double RoundHalfEven(double value, int decimals) {
    if (decimals <= 0) return RoundHalfEven(value);
    // Work on the decimal text of the value so that 12.345 is seen as written, not as its
    // nearest binary neighbour.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals + 3, value);
    const double scaled = std::strtod(buf, nullptr) * std::pow(10.0, decimals);
    const double r = RoundHalfEven(std::round(scaled * 1000.0) / 1000.0);
    return r / std::pow(10.0, decimals);
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
    const int dot = pattern.indexOf(u'.');
    const QString intPart = dot < 0 ? pattern : pattern.left(dot);
    const QString fracPart = dot < 0 ? QString() : pattern.mid(dot + 1);
    const int required = static_cast<int>(fracPart.count(u'0'));
    const int optional = static_cast<int>(fracPart.count(u'#'));
    const int places = required + optional;
    const int minInt = static_cast<int>(intPart.count(u'0'));
    // Halves away from zero, judged on the decimal text of the value.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", places + 3, std::fabs(value));
    double scaled = std::strtod(buf, nullptr) * std::pow(10.0, places);
    scaled = std::floor(std::round(scaled * 1000.0) / 1000.0 + 0.5);
    std::snprintf(buf, sizeof buf, "%.0f", scaled);
    QString digits = QString::fromLatin1(buf);
    while (digits.size() < places + 1) digits.prepend(u'0');
    QString ip = digits.left(digits.size() - places);
    QString fp = digits.right(places);
    while (ip.size() > 1 && ip.startsWith(u'0') && ip.size() > minInt) ip.remove(0, 1);
    if (minInt == 0 && ip == QStringLiteral("0")) ip.clear();
    while (ip.size() < minInt) ip.prepend(u'0');
    while (fp.size() > required && fp.endsWith(u'0')) fp.chop(1);
    QString out = ip;
    if (!fp.isEmpty())
        out += u'.' + fp;
    else if (dot >= 0 && places > 0 && required == 0)
        out += u'.';
    const bool zero = scaled == 0.0;
    if (value < 0 && !zero) out.prepend(u'-');
    return out;
}

Fixed4 Fixed4::FromDouble(double value) {
    return Fixed4{static_cast<int64_t>(RoundHalfEven(value * 10000.0))};
}

}  // namespace Numbers
