#include "support/RecordingFrontEnd.h"

namespace calmora::testing {

RecordingFrontEnd::RecordingFrontEnd() : previous_(&ActiveFrontEnd()) { InstallFrontEnd(this); }

// Whatever was there before comes back, the silent default included.
RecordingFrontEnd::~RecordingFrontEnd() { InstallFrontEnd(previous_); }

void RecordingFrontEnd::ShowMessage(std::string_view text, std::string_view title,
                                    MessageIcon icon, bool systemModal) {
  messages_.push_back({std::string(text), std::string(title), icon, systemModal});
  events_.push_back({UiEvent::Kind::Message, messages_.back(), MousePointer::Default, {}, 0, 0});
  if (onShow) onShow(messages_.back());
}

void RecordingFrontEnd::SetPointer(MousePointer pointer) {
  events_.push_back({UiEvent::Kind::Pointer, {}, pointer, {}, 0, 0});
  pointers_.push_back(current_ = pointer);
}

void RecordingFrontEnd::FolderCopyProgress(std::int64_t filesDone, std::int64_t filesTotal) {
  events_.push_back({UiEvent::Kind::FolderCopyProgress, {}, MousePointer::Default, {}, filesDone, filesTotal});
}

void RecordingFrontEnd::StepProgress(std::string_view step, std::int64_t rowsDone, std::int64_t rowsTotal) {
  events_.push_back({UiEvent::Kind::StepProgress, {}, MousePointer::Default, std::string(step), rowsDone, rowsTotal});
}

void RecordingFrontEnd::clear() { events_.clear(), messages_.clear(), pointers_.clear(); }

}  // namespace calmora::testing
