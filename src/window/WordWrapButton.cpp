#include "window/WordWrapButton.h"

#include <QLabel>
#include <QResizeEvent>

namespace calmora {

namespace {
// Room for the button's bevel and focus frame around the caption; a thin
// one above and below, so that three lines of a 12 pt caption fit.
constexpr int kCaptionMarginX = 3;
constexpr int kCaptionMarginY = 1;
}  // namespace

WordWrapButton::WordWrapButton(const QString& caption, QWidget* parent)
    : QPushButton(parent), caption_(new QLabel(caption, this)) {
  caption_->setObjectName(QStringLiteral("caption"));
  caption_->setWordWrap(true);
  caption_->setAlignment(Qt::AlignCenter);
  caption_->setTextFormat(Qt::PlainText);
  caption_->setForegroundRole(QPalette::ButtonText);
  caption_->setAttribute(Qt::WA_TransparentForMouseEvents);
  caption_->setFocusPolicy(Qt::NoFocus);
  setAccessibleName(caption);
}

QString WordWrapButton::caption() const { return caption_->text(); }

void WordWrapButton::resizeEvent(QResizeEvent* event) {
  QPushButton::resizeEvent(event);
  caption_->setGeometry(rect().adjusted(kCaptionMarginX, kCaptionMarginY, -kCaptionMarginX,
                                        -kCaptionMarginY));
}

}  // namespace calmora
