#include "os/Env.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace calmora {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }
std::error_code ErrorOf(int result) { return result == 0 ? std::error_code() : LastError(); }

// Retries a call that a signal interrupted before it did anything.
template <typename Call>
auto Retrying(Call call) {
  for (;;) {
    auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}

class PosixReadableFile final : public ReadableFile {
 public:
  explicit PosixReadableFile(int fd) : fd_(fd) {}
  ~PosixReadableFile() override { ::close(fd_); }
  std::error_code Read(char* buffer, std::size_t capacity, std::size_t& got) override {
    const ssize_t n = Retrying([&] { return ::read(fd_, buffer, capacity); });
    if (n < 0) return LastError();
    got = static_cast<std::size_t>(n);
    return {};
  }

 private:
  int fd_;
};

class PosixWritableFile final : public WritableFile {
 public:
  explicit PosixWritableFile(int fd) : fd_(fd) {}
  ~PosixWritableFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  std::error_code Append(std::string_view data) override {
    if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
    while (!data.empty()) {
      const ssize_t n = Retrying([&] { return ::write(fd_, data.data(), data.size()); });
      if (n < 0) return LastError();
      // The system writes nothing more only when the disk is full.
      if (n == 0) return std::make_error_code(std::errc::no_space_on_device);
      data.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
  }
  std::error_code Sync() override {
    if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
    return ErrorOf(::fsync(fd_));
  }
  std::error_code Close() override {
    if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
    const int fd = fd_;
    fd_ = -1;
    // The descriptor is gone whatever close answers; EINTR is not retried.
    return ErrorOf(::close(fd));
  }

 private:
  int fd_;
};

FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::Regular;
  if (S_ISDIR(mode)) return FileKind::Directory;
  return FileKind::Other;
}

class PosixEnv final : public Env {
 public:
  std::error_code Status(const std::string& path, bool followLinks, FileInfo& info) override {
    struct stat st {};
    if ((followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0)
      return LastError();
    info.kind = KindOf(st.st_mode);
    info.isLink = S_ISLNK(st.st_mode);
    info.device = st.st_dev;
    info.inode = st.st_ino;
    info.permissions = st.st_mode & 07777;
    info.owner = st.st_uid;
    info.group = st.st_gid;
    info.modified = st.st_mtim;
    return {};
  }

  std::error_code ReadFolder(const std::string& path, std::vector<std::string>& names) override {
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return LastError();
    std::error_code ec;
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(dir);
      if (entry == nullptr) {
        if (errno != 0) ec = LastError();
        break;
      }
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
        continue;
      names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return ec;
  }

  std::error_code CreateFolder(const std::string& path) override {
    return ErrorOf(::mkdir(path.c_str(), 0777));
  }

  std::error_code OpenForReading(const std::string& path,
                                 std::unique_ptr<ReadableFile>& file) override {
    const int fd = Retrying([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); });
    if (fd < 0) return LastError();
    file = std::make_unique<PosixReadableFile>(fd);
    return {};
  }

  std::error_code OpenForWriting(const std::string& path,
                                 std::unique_ptr<WritableFile>& file) override {
    const int fd = Retrying(
        [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666); });
    if (fd < 0) return LastError();
    file = std::make_unique<PosixWritableFile>(fd);
    return {};
  }

  std::error_code RemoveFile(const std::string& path) override {
    return ErrorOf(::unlink(path.c_str()));
  }

  std::error_code Rename(const std::string& from, const std::string& to) override {
    return ErrorOf(::rename(from.c_str(), to.c_str()));
  }

  std::error_code SetModifiedTime(const std::string& path, const timespec& time) override {
    // The access time is left as it is.
    const timespec times[2] = {{0, UTIME_OMIT}, time};
    return ErrorOf(::utimensat(AT_FDCWD, path.c_str(), times, 0));
  }

  std::error_code SetOwner(const std::string& path, uid_t owner, gid_t group) override {
    return ErrorOf(::chown(path.c_str(), owner, group));
  }

  std::error_code SetPermissions(const std::string& path, mode_t permissions) override {
    return ErrorOf(::chmod(path.c_str(), permissions));
  }

  ProgramStartResult StartProgram(const std::string& path,
                                  const std::string& workingDirectory) override {
    return SpawnProgram(path, workingDirectory);
  }

  std::optional<MemoryStatus> ReadMemory() override { return ReadKernelMemoryStatus(); }

  std::string SystemVersionLine() override { return ReadSystemVersionLine(); }
};

Env* installed = nullptr;

}  // namespace

Env& RealEnv() {
  static PosixEnv real;
  return real;
}

Env& CurrentEnv() { return installed != nullptr ? *installed : RealEnv(); }

void InstallEnv(Env* env) { installed = env; }

}  // namespace calmora
