#include "diagnostics/FrontEnd.h"

namespace calmora {
namespace {

// Until a front end is installed nothing is shown; a box "returns" at once.
class SilentFrontEnd final : public FrontEnd {
 public:
  void ShowMessage(std::string_view, std::string_view, MessageIcon, bool) override {}
  void SetPointer(MousePointer) override {}
  void FolderCopyProgress(std::int64_t, std::int64_t) override {}
  void StepProgress(std::string_view, std::int64_t, std::int64_t) override {}
};

SilentFrontEnd& Silent() {
  static SilentFrontEnd silent;
  return silent;
}

FrontEnd* installed = nullptr;

}  // namespace

FrontEnd& ActiveFrontEnd() { return installed != nullptr ? *installed : Silent(); }

void InstallFrontEnd(FrontEnd* frontEnd) { installed = frontEnd; }

}  // namespace calmora
