// Whole conversions clicked in the real window on sample machines written
// by calmora-fixture: the person clicks, answers every box with OK, and the
// program ends (or stays open) with the status the run calls for.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "GuiTestSupport.h"
#include "app/gui/QtFrontEnd.h"
#include "app/gui/WordWrapButton.h"
#include "app/gui/WindowProgram.h"
#include "app/gui/frmMain.h"
#include "state/RunState.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::BoxAnswerer;
using testing::SeenBox;
using testing::WaitUntil;

#ifdef CALMORA_FIXTURE_PROGRAM
constexpr const char* kFixtureProgram = CALMORA_FIXTURE_PROGRAM;
#else
constexpr const char* kFixtureProgram = nullptr;
#endif

// Points the registry at a file for the life of the object.
class RegistryFileSet {
 public:
  explicit RegistryFileSet(const fs::path& file) {
    if (const char* old = std::getenv("CALMORA_REGISTRY")) previous_ = old;
    ::setenv("CALMORA_REGISTRY", file.c_str(), 1);
  }
  ~RegistryFileSet() {
    if (previous_) {
      ::setenv("CALMORA_REGISTRY", previous_->c_str(), 1);
    } else {
      ::unsetenv("CALMORA_REGISTRY");
    }
  }
  RegistryFileSet(const RegistryFileSet&) = delete;
  RegistryFileSet& operator=(const RegistryFileSet&) = delete;

 private:
  std::optional<std::string> previous_;
};

std::vector<std::string> Lines(const fs::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<fs::path> ConversionLogs(const fs::path& folder) {
  std::vector<fs::path> logs;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind("conversion_", 0) == 0) logs.push_back(entry.path());
  }
  return logs;
}

// What the person saw while a box was open and the run waited for OK.
struct MidRun {
  bool running = false;
  bool buttonEnabled = true;
  bool closeAccepted = true;
  bool visibleAfterClose = false;
  QString stepCaption;
  int barValue = -1;
  int barMaximum = -1;
  bool copyWindowOpen = false;
};

class WindowConversion : public ::testing::Test {
 protected:
  void SetUp() override {
    if (kFixtureProgram == nullptr) GTEST_SKIP() << "calmora-fixture is not built";
    ResetRunState();
    root = dir / "machine";
    QProcess fixture;
    fixture.start(QString::fromUtf8(kFixtureProgram),
                  {QString::fromStdString(root.string()), "--claims", "120", "--seed", "7"});
    ASSERT_TRUE(fixture.waitForFinished(120000));
    ASSERT_EQ(fixture.exitCode(), 0) << fixture.readAllStandardError().toStdString();
    folder2014 = root / "Calmora 2014";
    startsFile = root / "updater-starts.txt";
    registry.emplace(root / "registry.reg");
  }

  WordWrapButton* Button(WindowSession& session) {
    return session.window().findChild<WordWrapButton*>(QStringLiteral("cmdConvert"));
  }

  // Clicks the button once the window is up, as a person would.
  void ClickWhenShown(WindowSession& session) {
    QTimer::singleShot(0, &session.window(), [this, &session] {
      ASSERT_TRUE(QTest::qWaitForWindowExposed(&session.window()));
      QTest::mouseClick(Button(session), Qt::LeftButton);
    });
  }

  MidRun LookAtTheWindow(WindowSession& session) {
    frmMain& window = session.window();
    MidRun seen;
    seen.running = window.isRunning();
    seen.buttonEnabled = Button(session)->isEnabled();
    seen.closeAccepted = window.close();
    seen.visibleAfterClose = window.isVisible();
    seen.stepCaption = window.findChild<QLabel*>(QStringLiteral("stepCaption"))->text();
    auto* bar = window.findChild<QProgressBar*>(QStringLiteral("stepBar"));
    seen.barValue = bar->value();
    seen.barMaximum = bar->maximum();
    QProgressDialog* copy = session.frontEnd().copyProgress();
    seen.copyWindowOpen = copy != nullptr && copy->isVisible();
    return seen;
  }

