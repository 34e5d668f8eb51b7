// Whole conversions clicked in the real window on sample machines written
// by calmora-fixture: the person clicks, answers every box with OK, and the
// program ends (or stays open) with the status the run calls for.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QProgressBar>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "GuiTestSupport.h"
#include "state/RunState.h"
#include "window/QtFrontEnd.h"
#include "window/WindowProgram.h"
#include "window/WordWrapButton.h"
#include "window/frmMain.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::BoxAnswerer;
using testing::SeenBox;
using testing::WaitUntil;

class WindowConversion : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef CALMORA_FIXTURE_PROGRAM
    GTEST_SKIP() << "calmora-fixture is not built";
#else
    ResetRunState();
    QProcess fixture;
    fixture.start(QStringLiteral(CALMORA_FIXTURE_PROGRAM),
                  {QString::fromStdString(root.string()), "--claims", "120", "--seed", "7"});
    ASSERT_TRUE(fixture.waitForFinished(120000));
    ASSERT_EQ(fixture.exitCode(), 0) << fixture.readAllStandardError().toStdString();
    ::setenv("CALMORA_REGISTRY", (root / "registry.reg").c_str(), 1);
#endif
  }
  void TearDown() override { ::unsetenv("CALMORA_REGISTRY"); }

  static WordWrapButton* Button(WindowSession& session) {
    return session.window().findChild<WordWrapButton*>(QStringLiteral("cmdConvert"));
  }
  // Once the window is up, does what a person does.
  static void WhenShown(WindowSession& session, const std::function<void()>& act) {
    QTimer::singleShot(0, &session.window(), [&session, act] {
      ASSERT_TRUE(QTest::qWaitForWindowExposed(&session.window()));
      act();
    });
  }
  // Clicks, waits for that run to return, and finds the window open, idle
  // and clickable again.
  static void ClickThroughTheErrorPath(WindowSession& session) {
    int ended = 0;
    auto connection = QObject::connect(&session.window(), &frmMain::runEnded,
                                       [&](RunOutcome) { ++ended; });
    QTest::mouseClick(Button(session), Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return ended == 1; }));
    QObject::disconnect(connection);
    EXPECT_TRUE(session.window().isVisible());
    EXPECT_FALSE(session.window().isRunning());
    EXPECT_TRUE(Button(session)->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }
  testing::TempDir dir;
  const fs::path root = dir / "machine";
  const fs::path folder2014 = root / "Calmora 2014";
  const fs::path database = root / "Calmora V3.1/Database/calmora.mdb";
};

// The first click meets a missing database and stays open; the second,
// once it is back, converts and ends the program. The boxes' texts, the
// updater's start and the error handler's box style are pinned below the
// window; here only what the window itself does.
TEST_F(WindowConversion, SecondClickAfterTheErrorPathConvertsAndEnds) {
  WindowSession session;
  frmMain& window = session.window();
  BoxAnswerer person;
  // While the completion box holds the run, the run has not returned.
  person.onBox = [&](const SeenBox& box) {
    if (box.title == QStringLiteral("ERROR")) return;
    EXPECT_TRUE(window.isRunning());
    EXPECT_FALSE(Button(session)->isEnabled());
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible()) << "closing mid-run must be refused";
    // The last step ran to its end; the status now says what the summary proved.
    auto* bar = window.findChild<QProgressBar*>(QStringLiteral("stepBar"));
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(window.statusText(), QStringLiteral("Every row accounted for."));
    QProgressDialog* copy = session.frontEnd().copyProgress();
    EXPECT_FALSE(copy != nullptr && copy->isVisible()) << "a copy window outlived its copy";
  };
  // While the run goes, outside any box's own loop, timers fire and the
  // window repaints.
  int ticks = 0, paints = 0;
  const auto runningWithoutBox = [&] {
    return window.isRunning() && QApplication::activeModalWidget() == nullptr;
  };
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ticks += runningWithoutBox() ? 1 : 0; });
  ticker.start(5);
  struct PaintCounter : QObject {
    std::function<void()> onPaint;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) onPaint();
      return false;
    }
  } paintCounter;
  paintCounter.onPaint = [&] { paints += runningWithoutBox() ? 1 : 0; };
  window.installEventFilter(&paintCounter);

  fs::rename(database, dir / "calmora.mdb");
  WhenShown(session, [&] {
    ClickThroughTheErrorPath(session);
    fs::rename(dir / "calmora.mdb", database);
    QTest::mouseClick(Button(session), Qt::LeftButton);
  });
  EXPECT_EQ(session.exec(), 0) << "the run that ended the program was clean";

  ASSERT_EQ(person.boxes.size(), 2u);
  EXPECT_EQ(person.boxes[0].title, QStringLiteral("ERROR"));
  EXPECT_EQ(person.boxes[1].title, QStringLiteral("Conversion complete"));
  EXPECT_FALSE(window.isVisible()) << "the program ends after the run";
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_GT(ticks, 0) << "the window's thread was blocked by the run";
  EXPECT_GT(paints, 0) << "the window did not repaint during the run";
}

// How the program ends without a clean run: closed before any click (and
// nothing ran on opening or closing), closed after a run that left through
// the error path, or stopped before converting.
TEST_F(WindowConversion, ProgramEndsWithTheStatusOfHowItWasLeft) {
  const fs::path database2014 = folder2014 / "Database/calmora.mdb";
  const std::string before = testing::ReadFileBytes(database2014);
  {
    SCOPED_TRACE("closed without a click");
    WindowSession session;
    BoxAnswerer person;
    WhenShown(session, [&] {
      QTest::qWait(100);
      EXPECT_TRUE(session.window().close());
    });
    EXPECT_EQ(session.exec(), 0);
    EXPECT_TRUE(person.boxes.empty());
    EXPECT_EQ(testing::ReadFileBytes(database2014), before);
    for (const auto& entry : fs::directory_iterator(folder2014))
      EXPECT_FALSE(entry.path().filename().string().starts_with("conversion_")) << "a log was made";
  }
  {
    SCOPED_TRACE("error path, then closed");
    fs::rename(database, dir / "calmora.mdb");
    WindowSession session;
    BoxAnswerer person;
    WhenShown(session, [&] {
      ClickThroughTheErrorPath(session);
      EXPECT_TRUE(session.window().close());
    });
    EXPECT_EQ(session.exec(), 1);
    EXPECT_EQ(person.boxes.size(), 1u);
  }
  {
    SCOPED_TRACE("installation missing");
    testing::WriteFileBytes(root / "registry.reg", "Windows Registry Editor Version 5.00\r\n\r\n");
    WindowSession session;
    BoxAnswerer person;
    WhenShown(session, [&] { QTest::mouseClick(Button(session), Qt::LeftButton); });
    EXPECT_EQ(session.exec(), 2);
    EXPECT_EQ(person.boxes.size(), 1u);
    EXPECT_FALSE(session.window().isVisible());
  }
}

}  // namespace
}  // namespace calmora
