#include "window/QtFrontEnd.h"

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QThread>
#include <limits>

#include "driver/FrontEndTexts.h"
#include "window/frmMain.h"

namespace calmora {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Texts carry CR LF line ends, as the log does.
QString BoxText(std::string_view text) {
  return FromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

int ScaledCount(std::int64_t count, std::int64_t total) {
  const std::int64_t divisor = total / std::numeric_limits<int>::max() + 1;
  return static_cast<int>(count / divisor);
}

}  // namespace

QtFrontEnd::QtFrontEnd(frmMain& window) : QObject(nullptr), window_(window) {}

QtFrontEnd::~QtFrontEnd() { delete copyDialog_.data(); }

QProgressDialog* QtFrontEnd::copyProgress() const { return copyDialog_.data(); }

bool QtFrontEnd::OnWindowThread() const { return QThread::currentThread() == thread(); }

void QtFrontEnd::ShowMessage(std::string_view text, std::string_view title, MessageIcon icon,
                             bool systemModal) {
  const QString boxText = BoxText(text);
  const QString boxTitle = FromUtf8(title);
  if (OnWindowThread()) {
    ShowMessageNow(boxText, boxTitle, icon, systemModal);
    return;
  }
  QMetaObject::invokeMethod(
      this, [&] { ShowMessageNow(boxText, boxTitle, icon, systemModal); },
      Qt::BlockingQueuedConnection);
}

void QtFrontEnd::ShowMessageNow(const QString& text, const QString& title, MessageIcon icon,
                                bool systemModal) {
  QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Ok, &window_);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  if (systemModal) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  // The busy pointer belongs to the window's work, not to a box that waits
  // for a click.
  const bool busy = QApplication::overrideCursor() != nullptr;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  box.exec();
  if (busy) QApplication::restoreOverrideCursor();
}

void QtFrontEnd::SetPointer(MousePointer pointer) {
  QMetaObject::invokeMethod(this, [this, pointer] { SetPointerNow(pointer); },
                            Qt::AutoConnection);
}

void QtFrontEnd::SetPointerNow(MousePointer pointer) {
  // One pointer for the application, as a property: setting it twice and
  // back once leaves the default.
  if (pointer == MousePointer::Hourglass) {
    if (QApplication::overrideCursor() != nullptr) {
      QApplication::changeOverrideCursor(Qt::WaitCursor);
    } else {
      QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    return;
  }
  while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
}

void QtFrontEnd::FolderCopyProgress(std::int64_t filesDone, std::int64_t filesTotal) {
  QMetaObject::invokeMethod(
      this, [this, filesDone, filesTotal] { CopyProgressNow(filesDone, filesTotal); },
      Qt::AutoConnection);
}

void QtFrontEnd::CopyProgressNow(std::int64_t filesDone, std::int64_t filesTotal) {
  if (filesDone >= filesTotal) {
    if (copyDialog_ != nullptr) copyDialog_->reset();
    return;
  }
  if (copyDialog_ == nullptr) {
    copyDialog_ = new QProgressDialog(&window_);
    copyDialog_->setObjectName(QStringLiteral("copyProgress"));
    copyDialog_->setWindowTitle(tr("Copying..."));
    copyDialog_->setLabelText(tr("Copying files from Calmora V3.1 to Calmora 2014"));
    copyDialog_->setCancelButton(nullptr);
    copyDialog_->setMinimumDuration(0);
    copyDialog_->setAutoClose(true);
    copyDialog_->setAutoReset(true);
    copyDialog_->setWindowModality(Qt::NonModal);
  }
  copyDialog_->setMaximum(ScaledCount(filesTotal, filesTotal));
  copyDialog_->setValue(ScaledCount(qMax<std::int64_t>(0, filesDone), filesTotal));
  copyDialog_->show();
}

void QtFrontEnd::StepProgress(std::string_view step, std::int64_t rowsDone,
                              std::int64_t rowsTotal) {
  {
    std::lock_guard<std::mutex> lock(pendingMutex_);
    pending_.step.assign(step);
    pending_.rowsDone = rowsDone;
    pending_.rowsTotal = rowsTotal;
    if (stepUpdateQueued_) return;
    stepUpdateQueued_ = true;
  }
  QMetaObject::invokeMethod(this, [this] { ApplyPendingStep(); }, Qt::QueuedConnection);
}

void QtFrontEnd::ApplyPendingStep() {
  PendingStep newest;
  {
    std::lock_guard<std::mutex> lock(pendingMutex_);
    newest = pending_;
    stepUpdateQueued_ = false;
  }
  window_.ShowStep(QString::fromStdString(DescribeStep(newest.step)), newest.rowsDone,
                   newest.rowsTotal);
}

void QtFrontEnd::SummaryWritten(std::string_view closingLine) {
  const QString text = FromUtf8(closingLine);
  QMetaObject::invokeMethod(this, [this, text] { window_.ShowStatus(text); },
                            Qt::AutoConnection);
}

void QtFrontEnd::RunEnded() {
  SetPointerNow(MousePointer::Default);
  if (copyDialog_ != nullptr) copyDialog_->reset();
}

}  // namespace calmora
