// The sample machine is what the conversion tests and the README stand on:
// it must be the same for a seed, hold every case it promises, and be what
// a real machine would hold (registry values with their NUL, real bitmaps).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "engine/Connection.h"
#include "engine/Recordset.h"
#include "os/RegistryFile.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"
#include "tools/fixture/SampleMachine.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;

// Every row of a table as text, in key order.
std::vector<std::string> Rows(jet::Connection& c, const std::string& table, const std::string& key) {
  jet::Recordset rs;
  rs.Open("SELECT * FROM " + table + " ORDER BY " + key, c);
  std::vector<std::string> rows;
  for (; !rs.IsEOF(); rs.MoveNext()) {
    std::string row;
    for (std::size_t i = 0; i < rs.FieldCount(); ++i) {
      const jet::Value v = rs.FieldAt(i);
      row += (v.IsNull() ? std::string("<null>") : v.ToText()) + "|";
    }
    rows.push_back(row);
  }
  return rows;
}

std::map<std::string, std::vector<std::string>> Practice(const fs::path& db) {
  const auto c = testing::OpenPractice(db);
  return {{"Person", Rows(*c, "Person", "ID")},
          {"Condition", Rows(*c, "Condition", "ID")},
          {"event", Rows(*c, "event", "id")},
          {"conv_hcfa_info", Rows(*c, "conv_hcfa_info", "hcfa_id")}};
}

TEST(SamplePractice, SameSeedSamePracticeOtherSeedOther) {
  testing::TempDir dir;
  const fixture::PracticeSummary a = fixture::WritePracticeDatabase(dir / "a.mdb", {40, 9});
  fixture::WritePracticeDatabase(dir / "b.mdb", {40, 9});
  fixture::WritePracticeDatabase(dir / "c.mdb", {40, 10});
  EXPECT_EQ(a.claims, 40);
  const auto first = Practice(dir / "a.mdb");
  EXPECT_EQ(first.at("conv_hcfa_info").size(), 40u);
  EXPECT_EQ(first.at("Person").size(), static_cast<std::size_t>(a.patients));
  EXPECT_EQ(first.at("event").size(), static_cast<std::size_t>(a.events));
  EXPECT_EQ(Practice(dir / "b.mdb"), first);
  EXPECT_NE(Practice(dir / "c.mdb"), first);
}

// What the conversion meets in the sample, read back from the database.
struct Found {
  std::map<long, int> eventsOfPatient;
  std::map<long, std::vector<std::string>> eventDatesOfPatient;
  std::set<std::string> unlinkedKinds;
  std::set<std::string> zipForms;
  std::set<std::string> nullCleanupColumns;
  bool apostrophe = false, accent = false, hyphen = false;
};

Found Survey(jet::Connection& c) {
  Found f;
  {
    jet::Recordset rs;
    rs.Open("SELECT patientid, date_occurred FROM event", c);
    for (; !rs.IsEOF(); rs.MoveNext()) {
      const long p = rs.Field("patientid").AsLong();
      ++f.eventsOfPatient[p];
      f.eventDatesOfPatient[p].push_back(rs.Field("date_occurred").ToText());
    }
  }
  static const char* const kCleaned[] = {
      "Carrier_City",  "Carrier_State",  "Carrier_Zip",  "Facility_City", "Facility_State",
      "Facility_Zip",  "Provider_City",  "Provider_State", "Provider_Zip", "Patient_LName",
      "Patient_FName", "Patient_MI",     "Insured_LName", "Insured_FName", "Insured_MI",
      "Other_LName",   "Other_FName",    "Other_MI"};
  std::map<long, std::vector<std::string>> unlinkedInjuries;
  jet::Recordset rs;
  rs.Open("SELECT * FROM conv_hcfa_info", c);
  for (; !rs.IsEOF(); rs.MoveNext()) {
    const long patient = rs.Field("client_id").AsLong();
    if (rs.Field("event_id").IsNull()) {
      const jet::Value injury = rs.Field("date_of_injury");
      unlinkedInjuries[patient].push_back(injury.IsNull() ? "" : injury.ToText());
    }
    for (const char* column : kCleaned)
      if (rs.Field(column).IsNull()) f.nullCleanupColumns.insert(column);
    const std::string zip = rs.Field("Patient_Zip_Code").AsText();
    f.zipForms.insert(zip.empty() ? "empty" : zip.size() == 5 ? "five" : zip.size() == 10 ? "nine" : zip);
    if (!rs.Field("Patient_LName").IsNull()) {
      const std::string name = rs.Field("Patient_LName").AsText();
      f.apostrophe |= name.find('\'') != std::string::npos;
      f.hyphen |= name.find('-') != std::string::npos;
      for (unsigned char ch : name) f.accent |= ch >= 0x80;
    }
  }
  for (const auto& [patient, injuries] : unlinkedInjuries) {
    const int events = f.eventsOfPatient.count(patient) ? f.eventsOfPatient[patient] : 0;
    const auto& dates = f.eventDatesOfPatient[patient];
    for (const std::string& injury : injuries) {
      if (events == 0) {
        if (injuries.size() >= 2) f.unlinkedKinds.insert("no event, two claims");
      } else if (events == 1) {
        if (injury.empty()) f.unlinkedKinds.insert("one event, no date of injury");
        else f.unlinkedKinds.insert("one event");
      } else {
        const auto onDate = std::count(dates.begin(), dates.end(), injury);
        if (onDate >= 2) f.unlinkedKinds.insert("two events on the date");
        if (onDate == 0 && std::count(injuries.begin(), injuries.end(), injury) >= 2)
          f.unlinkedKinds.insert("none on the date, two claims");
        EXPECT_FALSE(injury.empty()) << "several events and no date of injury cannot be linked";
      }
    }
  }
  return f;
}

