#pragma once
// frmMain: the utility's one window. A warning, one button and, while a
// conversion runs, the step it is at and how far it is.
//
// The click runs cmdConvert_Click on a worker thread, so the window keeps
// painting during a conversion that may take minutes. From the click until
// that run has returned the button is disabled and closing the window is
// refused: a half-done conversion must not be cut off. What the end of a run
// means for the process is the owner's decision (runEnded). Nothing runs
// when the window opens or closes.
//
// The tab order is cmdConvert, Label2, Label3: the controls are created in
// that order and the focus chain is set to it. The labels take no focus, so
// in practice Tab stays on the button.
#include <QPixmap>
#include <QWidget>

#include "driver/Driver.h"

class QCloseEvent;
class QLabel;
class QPaintEvent;
class QProgressBar;
class QThread;

namespace calmora {

class WordWrapButton;

class frmMain : public QWidget {
  Q_OBJECT

 public:
  explicit frmMain(QWidget* parent = nullptr);
  // A run still going is waited for; the owner never lets that happen.
  ~frmMain() override;
  frmMain(const frmMain&) = delete;
  frmMain& operator=(const frmMain&) = delete;

  bool isRunning() const { return worker_ != nullptr; }

  // Shows which step runs and how far it is; rowsTotal 0 for a step that
  // does not walk rows (the bar then only shows that work goes on).
  void ShowStep(const QString& caption, qint64 rowsDone, qint64 rowsTotal);
  // Shows a line of text where the step is shown, without a bar: the
  // summary's closing line, until the run returns.
  void ShowStatus(const QString& text);
  QString statusText() const;

 signals:
  // A run has returned; the button is enabled again.
  void runEnded(calmora::RunOutcome outcome);
  // The user closed the window while no run was going.
  void closedByUser();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void StartRun();
  void RunReturned();
  void HideProgress();

  QPixmap background_;
  WordWrapButton* cmdConvert_;
  QLabel* label2_;
  QLabel* label3_;
  QLabel* stepCaption_;
  QProgressBar* stepBar_;
  QThread* worker_ = nullptr;
  RunOutcome outcome_ = RunOutcome::Finished;  // written by the worker
};

}  // namespace calmora
