// Statements in the dialect: translated once per shape of their text and
// cached, bound to the values of each text, run.
#include "Database.h"

#include "Failure.h"
#include "storage/Rules.h"

namespace jet {

namespace {

constexpr std::size_t kCacheLimit = 256;
// Results up to this many bytes are held in memory; larger ones are read
// from a snapshot of the file, row by row.
constexpr std::size_t kHeldResultBytes = 1 << 20;

}  // namespace

sql::KnownName Database::KnownNames() {
  return [this](std::string_view name) { return schema_.IsKnownName(name); };
}

void Database::SchemaChanged() {
  cache_.clear();
  byValue_.clear();
  schema_.Invalidate();
}

Database::Cached& Database::Prepare(const sql::Lexed& lexed, sql::StatementKind kind) {
  if (lexed.ok) {
    if (kind == sql::StatementKind::Insert) {
      const auto byValue = byValue_.find(lexed.valueShape);
      if (byValue != byValue_.end()) return *byValue->second;
    }
    const auto it = cache_.find(lexed.shape);
    if (it != cache_.end()) return *it->second;
  }
  const sql::Statement statement = sql::Parse(lexed, KnownNames());
  auto cached = std::make_unique<Cached>();
  cached->plan = sql::Compile(statement, lexed, schema_);
  cached->plan.kind = kind;
  cached->statement = Statement(db_, cached->plan.sql);
  cached->sql = std::make_shared<const std::string>(cached->plan.sql);
  // A plan bound by value serves every text of its value shape; it is kept
  // under that key alone.
  auto& plans = cached->plan.byValue ? byValue_ : cache_;
  if (plans.size() >= kCacheLimit) plans.clear();
  const std::string& key = cached->plan.byValue ? lexed.valueShape : lexed.shape;
  return *plans.insert_or_assign(key, std::move(cached)).first->second;
}

std::vector<Stored> Database::Parameters(const Cached& cached, const sql::Lexed& lexed) {
  using sql::TokenKind;
  const auto& params = cached.plan.params;
  std::vector<Stored> values(params.size());
  for (std::size_t i = 0; i < params.size(); ++i) {
    const sql::Param& p = params[i];
    const std::uint32_t at = p.value >= 0 ? lexed.values[static_cast<std::size_t>(p.value)]
                                          : lexed.literals[static_cast<std::size_t>(p.literal)];
    const sql::Token& token = lexed.tokens[at];
    Stored stored;
    switch (token.kind) {
      case TokenKind::Name: {  // null, True or False, in a plan bound by value
        if (!p.target) Fail(sql::SyntaxErrorOf(cached.plan.kind));
        if (sql::IsWord(token, "NULL")) break;
        const bool isTrue = sql::IsWord(token, "TRUE");
        // -True is 1, as in any expression of the dialect.
        stored = ToStored(p.negative ? Value::Long(isTrue ? 1 : 0) : Value::Boolean(isTrue),
                          *p.target);
        break;
      }
      case TokenKind::Integer:
      case TokenKind::Decimal: {
        if (p.target) {
          stored = NumberTextToStored(token.text, p.negative, *p.target);
        } else {
          stored = NumberTextToStored(token.text, p.negative,
                                      token.kind == TokenKind::Integer ? JetType::Long : JetType::Double);
        }
        break;
      }
      case TokenKind::String:
        // Text into text is taken as written; any other type converts it.
        stored = p.target && *p.target != JetType::Text
                     ? ToStored(Value::Text(std::string(token.text)), *p.target)
                     : Stored::Str(std::string(token.text));
        break;
      case TokenKind::Date: {
        const auto date = ParseDate(token.text);
        if (!date || !IsValidDateTime(*date)) Fail(sql::SyntaxErrorOf(cached.plan.kind));
        stored = ToStored(Value::Date(*date), p.target.value_or(JetType::Date));
        break;
      }
      default: Fail(sql::SyntaxErrorOf(cached.plan.kind));
    }
    values[i] = std::move(stored);
  }
  return values;
}

void Database::Execute(std::string_view text) {
  const sql::Lexed lexed = sql::Lex(text);
  const sql::StatementKind kind = sql::KindOf(lexed);
  if (kind == sql::StatementKind::CreateTable || kind == sql::StatementKind::AlterTable ||
      kind == sql::StatementKind::DropTable || kind == sql::StatementKind::Unknown) {
    EndGroup();
    ExecuteDefinition(sql::Parse(lexed, KnownNames()), lexed);
    return;
  }
  Cached& cached = Prepare(lexed, kind);
  std::vector<Stored> params = Parameters(cached, lexed);
  if (kind == sql::StatementKind::Select) {
    RunBound(cached.statement, params);
    return;
  }
  RunGrouped(cached.statement, cached.sql, std::move(params));
}

std::unique_ptr<QueryResult> Database::Query(std::string_view text) {
  const sql::Lexed lexed = sql::Lex(text);
  const sql::StatementKind kind = sql::KindOf(lexed);
  if (kind != sql::StatementKind::Select) {
    Execute(text);
    return nullptr;
  }
  RunPendingAgain();
  Cached& cached = Prepare(lexed, kind);
  std::vector<Stored> params = Parameters(cached, lexed);
  auto result = std::make_unique<QueryResult>();
  result->columns = cached.plan.columns;
  result->table = cached.plan.table;
  result->updatable = cached.plan.rowidLast;
  const int width = static_cast<int>(cached.plan.columns.size()) + (cached.plan.rowidLast ? 1 : 0);
  {
    const ResetOnExit reset{cached.statement};
    BindAll(cached.statement, params);
    RowStore held;
    bool large = false;
    while (!large && cached.statement.Step()) {
      held.Append(cached.statement.get(), width);
      large = held.bytes() > kHeldResultBytes;
    }
    if (!large) {
      result->rows = HeldRows(std::move(held));
      return result;
    }
  }
  // Too large to hold: the rows are read from the file as committed now.
  EndGroup();
  result->rows = readers_->Open(cached.plan.sql, std::move(params));
  return result;
}

std::vector<Stored> Database::UpdateRow(const std::string& tableName, std::int64_t rowid,
                                        const std::vector<std::pair<std::string, Value>>& changes) {
  const TableInfo& table = schema_.Get(tableName);
  std::string sql = "UPDATE " + QuoteName(table.name) + " SET ";
  std::vector<Stored> stored;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    const int index = table.Find(changes[i].first);
    if (index < 0) Fail(ErrorCode::NoSuchField, {changes[i].first, table.name});
    const ColumnInfo& column = table.columns[static_cast<std::size_t>(index)];
    if (i > 0) sql += ", ";
    sql += QuoteName(column.name) + " = ?" + std::to_string(i + 1);
    stored.push_back(ToStored(changes[i].second, column.type));
  }
  sql += " WHERE rowid = ?" + std::to_string(changes.size() + 1);
  const std::string key = "\x02" + sql;
  auto it = cache_.find(key);
  if (it == cache_.end()) {
    auto cached = std::make_unique<Cached>();
    cached->statement = Statement(db_, sql);
    cached->sql = std::make_shared<const std::string>(sql);
    if (cache_.size() >= kCacheLimit) cache_.clear();
    it = cache_.emplace(key, std::move(cached)).first;
  }
  Cached& cached = *it->second;
  std::vector<Stored> params = stored;
  params.push_back(Stored::Int(rowid));
  RunGrouped(cached.statement, cached.sql, std::move(params));
  if (sqlite3_changes(db_) == 0) Fail(ErrorCode::RecordDeleted);
  return stored;
}

}  // namespace jet
