#include "os/FaultInjectingEnv.h"

#include <cerrno>

namespace calmora {
namespace {

class FaultyReadable final : public ReadableFile {
 public:
  FaultyReadable(FaultInjectingEnv& env, std::string path, std::unique_ptr<ReadableFile> file)
      : env_(env), path_(std::move(path)), file_(std::move(file)) {}
  std::error_code Read(char* buffer, std::size_t capacity, std::size_t& got) override {
    if (std::error_code ec = env_.Consider(Call::Read, path_)) return ec;
    return file_->Read(buffer, capacity, got);
  }

 private:
  FaultInjectingEnv& env_;
  std::string path_;
  std::unique_ptr<ReadableFile> file_;
};

class FaultyWritable final : public WritableFile {
 public:
  FaultyWritable(FaultInjectingEnv& env, std::string path, std::unique_ptr<WritableFile> file)
      : env_(env), path_(std::move(path)), file_(std::move(file)) {}
  std::error_code Append(std::string_view data) override {
    if (std::error_code ec = env_.Consider(Call::Write, path_)) return ec;
    return file_->Append(data);
  }
  std::error_code Sync() override {
    if (std::error_code ec = env_.Consider(Call::Sync, path_)) return ec;
    return file_->Sync();
  }
  std::error_code Close() override {
    // A close that fails still lets the descriptor go, as close(2) does.
    std::error_code ec = env_.Consider(Call::Close, path_);
    std::error_code closed = file_->Close();
    return ec ? ec : closed;
  }

 private:
  FaultInjectingEnv& env_;
  std::string path_;
  std::unique_ptr<WritableFile> file_;
};

}  // namespace

std::error_code ErrorFor(Fault fault) {
  switch (fault) {
    case Fault::DiskFull: return {ENOSPC, std::generic_category()};
    case Fault::IoError: return {EIO, std::generic_category()};
    case Fault::PermissionRefused: return {EACCES, std::generic_category()};
    case Fault::Vanished: return {ENOENT, std::generic_category()};
  }
  return {EIO, std::generic_category()};
}

const char* NameOf(Fault fault) {
  switch (fault) {
    case Fault::DiskFull: return "disk full";
    case Fault::IoError: return "I/O error";
    case Fault::PermissionRefused: return "permission refused";
    case Fault::Vanished: return "vanished";
  }
  return "?";
}

const char* NameOf(Call call) {
  static constexpr const char* kNames[kCallKinds] = {
      "Status", "ReadFolder", "CreateFolder", "OpenForReading", "Read", "OpenForWriting",
      "Write", "Sync", "Close", "RemoveFile", "Rename", "SetModifiedTime", "SetOwner",
      "SetPermissions", "StartProgram", "ReadMemory", "SystemVersionLine"};
  return kNames[static_cast<std::size_t>(call)];
}

FaultInjectingEnv::FaultInjectingEnv(Env& base) : base_(base), previous_(&CurrentEnv()) {
  InstallEnv(this);
}

FaultInjectingEnv::~FaultInjectingEnv() { InstallEnv(previous_ == &RealEnv() ? nullptr : previous_); }

void FaultInjectingEnv::Fail(Call call, int nth, Fault fault, std::string pathPart,
                             bool andAfter) {
  plans_.push_back(Plan{call, nth, fault, std::move(pathPart), andAfter});
}

void FaultInjectingEnv::Reset() {
  plans_.clear();
  calls_.fill(0);
  failed_ = 0;
}

std::error_code FaultInjectingEnv::Consider(Call call, const std::string& path) {
  ++calls_[Index(call)];
  for (Plan& plan : plans_) {
    if (plan.call != call || path.find(plan.pathPart) == std::string::npos) continue;
    ++plan.seen;
    if (plan.seen == plan.nth || (plan.andAfter && plan.seen > plan.nth)) {
      ++failed_;
      return ErrorFor(plan.fault);
    }
  }
  return {};
}

std::error_code FaultInjectingEnv::Status(const std::string& path, bool followLinks,
                                          FileInfo& info) {
  if (std::error_code ec = Consider(Call::Status, path)) return ec;
  return base_.Status(path, followLinks, info);
}

std::error_code FaultInjectingEnv::ReadFolder(const std::string& path,
                                              std::vector<std::string>& names) {
  if (std::error_code ec = Consider(Call::ReadFolder, path)) return ec;
  return base_.ReadFolder(path, names);
}

std::error_code FaultInjectingEnv::CreateFolder(const std::string& path) {
  if (std::error_code ec = Consider(Call::CreateFolder, path)) return ec;
  return base_.CreateFolder(path);
}

std::error_code FaultInjectingEnv::OpenForReading(const std::string& path,
                                                  std::unique_ptr<ReadableFile>& file) {
  if (std::error_code ec = Consider(Call::OpenForReading, path)) return ec;
  std::unique_ptr<ReadableFile> real;
  if (std::error_code ec = base_.OpenForReading(path, real)) return ec;
  file = std::make_unique<FaultyReadable>(*this, path, std::move(real));
  return {};
}

std::error_code FaultInjectingEnv::OpenForWriting(const std::string& path,
                                                  std::unique_ptr<WritableFile>& file) {
  if (std::error_code ec = Consider(Call::OpenForWriting, path)) return ec;
  std::unique_ptr<WritableFile> real;
  if (std::error_code ec = base_.OpenForWriting(path, real)) return ec;
  file = std::make_unique<FaultyWritable>(*this, path, std::move(real));
  return {};
}

std::error_code FaultInjectingEnv::RemoveFile(const std::string& path) {
  if (std::error_code ec = Consider(Call::RemoveFile, path)) return ec;
  return base_.RemoveFile(path);
}

std::error_code FaultInjectingEnv::Rename(const std::string& from, const std::string& to) {
  if (std::error_code ec = Consider(Call::Rename, from)) return ec;
  return base_.Rename(from, to);
}

std::error_code FaultInjectingEnv::SetModifiedTime(const std::string& path,
                                                   const timespec& time) {
  if (std::error_code ec = Consider(Call::SetModifiedTime, path)) return ec;
  return base_.SetModifiedTime(path, time);
}

std::error_code FaultInjectingEnv::SetOwner(const std::string& path, uid_t owner, gid_t group) {
  if (std::error_code ec = Consider(Call::SetOwner, path)) return ec;
  return base_.SetOwner(path, owner, group);
}

std::error_code FaultInjectingEnv::SetPermissions(const std::string& path, mode_t permissions) {
  if (std::error_code ec = Consider(Call::SetPermissions, path)) return ec;
  return base_.SetPermissions(path, permissions);
}

ProgramStartResult FaultInjectingEnv::StartProgram(const std::string& path,
                                                   const std::string& workingDirectory) {
  if (std::error_code ec = Consider(Call::StartProgram, path)) return {-1, ec.value()};
  return base_.StartProgram(path, workingDirectory);
}

std::optional<MemoryStatus> FaultInjectingEnv::ReadMemory() {
  if (Consider(Call::ReadMemory, {})) return std::nullopt;
  return base_.ReadMemory();
}

std::string FaultInjectingEnv::SystemVersionLine() {
  if (Consider(Call::SystemVersionLine, {})) return {};
  return base_.SystemVersionLine();
}

}  // namespace calmora
