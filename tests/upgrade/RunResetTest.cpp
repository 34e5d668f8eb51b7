// What the steps keep for the length of a run (the schema passes' shared
// catalogue) may still refer to the run's connection: the run's reset must
// release it while that connection is there.
#include <gtest/gtest.h>

#include <vector>

#include "UpgradeFixture.h"

namespace calmora::testing {
namespace {

std::vector<bool> connectionAtRelease;

void RecordRelease() { connectionAtRelease.push_back(CurrentRun().DbConnection != nullptr); }

class RunReset : public UpgradeFixture {};

TEST_F(RunReset, ReleasesWhatTheStepsKeepBeforeTheConnectionOncePerReset) {
  connectionAtRelease.clear();
  ReleaseAtRunReset(RecordRelease);
  ReleaseAtRunReset(RecordRelease);  // given twice, released once
  ASSERT_NE(CurrentRun().DbConnection, nullptr);

  ResetRunState();
  EXPECT_EQ(connectionAtRelease, std::vector<bool>{true});
  EXPECT_EQ(CurrentRun().DbConnection, nullptr);

  ResetRunState();  // the next run's reset releases again
  EXPECT_EQ(connectionAtRelease, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace calmora::testing
