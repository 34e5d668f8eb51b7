#include "Failure.h"

#include <new>

#include "jet/Connection.h"

namespace jet {

namespace {

std::string Expand(const char* pattern, const std::vector<std::string>& args) {
  std::string out;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (*p == '{' && p[1] >= '0' && p[1] <= '9' && p[2] == '}') {
      const auto index = static_cast<std::size_t>(p[1] - '0');
      if (index < args.size()) out += args[index];
      p += 2;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace

Failure::Failure(ErrorCode code, std::vector<std::string> args, std::int32_t native)
    : code_(code), native_(native), description_(Expand(SpecOf(code).description, args)) {}

Failure Failure::WithDescription(ErrorCode code, std::string description, std::int32_t native) {
  Failure failure(code, {}, native);
  failure.description_ = std::move(description);
  return failure;
}

ErrorEntry Failure::Entry() const {
  const ErrorSpec& spec = SpecOf(code_);
  ErrorEntry entry;
  entry.number = spec.number;
  entry.description = description_;
  entry.source = spec.objectModel ? kObjectModelSource : kEngineSource;
  entry.sqlState = std::to_string(spec.jetNumber);
  entry.nativeError = native_;
  return entry;
}

void Fail(ErrorCode code, std::vector<std::string> args, std::int32_t native) {
  throw Failure(code, std::move(args), native);
}

namespace {

[[noreturn]] void Raise(Errors* errors, const Failure& failure) {
  ErrorEntry entry = failure.Entry();
  if (errors != nullptr && !SpecOf(failure.code()).objectModel) errors->Replace({entry});
  throw Error(entry.number, entry.description, entry.source);
}

}  // namespace

void RaiseHandled(Errors* errors) {
  try {
    throw;
  } catch (const Failure& failure) {
    Raise(errors, failure);
  } catch (const Error&) {
    throw;
  } catch (const std::bad_alloc&) {
    Raise(errors, Failure(ErrorCode::ResourceExceeded));
  } catch (const std::exception& e) {
    Raise(errors, Failure(ErrorCode::Unexpected, {e.what()}));
  } catch (...) {
    Raise(errors, Failure(ErrorCode::Unexpected, {"unknown exception"}));
  }
}

}  // namespace jet
