#pragma once
// The front end for a machine without a display: the window's texts on
// standard output, one line of standard input per click of the button, end
// of input as closing the window. Every message box is printed as its
// title, its icon word (critical, exclamation, none), its text and an OK
// line; it waits for Enter only when the input is a terminal. Progress goes
// to the error stream, and only when that stream is a terminal. The closing
// line of the conversion summary is printed once the run's outcome message
// has been shown.
//
// Streams and "is a terminal" flags are injected, so that tests drive it
// with string streams exactly as a user drives it at a console.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "diagnostics/FrontEnd.h"
#include "driver/Driver.h"

namespace calmora {

class TerminalFrontEnd : public FrontEnd {
 public:
  TerminalFrontEnd(std::istream& in, std::ostream& out, std::ostream& err,
                   bool inputIsTerminal, bool errorIsTerminal);

  // Shows the window, then takes clicks until a run ends the process or the
  // input ends; answers the exit status (driver/ExitStatus.h). `click` is the button's handler.
  // Installs itself as ActiveFrontEnd() for the time of the call.
  int RunWindow(const std::function<RunOutcome()>& click = cmdConvert_Click);

  void ShowMessage(std::string_view text, std::string_view title, MessageIcon icon,
                   bool systemModal = false) override;
  void SetPointer(MousePointer pointer) override;
  void FolderCopyProgress(std::int64_t filesDone, std::int64_t filesTotal) override;
  void StepProgress(std::string_view step, std::int64_t rowsDone,
                    std::int64_t rowsTotal) override;
  void SummaryWritten(std::string_view closingLine) override;

 private:
  void ShowWindow();
  // Overwrites the progress line; a finished one is ended with a newline.
  void ShowProgress(const std::string& text, bool finished);
  void EndProgressLine();

  std::istream& in_;
  std::ostream& out_;
  std::ostream& err_;
  bool inputIsTerminal_;
  bool errorIsTerminal_;
  bool progressLineOpen_ = false;
  std::string lastProgress_;
  std::string summaryClosingLine_;  // of the run in progress
};

// Whether the terminal front end is the one to use, from the environment:
// CALMORA_UI=terminal, or no display at all (neither DISPLAY nor
// WAYLAND_DISPLAY set, and no QT_QPA_PLATFORM chosen). `getenv` is
// injectable for tests.
bool WantsTerminalFrontEnd(const std::function<const char*(const char*)>& getenv);

// The terminal front end on the process's own standard streams.
int RunTerminalFrontEnd();

}  // namespace calmora
