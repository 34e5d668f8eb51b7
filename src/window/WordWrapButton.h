#pragma once
// A push button whose caption wraps onto several lines (QPushButton draws
// its text on one). The caption is a child label that lets every mouse
// event through, so the widget clicks, takes focus and reads to assistive
// tools as one ordinary button.
#include <QPushButton>
#include <QString>

class QLabel;
class QResizeEvent;

namespace calmora {

class WordWrapButton : public QPushButton {
  Q_OBJECT

 public:
  explicit WordWrapButton(const QString& caption, QWidget* parent = nullptr);

  QString caption() const;
  QLabel* captionLabel() const { return caption_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLabel* caption_;
};

}  // namespace calmora
