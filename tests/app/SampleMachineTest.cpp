// The sample machine is what the conversion tests and the README stand on:
// the same for a seed, holding every case it promises, and what a real
// machine would hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "jet/Connection.h"
#include "jet/Recordset.h"
#include "os/RegistryFile.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;

// Every row of the legacy tables as text, in key order.
std::vector<std::string> Practice(const fs::path& db) {
  const auto c = testing::OpenPractice(db);
  std::vector<std::string> rows;
  for (const char* select : {"Person ORDER BY ID", "Condition ORDER BY ID", "event ORDER BY id",
                             "conv_hcfa_info ORDER BY hcfa_id"}) {
    jet::Recordset rs;
    for (rs.Open(std::string("SELECT * FROM ") + select, *c); !rs.IsEOF(); rs.MoveNext()) {
      std::string row = select;
      for (std::size_t i = 0; i < rs.FieldCount(); ++i)
        row += "|" + (rs.FieldAt(i).IsNull() ? std::string("<null>") : rs.FieldAt(i).ToText());
      rows.push_back(row);
    }
  }
  return rows;
}

// A seed that changes nothing would leave every sample the same practice
// (that one seed writes one practice, the spoiled-rows test shows).
TEST(SampleMachine, ASeedMattersAndRegistryValuesAreStoredAsRegeditDoes) {
  testing::TempDir dir;
  const fixture::SampleLayout machine(fs::canonical(dir.path()) / "m");
  fixture::WriteSampleMachine(machine.root, {40, 9});
  fixture::WritePracticeDatabase(dir / "c.mdb", {40, 10});
  EXPECT_NE(Practice(dir / "c.mdb"), Practice(machine.DatabaseV31()));

  const RegistryHive hive = RegistryHive::Load(machine.registryFile.string());
  const RegistryKey* v31 = hive.OpenKey(fixture::kKeyV31);
  const RegistryKey* y2014 = hive.OpenKey(fixture::kKey2014);
  ASSERT_TRUE(v31 && y2014);
  EXPECT_EQ(v31->Value("Location")->bytes, machine.folderV31.string() + '\0');
  EXPECT_EQ(v31->Value("Version")->bytes, std::string("3.1.0.0") + '\0');
  EXPECT_EQ(y2014->Value("Location")->bytes, machine.folder2014.string() + '\0');
}

