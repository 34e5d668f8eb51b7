#pragma once
// What the conversion needs from whichever front end runs it: message
// boxes (OK only), the application's mouse pointer and progress. The window
// and the terminal front end implement it; tests implement it to record
// what was shown. The conversion never depends on a particular front end.
#include <cstdint>
#include <string_view>

namespace calmora {

enum class MessageIcon { None, Critical, Exclamation };
enum class MousePointer { Default = 0, Hourglass = 11 };

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // Shows a modal box with one OK button; returns once OK was pressed.
  // systemModal: the box stays on top of every window (error reports).
  virtual void ShowMessage(std::string_view text, std::string_view title,
                           MessageIcon icon, bool systemModal = false) = 0;
  virtual void SetPointer(MousePointer pointer) = 0;
  // A folder-tree copy: called with 0 of total when it starts and with
  // total of total when it ends. No file names: they name patients.
  virtual void FolderCopyProgress(std::int64_t filesDone, std::int64_t filesTotal) = 0;
  // An upgrade step (its procedure name) is at rowsDone of rowsTotal;
  // rowsTotal 0 for steps that do not walk rows.
  virtual void StepProgress(std::string_view step, std::int64_t rowsDone,
                            std::int64_t rowsTotal) = 0;
  // The conversion summary was written; its closing line says whether every
  // row is accounted for. Shown by the front ends that have a place for it.
  virtual void SummaryWritten(std::string_view /*closingLine*/) {}
};

// The installed front end; a silent one that shows nothing until a front
// end is installed. The caller keeps ownership of what it installs.
FrontEnd& ActiveFrontEnd();
void InstallFrontEnd(FrontEnd* frontEnd);

}  // namespace calmora
