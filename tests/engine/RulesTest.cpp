// The rules of the file: types, lengths, ranges, required values, yes/no,
// currency, dates, the counter and text comparison. Each holds for the
// engine and for any other program that opens the file.
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
  // Lengths count characters, not bytes.
  Run("insert into t (s, r, n, i) values ('Grüße', 'äöü', 2147483647, -2147483648)");
  Run("insert into t (n, x, r) values (2.5, '2.5', 'a')");  // a text that reads as a number is that number
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
       "The field 't.r' cannot contain a Null value because the Required property for this field is "
       "set to True.  Enter a value in this field."},
      {"insert into t (r) values (null)", "3314", nullptr},
      {"insert into t (id, r) values (1, 'b')", "3022", nullptr},
  };
  for (const auto& c : cases) {
    const Error e = Refused(c.sql);
    if (c.description != nullptr) {
      EXPECT_EQ(e.description(), c.description) << c.sql;
    }
    EXPECT_EQ(db_.errors().Item(0).sqlState, c.sqlState) << c.sql;
    EXPECT_TRUE(RawRefuses(c.sql)) << c.sql;
  }
  EXPECT_EQ(db_.errors().Item(0).nativeError, 1555);
  EXPECT_EQ(Scalar("select count(*) from t"), Value::Long(2));
  // What only another client could try: values of the wrong storage class.
  for (const char* values : {"(n, r) values ('abc', 'x')", "(r, b) values ('x', 1)", "(r, c) values ('x', 1.5)",
                             "(r, d) values ('x', '2014-02-30 00:00:00')", "(r, d) values ('x', '3/5/2014')",
                             "(r, d) values ('x', CAST('2014-02-28 23:59:59' AS BLOB))",
                             "(r, d) values ('x', 20140228)"}) {
    EXPECT_TRUE(RawRefuses(std::string("insert into t ") + values)) << values;
  }
  EXPECT_FALSE(RawRefuses("insert into t (r, d) values ('x', '2014-02-28 23:59:59')"));
}

TEST_F(TypedTable, YesNoIsStoredAsMinusOneAndZero) {
  for (const char* row : {"('a', True)", "('b', False)", "('c', null)"})
    Run(std::string("insert into t (r, b) values ") + row);
  Run("insert into t (r) values ('d')");
  EXPECT_EQ(RawStored("select b from t where r = 'a'"), "integer:-1");
  EXPECT_EQ(RawStored("select b from t where r = 'b'"), "integer:0");
  EXPECT_EQ(Scalar("select b from t where r = 'c'"), Value::Boolean(false));
  EXPECT_EQ(Scalar("select b from t where r = 'd'"), Value::Boolean(false));
  EXPECT_EQ(Scalar("select count(*) from t where b = True"), Value::Long(1));
  EXPECT_EQ(Scalar("select count(*) from t where b"), Value::Long(1));
  EXPECT_EQ(Scalar("select count(*) from t where not b"), Value::Long(3));
}

TEST_F(TypedTable, CurrencyIsExactToFourPlaces) {
  for (const char* row : {"('a', 0.1)", "('b', 0.2)", "('c', -1234.5678)"})
    Run(std::string("insert into t (r, c) values ") + row);
  EXPECT_EQ(RawStored("select c from t where r = 'a'"), "integer:1000");
  EXPECT_EQ(Scalar("select sum(c) from t where r <> 'c'"), Value::Money(Currency{3000}));
  EXPECT_EQ(Scalar("select c from t where r = 'c'"), Value::Money(Currency{-12345678}));
  EXPECT_EQ(Scalar("select count(*) from t where c = 0.1"), Value::Long(1));
  EXPECT_EQ(Scalar("select count(*) from t where c > 0.15"), Value::Long(1));
  Run("update t set c = c * 3 where r = 'a'");
  EXPECT_EQ(Scalar("select c from t where r = 'a'"), Value::Money(Currency{3000}));
  EXPECT_EQ(Scalar("select c / 4 from t where r = 'a'"), Value::Double(0.075));
}

