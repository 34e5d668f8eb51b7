#pragma once
// A run in a fresh temporary 2014 folder, with fixed system facts and a
// recording front end; the run state is reset before and after.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "state/RunState.h"
#include "support/FileBytes.h"
#include "support/FixedSystemFacts.h"
#include "support/RecordingFrontEnd.h"
#include "support/TempDir.h"

namespace calmora::testing {

class LogFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRunState();
    CurrentRun().LogFolder = folder.str();
  }
  void TearDown() override { ResetRunState(); }

  // The log opened at the facts' default time, 09:07:04 on 5 March 2014.
  std::filesystem::path LogPath() const { return folder / "conversion_20140305090747.txt"; }
  std::string LogBytes() const { return ReadFileBytes(LogPath()); }
  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder.path())) names.push_back(e.path().filename());
    return names;
  }

  TempDir folder;
  FixedSystemFacts facts;
  RecordingFrontEnd ui;
};

}  // namespace calmora::testing
