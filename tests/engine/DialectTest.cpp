// The dialect: what it reads, what it refuses and how, the error collection,
// and the statement cache that lets texts of one shape share a translation.
#include <algorithm>

#include "EngineFixture.h"

namespace jet::testing {
namespace {

class Dialect : public EngineTest {
 protected:
  Dialect() {
    Run("CREATE TABLE [Patient Notes] (id COUNTER PRIMARY KEY, n LONG, x NUMBER, s TEXT(20), d DATE, b YESNO)");
    Run("CREATE TABLE condition_url (ID COUNTER PRIMARY KEY, condition_id LONG not null, name TEXT(50) not null, "
        "link TEXT(200) not null)");
  }
};

TEST_F(Dialect, ReadsTheFormsOfTheDialect) {
  Run("INSERT INTO [patient notes] (N, x, S, d, b) VALUES (-7, -2.5e1, \"say \"\"hi\"\"\", #12/31/1999 23:59:59#, "
      "TRUE)");
  Run("insert into [Patient Notes] values (null, 3, 0.5, 'it''s', null, false);");
  Run("insert into [Patient Notes] (n, s) values (10, 'x')");
  const std::pair<const char*, Value> cases[] = {
      {"SELECT s FROM [PATIENT NOTES] WHERE n = -7", Value::Text("say \"hi\"")},
      {"select x from [patient notes] where id = 1", Value::Double(-25)},
      {"select s from [patient notes] where [patient notes].n = 3", Value::Text("it's")},
      {"select count(*) from [patient notes] where not (n > 0 and s like 'x') and d is null", Value::Long(1)},
      {"select sum(n) * 2 + 1 as total from [patient notes]", Value::Long(13)},
      {"select avg(n) from [patient notes] where n <> -7", Value::Double(6.5)},
      {"select min(d) from [patient notes]", Value::Date(DateTime{1999, 12, 31, 23, 59, 59})},
      {"select count(d) from [patient notes]", Value::Long(1)},
      {"select n mod 4 from [patient notes] where n = 10", Value::Long(2)},
      {"select n \\ 4 from [patient notes] where n = 10", Value::Long(2)},
      {"select n / 4 from [patient notes] where n = 10", Value::Double(2.5)},
      {"select b from [patient notes] where n = -7", Value::Boolean(true)},
  };
  for (const auto& [sql, value] : cases) EXPECT_EQ(Scalar(sql), value) << sql;
  Recordset rs;
  rs.Open("select [patient notes].*, n * 2 from [patient notes] order by b, n desc", db_);
  EXPECT_EQ(rs.FieldName(6), "Expr1000");
  EXPECT_EQ(rs.Field("n"), Value::Long(-7));  // True (-1) sorts before False (0)
  Run("DELETE * FROM [patient notes] WHERE n > 5 OR n IS NULL");
  Run("delete from [patient notes] where s = 'IT''S'");
  EXPECT_EQ(Count("[patient notes]"), Value::Long(1));
}

TEST_F(Dialect, AnythingElseIsRefusedWithAClearErrorThatCarriesNoValue) {
  constexpr std::int32_t S = kSyntax, F = kFail, T = kNoTable, V = kNoValue, C = kCantConvert;
  const struct {
    const char* sql;
    std::int32_t number;
    const char* sqlState;
    const char* description = nullptr;  // the text of those that name something
  } cases[] = {
      {"EXEC something", S, "3129"}, {"select distinct s from [patient notes]", S, "3141"},
      {"select * from [patient notes], other", S, "3141"}, {"select * from [patient notes] group by s", S, "3141"},
      {"select * from [patient notes] where n in (1, 2)", S, "3141"}, {"select n ^ 2 from [patient notes]", S, "3141"},
      {"select * from [patient notes] where s = 'open", S, "3141"},
      {"select ucase(s) from [patient notes]", S, "3085", "Undefined function 'ucase' in expression."},
      {"select * from nosuch", T, "3078",
       "The database engine cannot find the input table or query 'nosuch'.  Make sure it exists and that its name "
       "is spelled correctly."},
      {"alter table nosuch add c LONG", T, "3078"}, {"drop table nosuch", T, "3078"},
      {"select nosuch from [patient notes]", V, "3061"},
      {"update [patient notes] set nosuch = 1", F, "3265", "Field 'nosuch' not found in table 'Patient Notes'."},
      {"select * from [patient notes] where s = Zeta and", S, "3075",
       "Syntax error (missing operator) in query expression 's = ? and'."},
      {"update [patient notes] set n = 1 where", S, "3075", "Syntax error (missing operator) in query expression ''."},
      {"delete from [patient notes] where", S, "3075"},
      {"insert into [patient notes] (nosuch) values (1)", S, "3127",
       "The INSERT INTO statement contains the following unknown field name: 'nosuch'.  Make sure you have typed "
       "the name correctly, and try the operation again."},
      {"insert into [patient notes] (n, s) values (1)", F, "3346"},
      {"insert into [patient notes] (n, n) values (1, 2)", S, "3134"},
      {"select s, max(n) from [patient notes]", S, "3122",
       "You tried to execute a query that does not include the specified expression 's' as part of an aggregate "
       "function."},
      {"select * from [patient notes] where max(n) > 1", S, "3096",
       "Cannot have aggregate function in WHERE clause (max(n))."},
      {"update [patient notes] set n = 1 where s = 'a' s", S, "3144"}, {"create table t (a TEXT(300))", S, "3290"},
      {"create table t (a BLOB)", S, "3290"}, {"create table t (a COUNTER PRIMARY KEY, b COUNTER)", S, "3251"},
      {"create table jet_relationships (a LONG)", S, "3251"}, {"alter table [patient notes] add c COUNTER", S, "3251"},
      {"create table [PATIENT notes] (a LONG)", S, "3010", "Table 'PATIENT notes' already exists."},
      {"create table t (a LONG, A TEXT(5))", S, "3380", "Field 'A' already exists in table 't'."},
      {"alter table [patient notes] add S TEXT(7) default \"\" not null", S, "3380",
       "Field 'S' already exists in table 'Patient Notes'."},
      {"alter table [patient notes] drop column s", S, "3293"}, {"drop table [patient notes] now", S, "3295"},
      {"insert into [patient notes] (n) values ('abc')", C, "3464"},
      {"insert into [patient notes] (d) values (5)", C, "3464"},
      {"insert into [patient notes] (d) values ('soon')", C, "3464"},
      {"insert into [patient notes] (d) values (#2/30/2014#)", S, "3134"},
      {"insert into [patient notes] (b) values ('maybe')", C, "3464"},
      {"select * from [patient notes] where n = 'abc'", C, "3464"},
      {"select * from [patient notes] where s = 5", C, "3464"}, {"select * from [patient notes] where d = 5", C, "3464"},
      {"select * from [patient notes] where s + 1 = 2", C, "3464"},
      // What a missing value leaves in a generated text.
      {"select * from [patient notes] where n = ", S, "3075",
       "Syntax error (missing operator) in query expression 'n ='."},
      {"insert into [patient notes] (n, d) values (4, ##)", S, "3134"},
      {"insert into [patient notes] (n, b) values (1, ,)", S, "3134"},
      // Values of a row never reach a description (reports are mailed to support).
      {"insert into [patient notes] (s) values ('Zeta4711Zeta4711Zeta4711')", F, "3163"},
      {"update [patient notes] set n = 'Zeta4711'", C, "3464"},
      {"select * from [patient notes] where s = 'Zeta4711' and", S, "3075"},
      {"select * from [patient notes] where s = 'Zeta4711' n", S, "3141"},
      {"insert into [patient notes] (d) values (#Zeta4711#)", S, "3134"},
      {"insert into condition_url (condition_id, name) values (1, 'Zeta4711')", F, "3314"},
      {"update [patient notes] set s = 'Zeta4711' where n = Zeta4711", V, "3061"},
      {"insert into [patient notes] (n) values (Zeta4711)", V, "3061"},
  };
  for (const auto& c : cases) {
    const Error e = Refused(c.sql);
    EXPECT_EQ(e.number(), c.number) << c.sql;
    EXPECT_EQ(SqlState(), c.sqlState) << c.sql;
    if (c.description != nullptr) {
      EXPECT_EQ(e.description(), c.description) << c.sql;
    }
    EXPECT_EQ(e.description().find("Zeta"), std::string::npos) << e.description();
  }
  EXPECT_EQ(Count("[patient notes]"), Value::Long(0));
  // The last failure stays through calls that succeed, until cleared.
  Run("update [patient notes] set n = 1");
  EXPECT_EQ(db_.errors().Count(), 1u);
  db_.errors().Clear();
  EXPECT_EQ(db_.errors().Count(), 0u);
  for (int i = 0; i <= static_cast<int>(ErrorCode::FilterWrongType); ++i) {  // each error of the engine has one row
    const auto rows = std::count_if(std::begin(kErrorTable), std::end(kErrorTable),
                                    [i](const ErrorSpec& spec) { return static_cast<int>(spec.code) == i; });
    EXPECT_EQ(rows, 1) << i;
  }
}

TEST_F(Dialect, ARequiredColumnWithoutDefaultIsAddedOnlyToAnEmptyTable) {
  Run("alter table [patient notes] add column code TEXT(4) not null");
  EXPECT_NE(Refused("insert into [patient notes] (n) values (1)").description().find("'Patient Notes.code'"),
            std::string::npos);
  Run("insert into [patient notes] (n, code) values (1, 'a')");
  EXPECT_EQ(Refused("alter table [patient notes] add other LONG not null").description(),
            "The field 'Patient Notes.other' cannot be added as required without a default value: the table "
            "already holds rows.");
  Run("alter table [patient notes] add other LONG default 5 not null");
  Run("alter table [patient notes] add icda TEXT(7) default \"\" not null");
  EXPECT_EQ(Scalar("select other & icda from [patient notes]"), Value::Text("5"));
}

TEST_F(Dialect, TextsOfOneShapeShareATranslationButNotTheirValues) {
  for (int i = 0; i < 50; ++i)
    Run("insert into [patient notes] (n, x) values (" + std::to_string(i) + ", " + std::to_string(i) + ".5)");
  EXPECT_EQ(Scalar("select x from [patient notes] where n = 42"), Value::Double(42.5));
  // The same place holding another kind of literal is another shape.
  EXPECT_EQ(Refused("update [patient notes] set n = 1 where n = 'v1'").number(), kCantConvert);
  // A value that fails leaves the shared translation usable.
  Refused("insert into [patient notes] (n, x) values (5000000000, 1.5)");
  Run("insert into [patient notes] (n, x) values (77, 1.5)");
  EXPECT_EQ(Count("[patient notes] where n = 77"), Value::Long(1));
  // A new column shows in texts translated before it was added.
  Recordset before, after;
  before.Open("select * from [patient notes] where n = 1", db_);
  Run("alter table [patient notes] add extra TEXT(3)");
  after.Open("select * from [patient notes] where n = 1", db_);
  EXPECT_EQ(after.FieldCount(), before.FieldCount() + 1);
}

// The claim copy's texts differ from row to row in which dates are null and
// which flags are True; each value must land in its own column unchanged.
TEST_F(Dialect, InsertsWhoseValuesDifferInKindShareOnePlanAndKeepEachValue) {
  for (const char* values : {"(1, #3/5/2014#, True, 'a', 2.5)", "(2, null, False,null, null)", "(3, null, null, 'c', -4)",
                             "(null, #3/5/2014 14:05:00#, True, '', 1)", "(5, null, -1, 'e', -1)",
                             "(6, null, -True, 'f', -True)"})
    Run(std::string("insert into [patient notes] (n, d, b, s, x) values ") + values);
  Refused("insert into [patient notes] (n, d, b, s, x) values (4, 'soon', True, 'd', 1)");
  Recordset rs;
  rs.Open("select n, d, b, s, x from [patient notes] order by id", db_);
  const Value N;
  const std::vector<std::vector<Value>> expected = {
      {Value::Long(1), Value::Date({2014, 3, 5}), Value::Boolean(true), Value::Text("a"), Value::Double(2.5)},
      {Value::Long(2), N, Value::Boolean(false), N, N},
      {Value::Long(3), N, Value::Boolean(false), Value::Text("c"), Value::Double(-4)},
      {N, Value::Date({2014, 3, 5, 14, 5, 0}), Value::Boolean(true), Value::Text(""), Value::Double(1)},
      {Value::Long(5), N, Value::Boolean(true), Value::Text("e"), Value::Double(-1)},
      {Value::Long(6), N, Value::Boolean(true), Value::Text("f"), Value::Double(1)},  // a sign before True reads
  };
  for (const auto& row : expected) {
    ASSERT_FALSE(rs.IsEOF());
    for (std::size_t i = 0; i < row.size(); ++i) EXPECT_EQ(rs.FieldAt(i), row[i]) << rs.FieldName(i);
    rs.MoveNext();
  }
  EXPECT_TRUE(rs.IsEOF());
}

TEST_F(Dialect, NoTextEndsInACrash) {
  const std::string texts[] = {
      "CREATE TABLE claims (ID COUNTER PRIMARY KEY, c LONG not null, d DATE, b YESNO, m CURRENCY null, "
      "i INTEGER null, s TEXT(15) not null)",
      "Insert into claims (c, d, b, m, i, s) Values (1, #3/5/2014#, False,12.5, 3, 'O''B')",
      "Alter TABLE event add icda TEXT(7) default \"\" not null",
      "select max(id) as maxid from [patient notes] where s like '%a_' order by id"};
  Run(texts[0]);
  // Every cut of the texts above is refused or run, never a crash.
  for (const auto& text : texts)
    for (std::size_t cut = 0; cut < text.size(); cut += 3) {
      try {
        Recordset().Open(text.substr(0, cut), db_);
      } catch (const Error& e) {
        EXPECT_LT(e.number(), 0);
      }
    }
  EXPECT_EQ(Count("claims"), Value::Long(0));
  // Nesting and length beyond any sense are refused, not followed down.
  std::string chain = "select * from [patient notes] where n = 1";
  for (int i = 0; i < 100000; ++i) chain += " or n = 1";
  for (const std::string& sql :
       {"select * from [patient notes] where " + std::string(100000, '(') + "n = 1" + std::string(100000, ')'), chain,
        "select " + std::string(100000, '-') + "n from [patient notes]"}) {
    EXPECT_EQ(Refused(sql).number(), kSyntax);
  }
}

}  // namespace
}  // namespace jet::testing
