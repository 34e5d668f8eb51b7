#include "engine/Value.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <random>

namespace jet {
namespace {

DateTime D(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return DateTime{y, mo, d, h, mi, s};
}

TEST(ValueText, EachKindHasItsDefaultForm) {
  EXPECT_EQ(Value::Null().ToText(), "");
  EXPECT_EQ(Value::Boolean(true).ToText(), "True");
  EXPECT_EQ(Value::Boolean(false).ToText(), "False");
  EXPECT_EQ(Value::Long(-7).ToText(), "-7");
  EXPECT_EQ(Value::Long(std::numeric_limits<std::int32_t>::min()).ToText(), "-2147483648");
  EXPECT_EQ(Value::Double(12.5).ToText(), "12.5");
  EXPECT_EQ(Value::Money(Currency{-1}).ToText(), "-0.0001");
  EXPECT_EQ(Value::Date(D(2014, 3, 5)).ToText(), "3/5/2014");
  EXPECT_EQ(Value::Date(D(2014, 3, 5, 14, 5, 0)).ToText(), "3/5/2014 14:05:00");
  EXPECT_EQ(Value::Text("Grüße\tx").ToText(), "Grüße\tx");
}

TEST(ValueText, DoublesArePlainDecimalsWithFifteenDigits) {
  EXPECT_EQ(FormatDouble(1234), "1234");
  EXPECT_EQ(FormatDouble(-0.0001), "-0.0001");
  EXPECT_EQ(FormatDouble(0.0), "0");
  EXPECT_EQ(FormatDouble(-0.0), "0");
  EXPECT_EQ(FormatDouble(0.1 + 0.2), "0.3");  // noise beyond 15 digits dropped
  EXPECT_EQ(FormatDouble(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(FormatDouble(-2.0 / 3.0), "-0.666666666666667");
  // Magnitudes where printf's %g would use an exponent.
  EXPECT_EQ(FormatDouble(1e20), "100000000000000000000");
  EXPECT_EQ(FormatDouble(1.5e-7), "0.00000015");
  EXPECT_EQ(FormatDouble(123456789012345678.0), "123456789012346000");
  EXPECT_EQ(FormatDouble(9999999999999.99), "9999999999999.99");
  EXPECT_EQ(FormatDouble(999999999999999.9), "1000000000000000");  // carries into a new digit
  EXPECT_EQ(FormatDouble(1234567.5), "1234567.5");
}

TEST(ValueText, CurrencyIsExactToFourPlaces) {
  EXPECT_EQ(FormatCurrency(Currency{125000}), "12.5");
  EXPECT_EQ(FormatCurrency(Currency{12340000}), "1234");
  EXPECT_EQ(FormatCurrency(Currency{0}), "0");
  EXPECT_EQ(FormatCurrency(Currency{-10001}), "-1.0001");
  EXPECT_EQ(FormatCurrency(Currency{std::numeric_limits<std::int64_t>::max()}),
            "922337203685477.5807");
  EXPECT_EQ(FormatCurrency(Currency{std::numeric_limits<std::int64_t>::min()}),
            "-922337203685477.5808");
}

TEST(ValueText, DatesShowTimeOnlyWhenNotMidnight) {
  EXPECT_EQ(FormatDate(D(2014, 12, 31)), "12/31/2014");
  EXPECT_EQ(FormatDate(D(2014, 1, 2, 0, 0, 1)), "1/2/2014 0:00:01");
  EXPECT_EQ(FormatDate(D(1999, 7, 4, 9, 30, 0)), "7/4/1999 9:30:00");
  EXPECT_EQ(FormatDate(D(100, 1, 1)), "1/1/0100");  // always four year digits
}

TEST(ValueDates, CalendarValidity) {
  EXPECT_TRUE(IsValidDateTime(D(2000, 2, 29)));   // divisible by 400
  EXPECT_FALSE(IsValidDateTime(D(1900, 2, 29)));  // divisible by 100
  EXPECT_TRUE(IsValidDateTime(D(2012, 2, 29)));
  EXPECT_FALSE(IsValidDateTime(D(2014, 2, 29)));
  EXPECT_FALSE(IsValidDateTime(D(2014, 4, 31)));
  EXPECT_FALSE(IsValidDateTime(D(2014, 13, 1)));
  EXPECT_FALSE(IsValidDateTime(D(2014, 0, 1)));
  EXPECT_FALSE(IsValidDateTime(D(99, 1, 1)));
  EXPECT_FALSE(IsValidDateTime(D(10000, 1, 1)));
  EXPECT_FALSE(IsValidDateTime(D(2014, 1, 1, 24, 0, 0)));
  EXPECT_FALSE(IsValidDateTime(D(2014, 1, 1, 0, 60, 0)));
  EXPECT_TRUE(IsValidDateTime(DateTime{}));  // the zero date of the engine
}

TEST(ValueDates, ParsesTheAcceptedForms) {
  EXPECT_EQ(ParseDate("3/5/2014"), D(2014, 3, 5));
  EXPECT_EQ(ParseDate("03/05/2014"), D(2014, 3, 5));
  EXPECT_EQ(ParseDate("12/31/99"), D(1999, 12, 31));
  EXPECT_EQ(ParseDate("1/1/29"), D(2029, 1, 1));
  EXPECT_EQ(ParseDate("1/1/30"), D(1930, 1, 1));
  EXPECT_EQ(ParseDate("3/5/2014 14:05"), D(2014, 3, 5, 14, 5, 0));
  EXPECT_EQ(ParseDate("3/5/2014 14:05:09"), D(2014, 3, 5, 14, 5, 9));
  EXPECT_EQ(ParseDate("3/5/2014 2:05:09 PM"), D(2014, 3, 5, 14, 5, 9));
  EXPECT_EQ(ParseDate("3/5/2014 12:00 am"), D(2014, 3, 5, 0, 0, 0));
  EXPECT_EQ(ParseDate("  3/5/2014  "), D(2014, 3, 5));
  EXPECT_EQ(ParseDate("2014-03-05"), D(2014, 3, 5));
  EXPECT_EQ(ParseDate("2014-03-05 08:15:00"), D(2014, 3, 5, 8, 15, 0));
  EXPECT_EQ(ParseDate("2/29/2012"), D(2012, 2, 29));
}

TEST(ValueDates, RefusesWhatIsNotADate) {
  for (const char* text :
       {"", " ", "2/30/2014", "2/29/2014", "13/1/2014", "0/1/2014", "1/0/2014", "3/5",
        "3-5-2014", "3/5/2014x", "3/5/2014 25:00", "3/5/2014 14:5", "3/5/2014 14:05:60",
        "3/5/2014 13:00 PM", "3/5/2014 0:00 AM", "3/5/201414:05", "3/5/20145",
        "2014-3-5", "2014-02-30", "#3/5/2014#", "abc", "3/5/2014 14:05:00 x", "1/1/0099",
        "12345/1/2014"}) {
    EXPECT_FALSE(ParseDate(text).has_value()) << '"' << text << '"';
  }
}

TEST(ValueDates, EveryFormattedDateReadsBackUnchanged) {
  std::mt19937 rng(20140305);
  for (int year : {100, 1899, 1900, 1999, 2000, 2012, 2014, 2029, 2030, 9999}) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= 31; ++day) {
        DateTime d{year, month, day, 0, 0, 0};
        if (!IsValidDateTime(d)) continue;
        ASSERT_EQ(ParseDate(FormatDate(d)), d) << FormatDate(d);
        d.hour = static_cast<int>(rng() % 24);
        d.minute = static_cast<int>(rng() % 60);
        d.second = static_cast<int>(rng() % 60);
        ASSERT_EQ(ParseDate(FormatDate(d)), d) << FormatDate(d);
      }
    }
  }
}

TEST(ValueCurrency, ParsesExactDecimals) {
  EXPECT_EQ(ParseCurrency("12.5"), Currency{125000});
  EXPECT_EQ(ParseCurrency("-0.0001"), Currency{-1});
  EXPECT_EQ(ParseCurrency("+3"), Currency{30000});
  EXPECT_EQ(ParseCurrency(".5"), Currency{5000});
  EXPECT_EQ(ParseCurrency("5."), Currency{50000});
  EXPECT_EQ(ParseCurrency("-0"), Currency{0});
  EXPECT_EQ(ParseCurrency("0.10000000"), Currency{1000});
  EXPECT_EQ(ParseCurrency("922337203685477.5807"), Currency{std::numeric_limits<std::int64_t>::max()});
  EXPECT_EQ(ParseCurrency("-922337203685477.5808"), Currency{std::numeric_limits<std::int64_t>::min()});
}

TEST(ValueCurrency, RoundsHalfToEvenBeyondFourPlaces) {
  EXPECT_EQ(ParseCurrency("0.00005"), Currency{0});
  EXPECT_EQ(ParseCurrency("0.00015"), Currency{2});
  EXPECT_EQ(ParseCurrency("0.00025"), Currency{2});
  EXPECT_EQ(ParseCurrency("0.000251"), Currency{3});
  EXPECT_EQ(ParseCurrency("0.00024999"), Currency{2});
  EXPECT_EQ(ParseCurrency("-0.00035"), Currency{-4});
  EXPECT_EQ(ParseCurrency("1.99999"), Currency{20000});  // carries into the units
  EXPECT_EQ(ParseCurrency("922337203685477.58069"), Currency{std::numeric_limits<std::int64_t>::max()});
  EXPECT_FALSE(ParseCurrency("922337203685477.58075"));  // rounds past the top
}

TEST(ValueCurrency, RefusesWhatIsNotAPlainDecimal) {
  for (const char* text : {"", "-", ".", "1e3", "1,000", "$5", " 5", "5 ", "1.2.3", "--1",
                           "0x10", "922337203685477.5808", "-922337203685477.5809",
                           "99999999999999999999"}) {
    EXPECT_FALSE(ParseCurrency(text).has_value()) << '"' << text << '"';
  }
}

TEST(ValueCurrency, TextReadsBackAsTheSameAmount) {
  std::mt19937_64 rng(31);
  for (int i = 0; i < 20000; ++i) {
    const Currency c{static_cast<std::int64_t>(rng())};
    ASSERT_EQ(ParseCurrency(FormatCurrency(c)), c) << FormatCurrency(c);
  }
}

TEST(ValueDouble, TextOfFifteenDigitValuesReadsBackUnchanged) {
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<int> exponent(-20, 20);
  for (int i = 0; i < 20000; ++i) {
    // A value that has a 15-digit decimal form: the text must give it back.
    const long long mantissa = static_cast<long long>(rng() % 1000000000000000ULL);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%lldE%d", (i % 2 ? -mantissa : mantissa), exponent(rng));
    const double d = std::strtod(buf, nullptr);
    const std::string text = FormatDouble(d);
    ASSERT_EQ(text.find_first_of("eE,"), std::string::npos) << text;
    ASSERT_EQ(std::strtod(text.c_str(), nullptr), d) << buf << " -> " << text;
  }
}

}  // namespace
}  // namespace jet
