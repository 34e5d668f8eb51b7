// calmora-import: the one-time import of a Calmora V3.1 practice into
// Calmora 2014. It takes no options; the registry file names both
// installations. The window opens when a display is available; otherwise
// (or with CALMORA_UI=terminal) the terminal front end runs the same
// conversion.
#include <csignal>
#include <cstdlib>
#include <iostream>

#include "app/TerminalFrontEnd.h"
#include "state/RunState.h"
#if CALMORA_WITH_GUI
#include "app/gui/WindowProgram.h"
#endif

namespace {

enum class FrontEndKind { Terminal, Window };

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
  const int status = RunFrontEnd(argc, argv);
  // The run's connection and log are released here, while the libraries
  // they stand on are still there: at static destruction the encryption
  // library may already be gone.
  calmora::ResetRunState();
  return status;
}
