#pragma once
// The one door to the operating system for everything the conversion does
// with files, folders, programs and system figures. The real environment
// passes each call to the system; a test installs a wrapper in its place
// (FaultInjectingEnv) to make any chosen call fail as a full disk, a broken
// disk, a refusal or a vanished file would, as root too.
//
// Every call answers an error code carrying the errno of the failure (empty
// on success) and never throws; what a failure means is the caller's
// affair. Files opened for writing are never inherited by programs started
// later (close-on-exec).
#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "os/ProgramStart.h"
#include "os/SystemFigures.h"

namespace calmora {

enum class FileKind { Regular, Directory, Other };

// What stat (or lstat) tells of a path.
struct FileInfo {
  FileKind kind = FileKind::Other;
  bool isLink = false;  // only ever true when links are not followed
  dev_t device = 0;
  ino_t inode = 0;
  mode_t permissions = 0;  // the permission bits alone
  uid_t owner = 0;
  gid_t group = 0;
  timespec modified{};
};

class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads up to capacity bytes; got 0 at the end of the file.
  virtual std::error_code Read(char* buffer, std::size_t capacity, std::size_t& got) = 0;
};

class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Writes all of data or fails; a short write of a full disk is ENOSPC.
  virtual std::error_code Append(std::string_view data) = 0;
  // Makes what was written durable.
  virtual std::error_code Sync() = 0;
  // Closes the file; further calls fail with EBADF. The destructor closes
  // a file not closed and ignores the outcome.
  virtual std::error_code Close() = 0;
};

class Env {
 public:
  virtual ~Env() = default;

  // followLinks false: a link is described itself (isLink set).
  virtual std::error_code Status(const std::string& path, bool followLinks, FileInfo& info) = 0;
  // Every name in the folder but "." and "..", in the order the system gives.
  virtual std::error_code ReadFolder(const std::string& path,
                                     std::vector<std::string>& names) = 0;
  // One folder; EEXIST when something is there already.
  virtual std::error_code CreateFolder(const std::string& path) = 0;
  virtual std::error_code OpenForReading(const std::string& path,
                                         std::unique_ptr<ReadableFile>& file) = 0;
  // Creates the file, or empties the one there.
  virtual std::error_code OpenForWriting(const std::string& path,
                                         std::unique_ptr<WritableFile>& file) = 0;
  virtual std::error_code RemoveFile(const std::string& path) = 0;
  virtual std::error_code Rename(const std::string& from, const std::string& to) = 0;
  virtual std::error_code SetModifiedTime(const std::string& path, const timespec& time) = 0;
  virtual std::error_code SetOwner(const std::string& path, uid_t owner, gid_t group) = 0;
  virtual std::error_code SetPermissions(const std::string& path, mode_t permissions) = 0;

  virtual ProgramStartResult StartProgram(const std::string& path,
                                          const std::string& workingDirectory) = 0;
  // nullopt when the figures cannot be read.
  virtual std::optional<MemoryStatus> ReadMemory() = 0;
  virtual std::string SystemVersionLine() = 0;
};

// The environment every operation of the conversion goes through: the real
// one unless a test installed another.
Env& CurrentEnv();
// The real environment, for wrappers to pass calls on to.
Env& RealEnv();
// Installs env (nullptr: the real one again); the caller keeps ownership.
void InstallEnv(Env* env);

}  // namespace calmora
