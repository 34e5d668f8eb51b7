#pragma once
// The window as the program. A WindowSession shows frmMain with the Qt front
// end installed as ActiveFrontEnd() (the previous front end is put back when the
// session goes) and runs until the user closes the window or a run ends
// the process. Its answer is the exit status, by the same rules as the
// terminal front end: 0 clean or closed without a click, 1 errors reported
// or a run that left through the error path, 2 stopped before converting.
#include <memory>

namespace calmora {

class FrontEnd;
class QtFrontEnd;
class frmMain;

class WindowSession {
 public:
  // Needs a QApplication.
  WindowSession();
  ~WindowSession();
  WindowSession(const WindowSession&) = delete;
  WindowSession& operator=(const WindowSession&) = delete;

  frmMain& window() { return *window_; }
  QtFrontEnd& frontEnd() { return *frontEnd_; }

  // Shows the window and waits for the end; answers the exit status. The
  // run's state (connection, log) is let go before it returns.
  int exec();

 private:
  std::unique_ptr<frmMain> window_;
  std::unique_ptr<QtFrontEnd> frontEnd_;
  FrontEnd* previous_;
};

// The whole window program: the application object, then one session.
int RunWindowProgram(int& argc, char** argv);

// Whether the windowing system can be reached. Asked in a child process,
// because the toolkit ends the process it starts in when it cannot open a
// display (a DISPLAY of a machine that is gone, a missing platform plugin).
bool CanOpenWindow(int argc, char** argv);

}  // namespace calmora
