#include "support/RecordingFrontEnd.h"

namespace calmora::testing {

RecordingFrontEnd::RecordingFrontEnd() : previous_(&ActiveFrontEnd()) { InstallFrontEnd(this); }

RecordingFrontEnd::~RecordingFrontEnd() {
  // Whatever was there before comes back, the silent default included.
  InstallFrontEnd(previous_);
}

void RecordingFrontEnd::ShowMessage(std::string_view text, std::string_view title,
                                    MessageIcon icon, bool systemModal) {
  UiEvent e;
  e.kind = UiEvent::Kind::Message;
  e.message = ShownMessage{std::string(text), std::string(title), icon, systemModal};
  events_.push_back(e);
  messages_.push_back(e.message);
  if (onShow) onShow(e.message);
}

void RecordingFrontEnd::SetPointer(MousePointer pointer) {
  UiEvent e;
  e.kind = UiEvent::Kind::Pointer;
  e.pointer = pointer;
  events_.push_back(e);
  pointers_.push_back(pointer);
  current_ = pointer;
}

void RecordingFrontEnd::FolderCopyProgress(std::int64_t filesDone, std::int64_t filesTotal) {
  UiEvent e;
  e.kind = UiEvent::Kind::FolderCopyProgress;
  e.done = filesDone;
  e.total = filesTotal;
  events_.push_back(e);
}

void RecordingFrontEnd::StepProgress(std::string_view step, std::int64_t rowsDone,
                                     std::int64_t rowsTotal) {
  UiEvent e;
  e.kind = UiEvent::Kind::StepProgress;
  e.step = std::string(step);
  e.done = rowsDone;
  e.total = rowsTotal;
  events_.push_back(e);
}

void RecordingFrontEnd::clear() {
  events_.clear();
  messages_.clear();
  pointers_.clear();
}

}  // namespace calmora::testing
