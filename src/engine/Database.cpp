#include "engine/Database.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "engine/Failure.h"
#include "engine/sql/Parser.h"
#include "engine/storage/Fold.h"
#include "engine/storage/Rules.h"

namespace jet {

namespace {

constexpr std::size_t kCacheLimit = 256;
constexpr int kBusyTimeoutMs = 5000;

// The engine's page cache (KiB): a table walked by several statements in a
// row is read and decrypted once rather than each time.
constexpr int kCacheKiB = 64 * 1024;
// Results up to this many bytes are held in memory; larger ones are read
// from a snapshot of the file, row by row.
constexpr std::size_t kHeldResultBytes = 1 << 20;

// A group commits after this many statements or bytes of values, or after
// a statement that changed more rows than kGroupRows. So bounded, a group
// changes at most about 250 pages of row data and, per statement, a row's
// page, its index entries' and the counter's: well under kLogRoom.
constexpr std::size_t kGroupStatements = 256;
// Groups start once this many statements ran since the last durability
// point: a few statements (a support session, a small change) still commit
// one by one, and only long runs share transactions.
constexpr std::int64_t kStatementsBeforeGroups = 64;
constexpr std::size_t kGroupBytes = 1 << 20;
constexpr int kGroupRows = 16;
constexpr std::int64_t kLogHeader = 32;
constexpr std::int64_t kFrameHeader = 24;
// The storage library's own checkpoint interval, kept with our log hook.
constexpr int kCheckpointFrames = 1000;


// A cached statement is reset however its use ends, so that it holds no
// read lock and no half-stepped state for the next text of its shape.
struct ResetOnExit {
  Statement& statement;
  ~ResetOnExit() { sqlite3_reset(statement.get()); }
};

// ---- functions and collation for the engine's own queries ----

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

// Binds and runs a statement to its end; it is reset however that ends.
void RunBound(Statement& statement, const std::vector<Stored>& params) {
  const ResetOnExit reset{statement};
  BindAll(statement, params);
  while (statement.Step()) {
  }
}

// ---- the file ----

struct HandleOwner {
  sqlite3* db = nullptr;
  ~HandleOwner() {
    if (db != nullptr) sqlite3_close_v2(db);
  }
  sqlite3* release() { return std::exchange(db, nullptr); }
};

int Finish(sqlite3* db, int rc) {
  if (rc != SQLITE_OK) FailFromStorage(db, rc);
  return rc;
}

}  // namespace

void KeyHandle(sqlite3* db, const std::string& password) {
  if (!password.empty()) {
    sqlite3_key(db, password.data(), static_cast<int>(password.size()));
  }
  Exec(db, "PRAGMA cipher_page_size = " + std::to_string(kPageSize));
}

void InspectFile(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) {
    if (errno == EACCES) Fail(ErrorCode::CannotOpenFile, {path});
    Fail(ErrorCode::FileNotFound, {path});
  }
  if (!S_ISREG(st.st_mode)) Fail(ErrorCode::CannotOpenFile, {path});
  if (st.st_size == 0) Fail(ErrorCode::FileEmpty, {path});
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(ErrorCode::CannotOpenFile, {path});
  char header[16] = {};
  in.read(header, sizeof header);
  if (in.gcount() == sizeof header && std::memcmp(header, "SQLite format 3", 16) == 0)
    Fail(ErrorCode::FileUnencrypted, {path});
}

// ---- opening and closing ----

Database::Database(sqlite3* db, std::string path, std::string password)
    : db_(db), path_(std::move(path)), schema_(db) {
  sqlite3_wal_hook(db_, LogCommitted, this);
  readers_ = ReaderPool::Make(path_, [password = std::move(password)](sqlite3* reader) {
    KeyHandle(reader, password);
    sqlite3_busy_timeout(reader, kBusyTimeoutMs);
    RegisterFunctions(reader);
  });
}

Database::~Database() {
  cache_.clear();
  byValue_.clear();
  readers_->Close();
  if (db_ != nullptr) sqlite3_close_v2(db_);
}

