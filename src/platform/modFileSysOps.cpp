#include "platform/modFileSysOps.h"

#include <fmt/format.h>

#include <exception>
#include <system_error>

#include "diagnostics/ErrorInfo.h"
#include "diagnostics/FrontEnd.h"
#include "diagnostics/modError.h"
#include "os/FileSystem.h"

namespace calmora {
namespace {

constexpr char kModule[] = "modFileSysOps";

// The report of an unfinished copy. It names no path: the copied folder
// and everything below it are named after patients.
std::string DescribeUnfinishedCopy(const TreeCopyResult& result, const std::string& reason) {
  if (result.sourceUnreadable) {
    return fmt::format("The folder could not be copied: {}. Nothing was copied.", reason);
  }
  std::string text =
      fmt::format("The folder copy did not complete: {}. Files not copied: {} of {}.", reason,
                  result.filesNotCopied, result.filesTotal);
  if (result.foldersNotCopied > 0) {
    text += fmt::format(" Folders not created or read: {}.", result.foldersNotCopied);
  }
  return text;
}

}  // namespace

void VBCopyFolder(const std::string& source, const std::string& destination) {
  const TreeCopyResult result =
      CopyTree(source, destination,
               [](std::int64_t done, std::int64_t total) { ActiveFrontEnd().FolderCopyProgress(done, total); });
  if (result.Complete()) return;

  // The number, reason and system error code follow the failure's errno like
  // any other system failure (a full disk is 61, "Disk full"); the
  // description around the reason is this copy's own.
  ErrorInfo error = CaptureError(std::make_exception_ptr(std::system_error(result.firstError)));
  error.description = PrefixLine(80, DescribeUnfinishedCopy(result, error.description));
  HandleError(kModule, "VBCopyFolder", error);
}

bool IsADirectory(const std::string& path) {
  try {
    return PathIsDirectory(path);
  } catch (...) {
    ErrorInfo error = CaptureError(std::current_exception());
    error.description = PrefixLine(20, error.description);
    HandleError(kModule, "IsADirectory", error);
    return false;
  }
}

}  // namespace calmora
