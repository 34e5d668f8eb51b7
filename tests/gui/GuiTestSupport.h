#pragma once
// Helpers for driving the real window: waiting while the event loop runs,
// and a person who answers every message box by clicking its OK button,
// noting what the box showed.
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

namespace calmora::testing {

// Runs the event loop until done() holds; false when the time ran out.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000);

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttonCount = 0;
  bool hasOk = false;
  Qt::TextFormat textFormat = Qt::AutoText;
  Qt::WindowModality modality = Qt::NonModal;
  bool staysOnTop = false;
  QWidget* parent = nullptr;
};

class BoxAnswerer {
 public:
  BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  // Every box answered so far, in order.
  const std::vector<SeenBox>& boxes() const { return boxes_; }

  // Runs while a box is open, before OK is clicked.
  std::function<void(const SeenBox&)> onBox;

 private:
  void Answer();

  QTimer timer_;
  std::vector<SeenBox> boxes_;
  bool answering_ = false;
};

}  // namespace calmora::testing
