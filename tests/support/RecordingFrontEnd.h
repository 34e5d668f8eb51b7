#pragma once
// A front end for tests: records every message box, pointer change and
// progress report in the order they arrive, and installs itself as the
// front end for its lifetime (the previous one, or the silent default, is
// put back when it goes). An optional hook runs while a box is "open", so a
// test can look at the world at the moment the user would see it.
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "diagnostics/FrontEnd.h"

namespace calmora::testing {

struct ShownMessage {
  std::string text;
  std::string title;
  MessageIcon icon = MessageIcon::None;
  bool systemModal = false;
  friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
  friend void PrintTo(const ShownMessage& m, std::ostream* out) {
    *out << m.title << " [icon " << static_cast<int>(m.icon) << (m.systemModal ? ", system modal" : "")
         << "]: " << m.text;
  }
};

struct UiEvent {
  enum class Kind { Message, Pointer, FolderCopyProgress, StepProgress };
  Kind kind = Kind::Message;
  ShownMessage message;                           // Kind::Message
  MousePointer pointer = MousePointer::Default;   // Kind::Pointer
  std::string step;                               // Kind::StepProgress
  std::int64_t done = 0, total = 0;               // both progress kinds
};

class RecordingFrontEnd : public FrontEnd {
 public:
  RecordingFrontEnd();
  ~RecordingFrontEnd() override;
  RecordingFrontEnd(const RecordingFrontEnd&) = delete;
  RecordingFrontEnd& operator=(const RecordingFrontEnd&) = delete;
  void ShowMessage(std::string_view text, std::string_view title, MessageIcon icon,
                   bool systemModal = false) override;
  void SetPointer(MousePointer pointer) override;
  void FolderCopyProgress(std::int64_t filesDone, std::int64_t filesTotal) override;
  void StepProgress(std::string_view step, std::int64_t rowsDone,
                    std::int64_t rowsTotal) override;

  // Everything, in order; then only the boxes, only the pointer changes.
  const std::vector<UiEvent>& events() const { return events_; }
  const std::vector<ShownMessage>& messages() const { return messages_; }
  const std::vector<MousePointer>& pointers() const { return pointers_; }
  MousePointer currentPointer() const { return current_; }
  void clear();

  // Called inside ShowMessage, after the box was recorded.
  std::function<void(const ShownMessage&)> onShow;

 private:
  std::vector<UiEvent> events_;
  std::vector<ShownMessage> messages_;
  std::vector<MousePointer> pointers_;
  MousePointer current_ = MousePointer::Default;
  FrontEnd* previous_ = nullptr;
};

}  // namespace calmora::testing
