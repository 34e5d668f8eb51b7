#pragma once
// Values as the engine stores, returns and accepts them, and their one
// default text form. Every place that joins a value into SQL text or prints
// it uses ToText(), so that what is written reads back as the same value.
//
// Default text forms (they are the contract with stored SQL and with users):
//   Null      ""            (callers that need the word null write it)
//   Boolean   True / False
//   Long      decimal, minus sign when negative: 1234, -7
//   Double    decimal with a point, no exponent, no thousands separator,
//             no trailing zeros, at most 15 significant digits: 12.5, -0.0001
//   Currency  as Double, exact to four places: 12.5, 1234, -0.0001
//   Date      m/d/yyyy, then " H:MM:SS" (24-hour) only when the time is not
//             midnight: 3/5/2014, 3/5/2014 14:05:00
//   Text      the text itself (UTF-8)
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace jet {

// Fixed-point amount in ten-thousandths, exact to four decimal places.
struct Currency {
  std::int64_t tenThousandths = 0;
  auto operator<=>(const Currency&) const = default;
};

// Calendar date and time of day to the second, no time zone.
struct DateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
  auto operator<=>(const DateTime&) const = default;
  bool IsMidnight() const { return hour == 0 && minute == 0 && second == 0; }
};

// True when the fields name a real calendar day (years 100 to 9999, as Jet).
bool IsValidDateTime(const DateTime& d);

class Value {
 public:
  enum class Kind { Null, Boolean, Long, Double, Currency, Date, Text };

  Value() = default;  // Null
  static Value Null() { return Value(); }
  static Value Boolean(bool b);
  static Value Long(std::int32_t n);
  static Value Double(double d);
  static Value Money(Currency c);
  static Value Date(DateTime d);
  static Value Text(std::string s);

  Kind kind() const;
  bool IsNull() const { return kind() == Kind::Null; }

  // Accessors require the matching kind (std::bad_variant_access otherwise).
  bool AsBoolean() const;
  std::int32_t AsLong() const;
  double AsDouble() const;
  Currency AsCurrency() const;
  const DateTime& AsDate() const;
  const std::string& AsText() const;

  // The default text form above; Null gives the empty text.
  std::string ToText() const;

  bool operator==(const Value&) const = default;

 private:
  std::variant<std::monostate, bool, std::int32_t, double, Currency, DateTime,
               std::string>
      v_;
};

std::string FormatDate(const DateTime& d);
std::string FormatDouble(double d);
std::string FormatCurrency(Currency c);

// Reads a date as Jet does between # signs or in a filter: month first,
// m/d/yyyy or m/d/yy, optionally followed by H:MM or H:MM:SS; also
// yyyy-mm-dd[ HH:MM:SS]. Empty result for anything else.
std::optional<DateTime> ParseDate(std::string_view text);

// Exact decimal text ("12.5", "-0.0001", "1234") to currency, decimals past
// the fourth rounded half to even as Jet does; empty when the text is not a
// plain decimal number or the amount is out of range.
std::optional<Currency> ParseCurrency(std::string_view text);

}  // namespace jet
