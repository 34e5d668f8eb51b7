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
  for (QDeadlineTimer deadline(timeoutMs); !done(); QTest::qWait(5))
    if (deadline.hasExpired()) return false;
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
  // Every box answered so far, in order.
  std::vector<SeenBox> boxes;
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
      boxes.push_back({box->windowTitle(), box->text(), box->icon(),
                       box->buttons().size() == 1 && ok != nullptr, box->textFormat(),
                       box->windowModality(), box->windowFlags().testFlag(Qt::WindowStaysOnTopHint),
                       box->parentWidget()});
      if (onBox) onBox(boxes.back());
      if (ok != nullptr) QTest::mouseClick(ok, Qt::LeftButton);
      else box->done(0);  // never hang a test on a box without OK
    }
    answering_ = false;
  }

  QTimer timer_;
  bool answering_ = false;
};

}  // namespace calmora::testing
