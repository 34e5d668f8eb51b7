// The summary of a run proves what it moved: its counts against the real
// row counts of the file, on a practice with faulty rows of every kind.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "diagnostics/ConversionSummary.h"
#include "driver/Driver.h"
#include "jet/Connection.h"
#include "jet/Recordset.h"
#include "state/RunState.h"
#include "support/FileBytes.h"

namespace calmora {
namespace {

TEST(SummaryCount, EveryLostOrStrayRowShowsInTheCount) {
  // Figures that add up: 10 legacy claims, 8 copied and 2 refused; 1 claim
  // the linking refused, for which it made no event; 2 events made; every
  // event went through the codes step.
  SummaryFigures sound;
  sound.tables = {{"cms2012", 0, 8}, {"conv_hcfa_info", 10, 10}, {"Event", 5, 7}};
  sound.steps.claimCopy = {10, 8, {"3", "9"}};
  sound.steps.diagnosisCodes = {5, 4, {}};
  sound.steps.eventLinking = {4, 3, {"9"}};
  sound.steps.eventsCreated = 2;
  sound.claimsWithoutEventAfter = 1;
  const struct {
    const char* what;
    std::function<void(SummaryFigures&)> change;
    std::int64_t notAccounted;
  } cases[] = {
      {"figures that add up", [](SummaryFigures&) {}, 0},
      {"a claim neither copied nor refused", [](SummaryFigures& f) { f.steps.claimCopy.refusedKeys.pop_back(); }, 1},
      {"a claim counted twice", [](SummaryFigures& f) { f.steps.claimCopy.refusedKeys.push_back("4"); }, 1},
      {"cms2012 holds a row nobody copied", [](SummaryFigures& f) { f.tables[0].after = 9; }, 1},
      {"copies that did not arrive", [](SummaryFigures& f) { f.tables[0].after = 5; }, 3},
      {"cms2012 held rows before", [](SummaryFigures& f) { f.tables[0].before = 2; }, 2},
      {"events the codes step never went through", [](SummaryFigures& f) { f.steps.diagnosisCodes.walked = 2; }, 3},
      {"a claim left without an event, unrefused", [](SummaryFigures& f) { f.claimsWithoutEventAfter = 2; }, 1},
      {"an event from nowhere", [](SummaryFigures& f) { f.tables[2].after = 8; }, 1},
      {"no counts of the file at all", [](SummaryFigures& f) { f.tables.clear(); }, 10 + 8 + 5 + 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SummaryFigures f = sound;
    c.change(f);
    const std::string closing = c.notAccounted == 0
                                    ? std::string("Every row accounted for.")
                                    : "ROWS NOT ACCOUNTED FOR: " + std::to_string(c.notAccounted);
    const std::string text = SummaryText(f);
    EXPECT_TRUE(text.ends_with("\r\n\r\n" + closing + "\r\n")) << text;
    EXPECT_EQ(testing::Occurrences(text, "\n"), testing::Occurrences(text, "\r\n")) << text;
  }
  EXPECT_EQ(SummaryFileName("conversion_2014030509074.txt"), "conversion-summary_2014030509074.txt");
}

// The keys of the rows a query answers, in its order.
std::vector<std::string> Keys(jet::Connection& db, const std::string& sql) {
  std::vector<std::string> values;
  jet::Recordset rs;
  for (rs.Open(sql, db); !rs.IsEOF(); rs.MoveNext()) values.push_back(rs.Field("k").ToText());
  return values;
}

std::string Joined(const std::vector<std::string>& keys) {
  std::string text;
  for (const std::string& key : keys) text += (text.empty() ? "" : ", ") + key;
  return text;
}

class RunReconciliation : public testing::MachineTest {};

TEST_F(RunReconciliation, FaultyRowsOfEveryKindAreNamedAndTheCountsAddUp) {
  const auto made = Make({90, 5, 2});
  ASSERT_EQ(made.faultyClaims, 8);
  ASSERT_EQ(made.faultyEvents, 2);
  std::vector<std::string> refusedClaims, refusedEvents, unlinked;
  {
    const auto v31 = testing::OpenPractice(machine.DatabaseV31());
    refusedClaims = Keys(*v31, "select hcfa_id as k from conv_hcfa_info where cpt3 = 'OVERLONG' or "
                               "client_id = 999999999 or client_id is null or event_id = 999999999 "
                               "order by hcfa_id");
    unlinked = Keys(*v31, "select hcfa_id as k from conv_hcfa_info where client_id is null order by hcfa_id");
    refusedEvents = Keys(*v31, "select id as k from event where DIAGNOSIS_CODE2a = 'E8497' order by id");
  }
  ASSERT_EQ(refusedClaims.size(), 8u);
  ASSERT_EQ(unlinked.size(), 2u);
  ASSERT_EQ(refusedEvents.size(), 2u);

  EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  // One box for each step that refused rows, then the outcome.
  std::vector<std::string> titles;
  for (const auto& m : ui.messages()) titles.push_back(m.title);
  EXPECT_EQ(titles, (std::vector<std::string>{"ERROR", "ERROR", "ERROR", "Conversion complete"}));
  const std::string log = Log();
  EXPECT_EQ(testing::Occurrences(log, "\r\nLOCATION: "), 8 + 2 + 2);
  EXPECT_TRUE(log.ends_with("Conversion Completed With Errors\r\nPlease send this log file as an "
                            "e-mail attachment to support@brindlecote.com\r\n"));

  const std::string summary =
      testing::ReadFileBytes(machine.folder2014 / "conversion-summary_20140305090747.txt");
  for (const std::string& line :
       {std::string("Legacy claims read: 90\r\n"), std::string("Claims copied into cms2012: 82\r\n"),
        "Claims refused: 8: conv_hcfa_info.hcfa_id " + Joined(refusedClaims) + "\r\n",
        "Claims left without an event: 2: conv_hcfa_info.hcfa_id " + Joined(unlinked) + "\r\n",
        "Events whose codes were refused: 2: event.id " + Joined(refusedEvents) + "\r\n",
        std::string("Integrity check: ok\r\n"), std::string("Foreign key check: ok (3 keys)\r\n")})
    EXPECT_NE(summary.find(line), std::string::npos) << line << " in\n" << summary;
  EXPECT_TRUE(summary.ends_with("\r\nEvery row accounted for.\r\n")) << summary;

  ResetRunState();
  const auto db = testing::OpenPractice(machine.Database2014());
  EXPECT_EQ(testing::CountOf(*db, "select count(*) as n from cms2012"), 82);
  EXPECT_EQ(Keys(*db, "select hcfa_id as k from conv_hcfa_info where event_id is null order by hcfa_id"),
            unlinked);
}

}  // namespace
}  // namespace calmora