// Even a small sample holds every kind of claim without an event that the
// linking step handles; a larger one every form the cleanup and copy meet.
TEST(SamplePractice, HoldsEveryCaseTheConversionMeets) {
  static const char* const kCleaned[] = {
      "Carrier_City",  "Carrier_State", "Carrier_Zip",    "Facility_City", "Facility_State",
      "Facility_Zip",  "Provider_City", "Provider_State", "Provider_Zip",  "Patient_LName",
      "Patient_FName", "Patient_MI",    "Insured_LName",  "Insured_FName", "Insured_MI",
      "Other_LName",   "Other_FName",   "Other_MI"};
  for (const int claims : {7, 500}) {
    SCOPED_TRACE(claims);
    testing::TempDir dir;
    EXPECT_EQ(fixture::WritePracticeDatabase(dir / "p.mdb", {claims, 1}).claims, claims);
    const auto c = testing::OpenPractice(dir / "p.mdb");
    std::map<long, std::vector<std::string>> eventDates, unlinkedInjuries;  // by patient
    jet::Recordset rs;
    for (rs.Open("SELECT patientid, date_occurred FROM event", *c); !rs.IsEOF(); rs.MoveNext())
      eventDates[rs.Field("patientid").AsLong()].push_back(rs.Field("date_occurred").ToText());
    rs.Close();

    std::set<std::string> kinds, zips, nullColumns;
    std::string lastNames;
    for (rs.Open("SELECT * FROM conv_hcfa_info", *c); !rs.IsEOF(); rs.MoveNext()) {
      const jet::Value injury = rs.Field("date_of_injury");
      if (rs.Field("event_id").IsNull())
        unlinkedInjuries[rs.Field("client_id").AsLong()].push_back(injury.IsNull() ? "" : injury.ToText());
      for (const char* column : kCleaned)
        if (rs.Field(column).IsNull()) nullColumns.insert(column);
      const std::size_t zip = rs.Field("Patient_Zip_Code").AsText().size();
      zips.insert(zip == 0 ? "empty" : zip == 5 ? "five" : zip == 10 ? "nine" : "other");
      if (!rs.Field("Patient_LName").IsNull()) lastNames += rs.Field("Patient_LName").AsText();
    }
    for (const auto& [patient, injuries] : unlinkedInjuries) {
      const auto& dates = eventDates[patient];
      for (const std::string& date : injuries) {
        const auto onDate = std::count(dates.begin(), dates.end(), date);
        const auto sameInjury = std::count(injuries.begin(), injuries.end(), date);
        if (dates.empty() && injuries.size() >= 2) kinds.insert("no event, two claims");
        if (dates.size() == 1 && date.empty()) kinds.insert("one event, no date of injury");
        if (dates.size() >= 2 && onDate >= 2) kinds.insert("two events on the date");
        if (dates.size() >= 2 && onDate == 0 && sameInjury >= 2) kinds.insert("none on the date, two claims");
      }
    }
    EXPECT_EQ(kinds, (std::set<std::string>{"no event, two claims", "one event, no date of injury",
                                            "two events on the date", "none on the date, two claims"}));
    if (claims < 500) continue;
    EXPECT_EQ(zips, (std::set<std::string>{"empty", "five", "nine"}));
    EXPECT_EQ(nullColumns.size(), std::size(kCleaned));
    for (const char* mark : {"'", "-"}) EXPECT_NE(lastNames.find(mark), std::string::npos) << mark;
    EXPECT_TRUE(std::any_of(lastNames.begin(), lastNames.end(), [](char ch) { return ch & 0x80; }))
        << "no accented name";
  }
}

// Spoiled rows: each kind as many times as asked where there is room, each
// row spoiled once, the linking's special cases (the first 16 claims) and
// every other row left as the same seed writes them clean.
TEST(SamplePractice, FaultyRowsAreSpoiledKindByKindAndNothingElseChanges) {
  const char* const kKindOf[] = {"cpt3 = 'OVERLONG'", "client_id = 999999999",
                                 "client_id is null", "event_id = 999999999"};
  const struct {
    int claims, perKind, faultyClaims, faultyEvents;
  } cases[] = {{90, 2, 8, 2}, {30, 10, 14, 10}, {12, 3, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.claims) + " claims, " + std::to_string(c.perKind) + " a kind");
    testing::TempDir dir;
    const auto made = fixture::WritePracticeDatabase(dir / "spoiled.mdb", {c.claims, 4, c.perKind});
    fixture::WritePracticeDatabase(dir / "clean.mdb", {c.claims, 4});
    EXPECT_EQ(made.faultyClaims, c.faultyClaims);
    EXPECT_EQ(made.faultyEvents, c.faultyEvents);
    const auto db = testing::OpenPractice(dir / "spoiled.mdb");
    std::string any;
    for (const char* kind : kKindOf) {
      const long n = testing::CountOf(*db, std::string("select count(*) as n from conv_hcfa_info where ") + kind);
      EXPECT_LE(std::abs(n - c.faultyClaims / 4), 1) << kind << ": spread evenly";
      any += (any.empty() ? "" : " or ") + std::string(kind);
    }
    EXPECT_EQ(testing::CountOf(*db, "select count(*) as n from conv_hcfa_info where " + any), c.faultyClaims)
        << "each claim spoiled once";
    EXPECT_EQ(testing::CountOf(*db, "select count(*) as n from conv_hcfa_info where hcfa_id <= 16 and (" + any + ")"), 0);
    const auto clean = Practice(dir / "clean.mdb"), spoiled = Practice(dir / "spoiled.mdb");
    ASSERT_EQ(clean.size(), spoiled.size());
    long differ = 0;
    for (std::size_t i = 0; i < clean.size(); ++i) differ += clean[i] != spoiled[i];
    EXPECT_EQ(differ, c.faultyClaims + c.faultyEvents);
  }
}

}  // namespace
}  // namespace calmora
