#pragma once
// Helpers for driving the real window: waiting while the event loop runs,
// and a person who answers every message box by clicking its OK button,
// noting what the box showed.
#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

namespace calmora::testing {

// Runs the event loop until done() holds; false when the time ran out.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
  QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(5);
  }
  return true;
}

struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool onlyOk = false;  // one button, and that is OK
  Qt::TextFormat textFormat = Qt::AutoText;
  Qt::WindowModality modality = Qt::NonModal;
  bool staysOnTop = false;
  QWidget* parent = nullptr;
};

class BoxAnswerer {
 public:
  BoxAnswerer() {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
    timer_.start(10);
  }
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  // Every box answered so far, in order.
  const std::vector<SeenBox>& boxes() const { return boxes_; }
  // Runs while a box is open, before OK is clicked.
  std::function<void(const SeenBox&)> onBox;

 private:
  void Answer() {
    if (answering_) return;  // a hook that waits runs the loop again
    answering_ = true;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box == nullptr || !box->isVisible()) continue;
      QAbstractButton* ok = box->button(QMessageBox::Ok);
      boxes_.push_back({box->windowTitle(), box->text(), box->icon(),
                        box->buttons().size() == 1 && ok != nullptr, box->textFormat(),
                        box->windowModality(),
                        box->windowFlags().testFlag(Qt::WindowStaysOnTopHint),
                        box->parentWidget()});
      if (onBox) onBox(boxes_.back());
      if (ok != nullptr) QTest::mouseClick(ok, Qt::LeftButton);
      else box->done(0);  // never hang a test on a box without OK
    }
    answering_ = false;
  }

  QTimer timer_;
  std::vector<SeenBox> boxes_;
  bool answering_ = false;
};

}  // namespace calmora::testing
