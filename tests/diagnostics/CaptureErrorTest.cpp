#include <cerrno>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include <gtest/gtest.h>

#include "diagnostics/ErrorInfo.h"
#include "engine/Error.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora::testing {
namespace {

template <typename Action>
ErrorInfo Capture(Action action) {
  try {
    action();
  } catch (...) {
    return CaptureError(std::current_exception());
  }
  ADD_FAILURE() << "nothing was thrown";
  return {};
}

TEST(CaptureError, EngineAndProgramErrorsKeepTheirOwnFields) {
  ErrorInfo e = Capture([] {
    throw jet::Error(-2147217900, "Syntax error in CREATE TABLE statement.", jet::kEngineSource);
  });
  EXPECT_EQ(e.number, -2147217900);
  EXPECT_EQ(e.description, "Syntax error in CREATE TABLE statement.");
  EXPECT_EQ(e.source, jet::kEngineSource);
  EXPECT_EQ(e.lastDllError, 0);

  e = Capture([] { throw VbError(vberr::InvalidUseOfNull, "Invalid use of Null"); });
  EXPECT_EQ(e.number, 94);
  EXPECT_EQ(e.description, "Invalid use of Null");
  EXPECT_EQ(e.source, kProgramSource);

  e = Capture([] { throw VbError(ErrorInfo{70, "Permission denied", "Other", 13}); });
  EXPECT_EQ(e.number, 70);
  EXPECT_EQ(e.source, "Other");
  EXPECT_EQ(e.lastDllError, 13);
}

// Real failures of the file system, under folders named like client folders.
TEST(CaptureError, MissingFileOrFolderBySystemReasonWithoutThePath) {
  TempDir dir;
  std::filesystem::create_directory(dir / "Smith, Jane");

  ErrorInfo e = Capture([&] { (void)std::filesystem::file_size(dir / "Smith, Jane" / "x-ray.bmp"); });
  EXPECT_EQ(e.number, vberr::FileNotFound);
  EXPECT_EQ(e.lastDllError, ENOENT);
  EXPECT_EQ(e.description, "No such file or directory");
  EXPECT_EQ(e.source, kProgramSource);

  e = Capture([&] { (void)std::filesystem::file_size(dir / "Doe, John" / "x-ray.bmp"); });
  EXPECT_EQ(e.number, vberr::PathNotFound);
  EXPECT_EQ(e.lastDllError, ENOENT);
  EXPECT_EQ(e.description.find("Doe"), std::string::npos);

  WriteFileBytes(dir / "notes.txt", "x");
  e = Capture([&] { std::filesystem::create_directory(dir / "notes.txt" / "Smith"); });
  EXPECT_EQ(e.number, vberr::PathNotFound);
  EXPECT_EQ(e.lastDllError, ENOTDIR);
  EXPECT_EQ(e.description, "Not a directory");
}

TEST(CaptureError, SystemErrorsByErrno) {
  // Root is not stopped by permissions, so these carry the errno as the
  // file-system layer would raise it.
  for (int err : {EACCES, EPERM, EROFS}) {
    ErrorInfo e = Capture([err] {
      throw std::system_error(err, std::generic_category(), "copy /srv/Smith, Jane/a.doc");
    });
    EXPECT_EQ(e.number, vberr::PermissionDenied) << err;
    EXPECT_EQ(e.lastDllError, err);
    EXPECT_EQ(e.description, std::generic_category().message(err));
  }
  ErrorInfo e = Capture([] { throw std::system_error(ENOENT, std::system_category(), "open"); });
  EXPECT_EQ(e.number, vberr::FileNotFound);
  e = Capture([] { throw std::system_error(EIO, std::generic_category(), "read"); });
  EXPECT_EQ(e.number, vberr::InvalidProcedureCall);
  EXPECT_EQ(e.lastDllError, EIO);
  EXPECT_EQ(e.description, "Input/output error");
}

TEST(CaptureError, AnythingElseIsAnInvalidProcedureCall) {
  ErrorInfo e = Capture([] { throw std::runtime_error("value out of range"); });
  EXPECT_EQ(e.number, 5);
  EXPECT_EQ(e.description, "value out of range");
  EXPECT_EQ(e.source, kProgramSource);
  EXPECT_EQ(e.lastDllError, 0);

  // A stream error is not an errno.
  e = Capture([] {
    std::ifstream in;
    in.exceptions(std::ios::failbit);
    in.open("/nonexistent/Smith.txt");
  });
  EXPECT_EQ(e.number, 5);
  EXPECT_EQ(e.lastDllError, 0);
  EXPECT_EQ(e.description.find("Smith"), std::string::npos);

  e = Capture([] { throw 42; });
  EXPECT_EQ(e.number, 5);
  EXPECT_EQ(e.description, "Invalid procedure call or argument");
  EXPECT_EQ(e.source, kProgramSource);
  EXPECT_EQ(CaptureError(nullptr).description, "Invalid procedure call or argument");
}

}  // namespace
}  // namespace calmora::testing
