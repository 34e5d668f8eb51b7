#include "Filter.h"

#include <gtest/gtest.h>

#include <map>

#include "jet/Error.h"

namespace jet {
namespace {

using Row = std::map<std::string, Value>;

// A row shaped like an injury claim of the legacy database.
const Row kClaim = {
    {"claim_id", Value::Long(42)},
    {"patient", Value::Text("O'Brien, Zoë")},
    {"date_occurred", Value::Date(DateTime{2014, 3, 5, 0, 0, 0})},
    {"last_seen", Value::Date(DateTime{2014, 3, 5, 14, 5, 0})},
    {"balance", Value::Money(Currency{125000})},  // 12.5
    {"tenth", Value::Money(Currency{1000})},      // 0.1 exactly
    {"rate", Value::Double(0.1)},
    {"closed", Value::Boolean(false)},
    {"note", Value::Null()},
    {"Claim Type", Value::Text("WC")},
    {"entered", Value::Text("3/1/2014")},
    {"name", Value::Text("ΣΊΣΥΦΟΣ")},
    {"street", Value::Text("Straße")},
    {"memo", Value::Text(std::string(5000, 'a'))},
};

bool Matches(const std::string& criteria) {
  return FilterMatches(*ParseFilter(criteria), [](std::string_view name) -> std::optional<Value> {
    const auto it = kClaim.find(std::string(name));
    return it == kClaim.end() ? std::nullopt : std::optional<Value>(it->second);
  });
}

std::int32_t ErrorOf(const std::string& criteria) {
  try {
    Matches(criteria);
  } catch (const Error& e) {
    EXPECT_EQ(e.source(), kObjectModelSource);
    return e.number();
  }
  return 0;
}

void ExpectMatches(std::initializer_list<std::pair<const char*, bool>> cases) {
  for (const auto& [criteria, expected] : cases) EXPECT_EQ(Matches(criteria), expected) << criteria;
}

TEST(Filter, NumbersOfEveryKindCompareNumericallyAndNullMatchesOnlyTheNullTests) {
  ExpectMatches({
      {"claim_id = 42.0", true}, {"claim_id >= 42 AND claim_id <= 42", true}, {"claim_id <> 42", false},
      {"claim_id > -1e3", true}, {"claim_id < 42.0001", true}, {"rate = 0.1", true},
      {"balance = 12.5", true}, {"balance = $12.50", true},
      // Currency compares exactly, not rounded to four places nor through a double.
      {"balance > 12.50001", false}, {"balance < 12.50001", true}, {"tenth = 0.1", true}, {"tenth < 0.1", false},
      {"tenth < 1e300", true}, {"closed = 0", true}, {"closed = False", true}, {"closed = True", false},
      {"closed > -1", true}, {"note = Null", true}, {"note <> null", false}, {"patient <> NULL", true},
      {"patient = Null", false},
      // A NULL field is neither equal nor unequal to anything.
      {"note = 'x'", false}, {"note <> 'x'", false}, {"note LIKE '*'", false}, {"note < 5", false},
  });
}

TEST(Filter, DatesCompareAsDatesInEveryWritingOfThem) {
  ExpectMatches({
      {"date_occurred = #3/5/2014#", true}, {"date_occurred = 3/5/2014", true}, {"date_occurred = 03/05/14", true},
      {"date_occurred = 2014-03-05", true}, {"date_occurred = '3/5/2014'", true},
      {"date_occurred = #5/3/2014#", false},  // month first, always
      {"last_seen = 3/5/2014 14:05:00", true}, {"last_seen = 3/5/2014 2:05 PM AND claim_id = 42", true},
      {"last_seen > 3/5/2014", true}, {"last_seen < #3/5/2014 14:05:01#", true},
      // Chronological, not textual: "12/1/2013" sorts after "3/5/2014" as text.
      {"date_occurred > 12/1/2013", true}, {"date_occurred < 10/1/2014", true},
      // A text field that holds a date is compared as that date.
      {"entered < 10/1/2013 OR entered = #3/1/2014#", true},
  });
}

TEST(Filter, TextsIgnoreCaseForEveryLetterAndLikeMatchesWildcards) {
  ExpectMatches({
      {"patient = 'o''brien, zoë'", true}, {"patient = \"O'BRIEN, ZOË\"", true},
      {"patient > 'NAGEL' AND patient < 'ÖZ'", true}, {"patient = 'O''Brien, Zoe'", false},  // accents count
      {"[Claim Type] = 'wc'", true}, {"name = 'σίσυφοσ'", true}, {"street = 'STRAßE'", true},
      {"street = 'STRASSE'", false},  // simple folding keeps lengths: ß is not "ss"
      {"patient LIKE 'o''b*'", true}, {"patient like '%zoË'", true}, {"patient LIKE '*BRIEN*'", true},
      {"patient LIKE 'O?Brien, Zo_'", true},  // one character, not one byte
      {"patient LIKE 'O?Brien'", false}, {"patient LIKE 'Brien*'", false}, {"[Claim Type] LIKE 'W*C'", true},
      {"[Claim Type] LIKE 'W?*C?'", false}, {"memo LIKE '*a*a*a*a*a*a*a*a*a*a'", true},
      {"memo LIKE '*a*a*a*a*a*a*a*a*a*a*b'", false},  // quick, no blow-up
  });
}

TEST(Filter, AndOrRunLeftToRightWithoutPrecedence) {
  ExpectMatches({
      // (T OR F) AND F = F   where precedence would give T OR (F AND F) = T
      {"claim_id = 42 OR claim_id = 1 AND claim_id = 2", false},
      {"claim_id = 42 OR closed = 0 AND claim_id = 7", false},
      // (F AND T) OR T = T; the joiners' case is free, blanks are not needed
      {"claim_id = 1 and closed = 0 or patient like 'o*'", true},
      {"claim_id=42 AND closed<>-1 AND patient>'a'", true},
  });
}

TEST(Filter, MalformedCriteriaAreRefusedWhenSet) {
  for (const char* criteria :
       {"", "   ", "date_occurred = ", "date_occurred =", "claim_id", "claim_id 42",
        "claim_id == 42", "= 42", "claim_id = 42 AND", "claim_id = 42 XOR closed = 0",
        "patient = 'unterminated", "patient = unquoted", "date_occurred = #3/5/2014",
        "date_occurred = #2/30/2014#", "date_occurred = 2/30/2014", "claim_id = 4 2",
        "(claim_id = 42)", "claim_id = 42 OR (closed = 0)", "[claim_id = 42",
        "[] = 1", "claim_id < Null", "patient LIKE 5", "patient LIKE Null",
        "claim_id = 1e999", "claim_id = $", "claim_id = 12$", "claim_id=42AND closed=0"}) {
    try {
      ParseFilter(criteria);
      ADD_FAILURE() << "parsed \"" << criteria << '"';
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), kFilterMalformed) << '"' << criteria << '"';
      EXPECT_EQ(e.source(), kObjectModelSource);
    }
  }
}

TEST(Filter, UnknownFieldsAndMismatchedKindsRaiseWhenEvaluated) {
  EXPECT_EQ(ErrorOf("no_such_field = 1"), kFilterUnknownField);
  // Every clause is looked up, even when the first already decides.
  EXPECT_EQ(ErrorOf("claim_id = 1 AND no_such_field = 1"), kFilterUnknownField);
  for (const char* criteria : {"patient = 5", "claim_id = '42'", "date_occurred = 42", "date_occurred = 'soon'",
                               "patient < #3/5/2014#", "claim_id LIKE '4*'"}) {
    EXPECT_EQ(ErrorOf(criteria), kFilterTypeMismatch) << criteria;
  }
  EXPECT_EQ(ErrorOf("note = 5"), 0);  // a NULL field decides nothing and so raises nothing
  EXPECT_EQ(FilterFieldNames(*ParseFilter("[Claim Type] = 'WC' AND claim_id > 3 OR Date_Occurred = Null")),
            (std::vector<std::string>{"Claim Type", "claim_id", "Date_Occurred"}));
}

}  // namespace
}  // namespace jet
