// The rules of the file: types, lengths, ranges, required values, the
// zero-length rule, yes/no, currency, dates and the counter. Each holds for
// the engine and for any other program that opens the file.
#include "EngineFixture.h"
#include "RawClient.h"

namespace jet::testing {
namespace {

class TypedTable : public EngineTest {
 protected:
  TypedTable() {
    Run("CREATE TABLE t (id COUNTER PRIMARY KEY, n LONG, i INTEGER, x NUMBER, s TEXT(5), "
        "r TEXT(3) not null, d DATE, b YESNO, c CURRENCY)");
  }
  std::string Raw(const std::string& sql) {
    RawClient raw(path_, kPassword);
    return raw.Stored(sql);
  }
  std::string RawExec(const std::string& sql) {
    RawClient raw(path_, kPassword);
    return raw.Exec(sql);
  }
};

TEST_F(TypedTable, TextLengthIsCountedInCharacters) {
  Run("insert into t (s, r) values ('Grüße', 'äöü')");
  const Error e = Refused("insert into t (s, r) values ('Grüßen', 'x')");
  EXPECT_EQ(e.description(),
            "The field is too small to accept the amount of data you attempted to add.  Try "
            "inserting or pasting less data.");
  EXPECT_EQ(db_.errors().Item(0).sqlState, "3163");
  EXPECT_EQ(db_.errors().Item(0).nativeError, 275);
  EXPECT_EQ(Scalar("select count(*) from t"), Value::Long(1));
  EXPECT_NE(RawExec("insert into t (s, r) values ('abcdef', 'x')"), "");
}

TEST_F(TypedTable, WholeNumbersStayWithin32Bits) {
  Run("insert into t (n, i, r) values (2147483647, -2147483648, 'a')");
  for (const char* value : {"2147483648", "-2147483649", "1e12"}) {
    const Error e = Refused(std::string("insert into t (n, r) values (") + value + ", 'a')");
    EXPECT_EQ(e.description(), "Numeric field overflow.") << value;
  }
  EXPECT_EQ(Refused("update t set i = i - 1").description(), "Numeric field overflow.");
  Run("insert into t (n, r) values (2.5, 'a')");
  EXPECT_EQ(Scalar("select n from t where id = 2"), Value::Long(2));
  EXPECT_NE(RawExec("insert into t (n, r) values (3000000000, 'x')"), "");
  EXPECT_NE(RawExec("insert into t (n, r) values ('abc', 'x')"), "");
}

TEST_F(TypedTable, RequiredColumnsRefuseNull) {
  const Error e = Refused("insert into t (s) values ('a')");
  EXPECT_EQ(e.description(),
            "The field 't.r' cannot contain a Null value because the Required property for this "
            "field is set to True.  Enter a value in this field.");
  EXPECT_EQ(db_.errors().Item(0).sqlState, "3314");
  Refused("insert into t (r) values (null)");
}

TEST_F(TypedTable, YesNoIsStoredAsMinusOneAndZero) {
  Run("insert into t (r, b) values ('a', True)");
  Run("insert into t (r, b) values ('b', False)");
  Run("insert into t (r, b) values ('c', null)");
  Run("insert into t (r) values ('d')");
  EXPECT_EQ(Raw("select b from t where r = 'a'"), "integer:-1");
  EXPECT_EQ(Raw("select b from t where r = 'b'"), "integer:0");
  EXPECT_EQ(Scalar("select b from t where r = 'c'"), Value::Boolean(false));
  EXPECT_EQ(Scalar("select b from t where r = 'd'"), Value::Boolean(false));
  EXPECT_EQ(Scalar("select count(*) from t where b = True"), Value::Long(1));
  EXPECT_EQ(Scalar("select count(*) from t where b"), Value::Long(1));
  EXPECT_EQ(Scalar("select count(*) from t where not b"), Value::Long(3));
  EXPECT_NE(RawExec("insert into t (r, b) values ('x', 1)"), "");
}

TEST_F(TypedTable, CurrencyIsExactToFourPlaces) {
  Run("insert into t (r, c) values ('a', 0.1)");
  Run("insert into t (r, c) values ('b', 0.2)");
  Run("insert into t (r, c) values ('c', -1234.5678)");
  EXPECT_EQ(Raw("select c from t where r = 'a'"), "integer:1000");
  EXPECT_EQ(Scalar("select sum(c) from t where r <> 'c'"), Value::Money(Currency{3000}));
  EXPECT_EQ(Scalar("select c from t where r = 'c'"), Value::Money(Currency{-12345678}));
  EXPECT_EQ(Scalar("select count(*) from t where c = 0.1"), Value::Long(1));
  EXPECT_EQ(Scalar("select count(*) from t where c > 0.15"), Value::Long(1));
  Run("update t set c = c * 3 where r = 'a'");
  EXPECT_EQ(Scalar("select c from t where r = 'a'"), Value::Money(Currency{3000}));
  EXPECT_EQ(Scalar("select c / 4 from t where r = 'a'"), Value::Double(0.075));
  EXPECT_NE(RawExec("insert into t (r, c) values ('x', 1.5)"), "");
}

TEST_F(TypedTable, DatesAreStoredAsReadableText) {
  Run("insert into t (r, d) values ('a', #3/5/2014 14:05:00#)");
  Run("insert into t (r, d) values ('b', '12/31/1999')");
  EXPECT_EQ(Raw("select d from t where r = 'a'"), "text:2014-03-05 14:05:00");
  EXPECT_EQ(Scalar("select d from t where r = 'b'"), Value::Date(DateTime{1999, 12, 31, 0, 0, 0}));
  EXPECT_EQ(Scalar("select count(*) from t where d > #1/1/2000#"), Value::Long(1));
  EXPECT_EQ(Scalar("select count(*) from t where d = '3/5/2014 14:05'"), Value::Long(1));
  EXPECT_EQ(Refused("insert into t (r, d) values ('c', #2/30/2014#)").number(), -2147217900);
  EXPECT_EQ(Refused("insert into t (r, d) values ('c', 'soon')").description(),
            "Data type mismatch in criteria expression.");
  EXPECT_NE(RawExec("insert into t (r, d) values ('x', '2014-02-30 00:00:00')"), "");
  EXPECT_NE(RawExec("insert into t (r, d) values ('x', '3/5/2014')"), "");
  EXPECT_EQ(RawExec("insert into t (r, d) values ('x', '2014-02-28 23:59:59')"), "");
}

TEST_F(TypedTable, ValuesOfTheWrongKindAreRefused) {
  for (const char* sql : {"insert into t (r, n) values ('a', 'abc')",
                          "insert into t (r, d) values ('a', 5)",
                          "insert into t (r, b) values ('a', 'maybe')",
                          "select * from t where n = 'abc'",
                          "select * from t where s = 5",
                          "select * from t where d = 5",
                          "select * from t where s + 1 = 2"}) {
    try {
      if (std::string(sql).rfind("select", 0) == 0) {
        Recordset rs;
        rs.Open(sql, db_);
      } else {
        db_.Execute(sql);
      }
      ADD_FAILURE() << "accepted: " << sql;
    } catch (const Error& e) {
      EXPECT_EQ(e.description(), "Data type mismatch in criteria expression.") << sql;
      EXPECT_EQ(e.number(), -2147217913) << sql;
    }
  }
  // A text that reads as a number is taken as that number, as the engine does.
  Run("insert into t (r, n, x) values ('a', '42', '2.5')");
  EXPECT_EQ(Scalar("select n + x from t"), Value::Double(44.5));
}

TEST_F(TypedTable, CounterNumbersUpwardAndNeverReuses) {
  Run("insert into t (r) values ('a')");
  Run("insert into t (r) values ('b')");
  Run("delete from t where id = 2");
  Refused("insert into t (r) values ('toolong')");
  Run("insert into t (r) values ('c')");
  EXPECT_EQ(Scalar("select max(id) from t"), Value::Long(3));
}

TEST_F(TypedTable, AFailingStatementChangesNothing) {
  Run("insert into t (r, s) values ('a', 'abc')");
  Run("insert into t (r, s) values ('b', 'abcd')");
  Run("insert into t (r, s) values ('c', 'ab')");
  Refused("update t set s = s & 'xyz'");
  EXPECT_EQ(Scalar("select count(*) from t where s = 'abc'"), Value::Long(1));
  EXPECT_EQ(Scalar("select count(*) from t where s = 'ab'"), Value::Long(1));
}

TEST_F(TypedTable, TextComparesWithoutRegardToCaseForEveryLetter) {
  Run("insert into t (r, s) values ('1', 'Ärzte')");
  Run("insert into t (r, s) values ('2', 'straß')");
  Run("insert into t (r, s) values ('3', 'ÉCOLE')");
  Run("insert into t (r, s) values ('4', 'bravo')");
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
