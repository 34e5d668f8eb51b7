#include "tools/bench/References.h"

#include <sqlite3.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "jet/Value.h"
#include "text/Case.h"
#include "text/Utf8.h"
#include "upgrade/ClaimMapping.h"
#include "upgrade/TextRules.h"

namespace calmora::bench {
namespace {


constexpr char kTarget[] = "cms2012";
constexpr char kUnconstrained[] = "cms2012_unconstrained";

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
  throw std::runtime_error(what + ": " + (db != nullptr ? sqlite3_errmsg(db) : "no handle"));
}

std::string Quote(const std::string& name) { return "\"" + name + "\""; }

std::string ArgText(sqlite3_value* v) {
  const auto* text = sqlite3_value_text(v);
  return text != nullptr ? std::string(reinterpret_cast<const char*>(text),
                                       static_cast<std::size_t>(sqlite3_value_bytes(v)))
                         : std::string();
}

void ResultText(sqlite3_context* ctx, const std::string& text) {
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// The two rules plain SQL cannot write: upper case of every letter, and
// the diagnosis text, both taken from the step's own text rules.
void UpperFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  ResultText(ctx, text::UpperCased(ArgText(argv[0])));
}

void DiagnosisFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto part = [](sqlite3_value* v) {
    return sqlite3_value_type(v) == SQLITE_NULL ? jet::Value() : jet::Value::Text(ArgText(v));
  };
  const std::string text = DiagnosisText(part(argv[0]), part(argv[1]));
  const auto width = static_cast<std::size_t>(sqlite3_value_int(argv[2]));
  ResultText(ctx, text::CharacterCount(text) < 2 ? std::string()
                                                      : std::string(text::FirstCharacters(text, width)));
}

class RawFile {
 public:
  RawFile(const std::string& path, const std::string& password) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
      Fail(db_, "open " + path);
    sqlite3_key(db_, password.data(), static_cast<int>(password.size()));
    Exec("PRAGMA cipher_page_size = 4096");
    Exec("PRAGMA journal_mode = WAL");
    Exec("PRAGMA synchronous = NORMAL");
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db_, "bench_upper", 1, flags, nullptr, UpperFunction, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db_, "bench_diagnosis", 3, flags, nullptr, DiagnosisFunction,
                               nullptr, nullptr, nullptr);
  }
  ~RawFile() { sqlite3_close_v2(db_); }
  RawFile(const RawFile&) = delete;
  RawFile& operator=(const RawFile&) = delete;

  sqlite3* get() const { return db_; }
  void Exec(const std::string& sql) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      Fail(db_, sql.substr(0, 60));
  }

 private:
  sqlite3* db_ = nullptr;
};

class Prepared {
 public:
  Prepared(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK)
      Fail(db, sql.substr(0, 60));
  }
  ~Prepared() { sqlite3_finalize(stmt_); }
  Prepared(const Prepared&) = delete;
  Prepared& operator=(const Prepared&) = delete;
  sqlite3_stmt* get() const { return stmt_; }
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) Fail(db_, "step");
    return false;
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// The SQL expression of one mapping item over the legacy row.
std::string Expression(const ClaimItem& item) {
  const std::string source = item.source.empty() ? "NULL" : Quote(item.source);
  const std::string text = "COALESCE(" + source + ", '')";
  const std::string width = std::to_string(item.width);
  switch (item.rule) {
    case ClaimRule::Value:
    case ClaimRule::Flag: return item.targetIsYesNo ? "COALESCE(" + source + ", 0)" : source;
    case ClaimRule::Date: return source;
    case ClaimRule::Text: return text;
    case ClaimRule::TextFirst: return "substr(" + text + ", 1, " + width + ")";
    case ClaimRule::Upper: return "bench_upper(" + text + ")";
    case ClaimRule::UpperFirst: return "substr(bench_upper(" + text + "), 1, " + width + ")";
    case ClaimRule::Zip: return "substr(" + text + ", 1, 5) || '-    '";
    case ClaimRule::Empty: return "''";
    case ClaimRule::False: return "0";
    case ClaimRule::Diagnosis: {
      const std::string k = std::to_string(item.diagnosis);
      return "bench_diagnosis(DIAGNOSIS_CODE" + k + "a, DIAGNOSIS_CODE" + k + "b, " + width + ")";
    }
  }
  return "NULL";
}

std::string TargetColumns() {
  std::string sql = "(";
  for (const ClaimItem& item : ClaimMapping())
    sql += (sql.size() > 1 ? ", " : "") + Quote(item.target);
  return sql + ")";
}

