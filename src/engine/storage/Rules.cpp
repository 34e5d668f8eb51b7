#include "storage/Rules.h"

#include <fmt/format.h>

#include "ErrorTable.h"
#include "storage/Sqlite.h"

namespace jet {

namespace {

std::string Check(int number, const std::string& table, const std::string& column,
                  const std::string& condition) {
  return fmt::format(" CONSTRAINT {} CHECK ({})",
                     QuoteName(fmt::format("[{}] {}.{}", number, table, column)), condition);
}

std::string Message(ErrorCode code, const std::string& a, const std::string& b = "") {
  std::string text = SpecOf(code).description;
  for (const auto& [marker, value] : {std::pair{std::string("{0}"), a}, std::pair{std::string("{1}"), b}}) {
    const auto at = text.find(marker);
    if (at != std::string::npos) text.replace(at, marker.size(), value);
  }
  return fmt::format("[{}] {}", SpecOf(code).jetNumber, text);
}

// Comparison operators are the cheap form of a kind check: no function call,
// and by the storage order (numbers < text < blobs) "text only" is one pair
// of comparisons. The unary plus keeps the column's affinity from turning a
// number into text for the comparison, so numbers stay refused as by typeof().
std::string IsTextOrNull(const std::string& q) { return fmt::format("+{0} >= '' AND +{0} < x''", q); }

}  // namespace

// A date is stored only in its one text form, a real calendar day and time
// from the year 100 on. Checked by pattern and digit ranges (five function
// calls, the month read once), it refuses what the former check,
// datetime(julianday(x)) IS x, refused, whose date functions cost a third of
// a wide table's inserts; and, as that check meant to, years before 100 and
// negative years, which it let in because the column's numeric affinity made
// its x >= '0100' compare as a number. Numbers fail the plain comparison with
// '0100'; a blob passes it, but its substrings stay blobs, which sort after
// every text and so fail the hour's. Months outside 01-12 find no last day.
std::string StoredDateCondition(const std::string& q) {
  return fmt::format(
      "{0} IS NULL OR (+{0} >= '0100' AND {0} GLOB "
      "'[0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]' AND "
      "substr({0}, 12, 2) <= '23' AND substr({0}, 9, 2) BETWEEN '01' AND CASE substr({0}, 6, 2) "
      "WHEN '01' THEN '31' WHEN '02' THEN CASE WHEN substr({0}, 1, 4) % 4 = 0 AND "
      "(substr({0}, 1, 4) % 100 <> 0 OR substr({0}, 1, 4) % 400 = 0) THEN '29' ELSE '28' END "
      "WHEN '03' THEN '31' WHEN '04' THEN '30' WHEN '05' THEN '31' WHEN '06' THEN '30' "
      "WHEN '07' THEN '31' WHEN '08' THEN '31' WHEN '09' THEN '30' WHEN '10' THEN '31' "
      "WHEN '11' THEN '30' WHEN '12' THEN '31' ELSE '' END)",
      q);
}

std::string ColumnDefinitionSql(const std::string& table, const ColumnRule& c) {
  const std::string q = QuoteName(c.name);
  std::string sql = q + " " + DeclaredType(c.type, c.size);
  if (c.type == JetType::Counter) {
    sql += " PRIMARY KEY AUTOINCREMENT";
  } else if (c.primaryKey) {
    sql += " PRIMARY KEY NOT NULL";
  }
  if (c.type == JetType::Boolean) {
    // Yes/No holds no Null: a Null written into it becomes the default.
    sql += " NOT NULL ON CONFLICT REPLACE";
  } else if (c.notNull && !c.primaryKey && c.type != JetType::Counter) {
    sql += " NOT NULL";
  }
  if (c.unique && !c.primaryKey) sql += " UNIQUE";
  if (c.defaultValue && c.defaultValue->kind != Stored::Kind::Null) {
    sql += " DEFAULT " + StoredSql(*c.defaultValue);
  } else if (c.type == JetType::Boolean) {
    sql += " DEFAULT 0";
  }
  auto typeIs = [&](const char* types) {
    return Check(3464, table, c.name, fmt::format("typeof({}) IN ({})", q, types));
  };
  switch (c.type) {
    case JetType::Counter:
      sql += Check(3349, table, c.name, q + " <= 2147483647");
      break;
    case JetType::Long:
      sql += typeIs("'integer', 'null'");
      sql += Check(3349, table, c.name, q + " BETWEEN -2147483648 AND 2147483647");
      break;
    case JetType::Double: sql += typeIs("'real', 'integer', 'null'"); break;
    case JetType::Currency: sql += typeIs("'integer', 'null'"); break;
    case JetType::Boolean: sql += Check(3464, table, c.name, q + " IN (-1, 0)"); break;
    case JetType::Date: sql += Check(3464, table, c.name, StoredDateCondition(q)); break;
    case JetType::Text:
      sql += Check(3464, table, c.name, IsTextOrNull(q));
      sql += Check(3163, table, c.name, fmt::format("length({}) <= {}", q, c.size));
      break;
  }
  if (c.requiredByCheck) sql += Check(3314, table, c.name, q + " IS NOT NULL");
  return sql;
}

std::vector<std::string> ZeroLengthTriggerNames(const std::string& table, const std::string& column) {
  const std::string base = "jet_zl_" + table + "_" + column;
  return {base + "_insert", base + "_update"};
}

std::vector<std::string> ZeroLengthRuleSql(const std::string& table, const std::string& column) {
  const auto names = ZeroLengthTriggerNames(table, column);
  const std::string raise = fmt::format("SELECT RAISE(ABORT, {});",
                                        QuoteText(Message(ErrorCode::ZeroLength, table, column)));
  const std::string t = QuoteName(table), c = QuoteName(column);
  return {
      fmt::format("CREATE TRIGGER {} BEFORE INSERT ON {} WHEN NEW.{} = '' BEGIN {} END",
                  QuoteName(names[0]), t, c, raise),
      fmt::format("CREATE TRIGGER {} BEFORE UPDATE OF {} ON {} WHEN NEW.{} = '' BEGIN {} END",
                  QuoteName(names[1]), c, t, c, raise),
  };
}

KeyNames ForeignKeyObjectNames(const std::string& keyName) {
  const std::string base = "jet_fk_" + keyName;
  return {base + "_index",
          {base + "_child_insert", base + "_child_update", base + "_parent_delete",
           base + "_parent_update"}};
}

std::vector<std::string> ForeignKeyRuleSql(const std::string& keyName, const std::string& table,
                                           const std::string& column,
                                           const std::string& relatedTable,
                                           const std::string& relatedColumn) {
  const KeyNames names = ForeignKeyObjectNames(keyName);
  const std::string child = QuoteName(table), c = QuoteName(column);
  const std::string parent = QuoteName(relatedTable), p = QuoteName(relatedColumn);
  const std::string needParent = fmt::format(
      "SELECT RAISE(ABORT, {});",
      QuoteText(Message(ErrorCode::RelatedRecordRequired, relatedTable)));
  const std::string hasChildren = fmt::format(
      "SELECT RAISE(ABORT, {});", QuoteText(Message(ErrorCode::RelatedRecordsExist, table)));
  const std::string orphan =
      fmt::format("NEW.{0} IS NOT NULL AND NOT EXISTS (SELECT 1 FROM {1} WHERE {2} = NEW.{0})",
                  c, parent, p);
  const std::string referenced =
      fmt::format("EXISTS (SELECT 1 FROM {} WHERE {} = OLD.{})", child, c, p);
  return {
      fmt::format("CREATE INDEX {} ON {} ({})", QuoteName(names.index), child, c),
      fmt::format("CREATE TRIGGER {} BEFORE INSERT ON {} WHEN {} BEGIN {} END",
                  QuoteName(names.triggers[0]), child, orphan, needParent),
      fmt::format("CREATE TRIGGER {} BEFORE UPDATE OF {} ON {} WHEN {} BEGIN {} END",
                  QuoteName(names.triggers[1]), c, child, orphan, needParent),
      fmt::format("CREATE TRIGGER {} BEFORE DELETE ON {} WHEN {} BEGIN {} END",
                  QuoteName(names.triggers[2]), parent, referenced, hasChildren),
      fmt::format("CREATE TRIGGER {} BEFORE UPDATE OF {} ON {} WHEN OLD.{} IS NOT NEW.{} AND {} "
                  "BEGIN {} END",
                  QuoteName(names.triggers[3]), p, parent, p, p, referenced, hasChildren),
  };
}

}  // namespace jet
