#include "engine/Filter.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/Error.h"

namespace jet {
namespace {

// One row of a recordset: field names matched without regard to case, as
// the recordset's own lookup does.
class Row {
 public:
  Row& Set(std::string name, Value v) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    fields_[name] = std::move(v);
    return *this;
  }
  FilterFieldLookup Lookup() const {
    return [this](std::string_view name) -> std::optional<Value> {
      std::string key(name);
      for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      const auto it = fields_.find(key);
      if (it == fields_.end()) return std::nullopt;
      return it->second;
    };
  }

 private:
  std::map<std::string, Value> fields_;
};

// A row shaped like an injury claim of the legacy database.
Row ClaimRow() {
  Row row;
  row.Set("claim_id", Value::Long(42))
      .Set("patient", Value::Text("O'Brien, Zoë"))
      .Set("date_occurred", Value::Date(DateTime{2014, 3, 5, 0, 0, 0}))
      .Set("last_seen", Value::Date(DateTime{2014, 3, 5, 14, 5, 0}))
      .Set("balance", Value::Money(Currency{125000}))  // 12.5
      .Set("rate", Value::Double(0.1))
      .Set("closed", Value::Boolean(false))
      .Set("note", Value::Null())
      .Set("Claim Type", Value::Text("WC"))
      .Set("entered", Value::Text("3/1/2014"));
  return row;
}

bool Matches(const std::string& criteria, const Row& row = ClaimRow()) {
  return FilterMatches(*ParseFilter(criteria), row.Lookup());
}

std::int32_t ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    EXPECT_EQ(e.source(), kObjectModelSource);
    return e.number();
  }
  return 0;
}

TEST(FilterCompare, NumbersOfEveryKindCompareNumerically) {
  EXPECT_TRUE(Matches("claim_id = 42"));
  EXPECT_TRUE(Matches("claim_id = 42.0"));
  EXPECT_TRUE(Matches("claim_id >= 42 AND claim_id <= 42"));
  EXPECT_FALSE(Matches("claim_id <> 42"));
  EXPECT_TRUE(Matches("claim_id > -1e3"));
  EXPECT_TRUE(Matches("claim_id < 42.0001"));
  EXPECT_TRUE(Matches("balance = 12.5"));
  EXPECT_TRUE(Matches("balance = $12.50"));
  EXPECT_FALSE(Matches("balance > 12.50001"));  // exact, not rounded to four places
  EXPECT_TRUE(Matches("balance < 12.50001"));
  EXPECT_TRUE(Matches("rate = 0.1"));
  EXPECT_TRUE(Matches("closed = 0"));
  EXPECT_TRUE(Matches("closed = False"));
  EXPECT_FALSE(Matches("closed = True"));
  EXPECT_TRUE(Matches("closed > -1"));

  Row big;
  big.Set("balance", Value::Money(Currency{1000}));  // 0.1 exactly
  EXPECT_TRUE(Matches("balance = 0.1", big));        // not via the double 0.1
  EXPECT_FALSE(Matches("balance < 0.1", big));
  EXPECT_TRUE(Matches("balance < 1e300", big));
}

TEST(FilterCompare, DatesCompareAsDatesInEveryWritingOfThem) {
  EXPECT_TRUE(Matches("date_occurred = #3/5/2014#"));
  EXPECT_TRUE(Matches("date_occurred = 3/5/2014"));
  EXPECT_TRUE(Matches("date_occurred = 03/05/14"));
  EXPECT_TRUE(Matches("date_occurred = 2014-03-05"));
  EXPECT_TRUE(Matches("date_occurred = '3/5/2014'"));
  EXPECT_FALSE(Matches("date_occurred = #5/3/2014#"));  // month first, always
  EXPECT_TRUE(Matches("last_seen = 3/5/2014 14:05:00"));
  EXPECT_TRUE(Matches("last_seen = 3/5/2014 2:05 PM AND claim_id = 42"));
  EXPECT_TRUE(Matches("last_seen > 3/5/2014"));  // later the same day
  EXPECT_TRUE(Matches("last_seen < #3/5/2014 14:05:01#"));
  // Chronological, not textual: "12/1/2013" sorts after "3/5/2014" as text.
  EXPECT_TRUE(Matches("date_occurred > 12/1/2013"));
  EXPECT_TRUE(Matches("date_occurred < 10/1/2014"));
  // A text field that holds a date is compared as that date.
  EXPECT_TRUE(Matches("entered < 10/1/2013 OR entered = #3/1/2014#"));
}

TEST(FilterCompare, TextsIgnoreCaseForEveryLetter) {
  EXPECT_TRUE(Matches("patient = 'o''brien, zoë'"));
  EXPECT_TRUE(Matches("patient = \"O'BRIEN, ZOË\""));
  EXPECT_TRUE(Matches("patient > 'NAGEL' AND patient < 'ÖZ'"));
  EXPECT_FALSE(Matches("patient = 'O''Brien, Zoe'"));  // accents still count
  EXPECT_TRUE(Matches("[claim type] = 'wc'"));
  EXPECT_TRUE(Matches("[CLAIM TYPE] <> 'wcx'"));

  Row greek;
  greek.Set("name", Value::Text("ΣΊΣΥΦΟΣ")).Set("street", Value::Text("Straße"));
  EXPECT_TRUE(Matches("name = 'σίσυφοσ'", greek));
  EXPECT_TRUE(Matches("street = 'STRAßE'", greek));
  // Simple folding keeps lengths: ß is not "ss".
  EXPECT_FALSE(Matches("street = 'STRASSE'", greek));
}