// The legacy rows in the order the step walks them, through the mapping.
std::string MappedSelect() {
  std::string sql = "SELECT ";
  bool first = true;
  for (const ClaimItem& item : ClaimMapping()) {
    sql += (first ? "" : ", ") + Expression(item);
    first = false;
  }
  return sql + " FROM conv_hcfa_info ORDER BY rowid";
}

std::int64_t SetBasedInto(RawFile& file, const char* table) {
  file.Exec("BEGIN");
  file.Exec(std::string("INSERT INTO ") + table + " " + TargetColumns() + " " + MappedSelect());
  const std::int64_t rows = sqlite3_changes(file.get());
  file.Exec("COMMIT");
  return rows;
}

// The target's columns with their declared types and nothing else.
std::string UnconstrainedTableSql(RawFile& file) {
  Prepared columns(file.get(), std::string("PRAGMA table_info(") + kTarget + ")");
  std::string sql = std::string("CREATE TABLE ") + kUnconstrained + " (";
  bool first = true;
  while (columns.Step()) {
    const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(columns.get(), 1));
    const auto* declared = sqlite3_column_text(columns.get(), 2);
    const bool key = sqlite3_column_int(columns.get(), 5) != 0;
    sql += (first ? "" : ", ") + Quote(name) + " " +
           (key ? std::string("INTEGER PRIMARY KEY AUTOINCREMENT")
                : std::string(declared != nullptr ? reinterpret_cast<const char*>(declared) : ""));
    first = false;
  }
  return sql + ")";
}

bool SameValue(sqlite3_stmt* a, sqlite3_stmt* b, int column) {
  const int type = sqlite3_column_type(a, column);
  if (type != sqlite3_column_type(b, column)) return false;
  switch (type) {
    case SQLITE_NULL: return true;
    case SQLITE_INTEGER: return sqlite3_column_int64(a, column) == sqlite3_column_int64(b, column);
    case SQLITE_FLOAT: {
      const double x = sqlite3_column_double(a, column), y = sqlite3_column_double(b, column);
      return std::memcmp(&x, &y, sizeof x) == 0;
    }
    default: {
      const void* x = sqlite3_column_blob(a, column);
      const int n = sqlite3_column_bytes(a, column);
      const void* y = sqlite3_column_blob(b, column);
      return n == sqlite3_column_bytes(b, column) &&
             (n == 0 || std::memcmp(x, y, static_cast<std::size_t>(n)) == 0);
    }
  }
}

}  // namespace

std::int64_t CopyClaimsSetBased(const std::string& path, const std::string& password) {
  RawFile file(path, password);
  return SetBasedInto(file, kTarget);
}

std::int64_t CopyClaimsUnconstrained(const std::string& path, const std::string& password) {
  RawFile file(path, password);
  file.Exec(UnconstrainedTableSql(file));
  return SetBasedInto(file, kUnconstrained);
}

std::int64_t CopyClaimsPrepared(const std::string& path, const std::string& password) {
  RawFile file(path, password);
  const auto columns = static_cast<int>(ClaimMapping().size());
  std::string values;
  for (int i = 1; i <= columns; ++i) values += (i > 1 ? ", ?" : "?") + std::to_string(i);
  file.Exec("BEGIN");
  std::int64_t rows = 0;
  {
    Prepared select(file.get(), MappedSelect());
    Prepared insert(file.get(), std::string("INSERT INTO ") + kTarget + " " + TargetColumns() +
                                    " VALUES (" + values + ")");
    while (select.Step()) {
      for (int i = 0; i < columns; ++i)
        sqlite3_bind_value(insert.get(), i + 1, sqlite3_column_value(select.get(), i));
      insert.Step();
      sqlite3_reset(insert.get());
      ++rows;
    }
  }
  file.Exec("COMMIT");
  return rows;
}

Comparison CompareClaimTables(const std::string& fileA, const std::string& fileB,
                              const std::string& password) {
  RawFile a(fileA, password), b(fileB, password);
  const std::string sql = std::string("SELECT * FROM ") + kTarget + " ORDER BY CMS_ID";
  Prepared rowsA(a.get(), sql), rowsB(b.get(), sql);
  const int columns = sqlite3_column_count(rowsA.get());
  if (columns != sqlite3_column_count(rowsB.get())) throw std::runtime_error("cms2012 differs in shape");
  Comparison result;
  bool moreA = rowsA.Step(), moreB = rowsB.Step();
  while (moreA || moreB) {
    if (moreA && moreB) {
      for (int c = 0; c < columns; ++c) {
        if (!SameValue(rowsA.get(), rowsB.get(), c)) {
          ++result.differingRows;
          break;
        }
      }
    }
    if (moreA) ++result.rowsA, moreA = rowsA.Step();
    if (moreB) ++result.rowsB, moreB = rowsB.Step();
  }
  return result;
}

}  // namespace calmora::bench
