#include "diagnostics/ErrorInfo.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "jet/Error.h"

namespace calmora {
namespace {

// Whether a missing path is the file itself (its folder exists) or a folder
// on the way to it.
bool FolderOfPathExists(const std::filesystem::path& missing) {
  std::filesystem::path parent = missing.parent_path();
  if (parent.empty()) return true;  // relative to the working directory
  std::error_code ec;
  return std::filesystem::is_directory(parent, ec);
}

std::int32_t NumberForErrno(int err, bool fileItselfMissing) {
  switch (err) {
    case ENOENT:
      return fileItselfMissing ? vberr::FileNotFound : vberr::PathNotFound;
    case ENOTDIR:
      return vberr::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return vberr::PermissionDenied;
    case ENOSPC:
    case EDQUOT:
      return vberr::DiskFull;
    default:
      return vberr::InvalidProcedureCall;
  }
}

bool IsErrnoCategory(const std::error_code& code) {
  return code.category() == std::generic_category() ||
         code.category() == std::system_category();
}

// The system's reason alone: the what() of these exceptions carries paths,
// and paths below the client folders name patients.
ErrorInfo FromErrno(const std::error_code& code, bool fileItselfMissing) {
  const int err = code.value();
  const std::int32_t number = NumberForErrno(err, fileItselfMissing);
  // The runtime's own words for a full disk, which support knows.
  std::string reason =
      number == vberr::DiskFull ? "Disk full" : std::generic_category().message(err);
  return ErrorInfo{number, std::move(reason), kProgramSource, err};
}

}  // namespace

ErrorInfo CaptureError(std::exception_ptr error) {
  try {
    if (error) std::rethrow_exception(error);
  } catch (const VbError& e) {
    return e.info();
  } catch (const jet::Error& e) {
    return ErrorInfo{e.number(), e.description(), e.source(), 0};
  } catch (const std::filesystem::filesystem_error& e) {
    if (IsErrnoCategory(e.code()))
      return FromErrno(e.code(), e.path1().empty() || FolderOfPathExists(e.path1()));
    return ErrorInfo{vberr::InvalidProcedureCall, e.code().message(), kProgramSource, 0};
  } catch (const std::system_error& e) {
    if (IsErrnoCategory(e.code())) return FromErrno(e.code(), true);
    return ErrorInfo{vberr::InvalidProcedureCall, e.code().message(), kProgramSource, 0};
  } catch (const std::exception& e) {
    return ErrorInfo{vberr::InvalidProcedureCall, e.what(), kProgramSource, 0};
  } catch (...) {
  }
  return ErrorInfo{vberr::InvalidProcedureCall, "Invalid procedure call or argument",
                   kProgramSource, 0};
}

std::string PrefixLine(int line, const std::string& description) {
  return "Error on line... " + std::to_string(line) + "\r\n" + description;
}

}  // namespace calmora
