#include "os/FileSystem.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "os/CaseBlind.h"

namespace calmora {
namespace fs = std::filesystem;

namespace {

// The index just past the UTF-8 character starting at i.
std::size_t NextChar(const std::string& s, std::size_t i) {
  ++i;
  while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
  return i;
}

bool IsMissing(const std::error_code& ec) {
  return ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
}

class TreeCopier {
 public:
  explicit TreeCopier(const TreeCopyProgress& progress) : progress_(progress) {}

  TreeCopyResult Run(const fs::path& source, const fs::path& destination);

 private:
  std::int64_t CountFiles(const fs::path& folder) const;
  void CopyFolder(const fs::path& from, const fs::path& to);
  void CopyOneFile(const fs::path& from, const fs::path& to);
  void Failed(const std::error_code& ec) {
    if (!result_.firstError) result_.firstError = ec;
  }
  void FilesDone(std::int64_t count) {
    done_ += count;
    if (count > 0 && done_ < result_.filesTotal) Report(done_);
  }
  void Report(std::int64_t done) const {
    if (progress_) progress_(done, result_.filesTotal);
  }

  const TreeCopyProgress& progress_;
  TreeCopyResult result_;
  std::int64_t done_ = 0;
};

std::int64_t TreeCopier::CountFiles(const fs::path& folder) const {
  std::error_code ec;
  std::int64_t count = 0;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code statusError;
    if (it->symlink_status(statusError).type() == fs::file_type::directory) {
      count += CountFiles(it->path());
    } else {
      ++count;
    }
  }
  return count;
}

TreeCopyResult TreeCopier::Run(const fs::path& source, const fs::path& destination) {
  std::error_code ec;
  const auto status = fs::status(source, ec);
  if (!ec && status.type() != fs::file_type::directory) {
    ec = std::make_error_code(std::errc::not_a_directory);
  }
  if (!ec) {
    // A destination inside the source would be copied into itself forever.
    // When either path cannot be resolved the copy itself will say why.
    std::error_code fromError, toError;
    const fs::path from = fs::canonical(source, fromError);
    const fs::path to = fs::weakly_canonical(destination, toError);
    if (!fromError && !toError &&
        std::mismatch(from.begin(), from.end(), to.begin(), to.end()).first == from.end()) {
      ec = std::make_error_code(std::errc::invalid_argument);
    }
  }
  if (ec) {
    result_.sourceUnreadable = true;
    Failed(ec);
    Report(0);
    Report(0);
    return result_;
  }

  result_.filesTotal = CountFiles(source);
  Report(0);
  fs::create_directories(destination, ec);
  if (!ec && !fs::is_directory(destination, ec) && !ec) {
    ec = std::make_error_code(std::errc::file_exists);
  }
  if (ec) {
    Failed(ec);
    ++result_.foldersNotCopied;
    result_.filesNotCopied = result_.filesTotal;
  } else {
    CopyFolder(source, destination);
  }
  Report(result_.filesTotal);
  return result_;
}

void TreeCopier::CopyFolder(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::directory_iterator it(from, ec);
  for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
    const fs::path target = to / it->path().filename();
    std::error_code statusError;
    if (it->symlink_status(statusError).type() != fs::file_type::directory) {
      CopyOneFile(it->path(), target);
      continue;
    }
    std::error_code createError;
    fs::create_directory(target, it->path(), createError);
    if (!createError && !fs::is_directory(target, createError) && !createError) {
      createError = std::make_error_code(std::errc::file_exists);
    }
    if (createError) {
      Failed(createError);
      ++result_.foldersNotCopied;
      const std::int64_t lost = CountFiles(it->path());
      result_.filesNotCopied += lost;
      FilesDone(lost);
      continue;
    }
    CopyFolder(it->path(), target);
  }
  if (ec) {
    // The folder could not be read (or not to its end): what was not
    // reached was not counted either, so only the folder is counted.
    Failed(ec);
    ++result_.foldersNotCopied;
  }
}

void TreeCopier::CopyOneFile(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    Failed(ec);
    ++result_.filesNotCopied;
  } else {
    // The copy is complete without its time; keeping it is a courtesy.
    std::error_code timeError;
    const auto written = fs::last_write_time(from, timeError);
    if (!timeError) fs::last_write_time(to, written, timeError);
  }
  FilesDone(1);
}

}  // namespace

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  if (pattern == "*.*") return true;
  const std::string n = CaseBlindKey(name);
  const std::string p = CaseBlindKey(pattern);
  // Greedy match with one backtrack point: the last '*' seen.
  std::size_t ni = 0, pi = 0;
  std::size_t starP = std::string::npos, starN = 0;
  while (ni < n.size()) {
    if (pi < p.size() && p[pi] == '*') {
      starP = pi++;
      starN = ni;
    } else if (pi < p.size() && p[pi] == '?') {
      ++pi;
      ni = NextChar(n, ni);
    } else if (pi < p.size() && p[pi] == n[ni]) {
      ++pi;
      ++ni;
    } else if (starP != std::string::npos) {
      pi = starP + 1;
      starN = NextChar(n, starN);
      ni = starN;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern,
                                    bool includeDirectories) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) {
    if (IsMissing(ec)) return names;
    throw fs::filesystem_error("list folder", folder, ec);
  }
  if (includeDirectories) {
    for (const char* dots : {".", ".."}) {
      if (MatchesPattern(dots, pattern)) names.emplace_back(dots);
    }
  }
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.starts_with('.')) continue;
    std::error_code statusError;
    const auto type = it->status(statusError).type();  // a link is followed
    const bool wanted = type == fs::file_type::regular ||
                        (includeDirectories && type == fs::file_type::directory);
    if (wanted && MatchesPattern(name, pattern)) names.push_back(name);
  }
  if (ec) throw fs::filesystem_error("list folder", folder, ec);
  return names;
}

void CopyFileReplacing(const std::string& source, const std::string& destination) {
  // The path at fault tells a missing file from a missing folder.
  std::error_code ec;
  if (!fs::exists(source, ec)) {
    if (!ec) ec = std::make_error_code(std::errc::no_such_file_or_directory);
    throw fs::filesystem_error("copy file", source, ec);
  }
  fs::copy_file(source, destination, fs::copy_options::overwrite_existing, ec);
  if (ec) throw fs::filesystem_error("copy file", destination, ec);
}

bool PathIsDirectory(const std::string& path) {
  struct stat attributes {};
  if (::stat(path.c_str(), &attributes) != 0) {
    const std::error_code ec(errno, std::generic_category());
    throw fs::filesystem_error("read attributes", path, ec);
  }
  return S_ISDIR(attributes.st_mode);
}

bool IsPlainFile(const std::string& path) noexcept {
  struct stat attributes {};
  return ::stat(path.c_str(), &attributes) == 0 && S_ISREG(attributes.st_mode);
}

TreeCopyResult CopyTree(const std::string& source, const std::string& destination,
                        const TreeCopyProgress& progress) {
  return TreeCopier(progress).Run(source, destination);
}

}  // namespace calmora
