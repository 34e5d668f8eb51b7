// The window's front end as the conversion uses it: from another thread,
// with boxes that hold the run until OK, one application pointer, a copy
// window per folder copy, and step progress that keeps up with a run that
// reports every row.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <functional>
#include <thread>

#include "GuiTestSupport.h"
#include "window/QtFrontEnd.h"
#include "window/frmMain.h"

namespace calmora {
namespace {

using testing::BoxAnswerer;
using testing::WaitUntil;

class QtFrontEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  void TearDown() override {
    while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
  }
  // Calls the front end as the conversion does: from its own thread, while
  // the window's thread runs its loop until the call has returned.
  void OnRunThread(const std::function<void()>& call) {
    std::atomic<bool> returned{false};
    std::thread run([&] {
      call();
      returned = true;
    });
    const bool done = WaitUntil([&] { return returned.load(); });
    run.join();
    ASSERT_TRUE(done) << "the call from the run's thread never returned";
    QApplication::processEvents();  // what the call queued
  }
  static Qt::CursorShape Pointer() {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor == nullptr ? Qt::ArrowCursor : cursor->shape();
  }

  frmMain window;
  QtFrontEnd ui{window};
};

TEST_F(QtFrontEndTest, BoxHoldsTheRunUntilOkAndShowsExactlyWhatItWasGiven) {
  struct Case {
    MessageIcon icon;
    bool systemModal;
    QMessageBox::Icon shown;
  };
  for (const Case c : {Case{MessageIcon::Critical, true, QMessageBox::Critical},
                       Case{MessageIcon::Exclamation, false, QMessageBox::Warning},
                       Case{MessageIcon::None, false, QMessageBox::NoIcon}}) {
    BoxAnswerer person;
    std::atomic<bool> returned{false};
    bool returnedBeforeOk = true;
    Qt::CursorShape pointerOverBox = Qt::WaitCursor;
    person.onBox = [&](const testing::SeenBox&) {
      QTest::qWait(50);  // the run must still be waiting
      returnedBeforeOk = returned.load();
      pointerOverBox = Pointer();
    };
    OnRunThread([&] {
      ui.SetPointer(MousePointer::Hourglass);
      ui.ShowMessage("Error on line... 700\r\n<b>Could not</b> copy & go on", "ERROR", c.icon,
                     c.systemModal);
      returned = true;
    });
    ASSERT_EQ(person.boxes.size(), 1u);
    const testing::SeenBox& box = person.boxes[0];
    EXPECT_FALSE(returnedBeforeOk);
    EXPECT_EQ(box.title, QStringLiteral("ERROR"));
    EXPECT_EQ(box.text, QStringLiteral("Error on line... 700\n<b>Could not</b> copy & go on"));
    EXPECT_EQ(box.textFormat, Qt::PlainText) << "markup in a text must show as typed";
    EXPECT_EQ(box.icon, c.shown);
    EXPECT_TRUE(box.onlyOk);
    EXPECT_EQ(box.modality, Qt::ApplicationModal);
    EXPECT_EQ(box.parent, &window);
    EXPECT_EQ(box.staysOnTop, c.systemModal);
    // A box waiting for a click shows the arrow; the run is busy again after.
    EXPECT_EQ(pointerOverBox, Qt::ArrowCursor);
    EXPECT_EQ(Pointer(), Qt::WaitCursor);
  }
  // Busy three times, default once: no stacked override is left.
  OnRunThread([&] { ui.SetPointer(MousePointer::Default); });
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  OnRunThread([&] { ui.SetPointer(MousePointer::Hourglass); });
  ui.RunEnded();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "a finished run left the busy pointer";

  // A box shown from the window's thread itself does not deadlock.
  BoxAnswerer person;
  ui.ShowMessage("Conversion complete.", "Conversion complete", MessageIcon::None);
  EXPECT_EQ(person.boxes.size(), 1u);
}

TEST_F(QtFrontEndTest, EachFolderCopyShowsAProgressWindowWithoutCancel) {
  for (const int files : {12, 3}) {
    OnRunThread([&] { ui.FolderCopyProgress(0, files); });
    QProgressDialog* copy = ui.copyProgress();
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->isVisible());
    EXPECT_EQ(copy->maximum(), files);
    EXPECT_TRUE(copy->findChildren<QPushButton*>().isEmpty()) << "a copy cannot be cancelled";
    EXPECT_EQ(copy->windowTitle(), QStringLiteral("Copying..."));
    EXPECT_EQ(copy->labelText(), QStringLiteral("Copying files from Calmora V3.1 to Calmora 2014"));
    OnRunThread([&] { ui.FolderCopyProgress(files, files); });
    EXPECT_FALSE(copy->isVisible());
  }
  // An empty folder shows nothing; a copy cut short by an error path leaves
  // no window once the run ended.
  OnRunThread([&] { ui.FolderCopyProgress(0, 0); });
  EXPECT_FALSE(ui.copyProgress()->isVisible());
  OnRunThread([&] { ui.FolderCopyProgress(0, 7); });
  ui.RunEnded();
  EXPECT_FALSE(ui.copyProgress()->isVisible());
}

TEST_F(QtFrontEndTest, StepProgressShowsTheNewestReportInWords) {
  auto* caption = window.findChild<QLabel*>(QStringLiteral("stepCaption"));
  auto* bar = window.findChild<QProgressBar*>(QStringLiteral("stepBar"));
  ASSERT_TRUE(caption && bar);
  // A step that reports every row: the window ends on the last report.
  constexpr std::int64_t kRows = 50000;
  OnRunThread([&] {
    for (std::int64_t row = 0; row <= kRows; ++row) ui.StepProgress("COMFixNullEvent", row, kRows);
  });
  ASSERT_TRUE(WaitUntil([&] { return bar->value() == kRows; }, 5000)) << bar->value();
  EXPECT_TRUE(caption->isVisible() && bar->isVisible());
  EXPECT_EQ(caption->text(), QStringLiteral("Step 6 of 7: Linking claims to events"));
  EXPECT_EQ(bar->text(), QStringLiteral("50000 of 50000 rows"));
  // A step that walks no rows: the bar only shows that work goes on.
  OnRunThread([&] { ui.StepProgress("COMAddTables", 0, 0); });
  EXPECT_EQ(caption->text(), QStringLiteral("Step 1 of 7: Adding the new tables"));
  EXPECT_EQ(bar->maximum(), 0);
  // Counts beyond the bar's int range keep their proportion and their words.
  OnRunThread([&] { ui.StepProgress("COMMoveCMSData", 3'000'000'000, 6'000'000'000); });
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_NEAR(static_cast<double>(bar->value()) / bar->maximum(), 0.5, 0.001);
  EXPECT_EQ(bar->text(), QStringLiteral("3000000000 of 6000000000 rows"));
  OnRunThread([&] { ui.StepProgress("COMSomethingNew", 1, 2); });
  EXPECT_EQ(caption->text(), QStringLiteral("COMSomethingNew")) << "a new name shows as it stands";
}

}  // namespace
}  // namespace calmora