std::unique_ptr<Database> Database::Open(const std::string& path, const std::string& password) {
  InspectFile(path);
  HandleOwner owner;
  const int rc = sqlite3_open_v2(path.c_str(), &owner.db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    if (owner.db == nullptr) Fail(ErrorCode::ResourceExceeded);
    Fail(ErrorCode::CannotOpenFile, {path}, sqlite3_extended_errcode(owner.db));
  }
  sqlite3_extended_result_codes(owner.db, 1);
  KeyHandle(owner.db, password);
  // The key is only tried by the first read.
  const int read = sqlite3_exec(owner.db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  if (read != SQLITE_OK) {
    const int extended = sqlite3_extended_errcode(owner.db);
    if ((extended & 0xff) == SQLITE_NOTADB || (extended & 0xff) == SQLITE_CORRUPT)
      Fail(ErrorCode::WrongPasswordOrDamaged, {}, extended);
    FailFromStorage(owner.db, read);
  }
  sqlite3_busy_timeout(owner.db, kBusyTimeoutMs);
  Exec(owner.db, "PRAGMA journal_mode = WAL");
  Exec(owner.db, "PRAGMA synchronous = NORMAL");
  Exec(owner.db, "PRAGMA cache_size = -" + std::to_string(kCacheKiB));
  RegisterFunctions(owner.db);
  return std::unique_ptr<Database>(new Database(owner.release(), path, password));
}

void Database::Create(const std::string& path, const std::string& password) {
  if (password.empty()) Fail(ErrorCode::PasswordRequired);
  // Claims the name first, so that an existing file is never touched.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) {
    if (errno == EEXIST) Fail(ErrorCode::DatabaseExists, {path});
    Fail(ErrorCode::CannotOpenFile, {path});
  }
  ::close(fd);
  try {
    HandleOwner owner;
    if (sqlite3_open_v2(path.c_str(), &owner.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
      Fail(ErrorCode::CannotOpenFile, {path});
    sqlite3_extended_result_codes(owner.db, 1);
    KeyHandle(owner.db, password);
    Exec(owner.db, "PRAGMA journal_mode = DELETE");
    Exec(owner.db, "PRAGMA user_version = 1");  // writes the first page: the format is fixed
    Finish(owner.db, sqlite3_close(owner.release()));
  } catch (...) {
    std::remove(path.c_str());
    throw;
  }
}

void Database::MakeDurable() {
  EndGroup();
  int log = 0, done = 0;
  const int rc = sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, &log, &done);
  if (rc != SQLITE_OK) FailFromStorage(db_, rc);
  logFrames_ = 0;
  logAllocated_ = 0;
  statementsSinceDurable_ = 0;
}

void Database::Close() {
  if (db_ == nullptr) return;
  EndGroup();
  cache_.clear();
  byValue_.clear();
  readers_->Close();
  sqlite3* db = std::exchange(db_, nullptr);
  HandleOwner owner{db};
  int log = 0, done = 0;
  int rc = sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, &log, &done);
  if (rc != SQLITE_OK) FailFromStorage(db, rc);
  Exec(db, "PRAGMA journal_mode = DELETE");
  rc = sqlite3_close(owner.release());
  if (rc != SQLITE_OK) FailFromStorage(nullptr, rc);
}

// ---- statements ----

template <typename F>
void Database::InTransaction(F&& body) {
  EndGroup();
  Exec(db_, "BEGIN IMMEDIATE");
  try {
    body();
    Exec(db_, "COMMIT");
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    SchemaChanged();
    throw;
  }
}

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

// ---- groups of statements ----

void Database::RunGrouped(Statement& statement, std::shared_ptr<const std::string> sql,
                          std::vector<Stored> params) {
  RunPendingAgain();
  if (!OpenGroup()) {
    RunBound(statement, params);
    return;
  }
  const int changesBefore = sqlite3_total_changes(db_);
  try {
    RunBound(statement, params);
  } catch (...) {
    KeepDoneAfterFailure();
    throw;
  }
  for (const Stored& p : params) groupBytes_ += sizeof p + p.s.size();
  const bool manyRows = sqlite3_total_changes(db_) - changesBefore > kGroupRows;
  group_.push_back({std::move(sql), std::move(params)});
  if (manyRows || group_.size() >= kGroupStatements || groupBytes_ >= kGroupBytes)
    CommitGroup(true);
}

