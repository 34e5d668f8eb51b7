// The rules of the file: types, lengths, ranges, required values, yes/no,
// currency, dates, the counter and text comparison. Each holds for the
// engine and for any other program that opens the file.
#include <chrono>

#include "EngineFixture.h"

namespace jet::testing {
namespace {

class TypedTable : public EngineTest {
 protected:
  TypedTable() {
    Run("CREATE TABLE t (id COUNTER PRIMARY KEY, n LONG, i INTEGER, x NUMBER, s TEXT(5), "
        "r TEXT(3) not null, d DATE, b YESNO, c CURRENCY)");
  }
};

TEST_F(TypedTable, EachRuleHoldsForTheEngineAndForAnyOtherClient) {
  // Lengths count characters, not bytes; a text that reads as a number is that number.
  Run("insert into t (s, r, n, i) values ('Grüße', 'äöü', 2147483647, -2147483648)");
  Run("insert into t (n, x, r) values (2.5, '2.5', 'a')");
  EXPECT_EQ(Scalar("select n & '/' & x from t where id = 2"), Value::Text("2/2.5"));
  const char* kOverflow = "Numeric field overflow.";
  const struct {
    const char* sql;
    const char* sqlState;
    const char* description;
  } cases[] = {
      {"insert into t (s, r) values ('Grüßen', 'x')", "3163", nullptr},
      {"insert into t (n, r) values (2147483648, 'a')", "3349", kOverflow},
      {"insert into t (n, r) values (-2147483649, 'a')", "3349", kOverflow},
      {"insert into t (n, r) values (1e12, 'a')", "3349", kOverflow},
      {"update t set i = i - 1", "3349", kOverflow},
      {"insert into t (s) values ('a')", "3314",
       "The field 't.r' cannot contain a Null value because the Required property for this field is set to True.  "
       "Enter a value in this field."},
      {"insert into t (r) values (null)", "3314", nullptr},
      {"insert into t (id, r) values (1, 'b')", "3022", nullptr},
  };
  for (const auto& c : cases) {
    const Error e = Refused(c.sql);
    if (c.description != nullptr) {
      EXPECT_EQ(e.description(), c.description) << c.sql;
    }
    EXPECT_EQ(SqlState(), c.sqlState) << c.sql;
    EXPECT_TRUE(RawRefuses(c.sql)) << c.sql;
  }
  EXPECT_EQ(db_.errors().Item(0).nativeError, 1555);
  EXPECT_EQ(Count("t"), Value::Long(2));
  // What only another client could try: values of the wrong storage class.
  for (const char* values : {"(n, r) values ('abc', 'x')", "(r, b) values ('x', 1)", "(r, c) values ('x', 1.5)",
                             "(r, d) values ('x', '2014-02-30 00:00:00')", "(r, d) values ('x', '3/5/2014')",
                             "(r, d) values ('x', CAST('2014-02-28 23:59:59' AS BLOB))",
                             "(r, d) values ('x', 20140228)"}) {
    EXPECT_TRUE(RawRefuses(std::string("insert into t ") + values)) << values;
  }
  EXPECT_FALSE(RawRefuses("insert into t (r, d) values ('x', '2014-02-28 23:59:59')"));
  // A text column refuses every storage class but text, numbers included
  // (checks see a value before the column's affinity would make it text),
  // naming the kind rule before the length rule.
  const std::pair<const char*, const char*> texts[] = {
      {"NULL", "accepted"}, {"'abcde'", "accepted"}, {"'Grüße'", "accepted"}, {"''", "accepted"},
      {"1", "[3464]"}, {"-1.5", "[3464]"}, {"1e300", "[3464]"}, {"123456", "[3464]"}, {"x''", "[3464]"},
      {"x'00'", "[3464]"}, {"x'4142'", "[3464]"}, {"CAST('ab' AS BLOB)", "[3464]"}, {"zeroblob(9)", "[3464]"},
      {"'abcdef'", "[3163]"}, {"'123456'", "[3163]"},
  };
  for (const auto& [value, outcome] : texts)
    EXPECT_EQ(RawOutcome(std::string("insert into t (r, s) values ('x', ") + value + ")"), outcome) << value;
}

// Yes/no is stored as -1 and 0, currency as exact ten-thousandths, dates as
// readable text; the engine reads each back and computes with it exactly.
TEST_F(TypedTable, ValuesAreStoredInTheFormsOtherClientsRead) {
  for (const char* row : {"('a', True, 0.1, #3/5/2014 14:05:00#)", "('b', False, 0.2, '12/31/1999')",
                          "('c', null, -1234.5678, null)"})
    Run(std::string("insert into t (r, b, c, d) values ") + row);
  Run("insert into t (r) values ('d')");
  const std::pair<const char*, const char*> stored[] = {
      {"select b from t where r = 'a'", "integer:-1"}, {"select b from t where r = 'b'", "integer:0"},
      {"select c from t where r = 'a'", "integer:1000"}, {"select d from t where r = 'a'", "text:2014-03-05 14:05:00"}};
  for (const auto& [sql, raw] : stored) EXPECT_EQ(RawStored(sql), raw) << sql;
  Run("update t set c = c * 3 where r = 'a'");
  const std::pair<const char*, Value> read[] = {
      {"select b from t where r = 'c'", Value::Boolean(false)}, {"select b from t where r = 'd'", Value::Boolean(false)},
      {"select count(*) from t where b = True", Value::Long(1)}, {"select count(*) from t where b", Value::Long(1)},
      {"select count(*) from t where not b", Value::Long(3)},
      {"select sum(c) from t where r <> 'c'", Value::Money(Currency{5000})},
      {"select c from t where r = 'c'", Value::Money(Currency{-12345678})},
      {"select count(*) from t where c = 0.2", Value::Long(1)}, {"select count(*) from t where c > 0.25", Value::Long(1)},
      {"select c / 4 from t where r = 'a'", Value::Double(0.075)},
      {"select d from t where r = 'b'", Value::Date(DateTime{1999, 12, 31, 0, 0, 0})},
      {"select count(*) from t where d > #1/1/2000#", Value::Long(1)},
      {"select count(*) from t where d = '3/5/2014 14:05'", Value::Long(1)},
  };
  for (const auto& [sql, value] : read) EXPECT_EQ(Scalar(sql), value) << sql;
}

// The date rule is checked by pattern; it must refuse exactly what the
// calendar refuses: impossible days, leap years by the Gregorian rule, times
// past 23:59:59, years before 100, any other form.
TEST_F(TypedTable, TheDateRuleRefusesExactlyWhatTheCalendarRefuses) {
  std::vector<std::pair<std::string, bool>> texts = {
      {"9999-12-31 23:59:59", true}, {"0100-01-01 00:00:00", true}, {"0099-12-31 23:59:59", false},
      {"2014-1-05 00:00:00", false}, {" 2014-01-05 00:00:00", false}, {"2014-01-05 00:00:00 ", false},
      {"2014-01-05", false}, {"2014-01-05 00:00", false}, {"2014-01-05T00:00:00", false},
      {"2014-01-05 00:00:00.000", false}, {"-2014-01-05 00:00:00", false}, {"\xef\xbc\x92" "014-01-05 00:00:00", false},
      {"", false}, {"x", false}, {"2014-01-05 1:00:00", false}, {"2014-01-05 -1:00:00", false}, {"2014/01/05 00:00:00", false}};
  char text[32];
  for (int year : {0, 4, 99, 100, 104, 1600, 1700, 1899, 1900, 1904, 1999, 2000, 2001, 2004, 2014, 2100, 2400, 9999})
    for (unsigned month = 0; month <= 13; ++month)
      for (unsigned day = 0; day <= 32; ++day) {
        std::snprintf(text, sizeof text, "%04d-%02u-%02u 00:00:00", year, month, day);
        texts.emplace_back(text, year >= 100 && std::chrono::year_month_day{std::chrono::year{year} /
                                                                            std::chrono::month{month} /
                                                                            std::chrono::day{day}}.ok());
      }
  for (int hour = 0; hour <= 25; ++hour)
    for (int minute : {0, 59, 60})
      for (int second : {0, 59, 60}) {
        std::snprintf(text, sizeof text, "2012-02-29 %02d:%02d:%02d", hour, minute, second);
        texts.emplace_back(text, hour < 24 && minute < 60 && second < 60);
      }
  db_.Close();
  ASSERT_EQ(sqlite3_exec(Raw(), "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_stmt* insert = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(Raw(), "insert into t (r, d) values ('x', ?1)", -1, &insert, nullptr), SQLITE_OK);
  for (const auto& [t, valid] : texts) {
    sqlite3_bind_text(insert, 1, t.c_str(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(insert), valid ? SQLITE_DONE : SQLITE_CONSTRAINT) << t;
    if (!valid) {
      EXPECT_EQ(sqlite3_extended_errcode(Raw()), SQLITE_CONSTRAINT_CHECK) << t;
    }
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(Raw(), "ROLLBACK", nullptr, nullptr, nullptr);
}

TEST_F(TypedTable, CounterNumbersUpwardAndAFailingStatementChangesNothing) {
  Run("insert into t (r, s) values ('a', 'ab')");
  Run("insert into t (r, s) values ('b', 'abcd')");
  Run("delete from t where id = 2");
  Refused("insert into t (r) values ('toolong')");
  Run("insert into t (r, s) values ('c', 'abc')");
  EXPECT_EQ(Scalar("select max(id) from t"), Value::Long(3));  // neither 2 nor the refused row's
  // The second row overflows: the first keeps its text.
  Refused("update t set s = s & 'xyz'");
  EXPECT_EQ(Count("t where s = 'ab' or s = 'abc'"), Value::Long(2));
}

TEST_F(TypedTable, TextComparesWithoutRegardToCaseAndAmpersandJoinsText) {
  for (const char* row : {"('1', 'Ärzte', 6, null)", "('2', 'straß', 3, null)", "('3', 'ÉCOLE', null, True)",
                          "('4', 'bravo', null, null)", "('5', null, 7, null)"})
    Run(std::string("insert into t (r, s, n, b) values ") + row);
  Run("update t set d = #3/5/2014# where r = '3'");
  const std::pair<const char*, Value> cases[] = {
      {"select r from t where s = 'äRZTE'", Value::Text("1")}, {"select r from T where S = 'STRAß'", Value::Text("2")},
      {"select count(*) from t where s = 'STRASS'", Value::Long(0)},
      {"select r from t where s like 'éc%'", Value::Text("3")}, {"select r from t where s like '_RAVO'", Value::Text("4")},
      {"select max(s) from t", Value::Text("ÉCOLE")},
      {"select s & ', ' & r from t where r = '1'", Value::Text("Ärzte, 1")},
      {"select n & 3 from t where r = '1'", Value::Text("63")}, {"select s & n from t where r = '5'", Value::Text("7")},
      {"select s & s from t where r = '5'", Value::Null()},
      {"select d & ' ' & b from t where r = '3'", Value::Text("3/5/2014 True")},
  };
  for (const auto& [sql, value] : cases) EXPECT_EQ(Scalar(sql), value) << sql;
  Recordset rs;
  rs.Open("select s from t where s > 'B' order by s desc", db_);
  std::vector<Value> order;
  for (; !rs.IsEOF(); rs.MoveNext()) order.push_back(rs.Field("S"));
  // Folded code points order the texts: é, ä, s, b.
  EXPECT_EQ(order, (std::vector<Value>{Value::Text("ÉCOLE"), Value::Text("Ärzte"), Value::Text("straß"),
                                       Value::Text("bravo")}));
  Run("update t set s = r & n where r = '5'");
  EXPECT_EQ(Scalar("select s from t where r = '5'"), Value::Text("57"));
}

}  // namespace
}  // namespace jet::testing
