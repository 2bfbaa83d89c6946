#include <gtest/gtest.h>

#include <cstdlib>

#include "common/DateUtil.h"
#include "common/DatetimeWithMilliSeconds.h"
#include "common/Failure.h"

using Numbers::Fixed4;

namespace {
double D(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    DateUtil::Fields f;
    f.year = y, f.month = mo, f.day = d, f.hour = h, f.minute = mi, f.second = s;
    return *DateUtil::FromFields(f);
}
Fixed4 Ms(double ms) {
    return Fixed4::FromDouble(ms);
}

struct LocaleGuard {
    explicit LocaleGuard(const char* lang) {
        const char* old = std::getenv("LC_ALL");
        saved = old ? old : "";
        had = old != nullptr;
        setenv("LC_ALL", lang, 1);
    }
    ~LocaleGuard() {
        if (had)
            setenv("LC_ALL", saved.c_str(), 1);
        else
            unsetenv("LC_ALL");
    }
    std::string saved;
    bool had;
};
}  // namespace

TEST(DateUtil, DateValuesCountDaysSince1899) {
    EXPECT_EQ(D(1899, 12, 30), 0);
    EXPECT_EQ(D(1995, 1, 1, 0, 0, 1), 34700.00001157407407);
    const auto f = DateUtil::ToFields(D(2024, 3, 5, 14, 7, 9));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->hour, 14);
    EXPECT_EQ(f->second, 9);
    EXPECT_EQ(f->weekday, 3);  // Tuesday
    EXPECT_FALSE(DateUtil::ToFields(D(100, 1, 1) - 1));
}

TEST(DateUtil, FractionsCarryForwardsAndFarValuesAreNoDates) {
    auto day = [](double date) {
        const auto f = DateUtil::ToFields(date);
        return f ? QDate(f->year, f->month, f->day) : QDate();
    };
    // Day -1 (1899-12-29) at 23:59:59.99999 rounds to the next day, as on the other side of the epoch.
    EXPECT_EQ(day(-1.9999999999), QDate(1899, 12, 30));
    EXPECT_EQ(day(-0.9999999999), QDate(1899, 12, 31));
    EXPECT_EQ(day(1.9999999999), QDate(1900, 1, 1));
    EXPECT_FALSE(DateUtil::ToFields(1e300));
    EXPECT_FALSE(DateUtil::ToDateTime(-1e300).isValid());
    EXPECT_EQ(DateUtil::SecondBoundariesCrossed(0, 1e300), 0);
}

TEST(DateUtil, FormattingCodesAndDesignators) {
    LocaleGuard en("en_US.UTF-8");
    const double t = D(2024, 3, 5, 14, 7, 9);
    EXPECT_EQ(DateUtil::Format(t, "yyyy/MM/dd HH:mm:ss AMPM"), "2024/03/05 02:07:09 PM");
    EXPECT_EQ(DateUtil::Format(t, "yyyy/MM/dd hh:mm:ss"), "2024/03/05 14:07:09");
    EXPECT_EQ(DateUtil::Format(D(2024, 3, 5, 0, 5, 0), "hh:mm AMPM"), "12:05 AM");
    EXPECT_EQ(DateUtil::DefaultText(D(2024, 3, 1)), "2024/3/1");
    EXPECT_EQ(DateUtil::Format(t, "Short Date"), "2024/3/5");
    LocaleGuard zh("zh_TW.UTF-8");
    EXPECT_EQ(DateUtil::Format(t, "yyyy/MM/dd HH:mm:ss AMPM"), "2024/03/05 02:07:09 下午");
    EXPECT_EQ(DateUtil::Format(D(2024, 3, 5, 9, 0, 0), "AMPM"), "上午");
}

TEST(DateUtil, ParsingReadsTheWrittenForms) {
    EXPECT_EQ(*DateUtil::Parse("2024/03/05 02:07:09 PM"), D(2024, 3, 5, 14, 7, 9));
    EXPECT_EQ(*DateUtil::Parse("2024/3/1"), D(2024, 3, 1));
    EXPECT_EQ(*DateUtil::Parse("2024/3/1 上午 10:20:30"), D(2024, 3, 1, 10, 20, 30));
    EXPECT_EQ(*DateUtil::Parse("2024-03-05 14:07:09"), D(2024, 3, 5, 14, 7, 9));
    EXPECT_EQ(*DateUtil::Parse("2024/03/05 12:00:00 AM"), D(2024, 3, 5));
    EXPECT_FALSE(DateUtil::Parse("2024/13/05"));
    EXPECT_FALSE(DateUtil::Parse("13:00:00 PM 2024/1/1"));
    EXPECT_FALSE(DateUtil::Parse("hello"));
}

