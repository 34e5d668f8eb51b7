// CREATE TABLE, ALTER TABLE ... ADD and DROP TABLE: each changes the schema
// completely or not at all, and drops the plans translated for the old one.
#include "Database.h"

#include "Failure.h"
#include "storage/Fold.h"
#include "storage/Rules.h"

namespace jet {

void Database::InTransaction(const std::function<void()>& body) {
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

}  // namespace

void RefuseReservedName(const std::string& name) {
  const std::string folded = Fold(name);
  if (folded.rfind("sqlite_", 0) == 0 || folded == kRelationshipTable)
    Fail(ErrorCode::Unsupported, {"the name '" + name + "' is reserved for the engine"});
}

void Database::ExecuteDefinition(const sql::Statement& statement, const sql::Lexed& lexed) {
  const ErrorCode syntax = sql::SyntaxErrorOf(statement.kind);
  if (const auto* create = std::get_if<sql::CreateTable>(&statement.body))
    return DefineTable(*create, lexed, syntax);
  if (const auto* alter = std::get_if<sql::AlterAdd>(&statement.body))
    return AddColumn(*alter, lexed, syntax);
  if (const auto* drop = std::get_if<sql::DropTable>(&statement.body)) return DropTable(*drop);
  Fail(ErrorCode::InvalidStatement);
}

void Database::DefineTable(const sql::CreateTable& create, const sql::Lexed& lexed, ErrorCode syntax) {
  if (schema_.Find(create.table) != nullptr) Fail(ErrorCode::TableExists, {create.table});
  RefuseReservedName(create.table);
  std::string sql = "CREATE TABLE " + QuoteName(create.table) + " (";
  std::vector<std::string> seen;
  int keys = 0;
  for (const auto& spec : create.columns) {
    const std::string folded = Fold(spec.name);
    for (const auto& s : seen) {
      if (s == folded) Fail(ErrorCode::FieldExists, {spec.name, create.table});
    }
    seen.push_back(folded);
    if (spec.primaryKey || spec.type == JetType::Counter) ++keys;
  }
  if (keys > 1) Fail(ErrorCode::Unsupported, {"more than one primary key or COUNTER column"});
  for (std::size_t i = 0; i < create.columns.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += ColumnDefinitionSql(create.table, RuleOf(create.columns[i], lexed, syntax));
  }
  sql += ")";
  Exec(db_, sql);
  SchemaChanged();
}

void Database::AddColumn(const sql::AlterAdd& alter, const sql::Lexed& lexed, ErrorCode syntax) {
  const TableInfo& table = schema_.Get(alter.table);
  const sql::ColumnSpec& spec = alter.column;
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
}

// Takes the table's own foreign keys (their rules and records) with it; a
// table that others refer to stays.
void Database::DropTable(const sql::DropTable& drop) {
  const std::string name = schema_.Get(drop.table).name;
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
}

}  // namespace jet
