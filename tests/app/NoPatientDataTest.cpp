// Reports go to support by e-mail: they must carry no patient data. Every
// text column of every row of the practice holds a distinctive value, and
// conversions are made to fail in every step: by the data itself and by a
// disk that fills up under the database from each step on. No value of any
// row, nor any part of one, may then appear in a log, its summary, a
// message box, or the real program's standard output or error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "driver/Driver.h"
#include "jet/Connection.h"
#include "jet/Recordset.h"
#include "state/RunState.h"
#include "support/FaultyDatabaseWrites.h"
#include "support/FileBytes.h"
#include "support/ProgramRun.h"
#include "tools/legacy/LegacySchema.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;

// Every distinctive value begins with this: any part of a value that is
// three characters or more long begins with it, upper-cased or not.
constexpr char kMark[] = "qzx";

constexpr const char* kSteps[] = {"COMAddTables",  "COMAddRelationships", "COMAlterTables",
                                  "COMAddRowData", "COMRemoveNulls",      "COMFixNullEvent",
                                  "COMMoveCMSData"};

// Records how many database writes had been made when each step began.
class StepWrites : public testing::RecordingFrontEnd {
 public:
  explicit StepWrites(const testing::FaultyDatabaseWrites& writes) : writes_(writes) {}
  void StepProgress(std::string_view step, std::int64_t done, std::int64_t total) override {
    if (done == 0) startedAt.emplace(step, writes_.writes());
    RecordingFrontEnd::StepProgress(step, done, total);
  }
  std::map<std::string, int, std::less<>> startedAt;

 private:
  const testing::FaultyDatabaseWrites& writes_;
};

class NoPatientData : public testing::MachineTest {
 protected:
  // qzx + a running number, cut to the column's width, in every text
  // column three characters wide or more, of every row of every table; a
  // claim that names no patient, for the copy to refuse; and one empty
  // claim field for the cleanup to fill.
  void SetUp() override {
    Make({30, 5});
    auto db = testing::OpenPractice(machine.DatabaseV31());
    for (const legacy::TableDef& table : legacy::LegacyTables()) {
      const std::string key = table.columns.front().name;
      std::vector<std::string> ids;
      jet::Recordset rs;
      for (rs.Open("SELECT [" + key + "] AS k FROM [" + table.name + "]", *db); !rs.IsEOF(); rs.MoveNext())
        ids.push_back(rs.Field("k").ToText());
      rs.Close();
      for (const std::string& id : ids) {
        std::string set;
        for (const legacy::ColumnDef& column : table.columns) {
          if (column.kind != legacy::ColumnKind::Text || column.width < 3) continue;
          const std::string value = (kMark + std::to_string(++marked)).substr(0, column.width);
          set += (set.empty() ? "[" : ", [") + column.name + "] = '" + value + "'";
        }
        if (!set.empty()) db->Execute("UPDATE [" + table.name + "] SET " + set + " WHERE [" + key + "] = " + id);
      }
    }
    db->Execute("UPDATE conv_hcfa_info SET client_id = null WHERE hcfa_id = 3");
    db->Execute("UPDATE conv_hcfa_info SET PATIENT_MI = null WHERE hcfa_id = 2");
    db->Close();
    fs::remove_all(root / "pristine");
    fs::copy(machine.root, root / "pristine", fs::copy_options::recursive);
  }

  static std::string Boxes(const testing::RecordingFrontEnd& shown) {
    std::string all;
    for (const auto& m : shown.messages()) all += m.title + "\n" + m.text + "\n";
    return all;
  }
  void ExpectNoValue(const std::string& text, const char* where) const {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto at = lower.find(kMark);
    EXPECT_EQ(at, std::string::npos)
        << where << " holds a practice value: ..." << text.substr(at == std::string::npos ? 0 : (at > 80 ? at - 80 : 0), 200);
  }

  int marked = 0;
};

TEST_F(NoPatientData, ReportsOfRunsFailingInEveryStepHoldNoValueOfAnyRow) {
  ASSERT_GT(marked, 1000) << "too few values marked";
  std::set<std::string> failedSteps;
  const auto check = [&](const testing::RecordingFrontEnd& shown) {
    const std::string boxes = Boxes(shown);
    for (const char* step : kSteps)
      if (boxes.find(std::string("(Location:modCommon/") + step + ")") != std::string::npos)
        failedSteps.insert(step);
    // The relationships report from the procedure that makes each one.
    if (boxes.find("(Location:modCommon/CreateRelationship)") != std::string::npos)
      failedSteps.insert("COMAddRelationships");
    ExpectNoValue(boxes, "a message box");
    ExpectNoValue(Log(), "the log");
    for (const auto& e : fs::directory_iterator(machine.folder2014))
      if (e.path().filename().string().starts_with("conversion-summary_"))
        ExpectNoValue(testing::ReadFileBytes(e.path()), "the summary");
  };

  // The data alone, then a disk that fills up from the start of each step.
  std::map<std::string, int, std::less<>> startedAt;
  {
    FreshMachine();
    testing::FaultyDatabaseWrites counting;
    StepWrites shown(counting);
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    EXPECT_TRUE(ErrorsWereReported());
    check(shown);
    startedAt = shown.startedAt;
  }
  ASSERT_EQ(startedAt.size(), std::size(kSteps));
  for (const char* step : kSteps) {
    SCOPED_TRACE(std::string("disk full from ") + step);
    FreshMachine();
    testing::FaultyDatabaseWrites full;
    full.FailFrom(startedAt.at(step) + 1);
    testing::RecordingFrontEnd shown;
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    check(shown);
  }
  for (const char* step : kSteps) EXPECT_TRUE(failedSteps.count(step)) << step << " never failed";

  // The real program, its output and error streams.
  FreshMachine();
  const auto run = testing::RunProgram(CALMORA_IMPORT_PROGRAM, {}, root, "\n",
                                       {{"CALMORA_UI", "terminal"}});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("---- ERROR ----"), std::string::npos) << run.out;
  ExpectNoValue(run.out, "standard output");
  ExpectNoValue(run.err, "standard error");
  ExpectNoValue(Log(), "the log");
}

}  // namespace
}  // namespace calmora
