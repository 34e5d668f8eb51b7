#pragma once
// The window's side of FrontEnd. The conversion calls it from its worker
// thread; every call is carried to the window's thread. A message box
// blocks the caller until OK is pressed. Pointer and progress calls are
// queued in order; row progress is coalesced, so a step that reports every
// row cannot flood the window's event queue (the newest report wins).
// Calls made on the window's thread itself are served directly.
//
// Message boxes: modal to the application, OK only, text shown as plain
// text (an error description can hold anything), system-modal ones kept
// above every window. The busy pointer is the application's override
// cursor; a box shows the ordinary arrow while it is open.
// Copy progress: one progress window per folder-tree copy, with counts and
// no file names, and no cancel button: a copy is not stopped half way.
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "diagnostics/FrontEnd.h"

class QProgressDialog;

namespace calmora {

class frmMain;

class QtFrontEnd final : public QObject, public FrontEnd {
  Q_OBJECT

 public:
  // Lives on the window's thread and shows everything over the window.
  explicit QtFrontEnd(frmMain& window);
  ~QtFrontEnd() override;
  QtFrontEnd(const QtFrontEnd&) = delete;
  QtFrontEnd& operator=(const QtFrontEnd&) = delete;

  void ShowMessage(std::string_view text, std::string_view title, MessageIcon icon,
                   bool systemModal = false) override;
  void SetPointer(MousePointer pointer) override;
  void FolderCopyProgress(std::int64_t filesDone, std::int64_t filesTotal) override;
  void StepProgress(std::string_view step, std::int64_t rowsDone,
                    std::int64_t rowsTotal) override;
  // The closing line goes into the window's status text.
  void SummaryWritten(std::string_view closingLine) override;

  // After a run has returned: default pointer, no copy window left open.
  void RunEnded();

  // The copy progress window, once a copy has started (for inspection).
  QProgressDialog* copyProgress() const;

 private:
  bool OnWindowThread() const;
  void ShowMessageNow(const QString& text, const QString& title, MessageIcon icon,
                      bool systemModal);
  void SetPointerNow(MousePointer pointer);
  void CopyProgressNow(std::int64_t filesDone, std::int64_t filesTotal);
  void ApplyPendingStep();

  frmMain& window_;
  QPointer<QProgressDialog> copyDialog_;

  // The newest row progress not yet shown, written by the run's thread.
  struct PendingStep {
    std::string step;
    std::int64_t rowsDone = 0;
    std::int64_t rowsTotal = 0;
  };
  std::mutex pendingMutex_;
  PendingStep pending_;
  bool stepUpdateQueued_ = false;
};

}  // namespace calmora
