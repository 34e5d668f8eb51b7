#include "jet/Value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace jet {
namespace {

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A small cursor over the text being parsed; every reader leaves the position
// unchanged when it fails, so callers can try alternatives.
class Cursor {
 public:
  explicit Cursor(std::string_view s) : s_(s) {}
  bool AtEnd() const { return pos_ == s_.size(); }
  std::size_t Pos() const { return pos_; }
  char Peek() const { return AtEnd() ? '\0' : s_[pos_]; }
  bool Take(char c) {
    if (Peek() != c || AtEnd()) return false;
    ++pos_;
    return true;
  }
  // Up to maxDigits decimal digits (at least one); how many were read.
  std::size_t Number(int& out, std::size_t maxDigits) {
    std::size_t n = 0;
    int v = 0;
    while (n < maxDigits && pos_ + n < s_.size() && IsDigit(s_[pos_ + n])) {
      v = v * 10 + (s_[pos_ + n] - '0');
      ++n;
    }
    if (n == 0 || (pos_ + n < s_.size() && IsDigit(s_[pos_ + n]))) return 0;
    pos_ += n;
    out = v;
    return n;
  }
  std::size_t SkipBlanks() {
    std::size_t n = 0;
    while (!AtEnd() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_, ++n;
    return n;
  }
  bool TakeWordIgnoringCase(std::string_view w) {
    if (s_.size() - pos_ < w.size()) return false;
    for (std::size_t i = 0; i < w.size(); ++i) {
      char c = s_[pos_ + i];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (c != w[i]) return false;
    }
    pos_ += w.size();
    return true;
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
};

// H:MM or H:MM:SS, optionally followed by AM or PM.
bool ReadTime(Cursor& c, DateTime& d) {
  int h = 0, m = 0, s = 0;
  if (c.Number(h, 2) == 0 || !c.Take(':') || c.Number(m, 2) != 2) return false;
  if (c.Take(':') && c.Number(s, 2) != 2) return false;
  c.SkipBlanks();
  const bool pm = c.TakeWordIgnoringCase("PM");
  const bool am = !pm && c.TakeWordIgnoringCase("AM");
  if (am || pm) {
    if (h < 1 || h > 12) return false;
    h = h % 12 + (pm ? 12 : 0);
  }
  d.hour = h;
  d.minute = m;
  d.second = s;
  return true;
}

// Appends the decimal digits of an unsigned amount scaled by 10^scale, with
// a point and without trailing zeros in the fraction.
void AppendScaled(std::string& out, std::uint64_t magnitude, std::uint64_t scale,
                  int scaleDigits) {
  out += std::to_string(magnitude / scale);
  std::uint64_t frac = magnitude % scale;
  if (frac == 0) return;
  std::string digits = std::to_string(frac);
  digits.insert(0, static_cast<std::size_t>(scaleDigits) - digits.size(), '0');
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  out += '.';
  out += digits;
}

}  // namespace

bool IsValidDateTime(const DateTime& d) {
  if (d.year < 100 || d.year > 9999 || d.month < 1 || d.month > 12) return false;
  if (d.day < 1 || d.day > DaysInMonth(d.year, d.month)) return false;
  return d.hour >= 0 && d.hour <= 23 && d.minute >= 0 && d.minute <= 59 &&
         d.second >= 0 && d.second <= 59;
}

Value Value::Boolean(bool b) { Value v; v.v_ = b; return v; }
Value Value::Long(std::int32_t n) { Value v; v.v_ = n; return v; }
Value Value::Double(double d) { Value v; v.v_ = d; return v; }
Value Value::Money(Currency c) { Value v; v.v_ = c; return v; }
Value Value::Date(DateTime d) { Value v; v.v_ = d; return v; }
Value Value::Text(std::string s) { Value v; v.v_ = std::move(s); return v; }

Value::Kind Value::kind() const { return static_cast<Kind>(v_.index()); }

bool Value::AsBoolean() const { return std::get<bool>(v_); }
std::int32_t Value::AsLong() const { return std::get<std::int32_t>(v_); }
double Value::AsDouble() const { return std::get<double>(v_); }
Currency Value::AsCurrency() const { return std::get<Currency>(v_); }
const DateTime& Value::AsDate() const { return std::get<DateTime>(v_); }
const std::string& Value::AsText() const { return std::get<std::string>(v_); }

std::string Value::ToText() const {
  switch (kind()) {
    case Kind::Null: return {};
    case Kind::Boolean: return AsBoolean() ? "True" : "False";
    case Kind::Long: return std::to_string(AsLong());
    case Kind::Double: return FormatDouble(AsDouble());
    case Kind::Currency: return FormatCurrency(AsCurrency());
    case Kind::Date: return FormatDate(AsDate());
    case Kind::Text: return AsText();
  }
  return {};
}

std::string FormatDate(const DateTime& d) {
  char buf[64];
  if (d.IsMidnight()) {
    std::snprintf(buf, sizeof buf, "%d/%d/%04d", d.month, d.day, d.year);
  } else {
    std::snprintf(buf, sizeof buf, "%d/%d/%04d %d:%02d:%02d", d.month, d.day, d.year,
                  d.hour, d.minute, d.second);
  }
  return buf;
}

std::string FormatDouble(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d < 0 ? "-Infinity" : "Infinity";
  if (d == 0) return "0";  // also -0
  // Fifteen significant digits in scientific form, then laid out as a plain
  // decimal: %g would switch to an exponent for large and small magnitudes.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", d);
  std::string_view s(buf);
  const bool negative = s.front() == '-';
  if (negative) s.remove_prefix(1);
  const std::size_t e = s.find('e');
  std::string digits;
  for (char c : s.substr(0, e)) {
    if (IsDigit(c)) digits += c;
  }
  const int exponent = std::atoi(std::string(s.substr(e + 1)).c_str());
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  if (digits == "0") return "0";

  std::string out = negative ? "-" : "";
  const int intDigits = exponent + 1;  // digits before the point
  if (intDigits <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-intDigits), '0');
    out += digits;
  } else if (static_cast<std::size_t>(intDigits) >= digits.size()) {
    out += digits;
    out.append(static_cast<std::size_t>(intDigits) - digits.size(), '0');
  } else {
    out += digits.substr(0, static_cast<std::size_t>(intDigits));
    out += '.';
    out += digits.substr(static_cast<std::size_t>(intDigits));
  }
  return out;
}

