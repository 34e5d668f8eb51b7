// The terminal front end driven as a user drives it, through its streams.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "app/TerminalFrontEnd.h"
#include "diagnostics/FrontEnd.h"
#include "state/RunState.h"

namespace calmora {
namespace {

struct Console {
  explicit Console(std::string input, bool inputIsTerminal = false, bool errorIsTerminal = false)
      : in(std::move(input)), frontEnd(in, out, err, inputIsTerminal, errorIsTerminal) {}
  std::istringstream in;
  std::ostringstream out, err;
  TerminalFrontEnd frontEnd;
};

class TerminalWindow : public ::testing::Test {
 protected:
  void SetUp() override { ResetRunState(); }
  void TearDown() override { ResetRunState(); }
};

TEST_F(TerminalWindow, ShowsTheWindowAndClosesWithoutAClickAtEndOfInput) {
  Console console("");
  int clicks = 0;
  EXPECT_EQ(console.frontEnd.RunWindow([&] {
    ++clicks;
    return RunOutcome::Finished;
  }),
            kExitClean);
  EXPECT_EQ(clicks, 0);
  const std::string shown = console.out.str();
  for (const char* text : {"Calmora 2014 database import", "Important:",
                           "This utility should be run ONE TIME ONLY.",
                           "Import Calmora V3.1 into Calmora 2014"})
    EXPECT_NE(shown.find(text), std::string::npos) << text;
  EXPECT_TRUE(console.err.str().empty());
}

TEST_F(TerminalWindow, ExitStatusFollowsHowTheRunEnded) {
  struct Case {
    const char* what;
    std::vector<RunOutcome> outcomes;  // one per click, in order
    bool errorsReported;
    std::string input;
    int status;
    int clicks;
  };
  const std::vector<Case> cases{
      {"clean run", {RunOutcome::Finished}, false, "\n", kExitClean, 1},
      {"run with reported errors", {RunOutcome::Finished}, true, "\n", kExitWithErrors, 1},
      {"stopped before converting", {RunOutcome::Stopped}, false, "\n", kExitStopped, 1},
      {"error path, then the window closed", {RunOutcome::ErrorPath}, true, "\n", kExitWithErrors, 1},
      {"error path, then a clean second click",
       {RunOutcome::ErrorPath, RunOutcome::Finished}, false, "\n\n\n", kExitClean, 2},
      {"a run that ends the process leaves later lines unread",
       {RunOutcome::Finished}, false, "\n\n\n", kExitClean, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Console console(c.input);
    int clicks = 0;
    const int status = console.frontEnd.RunWindow([&] {
      const RunOutcome outcome = c.outcomes.at(static_cast<std::size_t>(clicks++));
      calmora::Run().log.ErrorsReported = c.errorsReported;
      return outcome;
    });
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(clicks, c.clicks);
  }
}

TEST_F(TerminalWindow, MessageBoxShowsTitleIconTextAndOk) {
  Console console("\n");
  console.frontEnd.RunWindow([] {
    UI().ShowMessage("Conversion complete.", "Conversion complete", MessageIcon::None);
    UI().ShowMessage("5 Error on line... 90\r\nInvalid procedure call or argument\r\n"
                     " (Location:frmMain/cmdConvert_Click)",
                     "ERROR", MessageIcon::Critical, true);
    UI().ShowMessage("Bad registry file", "Calmora V31 Upgrade", MessageIcon::Exclamation);
    return RunOutcome::Finished;
  });
  const std::string out = console.out.str();
  const std::string first =
      "\n---- Conversion complete ----\nicon: none\nConversion complete.\n[OK]\n";
  const std::string second =
      "\n---- ERROR ----\nicon: critical\n5 Error on line... 90\nInvalid procedure call or "
      "argument\n (Location:frmMain/cmdConvert_Click)\n[OK]\n";
  const std::string third = "\n---- Calmora V31 Upgrade ----\nicon: exclamation\nBad registry file\n[OK]\n";
  EXPECT_NE(out.find(first + second + third), std::string::npos) << out;
  EXPECT_EQ(out.find('\r'), std::string::npos);
}

TEST_F(TerminalWindow, BoxWaitsForEnterOnlyAtATerminal) {
  // At a terminal the box takes the next line as its OK, so the second
  // line is not a second click.
  for (const bool terminal : {true, false}) {
    SCOPED_TRACE(terminal ? "input is a terminal" : "input is a pipe");
    Console console("\n\n", terminal);
    int clicks = 0;
    console.frontEnd.RunWindow([&] {
      ++clicks;
      UI().ShowMessage("text", "title", MessageIcon::Critical);
      return RunOutcome::ErrorPath;
    });
    EXPECT_EQ(clicks, terminal ? 1 : 2);
  }
}

TEST_F(TerminalWindow, ProgressGoesToTheErrorStreamOnlyWhenItIsATerminal) {
  const auto work = [] {
    UI().FolderCopyProgress(0, 3);
    UI().FolderCopyProgress(3, 3);
    UI().StepProgress("COMMoveCMSData", 250, 500);
    UI().StepProgress("COMMoveCMSData", 500, 500);
    UI().ShowMessage("Conversion complete.", "Conversion complete", MessageIcon::None);
    return RunOutcome::Finished;
  };
  Console quiet("\n", false, false);
  quiet.frontEnd.RunWindow(work);
  EXPECT_TRUE(quiet.err.str().empty());
  EXPECT_EQ(quiet.out.str().find("of 3"), std::string::npos);

  Console shown("\n", false, true);
  shown.frontEnd.RunWindow(work);
  const std::string err = shown.err.str();
  EXPECT_NE(err.find("Copying folder: 3 of 3 files"), std::string::npos) << err;
  EXPECT_NE(err.find("COMMoveCMSData: 500 of 500 rows"), std::string::npos) << err;
  EXPECT_EQ(err.back(), '\n');
  EXPECT_EQ(shown.out.str().find("rows"), std::string::npos);
}

TEST_F(TerminalWindow, IsTheFrontEndOnlyWhileItsWindowIsOpen) {
  FrontEnd* before = &UI();
  Console console("\n");
  FrontEnd* during = nullptr;
  console.frontEnd.RunWindow([&] {
    during = &UI();
    return RunOutcome::Finished;
  });
  EXPECT_EQ(during, &console.frontEnd);
  EXPECT_EQ(&UI(), before);
}

TEST(FrontEndChoice, TerminalWhenAskedForOrWithoutAnyDisplay) {
  using Env = std::map<std::string, std::string>;
  const auto wants = [](const Env& env) {
    return WantsTerminalFrontEnd([&](const char* name) -> const char* {
      const auto it = env.find(name);
      return it == env.end() ? nullptr : it->second.c_str();
    });
  };
  EXPECT_TRUE(wants({}));
  EXPECT_TRUE(wants({{"DISPLAY", ""}}));
  EXPECT_TRUE(wants({{"CALMORA_UI", "terminal"}, {"DISPLAY", ":0"}}));
  EXPECT_FALSE(wants({{"DISPLAY", ":0"}}));
  EXPECT_FALSE(wants({{"WAYLAND_DISPLAY", "wayland-0"}}));
  EXPECT_FALSE(wants({{"QT_QPA_PLATFORM", "offscreen"}}));
  EXPECT_FALSE(wants({{"CALMORA_UI", "window"}, {"DISPLAY", ":0"}}));
}

}  // namespace
}  // namespace calmora