bool Database::OpenGroup() {
  if (inGroup_) return true;
  if (++statementsSinceDurable_ <= kStatementsBeforeGroups || !ReserveLog()) return false;
  Exec(db_, "BEGIN IMMEDIATE");
  inGroup_ = true;
  return true;
}

void Database::EndGroup() { CommitGroup(false); }

// A statement of the group has failed and undone itself. Its predecessors
// are committed now: the caller may end the process on the report.
void Database::KeepDoneAfterFailure() {
  try {
    if (sqlite3_get_autocommit(db_) != 0) {
      // The storage library ended the whole transaction.
      inGroup_ = false;
      RunDoneAgain();
    } else {
      CommitGroup(false);
    }
  } catch (...) {
    // The statement's own failure is the one reported; the device fails
    // for both alike.
  }
}

// `statementAtWork`: the group's last statement is the caller's, not yet
// reported done; should the commit fail, it fails with it.
void Database::CommitGroup(bool statementAtWork) {
  if (!inGroup_) return RunPendingAgain();
  const int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) {
    inGroup_ = false;
    group_.clear();
    groupBytes_ = 0;
    return;
  }
  std::exception_ptr failure;
  try {
    FailFromStorage(db_, rc);
  } catch (...) {
    failure = std::current_exception();
  }
  if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  inGroup_ = false;
  if (statementAtWork) group_.pop_back();
  RunDoneAgain();
  if (statementAtWork) std::rethrow_exception(failure);
}

