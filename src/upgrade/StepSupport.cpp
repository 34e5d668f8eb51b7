#include "upgrade/StepSupport.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include "diagnostics/ErrorInfo.h"
#include "diagnostics/FrontEnd.h"
#include "diagnostics/modError.h"
#include "jet/Connection.h"
#include "jet/Value.h"
#include "state/RunState.h"

namespace calmora {
namespace {

constexpr char kModule[] = "modCommon";
constexpr std::int32_t kObjectNotSet = 91;

// The engine's numbers (its SQL states) for a refusal of a row's content:
// too small, overflow, required, zero-length, related record required,
// duplicate, type mismatch, and the syntax errors a value in the statement
// text leads to.
constexpr std::string_view kRowFaultStates[] = {"3163", "3349", "3314", "3315", "3201", "3022",
                                                "3464", "3134", "3144", "3075", "3061", "3346"};

bool IsRowFault(const jet::ErrorEntry& entry) {
  return std::find(std::begin(kRowFaultStates), std::end(kRowFaultStates), entry.sqlState) !=
         std::end(kRowFaultStates);
}

// Whether the failure being handled is the engine refusing a row: an
// engine error whose entries in the connection's collection say so.
bool RefusesTheRow(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const jet::Error& e) {
    const jet::Connection* connection = CurrentRun().DbConnection.get();
    if (connection == nullptr) return false;
    const jet::Errors& errors = connection->errors();
    return std::any_of(errors.begin(), errors.end(), [&e](const jet::ErrorEntry& entry) {
      return entry.number == e.number() && IsRowFault(entry);
    });
  } catch (...) {
    return false;
  }
}

}  // namespace

jet::Connection& PracticeDatabase() {
  if (!CurrentRun().DbConnection)
    throw VbError(kObjectNotSet, "Object variable or With block variable not set");
  return *CurrentRun().DbConnection;
}

void ReportTrapped(const char* procedure, int line) {
  ErrorInfo info = CaptureError(std::current_exception());
  info.description = PrefixLine(line, info.description);
  HandleError(kModule, procedure, info);
}

void ReportTrappedUnchanged(const char* procedure) {
  HandleError(kModule, procedure, CaptureError(std::current_exception()));
}

RowRefusals::RowRefusals(const char* procedure, std::string keyColumn,
                         std::vector<std::string>& keys)
    : procedure_(procedure), keyColumn_(std::move(keyColumn)), keys_(keys) {}

bool RowRefusals::Refuse(int line, const jet::Value& key) {
  const std::exception_ptr failure = std::current_exception();
  if (!RefusesTheRow(failure)) return false;
  keys_.push_back(key.ToText());
  ErrorInfo info = CaptureError(failure);
  info.description += " (row " + keyColumn_ + " " + keys_.back() + ")";
  if (line != 0) info.description = PrefixLine(line, info.description);
  if (boxShown_) {
    LogErrorReport(kModule, procedure_, info);
  } else {
    boxShown_ = true;
    HandleError(kModule, procedure_, info);
  }
  return true;
}

StepProgress::StepProgress(const char* step, std::int64_t total) : step_(step), total_(total) {
  ActiveFrontEnd().StepProgress(step_, 0, total_);
}

void StepProgress::RowDone() {
  ++done_;
  if (done_ % kEvery == 0 || done_ == total_) ActiveFrontEnd().StepProgress(step_, done_, total_);
}

}  // namespace calmora
