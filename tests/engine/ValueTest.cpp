#include "jet/Value.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <random>

namespace jet {
namespace {

DateTime D(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) { return DateTime{y, mo, d, h, mi, s}; }

constexpr std::int64_t kMaxMoney = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMinMoney = std::numeric_limits<std::int64_t>::min();

TEST(ValueText, EachKindHasItsDefaultForm) {
  const std::pair<Value, const char*> cases[] = {
      {Value::Null(), ""}, {Value::Boolean(true), "True"}, {Value::Boolean(false), "False"},
      {Value::Long(std::numeric_limits<std::int32_t>::min()), "-2147483648"}, {Value::Text("Grüße\tx"), "Grüße\tx"},
      // Doubles: plain decimals of at most 15 significant digits, never an exponent.
      {Value::Double(1234), "1234"}, {Value::Double(-0.0001), "-0.0001"}, {Value::Double(-0.0), "0"},
      {Value::Double(0.1 + 0.2), "0.3"}, {Value::Double(-2.0 / 3.0), "-0.666666666666667"},
      {Value::Double(1e20), "100000000000000000000"}, {Value::Double(1.5e-7), "0.00000015"},
      {Value::Double(123456789012345678.0), "123456789012346000"},
      {Value::Double(999999999999999.9), "1000000000000000"},  // carries into a new digit
      // Currency: exact to four places.
      {Value::Money(Currency{125000}), "12.5"}, {Value::Money(Currency{12340000}), "1234"},
      {Value::Money(Currency{0}), "0"}, {Value::Money(Currency{-10001}), "-1.0001"},
      {Value::Money(Currency{kMaxMoney}), "922337203685477.5807"},
      {Value::Money(Currency{kMinMoney}), "-922337203685477.5808"},
      // Dates: the time only when it is not midnight, always four year digits.
      {Value::Date(D(2014, 12, 31)), "12/31/2014"}, {Value::Date(D(2014, 1, 2, 0, 0, 1)), "1/2/2014 0:00:01"},
      {Value::Date(D(100, 7, 4, 9, 30, 0)), "7/4/0100 9:30:00"}, {Value::Date(D(100, 1, 1)), "1/1/0100"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(value.ToText(), text);
}

TEST(ValueDates, CalendarValidityAndTheAcceptedForms) {
  for (const DateTime& d : {D(2000, 2, 29), D(2012, 2, 29), DateTime{}}) EXPECT_TRUE(IsValidDateTime(d));
  for (const DateTime& d : {D(1900, 2, 29), D(2014, 2, 29), D(2014, 4, 31), D(2014, 13, 1), D(2014, 0, 1),
                            D(99, 1, 1), D(10000, 1, 1), D(2014, 1, 1, 24, 0, 0), D(2014, 1, 1, 0, 60, 0)}) {
    EXPECT_FALSE(IsValidDateTime(d)) << FormatDate(d);
  }
  const std::pair<const char*, DateTime> forms[] = {
      {"03/05/2014", D(2014, 3, 5)}, {"1/1/29", D(2029, 1, 1)}, {"1/1/30", D(1930, 1, 1)},
      {"3/5/2014 14:05", D(2014, 3, 5, 14, 5, 0)}, {"3/5/2014 2:05:09 PM", D(2014, 3, 5, 14, 5, 9)},
      {"3/5/2014 12:00 am", D(2014, 3, 5, 0, 0, 0)}, {"  3/5/2014  ", D(2014, 3, 5)},
      {"2014-03-05 08:15:00", D(2014, 3, 5, 8, 15, 0)},
  };
  for (const auto& [text, date] : forms) EXPECT_EQ(ParseDate(text), date) << text;
  for (const char* text :
       {"", " ", "2/30/2014", "2/29/2014", "13/1/2014", "0/1/2014", "1/0/2014", "3/5", "3-5-2014",
        "3/5/2014x", "3/5/2014 25:00", "3/5/2014 14:5", "3/5/2014 14:05:60", "3/5/2014 13:00 PM",
        "3/5/2014 0:00 AM", "3/5/201414:05", "3/5/20145", "2014-3-5", "2014-02-30", "#3/5/2014#", "abc",
        "3/5/2014 14:05:00 x", "1/1/0099", "12345/1/2014"}) {
    EXPECT_FALSE(ParseDate(text).has_value()) << '"' << text << '"';
  }
}

TEST(ValueCurrency, ParsesExactDecimalsRoundingHalfToEven) {
  const std::pair<const char*, std::int64_t> amounts[] = {
      {"-0.0001", -1}, {"+3", 30000}, {".5", 5000}, {"5.", 50000}, {"0.10000000", 1000},
      {"-922337203685477.5808", kMinMoney},
      // Beyond four places: half to even.
      {"0.00005", 0}, {"0.00015", 2}, {"0.00025", 2}, {"0.000251", 3}, {"-0.00035", -4}, {"1.99999", 20000},
      {"922337203685477.58069", kMaxMoney},
  };
  for (const auto& [text, amount] : amounts) EXPECT_EQ(ParseCurrency(text), Currency{amount}) << text;
  for (const char* text : {"", "-", ".", "1e3", "1,000", "$5", " 5", "5 ", "1.2.3", "--1", "0x10",
                           "922337203685477.5808", "-922337203685477.5809", "99999999999999999999",
                           "922337203685477.58075" /* rounds past the top */}) {
    EXPECT_FALSE(ParseCurrency(text).has_value()) << '"' << text << '"';
  }
}

TEST(ValueText, EveryTextReadsBackAsTheSameValue) {
  std::mt19937_64 rng(20140305);
  for (int i = 0; i < 20000; ++i) {
    const Currency c{static_cast<std::int64_t>(rng())};
    ASSERT_EQ(ParseCurrency(FormatCurrency(c)), c) << FormatCurrency(c);
    // A double that has a 15-digit decimal form: its text must give it back.
    const long long mantissa = static_cast<long long>(rng() % 1000000000000000ULL);
    const std::string written = std::to_string(i % 2 ? -mantissa : mantissa) + "E" +
                                std::to_string(static_cast<int>(rng() % 41) - 20);
    const double value = std::strtod(written.c_str(), nullptr);
    const std::string text = FormatDouble(value);
    ASSERT_EQ(text.find_first_of("eE,"), std::string::npos) << text;
    ASSERT_EQ(std::strtod(text.c_str(), nullptr), value) << written << " -> " << text;
  }
}

}  // namespace
}  // namespace jet
