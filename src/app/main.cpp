// calmora-import: the one-time import of a Calmora V3.1 practice into
// Calmora 2014; the registry file names both installations. Without
// arguments the window opens when a display is available; otherwise (or
// with CALMORA_UI=terminal) the terminal front end runs the same
// conversion. --check only looks and says whether a run can proceed.
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string_view>

#include "ProgramVersion.h"
#include "driver/ExitStatus.h"
#include "driver/PreflightCheck.h"
#include "state/RunState.h"
#include "terminal/TerminalFrontEnd.h"
#if CALMORA_WITH_GUI
#include "window/WindowProgram.h"
#endif

namespace {

enum class FrontEndKind { Terminal, Window };

constexpr char kUsage[] =
    "usage: calmora-import          convert the Calmora V3.1 practice into Calmora 2014 (once)\n"
    "       calmora-import --check  check that a conversion can run; changes nothing\n"
    "\n"
    "Options:\n"
    "  --check    check that a conversion can run (exit 0) or say why not (exit 1)\n"
    "  --help     show this text and exit\n"
    "  --version  show the program's name and version and exit\n"
    "\n"
    "Both installations are found through the registry file named by CALMORA_REGISTRY\n"
    "(else /etc/calmora/registry.reg).\n";

// The one place where the front end is chosen.
[[maybe_unused]] FrontEndKind ChooseFrontEnd() {
  if (calmora::WantsTerminalFrontEnd([](const char* name) { return std::getenv(name); })) {
    return FrontEndKind::Terminal;
  }
  return FrontEndKind::Window;
}

int RunFrontEnd([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#if CALMORA_WITH_GUI
  if (ChooseFrontEnd() == FrontEndKind::Window) {
    if (calmora::CanOpenWindow(argc, argv)) return calmora::RunWindowProgram(argc, argv);
    std::cerr << "No window can be opened on this display; the terminal front end runs "
                 "instead.\n";
  }
#endif
  return calmora::RunTerminalFrontEnd();
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away (calmora-import | head) must not kill a run
  // halfway through the database: writes to it fail instead, and the front
  // end stops printing. The updater starts with the default again.
  std::signal(SIGPIPE, SIG_IGN);
  if (argc > 1) {
    const std::string_view arg = argv[1];
    const bool help = arg == "--help" || arg == "-h";
    const bool version = arg == "--version";
    const bool known = help || version || arg == "--check";
    if (!known || argc > 2) {
      std::cerr << "calmora-import: unknown argument " << argv[known ? 2 : 1] << '\n'
                << kUsage;
      return calmora::kExitStopped;
    }
    if (help || version) {
      std::cout << (help ? kUsage : calmora::VersionLine("calmora-import"));
      return calmora::kExitClean;
    }
    const bool canRun = calmora::RunPreflightCheck(std::cout);
    calmora::ResetRunState();
    return canRun ? calmora::kExitClean : calmora::kExitWithErrors;
  }
  const int status = RunFrontEnd(argc, argv);
  // The run's connection and log are released here, while the libraries
  // they stand on are still there: at static destruction the encryption
  // library may already be gone.
  calmora::ResetRunState();
  return status;
}