TEST(DatetimeWithMilliSeconds, NewValueAndSetTo) {
    DatetimeWithMilliSeconds v;
    EXPECT_EQ(v.DateTime(), D(1601, 1, 1));
    EXPECT_EQ(v.ValueMilliseconds(), 0);
    EXPECT_EQ(v.DateTimeValueWithMilliSeconds().raw, 0);

    const double d = D(2024, 3, 5, 14, 7, 9);
    v.SetTo(d, Ms(1500));
    EXPECT_EQ(v.DateTime(), D(2024, 3, 5, 14, 7, 10));
    EXPECT_EQ(v.ValueMilliseconds(), 500);

    DatetimeWithMilliSeconds before = v;
    try {
        v.SetTo(d, Fixed4::FromRaw(-1));
        FAIL() << "negative amount accepted";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number, 5);
    }
    EXPECT_EQ(v.Compare(before), 0);
    EXPECT_THROW(v.SetTo(D(1600, 12, 31), Ms(0)), Failure);
}

TEST(DatetimeWithMilliSeconds, ArithmeticAndCopies) {
    DatetimeWithMilliSeconds a, b;
    a.SetTo(D(2024, 3, 5, 12, 0, 0), Ms(999));
    DatetimeWithMilliSeconds copy;
    copy.CopyFrom(a);
    EXPECT_EQ(copy.Compare(a), 0);
    EXPECT_EQ(copy.DateTime(), D(2024, 3, 5, 12, 0, 0));

    b.CopyFrom(a);
    b.AddMilliSeconds(Ms(1234));
    EXPECT_EQ(b.MilliSecondsDiff(a).raw, 12340000);
    EXPECT_EQ(a.MilliSecondsDiff(b).raw, -12340000);
    EXPECT_EQ(b.SecondsDiff(a).raw, 12340);
    b.AddSeconds(Fixed4::FromDouble(-1.234));
    EXPECT_EQ(b.Compare(a), 0);
    b.AddMilliSeconds(Fixed4::FromRaw(1));  // one tick
    EXPECT_EQ(b.Compare(a), 1);
    EXPECT_EQ(a.Compare(b), -1);

    DatetimeWithMilliSeconds early;
    early.AddMilliSeconds(Ms(-1));
    EXPECT_THROW(early.DateTime(), Failure);
    EXPECT_THROW(early.FormatString("yyyy.ms"), Failure);
    EXPECT_EQ(early.MilliSecondsDiff(DatetimeWithMilliSeconds()).raw, -10000);
}

TEST(DatetimeWithMilliSeconds, FormatStringSplicesMilliseconds) {
    LocaleGuard en("en_US.UTF-8");
    DatetimeWithMilliSeconds v;
    const double d = D(2024, 3, 5, 14, 7, 9);
    v.SetTo(d, Ms(5));
    EXPECT_EQ(v.FormatString("yyyy/MM/dd HH:mm:ss.ms"), "2024/03/05 14:07:09.005");
    EXPECT_EQ(v.FormatString("yyyy/MM/dd HH:mm:ss.ms AMPM"), "2024/03/05 02:07:09.005 PM");
    v.SetTo(d, Ms(0));
    EXPECT_EQ(v.FormatString("yyyy/MM/dd HH:mm:ss.ms"), "2024/03/05 14:07:09.000");
    v.SetTo(d, Ms(999));
    EXPECT_EQ(v.FormatString("yyyy/MM/dd HH:mm:ss.ms"), "2024/03/05 14:07:09.999");
    EXPECT_FALSE(v.FormatString("HH:mm:ss.MS").contains("999"));
    EXPECT_EQ(v.FormatString(".msyyyy"), ".ms2024");
    EXPECT_EQ(v.FormatString("ss.ms.ms"), "09.999.ms");
}
