#pragma once
// The engine's internal failure: an error kind, its name arguments and the
// storage library's code. Thrown inside the engine and turned into the one
// public jet::Error at the API boundary (Guard), which also fills the
// connection's error collection unless the failure is the object model's.
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "jet/Error.h"
#include "ErrorTable.h"

namespace jet {

class Errors;

class Failure : public std::exception {
 public:
  Failure(ErrorCode code, std::vector<std::string> args = {}, std::int32_t native = 0);
  // A failure whose description was written out already (by a rule kept in
  // the file, which carries the full text for every client).
  static Failure WithDescription(ErrorCode code, std::string description, std::int32_t native);
  ErrorCode code() const noexcept { return code_; }
  std::int32_t native() const noexcept { return native_; }
  const std::string& description() const noexcept { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }
  ErrorEntry Entry() const;

 private:
  ErrorCode code_;
  std::int32_t native_;
  std::string description_;
};

[[noreturn]] void Fail(ErrorCode code, std::vector<std::string> args = {},
                       std::int32_t native = 0);

// For use inside a catch block: raises the exception being handled as a
// jet::Error. Engine failures first replace `errors` (when given) with their
// entry; unexpected exceptions become engine failures too.
[[noreturn]] void RaiseHandled(Errors* errors);

// Runs `body`; any failure leaves as a jet::Error (see RaiseHandled). A
// template, so that the calls on every field of every row build nothing.
template <typename Body>
void Guard(Errors* errors, Body&& body) {
  try {
    body();
  } catch (...) {
    RaiseHandled(errors);
  }
}

}  // namespace jet