TEST_F(TypedTable, DatesAreStoredAsReadableText) {
  Run("insert into t (r, d) values ('a', #3/5/2014 14:05:00#)");
  Run("insert into t (r, d) values ('b', '12/31/1999')");
  EXPECT_EQ(RawStored("select d from t where r = 'a'"), "text:2014-03-05 14:05:00");
  EXPECT_EQ(Scalar("select d from t where r = 'b'"), Value::Date(DateTime{1999, 12, 31, 0, 0, 0}));
  EXPECT_EQ(Scalar("select count(*) from t where d > #1/1/2000#"), Value::Long(1));
  EXPECT_EQ(Scalar("select count(*) from t where d = '3/5/2014 14:05'"), Value::Long(1));
}

// The date rule is checked by pattern; it must refuse exactly the texts the
// former rule, built on the date functions, refused: impossible days, leap
// years by the Gregorian rule, times past 23:59:59, any other form. Both
// rules judge every text side by side, in columns of the same type. Years
// before 100, negative ones too, are refused now, as the former rule meant to.
TEST_F(TypedTable, TheDateRuleRefusesExactlyWhatTheDateFunctionsRefused) {
  std::vector<std::string> texts = {
      "2014-1-05 00:00:00", " 2014-01-05 00:00:00", "2014-01-05 00:00:00 ", "2014-01-05",
      "2014-01-05 00:00", "2014-01-05T00:00:00", "2014-01-05 00:00:00.000", "0099-12-31 23:59:59",
      "-2014-01-05 00:00:00", "\xef\xbc\x92" "014-01-05 00:00:00", "", "x", "2014-01-05 1:00:00",
      "9999-12-31 23:59:59", "0100-01-01 00:00:00", "2014-01-05 24:00:00", "2014-01-05 23:60:00",
      "2014-01-05 23:59:60", "2014-01-05 -1:00:00", "2014-00-05 00:00:00", "2014/01/05 00:00:00"};
  for (int year : {0, 4, 99, 100, 104, 1600, 1700, 1899, 1900, 1904, 1999, 2000, 2001, 2004, 2014, 2100, 2400, 9999})
    for (int month = 0; month <= 13; ++month)
      for (int day = 0; day <= 32; ++day) {
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d 00:00:00", year, month, day);
        texts.push_back(text);
      }
  for (int hour = 0; hour <= 25; ++hour)
    for (int minute : {0, 59, 60})
      for (int second : {0, 59, 60}) {
        char text[32];
        std::snprintf(text, sizeof text, "2012-02-29 %02d:%02d:%02d", hour, minute, second);
        texts.push_back(text);
      }
  db_.Close();
  sqlite3* raw = Raw();
  ASSERT_EQ(sqlite3_exec(raw,
                         "CREATE TEMP TABLE former (d DATETIME CHECK (d IS NULL OR (typeof(d) = 'text' AND "
                         "d >= '0100' AND datetime(julianday(d)) IS d)))",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_stmt* insert = nullptr;
  sqlite3_stmt* former = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(raw, "insert into t (r, d) values ('x', ?1)", -1, &insert, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_prepare_v2(raw, "insert into former (d) values (?1)", -1, &former, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
  int accepted = 0;
  for (const std::string& text : texts) {
    sqlite3_bind_text(insert, 1, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(former, 1, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(insert);
    if (rc != SQLITE_DONE) {
      EXPECT_EQ(sqlite3_extended_errcode(raw), SQLITE_CONSTRAINT_CHECK) << text;
    }
    const bool yearBefore100 = text.compare(0, 1, "-") == 0 || text.compare(0, 4, "0100") < 0;
    EXPECT_EQ(rc == SQLITE_DONE, sqlite3_step(former) == SQLITE_DONE && !yearBefore100) << text;
    accepted += rc == SQLITE_DONE ? 1 : 0;
    sqlite3_reset(insert);
    sqlite3_reset(former);
  }
  sqlite3_finalize(insert);
  sqlite3_finalize(former);
  sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr);
  // Two of the listed texts, every day of the sampled years from 100 on
  // (six leap years among them), every whole hour of the leap day.
  EXPECT_EQ(accepted, 2 + 15 * 365 + 6 + 24 * 4);
}

// A text column refuses every storage class but text, numbers included
// (checks see a value before the column's affinity would make it text),
// naming the kind rule before the length rule, as a plain typeof() check.
TEST_F(TypedTable, TheTextRuleRefusesWhatATypeCheckRefuses) {
  db_.Close();
  sqlite3* raw = Raw();
  ASSERT_EQ(sqlite3_exec(raw,
                         "CREATE TEMP TABLE former (s TEXT(5) CONSTRAINT \"[3464] former.s\" CHECK "
                         "(typeof(s) IN ('text', 'null')) CONSTRAINT \"[3163] former.s\" CHECK (length(s) <= 5))",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  auto refusal = [&](const std::string& sql) -> std::string {
    if (sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) return "accepted";
    const std::string message = sqlite3_errmsg(raw);
    return message.substr(message.find('['), 6);
  };
  for (const char* value : {"NULL", "1", "-1.5", "1e300", "12345678", "'abcde'", "'abcdef'", "'Grüße'", "''",
                            "x''", "x'00'", "x'4142'", "CAST('ab' AS BLOB)", "zeroblob(9)"}) {
    const std::string now = refusal(std::string("insert into t (r, s) values ('x', ") + value + ")");
    EXPECT_EQ(now, refusal(std::string("insert into former (s) values (") + value + ")")) << value;
  }
  EXPECT_EQ(refusal("insert into t (r, s) values ('x', x'00')"), "[3464]");
  EXPECT_EQ(refusal("insert into t (r, s) values ('x', 123456)"), "[3464]");
  EXPECT_EQ(refusal("insert into t (r, s) values ('x', '123456')"), "[3163]");
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
  EXPECT_EQ(Scalar("select count(*) from t where s = 'ab'"), Value::Long(1));
  EXPECT_EQ(Scalar("select count(*) from t where s = 'abc'"), Value::Long(1));
}

TEST_F(TypedTable, TextComparesWithoutRegardToCaseForEveryLetter) {
  for (const char* row : {"('1', 'Ärzte')", "('2', 'straß')", "('3', 'ÉCOLE')", "('4', 'bravo')"})
    Run(std::string("insert into t (r, s) values ") + row);
  EXPECT_EQ(Scalar("select r from t where s = 'äRZTE'"), Value::Text("1"));
  EXPECT_EQ(Scalar("select r from T where S = 'STRAß'"), Value::Text("2"));
  EXPECT_EQ(Scalar("select count(*) from t where s = 'STRASS'"), Value::Long(0));
  EXPECT_EQ(Scalar("select r from t where s like 'éc%'"), Value::Text("3"));
  EXPECT_EQ(Scalar("select r from t where s like '_RAVO'"), Value::Text("4"));
  EXPECT_EQ(Scalar("select max(s) from t"), Value::Text("ÉCOLE"));
  Recordset rs;
  rs.Open("select s from t where s > 'B' order by s desc", db_);
  std::vector<Value> order;
  for (; !rs.IsEOF(); rs.MoveNext()) order.push_back(rs.Field("S"));
  // Folded code points order the texts: é, ä, s, b.
  EXPECT_EQ(order, (std::vector<Value>{Value::Text("ÉCOLE"), Value::Text("Ärzte"), Value::Text("straß"),
                                       Value::Text("bravo")}));
}

TEST_F(TypedTable, AmpersandJoinsTextAndNeverMeansBitwiseAnd) {
  Run("insert into t (r, s, n, d, b) values ('a', 'Lee', 6, #3/5/2014#, True)");
  Run("insert into t (r, n) values ('b', 3)");
  EXPECT_EQ(Scalar("select s & ', ' & r from t where r = 'a'"), Value::Text("Lee, a"));
  EXPECT_EQ(Scalar("select n & 3 from t where r = 'a'"), Value::Text("63"));
  EXPECT_EQ(Scalar("select s & n from t where r = 'b'"), Value::Text("3"));
  EXPECT_EQ(Scalar("select s & s from t where r = 'b'"), Value::Null());
  EXPECT_EQ(Scalar("select d & ' ' & b from t where r = 'a'"), Value::Text("3/5/2014 True"));
  Run("update t set s = r & n where r = 'b'");
  EXPECT_EQ(Scalar("select s from t where r = 'b'"), Value::Text("b3"));
}

}  // namespace
}  // namespace jet::testing
