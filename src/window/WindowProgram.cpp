#include "window/WindowProgram.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QIcon>
#include <cerrno>

#include "driver/Driver.h"
#include "driver/ExitStatus.h"
#include "state/RunState.h"
#include "window/QtFrontEnd.h"
#include "window/frmMain.h"

namespace calmora {

WindowSession::WindowSession()
    : window_(std::make_unique<frmMain>()),
      frontEnd_(std::make_unique<QtFrontEnd>(*window_)),
      previous_(&ActiveFrontEnd()) {
  InstallFrontEnd(frontEnd_.get());
}

WindowSession::~WindowSession() {
  InstallFrontEnd(previous_);
  frontEnd_.reset();
  window_.reset();
}

int WindowSession::exec() {
  QEventLoop loop;
  bool leftThroughErrorPath = false;
  QObject::connect(window_.get(), &frmMain::runEnded, &loop, [&](RunOutcome outcome) {
    frontEnd_->RunEnded();
    if (outcome == RunOutcome::ErrorPath) {
      // The window stays open for another click.
      leftThroughErrorPath = true;
      return;
    }
    window_->hide();
    loop.exit(ExitStatusFor(outcome, ErrorsWereReported()));
  });
  QObject::connect(window_.get(), &frmMain::closedByUser, &loop, [&] {
    loop.exit(leftThroughErrorPath ? ExitStatusFor(RunOutcome::ErrorPath, true) : kExitClean);
  });
  window_->show();
  const int status = loop.exec();
  // The run's connection is closed now, while the crypto library under the
  // database engine is still up. Left to the end of the process it would be
  // closed after that library's own exit clean-up, and crash there.
  ResetRunState();
  return status;
}

bool CanOpenWindow(int argc, char** argv) {
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    // The toolkit's complaint is the parent's to phrase.
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0) ::dup2(devNull, STDERR_FILENO);
    QGuiApplication probe(argc, argv);
    ::_exit(0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int RunWindowProgram(int& argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("calmora-import"));
  // No display name is set: the platform would append it to every box's
  // title. The desktop file name lets desktops match the window to its menu
  // entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("calmora-import"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/calmora/calmora-import-16.png")));
  // The session decides when the program ends; message boxes and progress
  // windows closing must not end it.
  QApplication::setQuitOnLastWindowClosed(false);
  WindowSession session;
  return session.exec();
}

}  // namespace calmora
