#include "terminal/TerminalFrontEnd.h"

#include <unistd.h>

#include <iostream>
#include <string>

#include "driver/ExitStatus.h"
#include "driver/FrontEndTexts.h"

namespace calmora {

namespace {

// Erases the rest of a terminal line after a progress text that overwrote
// a longer one.
constexpr char kEraseToEnd[] = "\x1b[K";

std::string_view IconWord(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Critical: return "critical";
    case MessageIcon::Exclamation: return "exclamation";
    case MessageIcon::None: break;
  }
  return "none";
}

// Message texts carry CR LF line ends, as the log does; a terminal wants LF.
std::string TerminalLines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

// Puts the previous front end back when a window run ends, however it ends.
class InstalledFor {
 public:
  explicit InstalledFor(FrontEnd* frontEnd) : previous_(&ActiveFrontEnd()) { InstallFrontEnd(frontEnd); }
  ~InstalledFor() { InstallFrontEnd(previous_); }
  InstalledFor(const InstalledFor&) = delete;
  InstalledFor& operator=(const InstalledFor&) = delete;

 private:
  FrontEnd* previous_;
};

}  // namespace

TerminalFrontEnd::TerminalFrontEnd(std::istream& in, std::ostream& out, std::ostream& err,
                                   bool inputIsTerminal, bool errorIsTerminal)
    : in_(in),
      out_(out),
      err_(err),
      inputIsTerminal_(inputIsTerminal),
      errorIsTerminal_(errorIsTerminal) {}

void TerminalFrontEnd::ShowWindow() {
  out_ << kWindowTitle << '\n'
       << kImportantLabel << ' ' << kRunOnceWarning << '\n'
       << "[ " << kConvertButtonCaption << " ]\n";
  if (inputIsTerminal_) {
    out_ << "Press Enter to click the button; end of input (Ctrl-D) closes the window.\n";
  }
  out_.flush();
}

int TerminalFrontEnd::RunWindow(const std::function<RunOutcome()>& click) {
  InstalledFor installed(this);
  ShowWindow();
  // Closing the window without a click is a clean end; closing it after a
  // run that left through the error path is not.
  int status = kExitClean;
  std::string line;
  while (std::getline(in_, line)) {
    summaryClosingLine_.clear();
    const RunOutcome outcome = click();
    EndProgressLine();
    if (!summaryClosingLine_.empty()) out_ << summaryClosingLine_ << '\n' << std::flush;
    if (outcome == RunOutcome::ErrorPath) {
      status = kExitWithErrors;
      if (inputIsTerminal_) {
        out_ << "The window is still open: press Enter to run the conversion again; end of "
                "input (Ctrl-D) closes the window.\n"
             << std::flush;
      }
      continue;  // the window stays open for another click
    }
    return ExitStatusFor(outcome, ErrorsWereReported());
  }
  return status;
}

void TerminalFrontEnd::ShowMessage(std::string_view text, std::string_view title,
                                   MessageIcon icon, bool /*systemModal*/) {
  EndProgressLine();
  out_ << "\n---- " << title << " ----\n"
       << "icon: " << IconWord(icon) << '\n'
       << TerminalLines(text) << '\n';
  if (inputIsTerminal_) {
    out_ << "[OK] (press Enter)" << std::flush;
    std::string answer;
    std::getline(in_, answer);
  } else {
    out_ << "[OK]\n";
  }
  out_.flush();
}

void TerminalFrontEnd::SetPointer(MousePointer /*pointer*/) {
  // A terminal has no mouse pointer; progress lines show that work goes on.
}

void TerminalFrontEnd::FolderCopyProgress(std::int64_t filesDone, std::int64_t filesTotal) {
  if (!errorIsTerminal_) return;
  ShowProgress("Copying folder: " + std::to_string(filesDone) + " of " +
                    std::to_string(filesTotal) + " files",
                filesDone >= filesTotal);
}

void TerminalFrontEnd::StepProgress(std::string_view step, std::int64_t rowsDone,
                                    std::int64_t rowsTotal) {
  if (!errorIsTerminal_) return;
  std::string text = DescribeStep(step);
  if (rowsTotal > 0) text += ": " + RowsText(rowsDone, rowsTotal);
  ShowProgress(text, rowsTotal > 0 && rowsDone >= rowsTotal);
}

void TerminalFrontEnd::SummaryWritten(std::string_view closingLine) {
  summaryClosingLine_ = closingLine;
}

void TerminalFrontEnd::ShowProgress(const std::string& text, bool finished) {
  // The same state again (an empty folder is done as it starts) adds nothing.
  if (text == lastProgress_) return;
  lastProgress_ = text;
  err_ << '\r' << text << kEraseToEnd;
  progressLineOpen_ = true;
  if (finished) EndProgressLine();
  err_.flush();
}

void TerminalFrontEnd::EndProgressLine() {
  if (!progressLineOpen_) return;
  err_ << '\n';
  err_.flush();
  progressLineOpen_ = false;
}

bool WantsTerminalFrontEnd(const std::function<const char*(const char*)>& getenv) {
  const auto set = [&](const char* name) {
    const char* value = getenv(name);
    return value != nullptr && *value != '\0';
  };
  const char* ui = getenv("CALMORA_UI");
  if (ui != nullptr && std::string_view(ui) == "terminal") return true;
  return !set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM");
}

int RunTerminalFrontEnd() {
  TerminalFrontEnd frontEnd(std::cin, std::cout, std::cerr, ::isatty(STDIN_FILENO) == 1,
                            ::isatty(STDERR_FILENO) == 1);
  return frontEnd.RunWindow();
}

}  // namespace calmora
