#include "window/frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QFontInfo>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QThread>
#include <limits>

#include "driver/FrontEndTexts.h"
#include "window/WordWrapButton.h"

namespace calmora {

namespace {

// The layout as drawn, in twips; 15 twips make a pixel on a standard display.
constexpr int kTwipsPerPixel = 15;
struct TwipRect {
  int left, top, width, height;
};
constexpr int kClientWidth = 7275;
constexpr int kClientHeight = 5100;
constexpr TwipRect kLabel2{2415, 210, 1515, 375};
constexpr TwipRect kLabel3{3735, 210, 3015, 795};
constexpr TwipRect kConvert{2535, 3930, 2205, 915};

constexpr int Pixels(int twips) { return twips / kTwipsPerPixel; }
QRect Pixels(const TwipRect& r) {
  return {Pixels(r.left), Pixels(r.top), Pixels(r.width), Pixels(r.height)};
}

// The run's progress sits over the picture's free band above the button,
// and is hidden while the window is idle.
const QRect kStepCaptionRect{20, 202, 445, 20};
const QRect kStepBarRect{20, 226, 445, 22};

const QColor kWarningRed{0xFF, 0x00, 0x00};

const QString kDrawnFamily = QStringLiteral("Microsoft Sans Serif");
// DejaVu Sans runs about a fifth wider than the face the window was laid
// out in: at full width "Important:" runs into the warning beside it, and
// the button's caption needs a third line. Narrowed to the drawn widths,
// every text keeps the room it was drawn for.
constexpr int kFallbackStretch = 80;

QFont FormFont(bool underline) {
  QFont font;
  font.setFamilies({kDrawnFamily, QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(12);
  font.setBold(true);
  font.setUnderline(underline);
  if (QFontInfo(font).family() != kDrawnFamily) font.setStretch(kFallbackStretch);
  return font;
}

QLabel* WarningLabel(const QString& name, const QString& text, bool underline,
                     const TwipRect& where, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setFont(FormFont(underline));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, kWarningRed);
  label->setPalette(palette);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  label->setFocusPolicy(Qt::NoFocus);
  label->setGeometry(Pixels(where));
  return label;
}

// QProgressBar counts in int; very large counts are scaled down to fit.
qint64 BarDivisor(qint64 total) { return total / std::numeric_limits<int>::max() + 1; }

}  // namespace

frmMain::frmMain(QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                  Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      background_(QStringLiteral(":/calmora/frmMain-background.png")) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QString::fromUtf8(kWindowTitle));
  setWindowIcon(QIcon(QStringLiteral(":/calmora/calmora-import-16.png")));
  setFixedSize(Pixels(kClientWidth), Pixels(kClientHeight));

  // Created in tab order.
  cmdConvert_ = new WordWrapButton(QString::fromUtf8(kConvertButtonCaption), this);
  cmdConvert_->setObjectName(QStringLiteral("cmdConvert"));
  cmdConvert_->setFont(FormFont(false));
  cmdConvert_->setGeometry(Pixels(kConvert));
  cmdConvert_->setFocusPolicy(Qt::StrongFocus);
  label2_ = WarningLabel(QStringLiteral("Label2"), QString::fromUtf8(kImportantLabel), true,
                         kLabel2, this);
  label3_ = WarningLabel(QStringLiteral("Label3"), QString::fromUtf8(kRunOnceWarning), false,
                         kLabel3, this);
  setTabOrder(cmdConvert_, label2_);
  setTabOrder(label2_, label3_);

  stepCaption_ = new QLabel(this);
  stepCaption_->setObjectName(QStringLiteral("stepCaption"));
  stepCaption_->setTextFormat(Qt::PlainText);
  stepCaption_->setGeometry(kStepCaptionRect);
  stepBar_ = new QProgressBar(this);
  stepBar_->setObjectName(QStringLiteral("stepBar"));
  stepBar_->setGeometry(kStepBarRect);
  stepBar_->setAlignment(Qt::AlignCenter);
  HideProgress();

  connect(cmdConvert_, &QPushButton::clicked, this, &frmMain::StartRun);
  cmdConvert_->setFocus();
}

frmMain::~frmMain() {
  if (worker_ != nullptr) {
    worker_->wait();
    delete worker_;
  }
}

void frmMain::ShowStep(const QString& caption, qint64 rowsDone, qint64 rowsTotal) {
  stepCaption_->setText(caption);
  if (rowsTotal > 0) {
    const qint64 divisor = BarDivisor(rowsTotal);
    stepBar_->setRange(0, static_cast<int>(rowsTotal / divisor));
    stepBar_->setValue(static_cast<int>(qBound<qint64>(0, rowsDone, rowsTotal) / divisor));
    stepBar_->setFormat(QString::fromStdString(RowsText(rowsDone, rowsTotal)));
  } else {
    stepBar_->setRange(0, 0);
    stepBar_->setFormat(QString());
  }
  stepCaption_->show();
  stepBar_->show();
}

void frmMain::ShowStatus(const QString& text) {
  stepCaption_->setText(text);
  stepCaption_->show();
  stepBar_->hide();
}

QString frmMain::statusText() const {
  return stepCaption_->isHidden() ? QString() : stepCaption_->text();
}

void frmMain::HideProgress() {
  stepCaption_->hide();
  stepBar_->hide();
  stepCaption_->clear();
  stepBar_->reset();
}

void frmMain::StartRun() {
  if (worker_ != nullptr) return;
  cmdConvert_->setEnabled(false);
  ShowStep(tr("Converting. Please wait..."), 0, 0);
  worker_ = QThread::create([this] { outcome_ = cmdConvert_Click(); });
  worker_->setObjectName(QStringLiteral("conversion"));
  // Queued to this window's thread, behind everything the run posted.
  connect(worker_, &QThread::finished, this, &frmMain::RunReturned, Qt::QueuedConnection);
  worker_->start();
}

void frmMain::RunReturned() {
  worker_->wait();
  delete worker_;
  worker_ = nullptr;
  HideProgress();
  cmdConvert_->setEnabled(true);
  cmdConvert_->setFocus();
  emit runEnded(outcome_);
}

void frmMain::paintEvent(QPaintEvent* /*event*/) {
  // Drawn at its own size from the top left; the picture is a little wider
  // than the window and its right edge is cut off.
  QPainter painter(this);
  painter.drawPixmap(0, 0, background_);
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (isRunning()) {
    event->ignore();
    QApplication::beep();
    return;
  }
  event->accept();
  emit closedByUser();
}

}  // namespace calmora
