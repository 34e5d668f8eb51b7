// The terminal front end driven as a user drives it, through its streams.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "diagnostics/FrontEnd.h"
#include "driver/ExitStatus.h"
#include "state/RunState.h"
#include "terminal/TerminalFrontEnd.h"

namespace calmora {
namespace {

struct Console {
  explicit Console(std::string input, bool inputIsTerminal = false, bool errorIsTerminal = false)
      : in(std::move(input)), frontEnd(in, out, err, inputIsTerminal, errorIsTerminal) {}
  std::istringstream in;
  std::ostringstream out, err;
  TerminalFrontEnd frontEnd;
};

TEST(TerminalWindow, ExitsAsTheRunEnded) {
  const struct {
    const char* what;
    std::vector<RunOutcome> outcomes;  // one per click, in order
    bool errorsReported;
    std::string input;
    int status;
  } cases[] = {
      {"closed without a click", {}, false, "", kExitClean},
      {"clean run", {RunOutcome::Finished}, false, "\n", kExitClean},
      {"run with reported errors", {RunOutcome::Finished}, true, "\n", kExitWithErrors},
      {"stopped before converting", {RunOutcome::Stopped}, false, "\n", kExitStopped},
      {"error path, then the window closed", {RunOutcome::ErrorPath}, true, "\n", kExitWithErrors},
      {"error path, then a clean second click",
       {RunOutcome::ErrorPath, RunOutcome::Finished}, false, "\n\n\n", kExitClean},
      {"a run that ends the process leaves later lines unread",
       {RunOutcome::Finished}, false, "\n\n\n", kExitClean},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetRunState();
    Console console(c.input);
    std::size_t clicks = 0;
    EXPECT_EQ(console.frontEnd.RunWindow([&] {
      CurrentRun().log.ErrorsReported = c.errorsReported;
      return c.outcomes.at(clicks++);
    }),
              c.status);
    EXPECT_EQ(clicks, c.outcomes.size());
  }
  ResetRunState();
}

TEST(TerminalWindow, ShowsTheWindowThenEachBoxWithTitleIconTextAndOk) {
  FrontEnd* before = &ActiveFrontEnd();
  FrontEnd* during = nullptr;
  Console console("\n");
  console.frontEnd.RunWindow([&] {
    during = &ActiveFrontEnd();
    ActiveFrontEnd().ShowMessage("Conversion complete.", "Conversion complete", MessageIcon::None);
    ActiveFrontEnd().ShowMessage("5 Error on line... 90\r\nInvalid procedure call or argument\r\n"
                                 " (Location:frmMain/cmdConvert_Click)",
                                 "ERROR", MessageIcon::Critical, true);
    ActiveFrontEnd().ShowMessage("Bad registry file", "Calmora V31 Upgrade", MessageIcon::Exclamation);
    return RunOutcome::Finished;
  });
  EXPECT_EQ(during, &console.frontEnd);
  EXPECT_EQ(&ActiveFrontEnd(), before);
  EXPECT_EQ(console.out.str(),
            "Calmora 2014 database import\nImportant: This utility should be run ONE TIME ONLY.\n"
            "[ Import Calmora V3.1 into Calmora 2014 ]\n"
            "\n---- Conversion complete ----\nicon: none\nConversion complete.\n[OK]\n"
            "\n---- ERROR ----\nicon: critical\n5 Error on line... 90\nInvalid procedure "
            "call or argument\n (Location:frmMain/cmdConvert_Click)\n[OK]\n"
            "\n---- Calmora V31 Upgrade ----\nicon: exclamation\nBad registry file\n[OK]\n");

  // At a terminal a box takes the next line as its OK, so that line is not
  // a second click; after the error path the person is told the window is
  // still open and what the next Enter does.
  for (const bool terminal : {true, false}) {
    SCOPED_TRACE(terminal ? "input is a terminal" : "input is a pipe");
    Console asked("\n\n", terminal);
    int clicks = 0;
    asked.frontEnd.RunWindow([&] {
      ++clicks;
      ActiveFrontEnd().ShowMessage("text", "title", MessageIcon::Critical);
      return RunOutcome::ErrorPath;
    });
    EXPECT_EQ(clicks, terminal ? 1 : 2);
    EXPECT_EQ(asked.out.str().find("The window is still open: press Enter to run the conversion "
                                   "again; end of input (Ctrl-D) closes the window.") !=
                  std::string::npos,
              terminal)
        << asked.out.str();
  }
}

TEST(TerminalWindow, ProgressGoesToTheErrorStreamOnlyWhenItIsATerminal) {
  const auto work = [] {
    ActiveFrontEnd().FolderCopyProgress(0, 3);
    ActiveFrontEnd().FolderCopyProgress(3, 3);
    ActiveFrontEnd().StepProgress("COMMoveCMSData", 250, 500);
    ActiveFrontEnd().StepProgress("COMMoveCMSData", 500, 500);
    ActiveFrontEnd().ShowMessage("Conversion complete.", "Conversion complete", MessageIcon::None);
    return RunOutcome::Finished;
  };
  for (const bool terminal : {false, true}) {
    Console console("\n", false, terminal);
    console.frontEnd.RunWindow(work);
    EXPECT_EQ(console.out.str().find("of 3"), std::string::npos);
    EXPECT_EQ(console.err.str(),
              terminal ? "\rCopying folder: 0 of 3 files\x1b[K\rCopying folder: 3 of 3 files\x1b[K\n"
                         "\rStep 7 of 7: Copying claims into the CMS-1500 table: 250 of 500 rows\x1b[K"
                         "\rStep 7 of 7: Copying claims into the CMS-1500 table: 500 of 500 rows\x1b[K\n"
                       : "");
  }
}

TEST(FrontEndChoice, TerminalWhenAskedForOrWithoutAnyDisplay) {
  using Env = std::map<std::string, std::string>;
  const std::pair<Env, bool> cases[] = {
      {{}, true},
      {{{"DISPLAY", ""}}, true},
      {{{"CALMORA_UI", "terminal"}, {"DISPLAY", ":0"}}, true},
      {{{"DISPLAY", ":0"}}, false},
      {{{"WAYLAND_DISPLAY", "wayland-0"}}, false},
      {{{"QT_QPA_PLATFORM", "offscreen"}}, false},
      {{{"CALMORA_UI", "window"}, {"DISPLAY", ":0"}}, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WantsTerminalFrontEnd([&](const char* name) -> const char* {
                const auto it = c.first.find(name);
                return it == c.first.end() ? nullptr : it->second.c_str();
              }),
              c.second)
        << ::testing::PrintToString(c.first);
}

}  // namespace
}  // namespace calmora
