#include "QueryFunctions.h"

#include <exception>
#include <string>
#include <string_view>

#include "sql/Compiler.h"
#include "storage/Codec.h"
#include "storage/Fold.h"

namespace jet {

namespace {

Stored ArgStored(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return Stored::Int(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return Stored::Real(sqlite3_value_double(v));
    case SQLITE_NULL: return {};
    default: {
      const auto* text = sqlite3_value_text(v);
      return Stored::Str(text != nullptr ? std::string(reinterpret_cast<const char*>(text),
                                                       static_cast<std::size_t>(sqlite3_value_bytes(v)))
                                         : std::string());
    }
  }
}

std::string_view ArgText(sqlite3_value* v) {
  const auto* text = sqlite3_value_text(v);
  return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text),
                                            static_cast<std::size_t>(sqlite3_value_bytes(v)))
                         : std::string_view();
}

// The default text form of a value of the given expression type.
std::string TextForm(sqlite3_value* v, sqlite3_value* type) {
  const auto t = static_cast<ExprType>(sqlite3_value_int(type));
  const Value value = FromStored(ArgStored(v), t);
  return value.kind() == Value::Kind::Text ? value.AsText() : value.ToText();
}

void ResultText(sqlite3_context* ctx, const std::string& text) {
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

template <typename F>
void Safely(sqlite3_context* ctx, F&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    sqlite3_result_error(ctx, e.what(), -1);
  } catch (...) {
    sqlite3_result_error(ctx, "engine function failed", -1);
  }
}

void TextFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Safely(ctx, [&] {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    ResultText(ctx, TextForm(argv[0], argv[1]));
  });
}

void ConcatFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Safely(ctx, [&] {
    const bool leftNull = sqlite3_value_type(argv[0]) == SQLITE_NULL;
    const bool rightNull = sqlite3_value_type(argv[2]) == SQLITE_NULL;
    if (leftNull && rightNull) return sqlite3_result_null(ctx);
    std::string text = leftNull ? std::string() : TextForm(argv[0], argv[1]);
    if (!rightNull) text += TextForm(argv[2], argv[3]);
    ResultText(ctx, text);
  });
}

void LikeFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Safely(ctx, [&] {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
      return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, LikeMatch(ArgText(argv[0]), ArgText(argv[1])) ? 1 : 0);
  });
}

int CollateFolded(void*, int la, const void* a, int lb, const void* b) {
  return CompareFolded(std::string_view(static_cast<const char*>(a), static_cast<std::size_t>(la)),
                       std::string_view(static_cast<const char*>(b), static_cast<std::size_t>(lb)));
}

}  // namespace

void RegisterFunctions(sqlite3* db) {
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  sqlite3_create_collation_v2(db, sql::kCollation, SQLITE_UTF8, nullptr, CollateFolded, nullptr);
  sqlite3_create_function_v2(db, sql::kTextFunction, 2, flags, nullptr, TextFunction, nullptr,
                             nullptr, nullptr);
  sqlite3_create_function_v2(db, sql::kConcatFunction, 4, flags, nullptr, ConcatFunction, nullptr,
                             nullptr, nullptr);
  sqlite3_create_function_v2(db, sql::kLikeFunction, 2, flags, nullptr, LikeFunction, nullptr,
                             nullptr, nullptr);
}

}  // namespace jet
