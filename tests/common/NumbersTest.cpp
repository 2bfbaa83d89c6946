#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "common/Failure.h"
#include "common/Numbers.h"
#include "tests/support/Hostile.h"

using namespace Numbers;

TEST(Numbers, LeadingNumberReadsOnlyTheNumberAtTheStart) {
    EXPECT_EQ(LeadingNumber("12abc"), 12);
    EXPECT_EQ(LeadingNumber("  250.5"), 250.5);
    EXPECT_EQ(LeadingNumber("abc"), 0);
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("-3.5x"), -3.5);
    EXPECT_EQ(LeadingNumber("1.0"), 1);
    EXPECT_EQ(LeadingNumber("1e3"), 1000);
    EXPECT_EQ(LeadingNumber("1e"), 1);
}

TEST(Numbers, HalvesRoundToEven) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(250.5), 250);
    EXPECT_EQ(RoundHalfEven(12.3456, 2), 12.35);
    EXPECT_EQ(RoundHalfEven(0.125, 2), 0.12);
    EXPECT_EQ(RoundHalfEven(0.375, 2), 0.38);
    EXPECT_FALSE(ToInt16(32767.6).has_value());
    EXPECT_EQ(*ToInt16(-32768.4), -32768);
}

TEST(Numbers, TextsOfNumbersAndBooleans) {
    EXPECT_EQ(NumberText(3), "3");
    EXPECT_EQ(NumberText(12.5), "12.5");
    EXPECT_EQ(NumberText(-0.25), "-0.25");
    EXPECT_EQ(NumberText(0.1 + 0.2), "0.3");
    EXPECT_EQ(NumberText(1234567.0), "1234567");
    EXPECT_EQ(*BooleanText("TRUE"), true);
    EXPECT_EQ(*BooleanText("false"), false);
    EXPECT_EQ(*BooleanText("-1"), true);
    EXPECT_EQ(*BooleanText("0"), false);
    EXPECT_FALSE(BooleanText("yes").has_value());
    EXPECT_FALSE(WholeTextNumber("12abc").has_value());
    EXPECT_EQ(*WholeTextNumber(" 2 "), 2);
}

TEST(Numbers, DigitPatterns) {
    EXPECT_EQ(FormatNumberPattern(12.6, "###0"), "13");
    EXPECT_EQ(FormatNumberPattern(3.14159, "###0.00"), "3.14");
    EXPECT_EQ(FormatNumberPattern(0.5, "###0"), "1");
    EXPECT_EQ(FormatNumberPattern(-2.5, "###0"), "-3");
    EXPECT_EQ(FormatNumberPattern(0.004, "###0.00"), "0.00");
    EXPECT_EQ(FormatNumberPattern(1234.5, "###0.0"), "1234.5");
}

TEST(Numbers, FixedPointKeepsFourDecimals) {
    EXPECT_EQ(Fixed4::FromDouble(0.25 * 1000).raw, 2500000);
    EXPECT_EQ(Fixed4::FromDouble(-0.0001).raw, -1);
    EXPECT_EQ(Fixed4::FromDouble(1.23456).raw, 12346);
}

TEST(Numbers, EveryMagnitudeKeepsItsDigits) {
    EXPECT_EQ(RoundHalfEven(1e300, 2), 1e300);
    EXPECT_EQ(RoundHalfEven(-1e300, 2), -1e300);
    EXPECT_EQ(RoundHalfEven(0.1, 400), 0.1);  // more places than a double holds
    EXPECT_EQ(RoundHalfEven(5e-324, 330), 5e-324);
    EXPECT_EQ(FormatNumberPattern(1e20, "###0"), "100000000000000000000");
    EXPECT_EQ(FormatNumberPattern(-1e300, "###0.0").size(), 304);
    EXPECT_EQ(FormatNumberPattern(99.995, "###0.00"), "100.00");
    EXPECT_EQ(FormatNumberPattern(std::nan(""), "###0"), "");
    EXPECT_EQ(FormatNumberPattern(-std::numeric_limits<double>::infinity(), "###0.0"), "");
    EXPECT_THROW(Fixed4::FromDouble(-1e15), Failure);
    EXPECT_THROW(Fixed4::FromDouble(std::nan("")), Failure);
}

// The fast forms against the plain ones, over halves, carries, 17-digit values and the edges of
// the ordinary magnitudes, with every kind of pattern.
TEST(Numbers, FastFormsGiveThePlainResults) {
    Hostile h;
    SCOPED_TRACE(h.Seed());
    auto value = [&](int decimals) -> double {
        const double sign = h.OneIn(2) ? -1 : 1;
        const double ten = std::pow(10.0, h.Int(0, 8));
        switch (h.Int(0, 5)) {
            case 0:  // a half at some place: 12.345, 0.5, 2.25
                return sign * (h.Int(0, 999999) * 10 + 5) / ten;
            case 1: {  // a half, or just above one, beyond the three places that decide: 0.49950, 0.50051
                const double decide = h.OneIn(2) ? h.Int(499, 500) : h.Int(0, 999);
                const double beyond = 50 + (h.OneIn(2) ? 0 : h.Int(1, 9));
                return sign * ((h.Int(0, 99999) * 1000.0 + decide) * 100 + beyond) /
                       std::pow(10.0, decimals + 5);
            }
            case 2:  // a run of nines just below a power of ten
                return sign * (std::pow(10.0, h.Int(0, 12)) - 5 / ten);
            case 3:  // every digit a double holds, near the bounds of the ordinary magnitudes
                return sign * std::ldexp(h.Int(1 << 20, (1 << 30) - 1) * 1073741824.0 + h.Int(0, 1 << 30),
                                         h.Int(-140, 30));
            case 4:
                return h.Number();
            default:
                return sign * h.Int(0, 99999999) / ten;
        }
    };
    auto run = [&](char c, int low, int high) { return QString(h.Int(low, high), QLatin1Char(c)); };
    for (int round = 0; round < Hostile::Rounds(4000); ++round) {
        const int decimals = h.OneIn(8) ? h.Int(28, 36) : h.Int(0, 8);
        const double v = value(decimals);
        QString pattern = run(u'#', 0, 3) + run(u'0', 0, 3);
        if (!h.OneIn(4)) pattern += u'.' + run(u'0', 0, decimals) + run(u'#', 0, 3);
        SCOPED_TRACE(testing::Message() << v << " " << decimals << " " << pattern.toStdString());
        EXPECT_EQ(FormatNumberPattern(v, pattern), Exact::FormatNumberPattern(v, pattern));
        const QString fixed = decimals > 0 ? QStringLiteral("###0.") + QString(decimals, u'0') : "###0";
        EXPECT_EQ(DecimalsText(v, decimals), Exact::FormatNumberPattern(v, fixed));
        const double fast = RoundHalfEven(v, decimals), plain = Exact::RoundHalfEven(v, decimals);
        EXPECT_EQ(std::memcmp(&fast, &plain, sizeof fast), 0) << fast << " " << plain;
        char text[400];
        std::snprintf(text, sizeof text, "%.15g", v);
        if (std::isfinite(v) && v != 0 && !std::strchr(text, 'e')) {
            EXPECT_EQ(NumberText(v), text);
        }
    }
}
