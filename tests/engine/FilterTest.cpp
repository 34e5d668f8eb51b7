#include "Filter.h"

#include <gtest/gtest.h>

#include <map>

#include "jet/Error.h"

namespace jet {
namespace {

// A row shaped like an injury claim of the legacy database.
const std::map<std::string, Value> kClaim = {
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
    {"street", Value::Text("Straße")},
    {"memo", Value::Text(std::string(5000, 'a'))},
};

bool Matches(const std::string& criteria) {
  return FilterMatches(*ParseFilter(criteria), [](std::string_view name) -> std::optional<Value> {
    const auto it = kClaim.find(std::string(name));
    return it == kClaim.end() ? std::nullopt : std::optional<Value>(it->second);
  });
}

// The object-model error the criteria raise when set or evaluated; 0 for none.
std::int32_t ErrorOf(const std::string& criteria) {
  try {
    Matches(criteria);
  } catch (const Error& e) {
    EXPECT_EQ(e.source(), kObjectModelSource);
    return e.number();
  }
  return 0;
}

TEST(Filter, EachKindComparesByItsOwnRules) {
  const std::pair<const char*, bool> cases[] = {
      // Numbers of every kind compare numerically; currency exactly, not through a double.
      {"claim_id = 42.0", true}, {"claim_id >= 42 AND claim_id <= 42", true}, {"claim_id <> 42", false},
      {"claim_id > -1e3", true}, {"rate = 0.1", true}, {"balance = $12.50", true}, {"balance > 12.50001", false},
      {"balance < 12.50001", true}, {"tenth = 0.1", true}, {"tenth < 0.1", false}, {"tenth < 1e300", true},
      {"closed = False", true}, {"closed = True", false}, {"closed > -1", true},
      // A NULL field is neither equal nor unequal to anything; only the Null tests match it.
      {"note = Null", true}, {"note <> null", false}, {"patient <> NULL", true}, {"patient = Null", false},
      {"note = 'x'", false}, {"note <> 'x'", false}, {"note LIKE '*'", false}, {"note < 5", false},
      // Dates as dates in every writing of them, month first, chronologically.
      {"date_occurred = #3/5/2014#", true}, {"date_occurred = 03/05/14", true}, {"date_occurred = 2014-03-05", true},
      {"date_occurred = '3/5/2014'", true}, {"date_occurred = #5/3/2014#", false},
      {"last_seen = 3/5/2014 2:05 PM AND claim_id = 42", true}, {"last_seen > 3/5/2014", true},
      {"last_seen < #3/5/2014 14:05:01#", true}, {"date_occurred > 12/1/2013", true},
      {"entered < 10/1/2013 OR entered = #3/1/2014#", true},  // a text that holds a date
      // Texts without regard to case, accents counting; LIKE by characters.
      {"patient = 'o''brien, zoë'", true}, {"patient = \"O'BRIEN, ZOË\"", true},
      {"patient > 'NAGEL' AND patient < 'ÖZ'", true}, {"patient = 'O''Brien, Zoe'", false},
      {"[Claim Type] = 'wc'", true}, {"street = 'STRASSE'", false}, {"patient LIKE 'o''b*'", true},
      {"patient like '%zoË'", true}, {"patient LIKE 'O?Brien, Zo_'", true}, {"patient LIKE 'O?Brien'", false},
      {"patient LIKE 'Brien*'", false}, {"[Claim Type] LIKE 'W?*C?'", false},
      {"memo LIKE '*a*a*a*a*a*a*a*a*a*a*b'", false},  // quick, no blow-up
      // AND and OR run left to right without precedence: (T OR F) AND F.
      {"claim_id = 42 OR claim_id = 1 AND claim_id = 2", false},
      {"claim_id = 1 and closed = 0 or patient like 'o*'", true}, {"claim_id=42 AND closed<>-1 AND patient>'a'", true},
  };
  for (const auto& [criteria, expected] : cases) EXPECT_EQ(Matches(criteria), expected) << criteria;
}

TEST(Filter, MalformedCriteriaAreRefusedWhenSetAndTheRestWhenEvaluated) {
  for (const char* criteria :
       {"", "   ", "date_occurred = ", "claim_id", "claim_id 42", "claim_id == 42", "= 42", "claim_id = 42 AND",
        "claim_id = 42 XOR closed = 0", "patient = 'unterminated", "patient = unquoted", "date_occurred = #3/5/2014",
        "date_occurred = #2/30/2014#", "date_occurred = 2/30/2014", "claim_id = 4 2", "(claim_id = 42)",
        "claim_id = 42 OR (closed = 0)", "[claim_id = 42", "[] = 1", "claim_id < Null", "patient LIKE 5",
        "patient LIKE Null", "claim_id = 1e999", "claim_id = $", "claim_id = 12$", "claim_id=42AND closed=0"}) {
    try {
      ParseFilter(criteria);
      ADD_FAILURE() << "parsed \"" << criteria << '"';
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), kFilterMalformed) << '"' << criteria << '"';
    }
  }
  // Every clause is looked up, even when the first already decides; a NULL
  // field decides nothing and so raises nothing.
  const std::pair<const char*, std::int32_t> cases[] = {
      {"no_such_field = 1", kFilterUnknownField}, {"claim_id = 1 AND no_such_field = 1", kFilterUnknownField},
      {"patient = 5", kFilterTypeMismatch}, {"claim_id = '42'", kFilterTypeMismatch},
      {"date_occurred = 42", kFilterTypeMismatch}, {"date_occurred = 'soon'", kFilterTypeMismatch},
      {"patient < #3/5/2014#", kFilterTypeMismatch}, {"claim_id LIKE '4*'", kFilterTypeMismatch}, {"note = 5", 0},
  };
  for (const auto& [criteria, error] : cases) EXPECT_EQ(ErrorOf(criteria), error) << criteria;
  EXPECT_EQ(FilterFieldNames(*ParseFilter("[Claim Type] = 'WC' AND claim_id > 3 OR Date_Occurred = Null")),
            (std::vector<std::string>{"Claim Type", "claim_id", "Date_Occurred"}));
}

}  // namespace
}  // namespace jet