// Runs the group's done statements again, in their order, in one
// transaction of their own, and commits it. They fit in the log room that
// held them before.
void Database::RunDoneAgain() {
  if (group_.empty()) return;
  try {
    Exec(db_, "BEGIN IMMEDIATE");
    for (const Done& d : group_) {
      Statement statement(db_, *d.sql);
      RunBound(statement, d.params);
    }
    Exec(db_, "COMMIT");
  } catch (...) {
    // A device that keeps failing: forgetting them here would lose
    // statements reported done while the next durability point succeeds.
    // They stay pending instead (see RunPendingAgain).
    if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  group_.clear();
  groupBytes_ = 0;
}

// Outside a group, group_ holds only done statements that could not be run
// again. They go before any other statement or read, so that order holds
// and reads see them; until they are committed, every statement, durability
// point and Close fails with the device's error.
void Database::RunPendingAgain() {
  if (!inGroup_) RunDoneAgain();
}

// Makes sure the log file has kLogRoom bytes allocated on disk beyond its
// last frame. Allocated room is written over in place and needs no space
// from a full disk.
bool Database::ReserveLog() {
  const std::int64_t needed = kLogHeader + logFrames_ * (kPageSize + kFrameHeader) + kLogRoom;
  if (needed <= logAllocated_) return true;
  const int fd = ::open((path_ + "-wal").c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  const int rc = ::posix_fallocate(fd, 0, static_cast<off_t>(needed));
  ::close(fd);
  if (rc != 0) return false;
  logAllocated_ = needed;
  return true;
}

int Database::LogCommitted(void* self, sqlite3* db, const char* name, int frames) {
  static_cast<Database*>(self)->logFrames_ = frames;
  if (frames >= kCheckpointFrames)
    sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  return SQLITE_OK;
}

// ---- definitions ----

namespace {

ColumnRule RuleOf(const sql::ColumnSpec& spec, const sql::Lexed& lexed, ErrorCode syntax) {
  ColumnRule rule;
  rule.name = spec.name;
  rule.type = spec.type;
  rule.size = spec.size;
  rule.primaryKey = spec.primaryKey || spec.type == JetType::Counter;
  rule.unique = spec.unique;
  rule.notNull = spec.nulls == sql::ColumnSpec::Nulls::NotNull || rule.primaryKey;
  if (spec.defaultValue) {
    const sql::Expr& e = *spec.defaultValue;
    if (e.kind == sql::Expr::Kind::Boolean) {
      rule.defaultValue = ToStored(Value::Boolean(e.flag), spec.type);
    } else if (e.kind == sql::Expr::Kind::Literal) {
      const sql::Token& t = lexed.tokens[lexed.literals[static_cast<std::size_t>(e.literal)]];
      if (t.kind == sql::TokenKind::String) {
        rule.defaultValue = ToStored(Value::Text(std::string(t.text)), spec.type);
      } else if (t.kind == sql::TokenKind::Date) {
        const auto date = ParseDate(t.text);
        if (!date || !IsValidDateTime(*date)) Fail(syntax);
        rule.defaultValue = ToStored(Value::Date(*date), spec.type);
      } else {
        rule.defaultValue = NumberTextToStored(t.text, e.negative, spec.type);
      }
    }
  }
  return rule;
}

bool HasRows(sqlite3* db, const std::string& table) {
  Statement s(db, "SELECT 1 FROM " + QuoteName(table) + " LIMIT 1");
  return s.Step();
}

void RefuseReservedName(const std::string& name) {
  const std::string folded = Fold(name);
  if (folded.rfind("sqlite_", 0) == 0 || folded == kRelationshipTable)
    Fail(ErrorCode::Unsupported, {"the name '" + name + "' is reserved for the engine"});
}

}  // namespace

void Database::ExecuteDefinition(const sql::Statement& statement, const sql::Lexed& lexed) {
  const ErrorCode syntax = sql::SyntaxErrorOf(statement.kind);
  if (const auto* create = std::get_if<sql::CreateTable>(&statement.body)) {
    if (schema_.Find(create->table) != nullptr) Fail(ErrorCode::TableExists, {create->table});
    RefuseReservedName(create->table);
    std::string sql = "CREATE TABLE " + QuoteName(create->table) + " (";
    std::vector<std::string> seen;
    int keys = 0;
    for (const auto& spec : create->columns) {
      const std::string folded = Fold(spec.name);
      for (const auto& s : seen) {
        if (s == folded) Fail(ErrorCode::FieldExists, {spec.name, create->table});
      }
      seen.push_back(folded);
      if (spec.primaryKey || spec.type == JetType::Counter) ++keys;
    }
    if (keys > 1) Fail(ErrorCode::Unsupported, {"more than one primary key or COUNTER column"});
    for (std::size_t i = 0; i < create->columns.size(); ++i) {
      if (i > 0) sql += ", ";
      sql += ColumnDefinitionSql(create->table, RuleOf(create->columns[i], lexed, syntax));
    }
    sql += ")";
    Exec(db_, sql);
    SchemaChanged();
    return;
  }
  if (const auto* alter = std::get_if<sql::AlterAdd>(&statement.body)) {
    const TableInfo& table = schema_.Get(alter->table);
    const sql::ColumnSpec& spec = alter->column;
    if (table.Find(spec.name) >= 0) Fail(ErrorCode::FieldExists, {spec.name, table.name});
    if (spec.type == JetType::Counter || spec.primaryKey || spec.unique)
      Fail(ErrorCode::Unsupported, {"adding a COUNTER, primary key or unique column to a table"});
    ColumnRule rule = RuleOf(spec, lexed, syntax);
    const bool hasDefault = rule.defaultValue && rule.defaultValue->kind != Stored::Kind::Null;
    if (rule.notNull && !hasDefault && rule.type != JetType::Boolean) {
      if (HasRows(db_, table.name)) Fail(ErrorCode::RequiredOnFilledTable, {table.name, spec.name});
      rule.notNull = false;
      rule.requiredByCheck = true;
    }
    const std::string tableName = table.name;
    Exec(db_, "ALTER TABLE " + QuoteName(tableName) + " ADD COLUMN " +
                  ColumnDefinitionSql(tableName, rule));
    SchemaChanged();
    return;
  }
  if (const auto* drop = std::get_if<sql::DropTable>(&statement.body)) {
    const std::string name = schema_.Get(drop->table).name;
    InTransaction([&] {
      Exec(db_, kRelationshipTableSql);
      {
        Statement parent(db_, "SELECT name FROM jet_relationships WHERE primary_table = ?1 COLLATE NOCASE");
        parent.BindText(1, name);
        if (parent.Step()) Fail(ErrorCode::InRelationship, {name, parent.Text(0)});
      }
      std::vector<std::string> keys;
      {
        Statement child(db_, "SELECT name FROM jet_relationships WHERE foreign_table = ?1 COLLATE NOCASE");
        child.BindText(1, name);
        while (child.Step()) keys.push_back(child.Text(0));
      }
      for (const auto& key : keys) {
        for (const auto& trigger : ForeignKeyObjectNames(key).triggers)
          Exec(db_, "DROP TRIGGER IF EXISTS " + QuoteName(trigger));
        Statement remove(db_, "DELETE FROM jet_relationships WHERE name = ?1");
        remove.BindText(1, key);
        remove.Step();
      }
      Exec(db_, "DROP TABLE " + QuoteName(name));
    });
    SchemaChanged();
    return;
  }
  Fail(ErrorCode::InvalidStatement);
}

// ---- catalogue ----

bool Database::IsIndexed(const std::string& table, std::string_view column) {
  const TableInfo& info = schema_.Get(table);
  const int c = info.Find(column);
  if (c < 0) Fail(ErrorCode::NoSuchField, {std::string(column), info.name});
  const ColumnInfo& wanted = info.columns[static_cast<std::size_t>(c)];
  // The row id is its own index.
  if (wanted.type == JetType::Counter) return true;
  Statement indexes(db_, "PRAGMA index_list(" + QuoteName(info.name) + ")");
  std::vector<std::string> names;
  while (indexes.Step()) names.push_back(indexes.Text(1));
  for (const auto& index : names) {
    Statement first(db_, "PRAGMA index_info(" + QuoteName(index) + ")");
    while (first.Step()) {
      if (first.Int(0) == 0 && EqualsFolded(first.Text(2), wanted.name)) return true;
    }
  }
  return false;
}

void Database::AppendIndex(const std::string& name, const std::string& table,
                           std::string_view column) {
  const TableInfo& info = schema_.Get(table);
  const int c = info.Find(column);
  if (c < 0) Fail(ErrorCode::NoSuchField, {std::string(column), info.name});
  RefuseReservedName(name);
  EndGroup();
  {
    Statement taken(db_, "SELECT 1 FROM sqlite_master WHERE name = ?1 COLLATE NOCASE");
    taken.BindText(1, name);
    if (taken.Step()) Fail(ErrorCode::ObjectExists, {name});
  }
  Exec(db_, "CREATE INDEX " + QuoteName(name) + " ON " + QuoteName(info.name) + " (" +
                QuoteName(info.columns[static_cast<std::size_t>(c)].name) + ")");
  SchemaChanged();
}

bool Database::AllowsZeroLength(const std::string& table, const std::string& column) {
  Statement s(db_, "SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND name = ?1");
  s.BindText(1, ZeroLengthTriggerNames(table, column)[0]);
  return !s.Step();
}

void Database::SetAllowZeroLength(const std::string& table, const std::string& column, bool allow) {
  if (AllowsZeroLength(table, column) == allow) return;
  InTransaction([&] {
    if (allow) {
      for (const auto& name : ZeroLengthTriggerNames(table, column))
        Exec(db_, "DROP TRIGGER IF EXISTS " + QuoteName(name));
      return;
    }
    Statement existing(db_, "SELECT 1 FROM " + QuoteName(table) + " WHERE " + QuoteName(column) +
                                " = '' LIMIT 1");
    if (existing.Step()) Fail(ErrorCode::ExistingZeroLength, {table, column});
    for (const auto& sql : ZeroLengthRuleSql(table, column)) Exec(db_, sql);
  });
}

std::vector<ForeignKey> Database::ForeignKeys(const std::string& table) {
  std::vector<ForeignKey> keys;
  Statement exists(db_, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'jet_relationships'");
  if (!exists.Step()) return keys;
  Statement s(db_,
              "SELECT name, foreign_table, foreign_column, primary_table, primary_column FROM "
              "jet_relationships WHERE foreign_table = ?1 COLLATE NOCASE ORDER BY rowid");
  s.BindText(1, table);
  while (s.Step()) keys.push_back({s.Text(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4)});
  return keys;
}

void Database::AppendForeignKey(const ForeignKey& requested) {
  const TableInfo& child = schema_.Get(requested.table);
  const TableInfo& parent = schema_.Get(requested.relatedTable);
  const int c = child.Find(requested.column);
  if (c < 0) Fail(ErrorCode::NoSuchField, {requested.column, child.name});
  const int p = parent.Find(requested.relatedColumn);
  if (p < 0) Fail(ErrorCode::NoSuchField, {requested.relatedColumn, parent.name});
  const ColumnInfo& childColumn = child.columns[static_cast<std::size_t>(c)];
  const ColumnInfo& parentColumn = parent.columns[static_cast<std::size_t>(p)];
  ForeignKey key{requested.name, child.name, childColumn.name, parent.name, parentColumn.name};
  RefuseReservedName(key.name);

  InTransaction([&] {
    Exec(db_, kRelationshipTableSql);
    {
      Statement taken(db_, "SELECT 1 FROM jet_relationships WHERE name = ?1");
      taken.BindText(1, key.name);
      if (taken.Step()) Fail(ErrorCode::ObjectExists, {key.name});
    }
    // The related column must identify one row: the whole primary key, or a
    // unique index of that column alone.
    bool unique = false;
    int keyColumns = 0;
    for (const auto& col : parent.columns) keyColumns += col.primaryKey ? 1 : 0;
    if (parentColumn.primaryKey && keyColumns == 1) unique = true;
    if (!unique) {
      Statement indexes(db_, "PRAGMA index_list(" + QuoteName(parent.name) + ")");
      std::vector<std::string> uniqueIndexes;
      while (indexes.Step()) {
        if (indexes.Int(2) != 0) uniqueIndexes.push_back(indexes.Text(1));
      }
      for (const auto& index : uniqueIndexes) {
        Statement info(db_, "PRAGMA index_info(" + QuoteName(index) + ")");
        std::vector<std::string> columns;
        while (info.Step()) columns.push_back(info.Text(2));
        if (columns.size() == 1 && EqualsFolded(columns[0], parentColumn.name)) unique = true;
      }
    }
    if (!unique) Fail(ErrorCode::NotUniquelyIndexed, {parent.name});
    auto family = [](JetType t) { return t == JetType::Counter ? JetType::Long : t; };
    if (family(childColumn.type) != family(parentColumn.type)) Fail(ErrorCode::RelationTypes);
    {
      Statement orphans(db_, "SELECT 1 FROM " + QuoteName(child.name) + " AS c WHERE c." +
                                 QuoteName(childColumn.name) + " IS NOT NULL AND NOT EXISTS (SELECT 1 FROM " +
                                 QuoteName(parent.name) + " AS p WHERE p." + QuoteName(parentColumn.name) +
                                 " = c." + QuoteName(childColumn.name) + ") LIMIT 1");
      if (orphans.Step()) Fail(ErrorCode::ExistingDataViolates, {child.name, parent.name});
    }
    for (const auto& sql : ForeignKeyRuleSql(key.name, key.table, key.column, key.relatedTable,
                                             key.relatedColumn))
      Exec(db_, sql);
    Statement insert(db_, "INSERT INTO jet_relationships VALUES (?1, ?2, ?3, ?4, ?5)");
    insert.BindText(1, key.name);
    insert.BindText(2, key.table);
    insert.BindText(3, key.column);
    insert.BindText(4, key.relatedTable);
    insert.BindText(5, key.relatedColumn);
    insert.Step();
  });
  SchemaChanged();
}

}  // namespace jet
