#include "storage/Codec.h"

#include <charconv>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "Failure.h"
#include "storage/Fold.h"

namespace jet {

namespace {

constexpr std::int64_t kLongMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kLongMax = std::numeric_limits<std::int32_t>::max();
// Largest magnitude of a currency amount in units (the ten-thousandths fill
// 63 bits).
constexpr double kCurrencyUnitsLimit = 922337203685477.0;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A plain decimal number in text; empty when the text is anything else.
std::optional<double> ParseNumber(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  double d = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(d))
    return std::nullopt;
  return d;
}

std::int64_t RoundLong(double d) {
  const double r = std::nearbyint(d);  // to nearest, ties to even
  if (!(r >= static_cast<double>(kLongMin) && r <= static_cast<double>(kLongMax)))
    Fail(ErrorCode::Overflow);
  return static_cast<std::int64_t>(r);
}

std::int64_t CurrencyToLong(std::int64_t tenThousandths) {
  std::int64_t q = tenThousandths / 10000;
  const std::int64_t r = tenThousandths % 10000;
  if (r > 5000 || (r == 5000 && (q & 1) != 0)) ++q;
  if (r < -5000 || (r == -5000 && (q & 1) != 0)) --q;
  if (q < kLongMin || q > kLongMax) Fail(ErrorCode::Overflow);
  return q;
}

std::int64_t DoubleToCurrency(double d) {
  if (!(std::fabs(d) < kCurrencyUnitsLimit)) Fail(ErrorCode::Overflow);
  return static_cast<std::int64_t>(std::nearbyint(d * 10000.0));
}

std::int64_t Scale(std::int64_t units) {
  if (units > static_cast<std::int64_t>(kCurrencyUnitsLimit) ||
      units < -static_cast<std::int64_t>(kCurrencyUnitsLimit))
    Fail(ErrorCode::Overflow);
  return units * 10000;
}

std::optional<bool> ParseYesNo(std::string_view text) {
  const std::string folded = Fold(Trim(text));
  if (folded == "true" || folded == "yes" || folded == "on") return true;
  if (folded == "false" || folded == "no" || folded == "off") return false;
  if (auto n = ParseNumber(text)) return *n != 0;
  return std::nullopt;
}

Stored FromText(std::string_view text, JetType target) {
  switch (target) {
    case JetType::Counter:
    case JetType::Long: {
      if (auto n = ParseNumber(text)) return Stored::Int(RoundLong(*n));
      break;
    }
    case JetType::Double: {
      if (auto n = ParseNumber(text)) return Stored::Real(*n);
      break;
    }
    case JetType::Currency: {
      if (auto c = ParseCurrency(Trim(text))) return Stored::Int(c->tenThousandths);
      if (auto n = ParseNumber(text)) return Stored::Int(DoubleToCurrency(*n));
      break;
    }
    case JetType::Date: {
      if (auto d = ParseDate(Trim(text)); d && IsValidDateTime(*d))
        return Stored::Str(FormatStoredDate(*d));
      break;
    }
    case JetType::Boolean: {
      if (auto b = ParseYesNo(text)) return Stored::Int(*b ? -1 : 0);
      break;
    }
    case JetType::Text: return Stored::Str(std::string(text));
  }
  Fail(ErrorCode::TypeMismatch);
}

}  // namespace

Stored ToStored(const Value& value, JetType target) {
  using K = Value::Kind;
  if (value.IsNull()) return {};
  if (target == JetType::Text) {
    return Stored::Str(value.kind() == K::Text ? value.AsText() : value.ToText());
  }
  switch (value.kind()) {
    case K::Null: return {};
    case K::Text: return FromText(value.AsText(), target);
    case K::Boolean: {
      const bool b = value.AsBoolean();
      if (target == JetType::Date) Fail(ErrorCode::TypeMismatch);
      if (target == JetType::Double) return Stored::Real(b ? -1.0 : 0.0);
      if (target == JetType::Currency) return Stored::Int(b ? -10000 : 0);
      return Stored::Int(b ? -1 : 0);
    }
    case K::Long: {
      const std::int64_t n = value.AsLong();
      switch (target) {
        case JetType::Double: return Stored::Real(static_cast<double>(n));
        case JetType::Currency: return Stored::Int(n * 10000);
        case JetType::Boolean: return Stored::Int(n != 0 ? -1 : 0);
        case JetType::Date: Fail(ErrorCode::TypeMismatch);
        default: return Stored::Int(n);
      }
    }
    case K::Double: {
      const double d = value.AsDouble();
      if (!std::isfinite(d)) Fail(ErrorCode::Overflow);
      switch (target) {
        case JetType::Double: return Stored::Real(d);
        case JetType::Currency: return Stored::Int(DoubleToCurrency(d));
        case JetType::Boolean: return Stored::Int(d != 0 ? -1 : 0);
        case JetType::Date: Fail(ErrorCode::TypeMismatch);
        default: return Stored::Int(RoundLong(d));
      }
    }
    case K::Currency: {
      const std::int64_t t = value.AsCurrency().tenThousandths;
      switch (target) {
        case JetType::Double: return Stored::Real(static_cast<double>(t) / 10000.0);
        case JetType::Currency: return Stored::Int(t);
        case JetType::Boolean: return Stored::Int(t != 0 ? -1 : 0);
        case JetType::Date: Fail(ErrorCode::TypeMismatch);
        default: return Stored::Int(CurrencyToLong(t));
      }
    }
    case K::Date: {
      if (target != JetType::Date || !IsValidDateTime(value.AsDate()))
        Fail(ErrorCode::TypeMismatch);
      return Stored::Str(FormatStoredDate(value.AsDate()));
    }
  }
  Fail(ErrorCode::TypeMismatch);
}