TEST(SamplePractice, EvenASmallPracticeHoldsEveryKindOfClaimWithoutEvent) {
  for (const int claims : {7, 500}) {
    SCOPED_TRACE(claims);
    testing::TempDir dir;
    const auto summary = fixture::WritePracticeDatabase(dir / "p.mdb", {claims, 1});
    EXPECT_EQ(summary.claims, claims);
    const auto c = testing::OpenPractice(dir / "p.mdb");
    const Found f = Survey(*c);
    for (const char* kind : {"no event, two claims", "one event, no date of injury",
                             "two events on the date", "none on the date, two claims"})
      EXPECT_EQ(f.unlinkedKinds.count(kind), 1u) << kind;
    if (claims >= 500) {
      EXPECT_EQ(f.zipForms, (std::set<std::string>{"empty", "five", "nine"}));
      EXPECT_EQ(f.nullCleanupColumns.size(), 18u);
      EXPECT_TRUE(f.apostrophe && f.accent && f.hyphen);
    }
  }
}

TEST(SampleMachine, RegistryNamesBothInstallationsAsRegeditWouldStoreThem) {
  testing::TempDir dir;
  const fixture::SampleLayout machine(fs::canonical(dir.path()) / "m");
  fixture::WriteSampleMachine(machine.root, {3, 1});
  const RegistryHive hive = RegistryHive::Load(machine.registryFile.string());
  const RegistryKey* v31 = hive.OpenKey(fixture::kKeyV31);
  const RegistryKey* y2014 = hive.OpenKey(fixture::kKey2014);
  ASSERT_TRUE(v31 && y2014);
  EXPECT_EQ(v31->Value("Location")->bytes, machine.folderV31.string() + '\0');
  EXPECT_EQ(v31->Value("Version")->bytes, std::string("3.1.0.0") + '\0');
  EXPECT_EQ(y2014->Value("Location")->bytes, machine.folder2014.string() + '\0');
  EXPECT_TRUE(fs::is_regular_file(machine.DatabaseV31()));
  EXPECT_TRUE(fs::is_regular_file(machine.Database2014()));
  EXPECT_TRUE(fs::is_empty(machine.folder2014 / "ClientDocs"));
  EXPECT_NE(fs::status(machine.Updater()).permissions() & fs::perms::owner_exec, fs::perms::none);
}

TEST(SampleMachine, PicturesAreRealBitmaps) {
  const std::string bmp = fixture::TinyBitmap(3, 2, 0x102030);
  // 54 bytes of headers, then two rows of 9 bytes padded to 12.
  ASSERT_EQ(bmp.size(), 54u + 24u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  const auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at + 3])) << 24;
  };
  EXPECT_EQ(u32(2), bmp.size());
  EXPECT_EQ(u32(10), 54u);
  EXPECT_EQ(u32(18), 3u);
  EXPECT_EQ(u32(22), 2u);
  EXPECT_EQ(bmp.substr(54, 3), std::string("\x30\x20\x10", 3));  // blue, green, red
}

}  // namespace
}  // namespace calmora