  testing::TempDir dir;
  fs::path root;
  fs::path folder2014;
  fs::path startsFile;
  std::optional<RegistryFileSet> registry;
};

TEST_F(WindowConversion, ClickConvertsStartsTheUpdaterOnceAndEndsTheProgram) {
  WindowSession session;
  BoxAnswerer person;
  std::vector<MidRun> midRun;
  person.onBox = [&](const SeenBox&) { midRun.push_back(LookAtTheWindow(session)); };

  // While the conversion runs, and before any box, the window keeps its
  // event loop: timers fire and it repaints.
  int ticksDuringRun = 0;
  int paintsDuringRun = 0;
  // A box runs a loop of its own; only what happens outside one counts.
  const auto runningWithoutBox = [&] {
    return session.window().isRunning() && QApplication::activeModalWidget() == nullptr;
  };
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    if (runningWithoutBox()) ++ticksDuringRun;
  });
  ticker.start(5);
  struct PaintCounter : QObject {
    std::function<void()> onPaint;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) onPaint();
      return false;
    }
  } paints;
  paints.onPaint = [&] {
    if (runningWithoutBox()) ++paintsDuringRun;
  };
  session.window().installEventFilter(&paints);

  ClickWhenShown(session);
  const int status = session.exec();

  EXPECT_EQ(status, 0);
  ASSERT_EQ(person.boxes().size(), 1u);
  const SeenBox& done = person.boxes()[0];
  EXPECT_EQ(done.text, QStringLiteral("Conversion complete."));
  EXPECT_EQ(done.title, QStringLiteral("Conversion complete"));
  EXPECT_EQ(done.icon, QMessageBox::NoIcon);
  EXPECT_EQ(done.buttonCount, 1);
  EXPECT_TRUE(done.hasOk);
  EXPECT_FALSE(session.window().isVisible()) << "the program ends after the run";
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // At the completion box the run has not returned yet.
  ASSERT_EQ(midRun.size(), 1u);
  EXPECT_TRUE(midRun[0].running);
  EXPECT_FALSE(midRun[0].buttonEnabled);
  EXPECT_FALSE(midRun[0].closeAccepted);
  EXPECT_TRUE(midRun[0].visibleAfterClose) << "closing mid-run must be refused";
  EXPECT_EQ(midRun[0].stepCaption,
            QStringLiteral("Step 7 of 7: Copying claims into the CMS-1500 table"));
  EXPECT_GT(midRun[0].barMaximum, 0);
  EXPECT_EQ(midRun[0].barValue, midRun[0].barMaximum);
  EXPECT_FALSE(midRun[0].copyWindowOpen) << "a copy window outlived its copy";
  EXPECT_GT(ticksDuringRun, 0) << "the window's thread was blocked by the run";
  EXPECT_GT(paintsDuringRun, 0) << "the window did not repaint during the run";

  // The stand-in updater writes its argument count and folder; it is not
  // waited for, so give it a moment, then make sure it ran only once.
  ASSERT_TRUE(WaitUntil([&] { return !Lines(startsFile).empty(); }, 10000))
      << "the updater was not started";
  QTest::qWait(300);
  const std::vector<std::string> starts = Lines(startsFile);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0], "0 " + fs::canonical(folder2014).string());
}

TEST_F(WindowConversion, NothingRunsWhenTheWindowOpensOrCloses) {
  const std::string databaseBefore = testing::ReadFileBytes(folder2014 / "Database/calmora.mdb");
  WindowSession session;
  BoxAnswerer person;
  QTimer::singleShot(0, &session.window(), [&] {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&session.window()));
    QTest::qWait(100);
    EXPECT_TRUE(session.window().close());
  });
  EXPECT_EQ(session.exec(), 0);
  EXPECT_TRUE(person.boxes().empty());
  EXPECT_TRUE(ConversionLogs(folder2014).empty());
  EXPECT_FALSE(fs::exists(startsFile));
  EXPECT_EQ(testing::ReadFileBytes(folder2014 / "Database/calmora.mdb"), databaseBefore);
}

