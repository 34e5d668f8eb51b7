#include "GuiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QTest>

namespace calmora::testing {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(5);
  }
  return true;
}

BoxAnswerer::BoxAnswerer() {
  QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
  timer_.start(10);
}

void BoxAnswerer::Answer() {
  if (answering_) return;  // a hook that waits runs the loop again
  answering_ = true;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (box == nullptr || !box->isVisible()) continue;
    SeenBox seen;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttonCount = static_cast<int>(box->buttons().size());
    seen.hasOk = box->button(QMessageBox::Ok) != nullptr;
    seen.textFormat = box->textFormat();
    seen.modality = box->windowModality();
    seen.staysOnTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    seen.parent = box->parentWidget();
    boxes_.push_back(seen);
    if (onBox) onBox(seen);
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
      QTest::mouseClick(ok, Qt::LeftButton);
    } else {
      box->done(0);  // never hang a test on a box without OK
    }
  }
  answering_ = false;
}

}  // namespace calmora::testing
