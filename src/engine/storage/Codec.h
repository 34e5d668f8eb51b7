#pragma once
// Values between the engine's types and what the file stores (see Types.h),
// one set of conversion rules for literals, recordset changes and results.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/Value.h"
#include "storage/Sqlite.h"
#include "storage/Types.h"

namespace jet {

// A value as the storage library holds it.
struct Stored {
  enum class Kind : std::uint8_t { Null, Int, Real, Text };
  Kind kind = Kind::Null;
  std::int64_t i = 0;
  double d = 0;
  std::string s;

  static Stored Int(std::int64_t v) { Stored x; x.kind = Kind::Int; x.i = v; return x; }
  static Stored Real(double v) { Stored x; x.kind = Kind::Real; x.d = v; return x; }
  static Stored Str(std::string v) { Stored x; x.kind = Kind::Text; x.s = std::move(v); return x; }
};

// Converts a value for a column of the given type, as the engine does on
// INSERT and UPDATE. Fails with TypeMismatch when the value cannot be read as
// the type, Overflow when a number does not fit.
Stored ToStored(const Value& value, JetType target);
// A number written in SQL text (digits, point, exponent), exact for currency.
Stored NumberTextToStored(std::string_view text, bool negative, JetType target);

// Reads a stored value back as the type of its column or expression; never
// fails (values written by other programs come back as close as they can).
Value FromStored(const Stored& stored, ExprType type);
Stored ReadStored(sqlite3_stmt* stmt, int column);
void BindStored(Statement& stmt, int index, const Stored& value);
// Binds the values to ?1, ?2, ... in order.
void BindAll(Statement& stmt, const std::vector<Stored>& values);
// Binds and runs a statement to its end; it is reset however that ends.
void RunBound(Statement& stmt, const std::vector<Stored>& values);

// A cached statement is reset however its use ends, so that it holds no
// read lock and no half-stepped state for the next text of its shape.
struct ResetOnExit {
  Statement& statement;
  ~ResetOnExit() { sqlite3_reset(statement.get()); }
};
// The value in the storage library's SQL, for defaults in the schema.
std::string StoredSql(const Stored& value);

std::string FormatStoredDate(const DateTime& d);
std::optional<DateTime> ParseStoredDate(std::string_view text);

}  // namespace jet
