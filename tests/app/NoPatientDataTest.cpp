// Reports go to support by e-mail: they must carry no patient data. Every
// text column of every row of the practice holds a distinctive value, and
// conversions are made to fail in every step: by the data itself and by a
// disk that fills up under the database from each step on. No value of any
// row, nor any part of one, may then appear in a log, a message box, or
// the real program's standard output or error.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "MachineCopies.h"
#include "driver/Driver.h"
#include "jet/Connection.h"
#include "jet/Recordset.h"
#include "state/RunState.h"
#include "support/FaultyDatabaseWrites.h"
#include "support/FileBytes.h"
#include "support/FixedSystemFacts.h"
#include "support/RecordingFrontEnd.h"
#include "support/TempDir.h"
#include "tools/fixture/SampleMachine.h"
#include "tools/legacy/LegacySchema.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::FileTree;
using testing::Occurrences;
using testing::ReadFileBytes;

// Every distinctive value begins with this: any part of a value that is
// three characters or more long begins with it, upper-cased or not.
constexpr char kMark[] = "qzx";

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

constexpr const char* kSteps[] = {"COMAddTables",   "COMAddRelationships", "COMAlterTables",
                                  "COMAddRowData",  "COMRemoveNulls",      "COMFixNullEvent",
                                  "COMMoveCMSData"};

// Records, beside everything the recording front end keeps, how many
// database writes had been made when each step began.
class StepWrites : public testing::RecordingFrontEnd {
 public:
  explicit StepWrites(const testing::FaultyDatabaseWrites& writes) : writes_(writes) {}
  void StepProgress(std::string_view step, std::int64_t done, std::int64_t total) override {
    if (done == 0 && !startedAt.count(std::string(step))) startedAt[std::string(step)] = writes_.writes();
    RecordingFrontEnd::StepProgress(step, done, total);
  }
  std::map<std::string, int> startedAt;

 private:
  const testing::FaultyDatabaseWrites& writes_;
};

class NoPatientData : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::canonical(dir.path());
    machine = fixture::SampleLayout(root / "machine");
    fixture::WriteSampleMachine(machine.root, {30, 5});
    MarkEveryTextValue();
    // A claim the copy must refuse: it names no patient.
    auto db = testing::OpenPractice(machine.DatabaseV31());
    db->Execute("UPDATE conv_hcfa_info SET client_id = null WHERE hcfa_id = 3");
    // And one empty claim field for the cleanup to fill.
    db->Execute("UPDATE conv_hcfa_info SET PATIENT_MI = null WHERE hcfa_id = 2");
    db->Close();
    fs::copy(machine.root, root / "pristine", fs::copy_options::recursive);
    ::setenv("CALMORA_REGISTRY", machine.registryFile.c_str(), 1);
  }
  void TearDown() override {
    ResetRunState();
    ::unsetenv("CALMORA_REGISTRY");
  }

  // qzx + a running number, cut to the column's width, in every text
  // column three characters wide or more, of every row of every table.
  void MarkEveryTextValue() {
    auto db = testing::OpenPractice(machine.DatabaseV31());
    int n = 0;
    for (const legacy::TableDef& table : legacy::LegacyTables()) {
      const std::string key = table.columns.front().name;
      std::vector<std::string> ids;
      {
        jet::Recordset rs;
        rs.Open("SELECT [" + key + "] AS k FROM [" + table.name + "]", *db);
        for (; !rs.IsEOF(); rs.MoveNext()) ids.push_back(rs.Field("k").ToText());
      }
      for (const std::string& id : ids) {
        std::string set;
        for (const legacy::ColumnDef& column : table.columns) {
          if (column.kind != legacy::ColumnKind::Text || column.width < 3) continue;
          const std::string value = (kMark + std::to_string(++n)).substr(0, column.width);
          set += (set.empty() ? "" : ", ") + ("[" + column.name + "] = '") + value + "'";
        }
        if (!set.empty()) db->Execute("UPDATE [" + table.name + "] SET " + set + " WHERE [" + key + "] = " + id);
      }
    }
    marked = n;
    db->Close();
  }

  void FreshMachine() {
    ResetRunState();
    testing::RestoreMachine(root / "pristine", machine.root);
  }
  std::string Logs() const {
    std::string all;
    for (const auto& log : testing::LogFilesIn(machine.folder2014)) all += ReadFileBytes(log);
    return all;
  }
  static std::string Boxes(const testing::RecordingFrontEnd& ui) {
    std::string all;
    for (const auto& m : ui.messages()) all += m.title + "\n" + m.text + "\n";
    return all;
  }
  void ExpectNoValue(const std::string& text, const char* where) const {
    const auto at = Lower(text).find(kMark);
    EXPECT_EQ(at, std::string::npos)
        << where << " holds a practice value: ..." << text.substr(at == std::string::npos ? 0 : (at > 80 ? at - 80 : 0), 200);
  }

  testing::TempDir dir;
  fs::path root;
  fixture::SampleLayout machine{"/nonexistent"};
  int marked = 0;
};

TEST_F(NoPatientData, ReportsOfRunsFailingInEveryStepHoldNoValueOfAnyRow) {
  ASSERT_GT(marked, 1000) << "too few values marked";
  testing::FixedSystemFacts facts;
  std::set<std::string> failedSteps;
  const auto collect = [&](const std::string& boxes) {
    for (const char* step : kSteps)
      if (boxes.find(std::string("(Location:modCommon/") + step + ")") != std::string::npos)
        failedSteps.insert(step);
    // The relationships report from the procedure that makes each one.
    if (boxes.find("(Location:modCommon/CreateRelationship)") != std::string::npos)
      failedSteps.insert("COMAddRelationships");
  };

  // The data alone, then a disk that fills up from the start of each step.
  std::map<std::string, int> startedAt;
  {
    FreshMachine();
    testing::FaultyDatabaseWrites counting;
    StepWrites ui(counting);
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    EXPECT_TRUE(ErrorsWereReported());
    startedAt = ui.startedAt;
    collect(Boxes(ui));
    ExpectNoValue(Boxes(ui), "a message box");
    ExpectNoValue(Logs(), "the log");
  }
  ASSERT_EQ(startedAt.size(), std::size(kSteps));
  for (const char* step : kSteps) {
    SCOPED_TRACE(std::string("disk full from ") + step);
    FreshMachine();
    testing::FaultyDatabaseWrites full;
    full.FailFrom(startedAt.at(step) + 1);
    testing::RecordingFrontEnd ui;
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    collect(Boxes(ui));
    ExpectNoValue(Boxes(ui), "a message box");
    ExpectNoValue(Logs(), "the log");
  }
  for (const char* step : kSteps) EXPECT_TRUE(failedSteps.count(step)) << step << " never failed";

  // The real program, its output and error streams.
  FreshMachine();
  const auto run = testing::RunInShell(
      "echo | CALMORA_UI=terminal " + testing::ShellWord(CALMORA_IMPORT_PROGRAM), root);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("---- ERROR ----"), std::string::npos) << run.out;
  ExpectNoValue(run.out, "standard output");
  ExpectNoValue(run.err, "standard error");
  ExpectNoValue(Logs(), "the log");
}

}  // namespace
}  // namespace calmora