TEST(FilterCompare, LikeMatchesWildcardsWithoutRegardToCase) {
  EXPECT_TRUE(Matches("patient LIKE 'o''b*'"));
  EXPECT_TRUE(Matches("patient like '%zoË'"));
  EXPECT_TRUE(Matches("patient LIKE '*BRIEN*'"));
  EXPECT_TRUE(Matches("patient LIKE 'O?Brien, Zo_'"));  // one character, not one byte
  EXPECT_FALSE(Matches("patient LIKE 'O?Brien'"));
  EXPECT_FALSE(Matches("patient LIKE 'Brien*'"));
  EXPECT_TRUE(Matches("[Claim Type] LIKE 'W*C'"));
  EXPECT_TRUE(Matches("[Claim Type] LIKE 'WC*'"));
  EXPECT_FALSE(Matches("[Claim Type] LIKE 'W?*C?'"));

  Row longText;
  longText.Set("memo", Value::Text(std::string(5000, 'a')));
  EXPECT_FALSE(Matches("memo LIKE '*a*a*a*a*a*a*a*a*a*a*b'", longText));  // quick, no blow-up
  EXPECT_TRUE(Matches("memo LIKE '*a*a*a*a*a*a*a*a*a*a'", longText));
}

TEST(FilterCompare, NullMatchesOnlyTheNullTests) {
  EXPECT_TRUE(Matches("note = Null"));
  EXPECT_FALSE(Matches("note <> null"));
  EXPECT_TRUE(Matches("patient <> NULL"));
  EXPECT_FALSE(Matches("patient = Null"));
  // A NULL field is neither equal nor unequal to anything.
  EXPECT_FALSE(Matches("note = 'x'"));
  EXPECT_FALSE(Matches("note <> 'x'"));
  EXPECT_FALSE(Matches("note LIKE '*'"));
  EXPECT_FALSE(Matches("note < 5"));
}

TEST(FilterJoin, AndOrRunLeftToRightWithoutPrecedence) {
  // (T OR F) AND F = F   where precedence would give T OR (F AND F) = T
  EXPECT_FALSE(Matches("claim_id = 42 OR claim_id = 1 AND claim_id = 2"));
  // (F AND T) OR T = T   where precedence would agree; the joiners' case is free
  EXPECT_TRUE(Matches("claim_id = 1 and closed = 0 or patient like 'o*'"));
  // (T OR T) AND F = F
  EXPECT_FALSE(Matches("claim_id = 42 OR closed = 0 AND claim_id = 7"));
  // Operators need no blanks around them.
  EXPECT_TRUE(Matches("claim_id=42 AND closed<>-1 AND patient>'a'"));
}

TEST(FilterErrors, MalformedCriteriaAreRefusedWhenSet) {
  for (const char* criteria :
       {"", "   ", "date_occurred = ", "date_occurred =", "claim_id", "claim_id 42",
        "claim_id == 42", "= 42", "claim_id = 42 AND", "claim_id = 42 XOR closed = 0",
        "patient = 'unterminated", "patient = unquoted", "date_occurred = #3/5/2014",
        "date_occurred = #2/30/2014#", "date_occurred = 2/30/2014", "claim_id = 4 2",
        "(claim_id = 42)", "claim_id = 42 OR (closed = 0)", "[claim_id = 42",
        "[] = 1", "claim_id < Null", "patient LIKE 5", "patient LIKE Null",
        "claim_id = 1e999", "claim_id = $", "claim_id = 12$", "claim_id=42AND closed=0"}) {
    EXPECT_EQ(ErrorOf([&] { ParseFilter(criteria); }), kFilterMalformed) << '"' << criteria << '"';
  }
}

TEST(FilterErrors, UnknownFieldsAndMismatchedKindsRaiseWhenEvaluated) {
  EXPECT_EQ(ErrorOf([] { Matches("no_such_field = 1"); }), kFilterUnknownField);
  // Every clause is looked up, even when the first already decides.
  EXPECT_EQ(ErrorOf([] { Matches("claim_id = 1 AND no_such_field = 1"); }), kFilterUnknownField);
  EXPECT_EQ(ErrorOf([] { Matches("patient = 5"); }), kFilterTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Matches("claim_id = '42'"); }), kFilterTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Matches("date_occurred = 42"); }), kFilterTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Matches("date_occurred = 'soon'"); }), kFilterTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Matches("patient < #3/5/2014#"); }), kFilterTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Matches("claim_id LIKE '4*'"); }), kFilterTypeMismatch);
  // A NULL field decides nothing and so raises nothing.
  EXPECT_EQ(ErrorOf([] { Matches("note = 5"); }), 0);
}

TEST(FilterParse, NamesTheFieldsItUses) {
  const auto filter = ParseFilter("[Claim Type] = 'WC' AND claim_id > 3 OR Date_Occurred = Null");
  EXPECT_EQ(FilterFieldNames(*filter),
            (std::vector<std::string>{"Claim Type", "claim_id", "Date_Occurred"}));
}

}  // namespace
}  // namespace jet
