#pragma once
// The "current error" that every trapping procedure hands to HandleError:
// number, description, source and the last system error code. Errors of the
// utility's own code are VbError with the classic runtime numbers; engine
// errors and system failures are turned into the same shape by
// CaptureError, so that one handler reports them all alike.
#include <cstdint>
#include <exception>
#include <string>

namespace calmora {

inline constexpr char kProgramSource[] = "CalmoraImport";

// Classic runtime error numbers used by the utility's own code.
namespace vberr {
inline constexpr std::int32_t InvalidProcedureCall = 5;
inline constexpr std::int32_t Overflow = 6;
inline constexpr std::int32_t FileNotFound = 53;
inline constexpr std::int32_t DiskFull = 61;
inline constexpr std::int32_t PermissionDenied = 70;
inline constexpr std::int32_t PathNotFound = 76;
inline constexpr std::int32_t InvalidUseOfNull = 94;
}  // namespace vberr

struct ErrorInfo {
  std::int32_t number = 0;
  std::string description;
  std::string source;
  std::int32_t lastDllError = 0;  // errno of the failed system call, else 0
};

class VbError : public std::exception {
 public:
  explicit VbError(ErrorInfo info) : info_(std::move(info)) {}
  VbError(std::int32_t number, std::string description, std::int32_t lastDllError = 0)
      : info_{number, std::move(description), kProgramSource, lastDllError} {}
  const ErrorInfo& info() const noexcept { return info_; }
  const char* what() const noexcept override { return info_.description.c_str(); }

 private:
  ErrorInfo info_;
};

// The current error of a caught exception: jet::Error keeps its number,
// description and source; std::system_error and filesystem errors become
// 53, 70, 76 or 5 by their errno, which is kept as lastDllError; anything
// else is 5 with its message.
//  - ENOENT is 53 (file not found) when the folder of the missing path
//    exists or no path is known, else 76 (path not found); ENOTDIR is 76;
//    EACCES, EPERM and EROFS are 70; ENOSPC and EDQUOT are 61, "Disk full".
//  - The description of a system failure is the system's reason alone
//    ("No such file or directory"), never the paths: folders below the
//    client folders are named after patients.
ErrorInfo CaptureError(std::exception_ptr error);

// "Error on line... " + line + CR LF + description: the prefix most trapping
// procedures put in front of a description before reporting it.
std::string PrefixLine(int line, const std::string& description);

}  // namespace calmora
