// The dialect: what it reads, what it refuses and how, the error collection,
// and the statement cache that lets texts of one shape share a translation.
#include <random>

#include "EngineFixture.h"
#include "LegacyShape.h"
#include "engine/ErrorTable.h"

namespace jet::testing {
namespace {

class Dialect : public EngineTest {
 protected:
  Dialect() {
    Run("CREATE TABLE [Patient Notes] (id COUNTER PRIMARY KEY, n LONG, x NUMBER, s TEXT(20), d DATE, "
        "b YESNO)");
  }

  // Number and description of a refused statement, run through a recordset
  // for SELECT texts.
  std::pair<std::int32_t, std::string> Refusal(const std::string& sql) {
    try {
      if (Fold4(sql) == "sele") {
        Recordset rs;
        rs.Open(sql, db_);
      } else {
        db_.Execute(sql);
      }
    } catch (const Error& e) {
      return {e.number(), e.description()};
    }
    ADD_FAILURE() << "accepted: " << sql;
    return {0, ""};
  }

  static std::string Fold4(const std::string& s) {
    std::string out;
    for (char c : s.substr(0, 4)) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
  }
};

TEST_F(Dialect, ReadsTheFormsOfTheDialect) {
  Run("INSERT INTO [patient notes] (N, x, S, d, b) VALUES (-7, -2.5e1, \"say \"\"hi\"\"\", #12/31/1999 23:59:59#, TRUE)");
  Run("insert into [Patient Notes] values (null, 3, 0.5, 'it''s', null, false);");
  Run("insert into [Patient Notes] (n, s) values (10, 'x')");
  EXPECT_EQ(Scalar("SELECT s FROM [PATIENT NOTES] WHERE n = -7"), Value::Text("say \"hi\""));
  EXPECT_EQ(Scalar("select x from [patient notes] where id = 1"), Value::Double(-25));
  EXPECT_EQ(Scalar("select s from [patient notes] where [patient notes].n = 3"), Value::Text("it's"));
  EXPECT_EQ(Scalar("select count(*) from [patient notes] where not (n > 0 and s like 'x') and d is null"),
            Value::Long(1));
  EXPECT_EQ(Scalar("select sum(n) * 2 + 1 as total from [patient notes]"), Value::Long(13));
  EXPECT_EQ(Scalar("select avg(n) from [patient notes] where n <> -7"), Value::Double(6.5));
  EXPECT_EQ(Scalar("select min(d) from [patient notes]"), Value::Date(DateTime{1999, 12, 31, 23, 59, 59}));
  EXPECT_EQ(Scalar("select count(d) from [patient notes]"), Value::Long(1));
  EXPECT_EQ(Scalar("select n mod 4 from [patient notes] where n = 10"), Value::Long(2));
  EXPECT_EQ(Scalar("select n \\ 4 from [patient notes] where n = 10"), Value::Long(2));
  EXPECT_EQ(Scalar("select n / 4 from [patient notes] where n = 10"), Value::Double(2.5));
  EXPECT_EQ(Scalar("select b from [patient notes] where n = -7"), Value::Boolean(true));
  Recordset rs;
  rs.Open("select [patient notes].*, n * 2 from [patient notes] order by b, n desc", db_);
  EXPECT_EQ(rs.FieldName(6), "Expr1000");
  EXPECT_EQ(rs.Field("n"), Value::Long(-7));  // True (-1) sorts before False (0)
  Run("DELETE * FROM [patient notes] WHERE n > 5 OR n IS NULL");
  Run("delete from [patient notes] where s = 'IT''S'");
  EXPECT_EQ(Scalar("select count(*) from [patient notes]"), Value::Long(1));
}

TEST_F(Dialect, AnythingElseIsRefusedWithAClearError) {
  constexpr std::int32_t kSyntax = -2147217900;
  struct Case {
    const char* sql;
    std::int32_t number;
    const char* description;
  };
  const Case cases[] = {
      {"EXEC something", kSyntax,
       "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'."},
      {"select distinct s from [patient notes]", kSyntax, nullptr},
      {"select * from [patient notes], other", kSyntax, nullptr},
      {"select * from [patient notes] group by s", kSyntax, nullptr},
      {"select * from [patient notes] where n in (1, 2)", kSyntax, nullptr},
      {"select n ^ 2 from [patient notes]", kSyntax, nullptr},
      {"select * from [patient notes] where s = 'open", kSyntax, nullptr},
      {"select ucase(s) from [patient notes]", kSyntax, "Undefined function 'ucase' in expression."},
      {"select * from nosuch", -2147217865,
       "The database engine cannot find the input table or query 'nosuch'.  Make sure it exists "
       "and that its name is spelled correctly."},
      {"select nosuch from [patient notes]", -2147217904,
       "No value given for one or more required parameters."},
      {"update [patient notes] set nosuch = 1", -2147467259,
       "Field 'nosuch' not found in table 'Patient Notes'."},
      {"select * from [patient notes] where s = Zeta and", kSyntax,
       "Syntax error (missing operator) in query expression 's = ? and'."},
      {"insert into [patient notes] (nosuch) values (1)", kSyntax,
       "The INSERT INTO statement contains the following unknown field name: 'nosuch'.  Make "
       "sure you have typed the name correctly, and try the operation again."},
      {"insert into [patient notes] (n, s) values (1)", -2147467259,
       "Number of query values and destination fields are not the same."},
      {"insert into [patient notes] (n, n) values (1, 2)", kSyntax,
       "Syntax error in INSERT INTO statement."},
      {"select s, max(n) from [patient notes]", kSyntax,
       "You tried to execute a query that does not include the specified expression 's' as part "
       "of an aggregate function."},
      {"select * from [patient notes] where max(n) > 1", kSyntax,
       "Cannot have aggregate function in WHERE clause (max(n))."},
      {"update [patient notes] set n = 1 where", kSyntax,
       "Syntax error (missing operator) in query expression ''."},
      {"update [patient notes] set n = 1 where s = 'a' s", kSyntax, "Syntax error in UPDATE statement."},
      {"create table t (a TEXT(300))", kSyntax, "Syntax error in CREATE TABLE statement."},
      {"create table t (a BLOB)", kSyntax, "Syntax error in CREATE TABLE statement."},
      {"create table t (a COUNTER PRIMARY KEY, b COUNTER)", kSyntax, nullptr},
      {"create table [PATIENT notes] (a LONG)", kSyntax, "Table 'PATIENT notes' already exists."},
      {"create table t (a LONG, A TEXT(5))", kSyntax, "Field 'A' already exists in table 't'."},
      {"create table jet_relationships (a LONG)", kSyntax, nullptr},
      {"alter table [patient notes] drop column s", kSyntax, "Syntax error in ALTER TABLE statement."},
      {"alter table [patient notes] add c COUNTER", kSyntax, nullptr},
      {"alter table nosuch add c LONG", -2147217865, nullptr},
      {"drop table nosuch", -2147217865, nullptr},
      {"drop table [patient notes] now", kSyntax, "Syntax error in DROP TABLE or DROP INDEX."},
      {"delete from [patient notes] where", kSyntax, nullptr},
  };
  for (const Case& c : cases) {
    const auto [number, description] = Refusal(c.sql);
    EXPECT_EQ(number, c.number) << c.sql;
    if (c.description != nullptr) {
      EXPECT_EQ(description, c.description) << c.sql;
    }
    EXPECT_FALSE(description.empty()) << c.sql;
  }
  EXPECT_EQ(Scalar("select count(*) from [patient notes]"), Value::Long(0));
}

TEST_F(Dialect, ARequiredColumnWithoutDefaultIsAddedOnlyToAnEmptyTable) {
  Run("alter table [patient notes] add column code TEXT(4) not null");
  EXPECT_NE(Refused("insert into [patient notes] (n) values (1)").description().find("'Patient Notes.code'"),
            std::string::npos);
  Run("insert into [patient notes] (n, code) values (1, 'a')");
  EXPECT_EQ(Refused("alter table [patient notes] add other LONG not null").description(),
            "The field 'Patient Notes.other' cannot be added as required without a default "
            "value: the table already holds rows.");
  Run("alter table [patient notes] add other LONG default 5 not null");
  EXPECT_EQ(Scalar("select other from [patient notes]"), Value::Long(5));
}

TEST_F(Dialect, TheCollectionHoldsTheLastFailureOnly) {
  Refused("select from");
  Refused("insert into [patient notes] (s) values ('" + std::string(21, 'x') + "')");
  ASSERT_EQ(db_.errors().Count(), 1u);
  const ErrorEntry& entry = db_.errors().Item(0);
  EXPECT_EQ(entry.number, -2147467259);
  EXPECT_EQ(entry.source, kEngineSource);
  EXPECT_EQ(entry.sqlState, "3163");
  EXPECT_EQ(entry.nativeError, 275);
  Run("insert into [patient notes] (s) values ('fine')");
  Scalar("select count(*) from [patient notes]");
  EXPECT_EQ(db_.errors().Count(), 1u);
  db_.errors().Clear();
  EXPECT_EQ(db_.errors().Count(), 0u);
}

TEST_F(Dialect, DescriptionsNeverCarryValuesOfARow) {
  CreateLegacyTables(db_);
  Run(kCreateConditionUrl);
  const std::string secret = "Zeta4711";
  const std::string statements[] = {
      "insert into [patient notes] (s) values ('" + secret + secret + secret + "')",
      "update [patient notes] set n = '" + secret + "'",
      "select * from [patient notes] where s = '" + secret + "' and",
      "select * from [patient notes] where s = '" + secret + "' n",
      "insert into [patient notes] (d) values (#" + secret + "#)",
      "insert into condition_url (condition_id, name) values (1, '" + secret + "')",
      "update [patient notes] set s = '" + secret + "' where n = " + secret,
      "insert into [patient notes] (n) values (" + secret + ")",
  };
  for (const auto& sql : statements) {
    const auto [number, description] = Refusal(sql);
    EXPECT_EQ(description.find(secret), std::string::npos) << description;
  }
}

TEST_F(Dialect, EveryErrorOfTheEngineHasOneRowInItsTable) {
  const int last = static_cast<int>(ErrorCode::FilterWrongType);
  for (int i = 0; i <= last; ++i) {
    int rows = 0;
    for (const ErrorSpec& spec : kErrorTable) rows += static_cast<int>(spec.code) == i ? 1 : 0;
    EXPECT_EQ(rows, 1) << "error code " << i;
  }
  for (const ErrorSpec& spec : kErrorTable) {
    EXPECT_LT(spec.number, 0);
    EXPECT_GT(spec.jetNumber, 0);
    EXPECT_NE(std::string(spec.description), "");
  }
}

TEST_F(Dialect, TextsOfOneShapeShareATranslationButNotTheirValues) {
  for (int i = 0; i < 50; ++i) {
    Run("insert into [patient notes] (n, s, x) values (" + std::to_string(i) + ", 'v" +
        std::to_string(i) + "', " + std::to_string(i) + ".5)");
  }
  EXPECT_EQ(Scalar("select s from [patient notes] where n = 17"), Value::Text("v17"));
  EXPECT_EQ(Scalar("select x from [patient notes] where n = 42"), Value::Double(42.5));
  // The same place holding another kind of literal is another shape.
  EXPECT_EQ(Refused("update [patient notes] set n = 1 where n = 'v1'").number(), -2147217913);
  Run("update [patient notes] set s = 'w' where n = 1");
  // A value that fails leaves the shared translation usable.
  Refused("insert into [patient notes] (n, s, x) values (5000000000, 'a', 1.5)");
  Run("insert into [patient notes] (n, s, x) values (77, 'a', 1.5)");
  EXPECT_EQ(Scalar("select count(*) from [patient notes] where n = 77"), Value::Long(1));
  // A new column shows in texts translated before it was added.
  Recordset before;
  before.Open("select * from [patient notes] where n = 1", db_);
  EXPECT_EQ(before.FieldCount(), 6u);
  Run("alter table [patient notes] add extra TEXT(3)");
  Recordset after;
  after.Open("select * from [patient notes] where n = 1", db_);
  EXPECT_EQ(after.FieldCount(), 7u);
}

TEST_F(Dialect, InsertsWhoseValuesDifferInKindShareOnePlanAndKeepEachValue) {
  // The claim copy's texts differ from row to row in which dates are null
  // and which flags are True; each must land in its own column unchanged.
  const char* texts[] = {
      "insert into [patient notes] (n, d, b, s, x) values (1, #3/5/2014#, True, 'a', 2.5)",
      "insert into [patient notes] (n, d, b, s, x) values (2, null, False, null, null)",
      "insert into [patient notes] (n, d, b, s, x) values (3, null, null, 'c', -4)",
      "insert into [patient notes] (n, d, b, s, x) values (null, #3/5/2014 14:05:00#, True, '', 1)",
  };
  for (const char* text : texts) Run(text);
  Recordset rs;
  rs.Open("select n, d, b, s, x from [patient notes] order by id", db_);
  const std::vector<std::vector<Value>> expected = {
      {Value::Long(1), Value::Date({2014, 3, 5}), Value::Boolean(true), Value::Text("a"), Value::Double(2.5)},
      {Value::Long(2), Value(), Value::Boolean(false), Value(), Value()},
      {Value::Long(3), Value(), Value::Boolean(false), Value::Text("c"), Value::Double(-4)},
      {Value(), Value::Date({2014, 3, 5, 14, 5, 0}), Value::Boolean(true), Value::Text(""), Value::Double(1)},
  };
  for (const auto& row : expected) {
    ASSERT_FALSE(rs.IsEOF());
    for (std::size_t i = 0; i < row.size(); ++i) EXPECT_EQ(rs.FieldAt(i), row[i]) << rs.FieldName(i);
    rs.MoveNext();
  }
  EXPECT_TRUE(rs.IsEOF());
  // A value of the wrong kind for its column is still refused; a sign
  // before True reads as in any expression, whichever text made the plan.
  Refused("insert into [patient notes] (n, d, b, s, x) values (4, 'soon', True, 'd', 1)");
  Run("insert into [patient notes] (n, d, b, s, x) values (5, null, -1, 'e', -1)");
  Run("insert into [patient notes] (n, d, b, s, x) values (6, null, -True, 'f', -True)");
  EXPECT_EQ(Scalar("select x from [patient notes] where n = 6"), Value::Double(1));
  EXPECT_EQ(Scalar("select count(*) from [patient notes] where b = True"), Value::Long(4));
}

TEST_F(Dialect, NoTextEndsInACrash) {
  Run(kCreateConditionUrl);
  Run(CreateCms2012());
  const std::string texts[] = {
      CreateCms2012(), CmsInsert(1, 1),
      "Alter TABLE event add icda TEXT(7) default \"\" not null",
      "select max(id) as maxid from [patient notes] where s like '%a_' order by id",
  };
  int failures = 0;
  for (const auto& text : texts) {
    for (std::size_t cut = 0; cut < text.size(); cut += 3) {
      try {
        db_.Execute(text.substr(0, cut));
      } catch (const Error& e) {
        ++failures;
        EXPECT_LT(e.number(), 0);
      }
    }
  }
  EXPECT_GT(failures, 0);
  std::mt19937 random(7);
  const std::string pieces[] = {"select", "insert", "into", "(", ")", ",", "'a'", "#1/2/2003#", "1",
                                "n", "s", "from", "where", "=", "&", "-", "null", "[patient notes]",
                                "values", "update", "set", "and", "\"", "#", "[", "*", "like"};
  for (int i = 0; i < 2000; ++i) {
    std::string sql;
    const int length = static_cast<int>(random() % 12);
    for (int k = 0; k < length; ++k) sql += pieces[random() % std::size(pieces)] + " ";
    try {
      Recordset rs;
      rs.Open(sql, db_);
    } catch (const Error&) {
    }
  }
  EXPECT_EQ(Scalar("select count(*) from cms2012"), Value::Long(0));
  // Nesting and length beyond any sense are refused, not followed down.
  const std::string deep = "select * from [patient notes] where " + std::string(100000, '(') + "n = 1" +
                           std::string(100000, ')');
  EXPECT_EQ(Refusal(deep).first, -2147217900);
  std::string chain = "select * from [patient notes] where n = 1";
  for (int i = 0; i < 100000; ++i) chain += " or n = 1";
  EXPECT_EQ(Refusal(chain).first, -2147217900);
  EXPECT_EQ(Refusal("select " + std::string(100000, '-') + "n from [patient notes]").first, -2147217900);
}

}  // namespace
}  // namespace jet::testing