Stored NumberTextToStored(std::string_view text, bool negative, JetType target) {
  const std::string signedText = negative ? "-" + std::string(text) : std::string(text);
  if (target == JetType::Currency) {
    if (auto c = ParseCurrency(signedText)) return Stored::Int(c->tenThousandths);
  }
  bool integral = text.find_first_of(".eE") == std::string_view::npos;
  if (integral) {
    std::int64_t n = 0;
    const auto [end, ec] =
        std::from_chars(signedText.data(), signedText.data() + signedText.size(), n);
    if (ec == std::errc() && end == signedText.data() + signedText.size()) {
      if (n >= kLongMin && n <= kLongMax) return ToStored(Value::Long(static_cast<std::int32_t>(n)), target);
      if (target == JetType::Currency) return Stored::Int(Scale(n));
    }
  }
  const auto d = ParseNumber(signedText);
  if (!d) Fail(ErrorCode::TypeMismatch);
  return ToStored(Value::Double(*d), target);
}

Value FromStored(const Stored& stored, ExprType type) {
  using SK = Stored::Kind;
  switch (stored.kind) {
    case SK::Null: return Value::Null();
    case SK::Text: {
      if (type == ExprType::Date) {
        if (auto d = ParseStoredDate(stored.s)) return Value::Date(*d);
      }
      return Value::Text(stored.s);
    }
    case SK::Int: {
      const std::int64_t n = stored.i;
      switch (type) {
        case ExprType::Currency: return Value::Money(Currency{n});
        case ExprType::Boolean: return Value::Boolean(n != 0);
        case ExprType::Double: return Value::Double(static_cast<double>(n));
        case ExprType::Text: return Value::Text(std::to_string(n));
        default:
          if (n >= kLongMin && n <= kLongMax) return Value::Long(static_cast<std::int32_t>(n));
          return Value::Double(static_cast<double>(n));
      }
    }
    case SK::Real: {
      const double d = stored.d;
      switch (type) {
        case ExprType::Currency:
          if (std::fabs(d) < 9.2e18) return Value::Money(Currency{std::llround(d)});
          return Value::Double(d / 10000.0);
        case ExprType::Boolean: return Value::Boolean(d != 0);
        case ExprType::Text: return Value::Text(FormatDouble(d));
        default: return Value::Double(d);
      }
    }
  }
  return Value::Null();
}

Stored ReadStored(sqlite3_stmt* stmt, int column) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER: return Stored::Int(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT: return Stored::Real(sqlite3_column_double(stmt, column));
    case SQLITE_NULL: return {};
    default: {
      const auto* text = sqlite3_column_text(stmt, column);
      const int bytes = sqlite3_column_bytes(stmt, column);
      if (text == nullptr) return Stored::Str("");
      return Stored::Str(std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(bytes)));
    }
  }
}

void BindStored(Statement& stmt, int index, const Stored& value) {
  switch (value.kind) {
    case Stored::Kind::Null: stmt.BindNull(index); break;
    case Stored::Kind::Int: stmt.BindInt(index, value.i); break;
    case Stored::Kind::Real: stmt.BindDouble(index, value.d); break;
    case Stored::Kind::Text: stmt.BindText(index, value.s); break;
  }
}

void BindAll(Statement& stmt, const std::vector<Stored>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) BindStored(stmt, static_cast<int>(i + 1), values[i]);
}

void RunBound(Statement& stmt, const std::vector<Stored>& values) {
  const ResetOnExit reset{stmt};
  BindAll(stmt, values);
  while (stmt.Step()) {
  }
}

std::string StoredSql(const Stored& value) {
  switch (value.kind) {
    case Stored::Kind::Null: return "NULL";
    case Stored::Kind::Int: return std::to_string(value.i);
    case Stored::Kind::Real: return fmt::format("{:.17g}", value.d);
    case Stored::Kind::Text: return QuoteText(value.s);
  }
  return "NULL";
}

std::string FormatStoredDate(const DateTime& d) {
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", d.year, d.month, d.day, d.hour,
                     d.minute, d.second);
}

std::optional<DateTime> ParseStoredDate(std::string_view t) {
  if (t.size() != 19 || t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != ':' ||
      t[16] != ':')
    return std::nullopt;
  auto num = [&](std::size_t pos, std::size_t len, int& out) {
    out = 0;
    for (std::size_t i = pos; i < pos + len; ++i) {
      if (t[i] < '0' || t[i] > '9') return false;
      out = out * 10 + (t[i] - '0');
    }
    return true;
  };
  DateTime d;
  if (!num(0, 4, d.year) || !num(5, 2, d.month) || !num(8, 2, d.day) || !num(11, 2, d.hour) ||
      !num(14, 2, d.minute) || !num(17, 2, d.second) || !IsValidDateTime(d))
    return std::nullopt;
  return d;
}

}  // namespace jet
