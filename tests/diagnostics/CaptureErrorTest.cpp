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

struct CaptureCase {
  const char* what;
  std::function<void()> raise;
  ErrorInfo expected;  // an empty description: any text that names no client
};

TEST(CaptureError, EachKindOfFailureGetsItsNumberReasonAndSource) {
  TempDir dir;
  fs::create_directory(dir / "Smith, Jane");
  WriteFileBytes(dir / "notes.txt", "x");
  const auto systemError = [](int err, const std::error_category& category) {
    return [err, &category] { throw std::system_error(err, category, "copy /srv/Smith, Jane/a"); };
  };
  const std::string noSuchFile = "No such file or directory";
  const std::string invalidCall = "Invalid procedure call or argument";
  const CaptureCase cases[] = {
      {"engine",
       [] { throw jet::Error(-2147217900, "Syntax error in CREATE TABLE.", jet::kEngineSource); },
       {-2147217900, "Syntax error in CREATE TABLE.", jet::kEngineSource, 0}},
      {"own", [] { throw VbError(vberr::InvalidUseOfNull, "Invalid use of Null"); },
       {94, "Invalid use of Null", kProgramSource, 0}},
      {"own, all fields", [] { throw VbError(ErrorInfo{70, "Permission denied", "Other", 13}); },
       {70, "Permission denied", "Other", 13}},
      // Real file-system failures below folders named like client folders.
      {"missing file", [&] { (void)fs::file_size(dir / "Smith, Jane" / "x-ray.bmp"); },
       {vberr::FileNotFound, noSuchFile, kProgramSource, ENOENT}},
      {"missing folder", [&] { (void)fs::file_size(dir / "Smith, John" / "x-ray.bmp"); },
       {vberr::PathNotFound, noSuchFile, kProgramSource, ENOENT}},
      {"file as folder", [&] { fs::create_directory(dir / "notes.txt" / "Smith"); },
       {vberr::PathNotFound, "Not a directory", kProgramSource, ENOTDIR}},
      // Root is not stopped by permissions: these errno values as raised.
      {"EACCES", systemError(EACCES, std::generic_category()),
       {vberr::PermissionDenied, "Permission denied", kProgramSource, EACCES}},
      {"EPERM", systemError(EPERM, std::generic_category()),
       {vberr::PermissionDenied, "Operation not permitted", kProgramSource, EPERM}},
      {"EROFS", systemError(EROFS, std::generic_category()),
       {vberr::PermissionDenied, "Read-only file system", kProgramSource, EROFS}},
      {"ENOENT", systemError(ENOENT, std::system_category()),
       {vberr::FileNotFound, noSuchFile, kProgramSource, ENOENT}},
      {"EIO", systemError(EIO, std::generic_category()),
       {vberr::InvalidProcedureCall, "Input/output error", kProgramSource, EIO}},
      {"other", [] { throw std::runtime_error("value out of range"); },
       {5, "value out of range", kProgramSource, 0}},
      {"stream", [] {  // a stream error is not an errno
         std::ifstream in;
         in.exceptions(std::ios::failbit);
         in.open("/nonexistent/Smith.txt");
       }, {5, "", kProgramSource, 0}},
      {"not an exception", [] { throw 42; }, {5, invalidCall, kProgramSource, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ErrorInfo e;
    try {
      c.raise();
      ADD_FAILURE() << "nothing was thrown";
    } catch (...) {
      e = CaptureError(std::current_exception());
    }
    EXPECT_EQ(e.number, c.expected.number);
    if (!c.expected.description.empty()) {
      EXPECT_EQ(e.description, c.expected.description);
    }
    EXPECT_EQ(e.description.find("Smith"), std::string::npos) << e.description;
    EXPECT_EQ(e.source, c.expected.source);
    EXPECT_EQ(e.lastDllError, c.expected.lastDllError);
  }
  EXPECT_EQ(CaptureError(nullptr).description, invalidCall);
}

}  // namespace
}  // namespace calmora::testing
