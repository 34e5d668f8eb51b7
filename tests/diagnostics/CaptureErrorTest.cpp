// Every kind of failure as the error report takes it: number, reason,
// source and the system's error number, and never a path that names a
// client.
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <system_error>

#include <gtest/gtest.h>

#include "diagnostics/ErrorInfo.h"
#include "jet/Error.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora::testing {
namespace {

namespace fs = std::filesystem;

TEST(CaptureError, EachKindOfFailureGetsItsNumberReasonAndSource) {
  TempDir dir;
  fs::create_directory(dir / "Smith, Jane");
  WriteFileBytes(dir / "notes.txt", "x");
  // Root is not stopped by permissions: these errno values as raised.
  const auto raise = [](int err, const std::error_category& category = std::generic_category()) {
    return [err, &category] { throw std::system_error(err, category, "copy /srv/Smith, Jane/a"); };
  };
  const std::string noSuchFile = "No such file or directory";
  const std::pair<std::function<void()>, ErrorInfo> cases[] = {
      {[] { throw jet::Error(-2147217900, "Syntax error in CREATE TABLE.", jet::kEngineSource); },
       {-2147217900, "Syntax error in CREATE TABLE.", jet::kEngineSource, 0}},
      {[] { throw VbError(vberr::InvalidUseOfNull, "Invalid use of Null"); },
       {94, "Invalid use of Null", kProgramSource, 0}},
      {[] { throw VbError(ErrorInfo{70, "Permission denied", "Other", 13}); }, {70, "Permission denied", "Other", 13}},
      // Real file-system failures below folders named like client folders.
      {[&] { (void)fs::file_size(dir / "Smith, Jane" / "x-ray.bmp"); },
       {vberr::FileNotFound, noSuchFile, kProgramSource, ENOENT}},
      {[&] { (void)fs::file_size(dir / "Smith, John" / "x-ray.bmp"); },
       {vberr::PathNotFound, noSuchFile, kProgramSource, ENOENT}},
      {[&] { fs::create_directory(dir / "notes.txt" / "Smith"); },
       {vberr::PathNotFound, "Not a directory", kProgramSource, ENOTDIR}},
      {raise(EACCES), {vberr::PermissionDenied, "Permission denied", kProgramSource, EACCES}},
      {raise(EPERM), {vberr::PermissionDenied, "Operation not permitted", kProgramSource, EPERM}},
      {raise(EROFS), {vberr::PermissionDenied, "Read-only file system", kProgramSource, EROFS}},
      {raise(ENOENT, std::system_category()), {vberr::FileNotFound, noSuchFile, kProgramSource, ENOENT}},
      {raise(ENOSPC), {vberr::DiskFull, "Disk full", kProgramSource, ENOSPC}},
      {raise(EIO), {vberr::InvalidProcedureCall, "Input/output error", kProgramSource, EIO}},
      {[] { throw std::runtime_error("value out of range"); }, {5, "value out of range", kProgramSource, 0}},
      {[] {  // a stream error is not an errno; its text is the library's own
         std::ifstream in;
         in.exceptions(std::ios::failbit);
         in.open("/nonexistent/Smith.txt");
       }, {5, "", kProgramSource, 0}},
      {[] { throw 42; }, {5, "Invalid procedure call or argument", kProgramSource, 0}},
  };
  for (const auto& [raiseIt, expected] : cases) {
    ErrorInfo e;
    try {
      raiseIt();
      ADD_FAILURE() << "nothing was thrown";
    } catch (...) {
      e = CaptureError(std::current_exception());
    }
    SCOPED_TRACE(e.description);
    EXPECT_EQ(e.number, expected.number);
    if (!expected.description.empty()) {
      EXPECT_EQ(e.description, expected.description);
    }
    EXPECT_EQ(e.description.find("Smith"), std::string::npos);
    EXPECT_EQ(e.source, expected.source);
    EXPECT_EQ(e.lastDllError, expected.lastDllError);
  }
  EXPECT_EQ(CaptureError(nullptr).description, "Invalid procedure call or argument");
}

}  // namespace
}  // namespace calmora::testing