std::string FormatCurrency(Currency c) {
  std::string out;
  std::uint64_t magnitude = static_cast<std::uint64_t>(c.tenThousandths);
  if (c.tenThousandths < 0) {
    out.push_back('-');
    magnitude = ~magnitude + 1;  // exact also for the most negative amount
  }
  AppendScaled(out, magnitude, 10000, 4);
  return out;
}

std::optional<DateTime> ParseDate(std::string_view text) {
  Cursor c(text);
  c.SkipBlanks();
  DateTime d;
  int a = 0, b = 0, y = 0;
  const std::size_t firstDigits = c.Number(a, 4);
  if (firstDigits == 4 && c.Take('-')) {
    // yyyy-mm-dd
    if (c.Number(b, 2) != 2 || !c.Take('-') || c.Number(d.day, 2) != 2) return std::nullopt;
    d.year = a;
    d.month = b;
  } else if (firstDigits >= 1 && firstDigits <= 2 && c.Take('/')) {
    // m/d/yyyy or m/d/yy, month always first
    if (c.Number(b, 2) == 0 || !c.Take('/')) return std::nullopt;
    const std::size_t yearDigits = c.Number(y, 4);
    if (yearDigits == 0) return std::nullopt;
    if (yearDigits <= 2) y += y < 30 ? 2000 : 1900;
    d.month = a;
    d.day = b;
    d.year = y;
  } else {
    return std::nullopt;
  }
  const std::size_t blanks = c.SkipBlanks();
  if (!c.AtEnd()) {
    if (blanks == 0 || !ReadTime(c, d)) return std::nullopt;
    c.SkipBlanks();
    if (!c.AtEnd()) return std::nullopt;
  }
  if (!IsValidDateTime(d)) return std::nullopt;
  return d;
}

std::optional<Currency> ParseCurrency(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::string whole, frac;
  while (i < text.size() && IsDigit(text[i])) whole += text[i++];
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) frac += text[i++];
  }
  if (i != text.size() || (whole.empty() && frac.empty())) return std::nullopt;

  // Largest magnitude in ten-thousandths, computed without overflow.
  constexpr std::uint64_t kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  const std::uint64_t limit = negative ? kMax + 1 : kMax;
  std::uint64_t units = 0;
  for (char ch : whole) {
    const auto digit = static_cast<std::uint64_t>(ch - '0');
    if (units > (limit - digit) / 10) return std::nullopt;
    units = units * 10 + digit;
  }
  if (units > limit / 10000) return std::nullopt;
  std::uint64_t amount = units * 10000;
  std::uint64_t fourPlaces = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    fourPlaces = fourPlaces * 10 + (k < frac.size() ? static_cast<std::uint64_t>(frac[k] - '0') : 0);
  }
  // Round half to even on what lies beyond the fourth place.
  if (frac.size() > 4) {
    const char next = frac[4];
    const bool restNonZero = frac.find_first_not_of('0', 5) != std::string::npos;
    const bool up = next > '5' || (next == '5' && (restNonZero || fourPlaces % 2 == 1));
    if (up) ++fourPlaces;
  }
  if (amount > limit - fourPlaces) return std::nullopt;
  amount += fourPlaces;
  Currency result;
  result.tenThousandths = negative ? static_cast<std::int64_t>(~amount + 1)
                                   : static_cast<std::int64_t>(amount);
  return result;
}

}  // namespace jet