TEST_F(WindowConversion, MissingInstallationStopsAndEndsTheProgramWithStatusTwo) {
  testing::WriteFileBytes(root / "empty.reg", "Windows Registry Editor Version 5.00\r\n\r\n");
  RegistryFileSet emptyRegistry(root / "empty.reg");
  WindowSession session;
  BoxAnswerer person;
  ClickWhenShown(session);

  EXPECT_EQ(session.exec(), 2);
  ASSERT_EQ(person.boxes().size(), 1u);
  const SeenBox& box = person.boxes()[0];
  EXPECT_EQ(box.title, QStringLiteral("Invalid/Incomplete V3 installation"));
  EXPECT_EQ(box.text, QStringLiteral("Calmora 2014 Upgrade cannot find cannot find your V3 "
                                     "installation.  Please call toll free: (800) 555-0142 for "
                                     "assistance."));
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_FALSE(session.window().isVisible());
  EXPECT_TRUE(ConversionLogs(folder2014).empty());
}

// The V3.1 database is missing: the copy fails inside the driver, which
// reports it and returns; the window stays for another click.
class WindowErrorPath : public WindowConversion {
 protected:
  void SetUp() override {
    WindowConversion::SetUp();
    if (IsSkipped()) return;
    fs::rename(root / "Calmora V3.1/Database/calmora.mdb", dir / "calmora.mdb");
  }

  // Clicks once and waits for that run to return.
  void ClickAndWaitForTheRun(WindowSession& session) {
    int ended = 0;
    auto connection = QObject::connect(&session.window(), &frmMain::runEnded,
                                       [&](RunOutcome) { ++ended; });
    QTest::mouseClick(Button(session), Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return ended == 1; }));
    QObject::disconnect(connection);
  }
};

TEST_F(WindowErrorPath, ErrorIsReportedOnTopAndClosingThenExitsWithStatusOne) {
  WindowSession session;
  BoxAnswerer person;
  QTimer::singleShot(0, &session.window(), [&] {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&session.window()));
    ClickAndWaitForTheRun(session);
    // Open, idle and clickable again.
    EXPECT_TRUE(session.window().isVisible());
    EXPECT_FALSE(session.window().isRunning());
    EXPECT_TRUE(Button(session)->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(session.window().close());
  });
  EXPECT_EQ(session.exec(), 1);

  ASSERT_EQ(person.boxes().size(), 1u);
  const SeenBox& error = person.boxes()[0];
  EXPECT_EQ(error.title, QStringLiteral("ERROR"));
  EXPECT_TRUE(error.text.contains(QStringLiteral("Error on line... 700")))
      << error.text.toStdString();
  EXPECT_EQ(error.icon, QMessageBox::Critical);
  EXPECT_TRUE(error.staysOnTop) << "the error handler's boxes stay above the window";
  EXPECT_EQ(error.modality, Qt::ApplicationModal);
  EXPECT_FALSE(fs::exists(startsFile));
}

TEST_F(WindowErrorPath, SecondClickAfterTheCauseIsMendedConverts) {
  WindowSession session;
  BoxAnswerer person;
  QTimer::singleShot(0, &session.window(), [&] {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&session.window()));
    ClickAndWaitForTheRun(session);
    ASSERT_EQ(person.boxes().size(), 1u);
    fs::rename(dir / "calmora.mdb", root / "Calmora V3.1/Database/calmora.mdb");
    QTest::mouseClick(Button(session), Qt::LeftButton);
  });
  const int status = session.exec();

  ASSERT_EQ(person.boxes().size(), 2u);
  EXPECT_EQ(person.boxes()[0].title, QStringLiteral("ERROR"));
  EXPECT_EQ(person.boxes()[1].text, QStringLiteral("Conversion complete."));
  // The run that ended the program was clean.
  EXPECT_EQ(status, 0);
  ASSERT_TRUE(WaitUntil([&] { return !Lines(startsFile).empty(); }, 10000));
  QTest::qWait(300);
  EXPECT_EQ(Lines(startsFile).size(), 1u);
}

}  // namespace
}  // namespace calmora
