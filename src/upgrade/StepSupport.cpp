#include "upgrade/StepSupport.h"

#include <exception>

#include "diagnostics/ErrorInfo.h"
#include "diagnostics/FrontEnd.h"
#include "diagnostics/modError.h"
#include "engine/Connection.h"
#include "state/RunState.h"

namespace calmora::upgrade {
namespace {

constexpr char kModule[] = "modCommon";
constexpr std::int32_t kObjectNotSet = 91;

}  // namespace

jet::Connection& Db() {
  if (!Run().DbConnection)
    throw VbError(kObjectNotSet, "Object variable or With block variable not set");
  return *Run().DbConnection;
}

void ReportTrapped(const char* procedure, int line) {
  ErrorInfo info = CaptureError(std::current_exception());
  info.description = PrefixLine(line, info.description);
  HandleError(kModule, procedure, info);
}

void ReportTrappedUnchanged(const char* procedure) {
  HandleError(kModule, procedure, CaptureError(std::current_exception()));
}

StepProgress::StepProgress(const char* step, std::int64_t total) : step_(step), total_(total) {
  UI().StepProgress(step_, 0, total_);
}

void StepProgress::RowDone() {
  ++done_;
  if (done_ % kEvery == 0 || done_ == total_) UI().StepProgress(step_, done_, total_);
}

}  // namespace calmora::upgrade
