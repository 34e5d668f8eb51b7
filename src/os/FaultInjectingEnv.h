#pragma once
// An environment for tests that passes every call on to another (the real
// one by default) and makes chosen calls fail: the nth call of a kind,
// optionally only among calls whose path holds a given text. A failed call
// does nothing at all, as if the system had refused it at once. Faults:
// a full disk (ENOSPC), a broken disk (EIO), a refusal (EACCES) and a file
// that vanished (ENOENT); they work as root too, where permissions do not.
//
// It installs itself as the current environment for its lifetime and puts
// the previous one back when it goes. Every call is counted, failed or not,
// so a test can first count a run's calls and then fail each in turn.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "os/Env.h"

namespace calmora {

enum class Fault { DiskFull, IoError, PermissionRefused, Vanished };

// The kinds of call, one per operation of Env and of its files.
enum class Call {
  Status, ReadFolder, CreateFolder, OpenForReading, Read, OpenForWriting, Write, Sync,
  Close, RemoveFile, Rename, SetModifiedTime, SetOwner, SetPermissions, StartProgram,
  ReadMemory, SystemVersionLine,
};
inline constexpr std::size_t kCallKinds = static_cast<std::size_t>(Call::SystemVersionLine) + 1;

std::error_code ErrorFor(Fault fault);
const char* NameOf(Call call);
const char* NameOf(Fault fault);

class FaultInjectingEnv final : public Env {
 public:
  explicit FaultInjectingEnv(Env& base = RealEnv());
  ~FaultInjectingEnv() override;
  FaultInjectingEnv(const FaultInjectingEnv&) = delete;
  FaultInjectingEnv& operator=(const FaultInjectingEnv&) = delete;

  // The nth (from 1) call of that kind whose path holds pathPart fails;
  // with `andAfter`, every later such call fails too (a disk that stays
  // full). Reads, writes, syncs and closes take the path their file was
  // opened with.
  void Fail(Call call, int nth, Fault fault, std::string pathPart = {}, bool andAfter = false);
  // Forgets the planned faults and the counts.
  void Reset();

  // Calls of that kind so far, and how many were made to fail.
  int Calls(Call call) const { return calls_[Index(call)]; }
  int Failed() const { return failed_; }

  std::error_code Status(const std::string& path, bool followLinks, FileInfo& info) override;
  std::error_code ReadFolder(const std::string& path, std::vector<std::string>& names) override;
  std::error_code CreateFolder(const std::string& path) override;
  std::error_code OpenForReading(const std::string& path,
                                 std::unique_ptr<ReadableFile>& file) override;
  std::error_code OpenForWriting(const std::string& path,
                                 std::unique_ptr<WritableFile>& file) override;
  std::error_code RemoveFile(const std::string& path) override;
  std::error_code Rename(const std::string& from, const std::string& to) override;
  std::error_code SetModifiedTime(const std::string& path, const timespec& time) override;
  std::error_code SetOwner(const std::string& path, uid_t owner, gid_t group) override;
  std::error_code SetPermissions(const std::string& path, mode_t permissions) override;
  ProgramStartResult StartProgram(const std::string& path,
                                  const std::string& workingDirectory) override;
  std::optional<MemoryStatus> ReadMemory() override;
  std::string SystemVersionLine() override;

  // Counts the call and answers the fault planned for it, if any. Used by
  // the files it hands out, too.
  std::error_code Consider(Call call, const std::string& path);

 private:
  static std::size_t Index(Call call) { return static_cast<std::size_t>(call); }

  struct Plan {
    Call call;
    int nth;
    Fault fault;
    std::string pathPart;
    bool andAfter;
    int seen = 0;
  };

  Env& base_;
  Env* previous_;
  std::vector<Plan> plans_;
  std::array<int, kCallKinds> calls_{};
  int failed_ = 0;
};

}  // namespace calmora
