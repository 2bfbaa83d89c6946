#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/Failure.h"
#include "common/Numbers.h"

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
