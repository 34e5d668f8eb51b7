#include "os/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <utility>

#include "text/Case.h"
#include "os/Env.h"

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

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

class TreeCopyCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "tree copy"; }
  std::string message(int condition) const override {
    switch (static_cast<TreeCopyFault>(condition)) {
      case TreeCopyFault::LinkLeadsBackIntoTree:
        return "A link leads back into the folder being copied";
      case TreeCopyFault::LinkLeadsNowhere:
        return "A link leads to nothing";
    }
    return "Unknown tree copy fault";
  }
};

// A copy made beside the destination under a hidden name and renamed over
// it once complete: a failed copy leaves neither a partial file nor a
// damaged destination. The copy keeps the source's permission bits and
// modification time, as the original platform's copy did.
std::error_code CopyFileContents(const std::string& source, const FileInfo& sourceInfo,
                                 const std::string& destination) {
  Env& env = CurrentEnv();
  const fs::path target(destination);
  const std::string staging =
      (target.parent_path() / ("." + target.filename().string() + ".copying")).string();

  std::unique_ptr<ReadableFile> in;
  if (std::error_code ec = env.OpenForReading(source, in)) return ec;
  std::unique_ptr<WritableFile> out;
  if (std::error_code ec = env.OpenForWriting(staging, out)) return ec;

  std::error_code ec;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    std::size_t got = 0;
    if ((ec = in->Read(buffer.data(), buffer.size(), got)) || got == 0) break;
    if ((ec = out->Append(std::string_view(buffer.data(), got)))) break;
  }
  // A close can be the first to tell of a full disk.
  const std::error_code closed = out->Close();
  if (!ec) ec = closed;
  if (!ec) ec = env.SetPermissions(staging, sourceInfo.permissions);
  if (!ec) {
    // The copy is complete without its time; keeping it is a courtesy.
    (void)env.SetModifiedTime(staging, sourceInfo.modified);
    ec = env.Rename(staging, destination);
  }
  if (ec) (void)env.RemoveFile(staging);
  return ec;
}

// A folder is there: created now, or found (a file in its place is EEXIST).
std::error_code FolderIsThere(const std::string& path, std::error_code created) {
  if (created != std::errc::file_exists) return created;
  FileInfo info;
  std::error_code ec = CurrentEnv().Status(path, true, info);
  if (!ec && info.kind != FileKind::Directory) ec = created;
  return ec;
}

// Creates the folder and any missing folder above it.
std::error_code CreateFolders(const std::string& path) {
  Env& env = CurrentEnv();
  std::error_code ec = env.CreateFolder(path);
  if (ec == std::errc::no_such_file_or_directory) {
    const fs::path parent = fs::path(path).parent_path();
    if (parent.empty() || parent == fs::path(path)) return ec;
    if ((ec = CreateFolders(parent.string()))) return ec;
    ec = env.CreateFolder(path);
  }
  return FolderIsThere(path, ec);
}

std::error_code MakeError(TreeCopyFault fault) {
  return {static_cast<int>(fault), TreeCopyCategoryInstance()};
}

// What one entry of a tree is, links followed as the original platform's
// copy followed them (a practice keeps documents on other disks through
// links), except into the tree itself.
enum class EntryKind { File, Folder, LoopingLink, DanglingLink, Unreadable };

class TreeCopier {
 public:
  explicit TreeCopier(const TreeCopyProgress& progress) : progress_(progress) {}

  TreeCopyResult Run(const std::string& source, const std::string& destination);

 private:
  EntryKind Classify(const std::string& path, FileInfo& info, std::error_code& ec) const;
  std::int64_t CountFiles(const std::string& folder, std::set<std::pair<dev_t, ino_t>>& open);
  void CopyFolder(const std::string& from, const std::string& to);
  void CopyOneFile(const std::string& from, const FileInfo& info, const std::string& to);
  void NotCopied(const std::error_code& ec, std::int64_t files) {
    if (!result_.firstError) result_.firstError = ec;
    result_.filesNotCopied += files;
    FilesDone(files);
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
  fs::path root_;  // the source, resolved
  std::set<std::pair<dev_t, ino_t>> open_;  // the folders being copied, by identity
};

EntryKind TreeCopier::Classify(const std::string& path, FileInfo& info,
                               std::error_code& ec) const {
  Env& env = CurrentEnv();
  FileInfo own;
  if ((ec = env.Status(path, false, own))) return EntryKind::Unreadable;
  if (!own.isLink) {
    info = own;
    return own.kind == FileKind::Directory ? EntryKind::Folder : EntryKind::File;
  }
  if (env.Status(path, true, info)) return EntryKind::DanglingLink;
  if (info.kind != FileKind::Directory) return EntryKind::File;
  std::error_code resolveError;
  const fs::path target = fs::canonical(path, resolveError);
  if (resolveError) return EntryKind::DanglingLink;
  const bool insideTree =
      std::mismatch(root_.begin(), root_.end(), target.begin(), target.end()).first ==
      root_.end();
  if (insideTree || open_.count({info.device, info.inode}) > 0) return EntryKind::LoopingLink;
  return EntryKind::Folder;
}

// Files below a folder; a folder that cannot be read, a link that is not
// followed, and anything else that is not a folder count as one each.
std::int64_t TreeCopier::CountFiles(const std::string& folder,
                                    std::set<std::pair<dev_t, ino_t>>& open) {
  std::vector<std::string> names;
  if (CurrentEnv().ReadFolder(folder, names)) return 1;
  std::int64_t count = 0;
  for (const std::string& name : names) {
    const std::string path = Join(folder, name);
    FileInfo info;
    std::error_code ec;
    if (Classify(path, info, ec) != EntryKind::Folder ||
        !open.insert({info.device, info.inode}).second) {
      ++count;
      continue;
    }
    count += CountFiles(path, open);
    open.erase({info.device, info.inode});
  }
  return count;
}

TreeCopyResult TreeCopier::Run(const std::string& source, const std::string& destination) {
  Env& env = CurrentEnv();
  FileInfo info;
  std::error_code ec = env.Status(source, true, info);
  if (!ec && info.kind != FileKind::Directory) {
    ec = std::make_error_code(std::errc::not_a_directory);
  }
  if (!ec) {
    // A destination inside the source would be copied into itself forever.
    // When either path cannot be resolved the copy itself will say why.
    std::error_code fromError, toError;
    root_ = fs::canonical(source, fromError);
    const fs::path to = fs::weakly_canonical(destination, toError);
    if (!fromError && !toError &&
        std::mismatch(root_.begin(), root_.end(), to.begin(), to.end()).first == root_.end()) {
      ec = std::make_error_code(std::errc::invalid_argument);
    }
  }
  if (ec) {
    result_.sourceUnreadable = true;
    result_.firstError = ec;
    Report(0);
    Report(0);
    return result_;
  }

  open_.insert({info.device, info.inode});
  std::set<std::pair<dev_t, ino_t>> counting = open_;
  result_.filesTotal = CountFiles(source, counting);
  Report(0);
  if (std::error_code created = CreateFolders(destination)) {
    ++result_.foldersNotCopied;
    NotCopied(created, result_.filesTotal);
  } else {
    CopyFolder(source, destination);
  }
  Report(result_.filesTotal);
  return result_;
}

void TreeCopier::CopyFolder(const std::string& from, const std::string& to) {
  Env& env = CurrentEnv();
  std::vector<std::string> names;
  if (std::error_code ec = env.ReadFolder(from, names)) {
    // Counted as one file not copied, as CountFiles counted it.
    ++result_.foldersNotCopied;
    NotCopied(ec, 1);
    return;
  }
  for (const std::string& name : names) {
    const std::string path = Join(from, name);
    const std::string target = Join(to, name);
    FileInfo info;
    std::error_code ec;
    switch (Classify(path, info, ec)) {
      case EntryKind::File:
        CopyOneFile(path, info, target);
        continue;
      case EntryKind::Unreadable:
        NotCopied(ec, 1);
        continue;
      case EntryKind::LoopingLink:
        NotCopied(MakeError(TreeCopyFault::LinkLeadsBackIntoTree), 1);
        continue;
      case EntryKind::DanglingLink:
        NotCopied(MakeError(TreeCopyFault::LinkLeadsNowhere), 1);
        continue;
      case EntryKind::Folder:
        break;
    }
    if (std::error_code created = FolderIsThere(target, env.CreateFolder(target))) {
      ++result_.foldersNotCopied;
      std::set<std::pair<dev_t, ino_t>> counting = open_;
      counting.insert({info.device, info.inode});
      NotCopied(created, CountFiles(path, counting));
      continue;
    }
    open_.insert({info.device, info.inode});
    CopyFolder(path, target);
    open_.erase({info.device, info.inode});
  }
}

void TreeCopier::CopyOneFile(const std::string& from, const FileInfo& info,
                             const std::string& to) {
  // A pipe or a device is no document.
  const std::error_code ec = info.kind == FileKind::Regular
                                 ? CopyFileContents(from, info, to)
                                 : std::make_error_code(std::errc::invalid_argument);
  if (ec) {
    NotCopied(ec, 1);
  } else {
    FilesDone(1);
  }
}

}  // namespace

const std::error_category& TreeCopyCategoryInstance() {
  static const TreeCopyCategory category;
  return category;
}

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  if (pattern == "*.*") return true;
  const std::string n = text::UpperCased(name);
  const std::string p = text::UpperCased(pattern);
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
  Env& env = CurrentEnv();
  std::vector<std::string> entries;
  if (std::error_code ec = env.ReadFolder(folder, entries)) {
    if (IsMissing(ec)) return {};
    throw fs::filesystem_error("list folder", folder, ec);
  }
  std::vector<std::string> names;
  if (includeDirectories) {
    for (const char* dots : {".", ".."}) {
      if (MatchesPattern(dots, pattern)) names.emplace_back(dots);
    }
  }
  for (const std::string& name : entries) {
    if (name.starts_with('.')) continue;
    FileInfo info;
    // A link is followed; one that leads nowhere is no plain file. Any other
    // failure to look would hide a file the run must copy.
    if (std::error_code ec = env.Status(Join(folder, name), true, info)) {
      if (IsMissing(ec)) continue;
      throw fs::filesystem_error("list folder", Join(folder, name), ec);
    }
    const bool wanted = info.kind == FileKind::Regular ||
                        (includeDirectories && info.kind == FileKind::Directory);
    if (wanted && MatchesPattern(name, pattern)) names.push_back(name);
  }
  return names;
}

void CopyFileReplacing(const std::string& source, const std::string& destination) {
  // The path at fault tells a missing file from a missing folder.
  FileInfo info;
  std::error_code ec = CurrentEnv().Status(source, true, info);
  if (!ec && info.kind != FileKind::Regular) ec = std::make_error_code(std::errc::is_a_directory);
  if (ec) throw fs::filesystem_error("copy file", source, ec);
  ec = CopyFileContents(source, info, destination);
  if (ec) throw fs::filesystem_error("copy file", destination, ec);
}

bool PathIsDirectory(const std::string& path) {
  FileInfo info;
  if (std::error_code ec = CurrentEnv().Status(path, true, info))
    throw fs::filesystem_error("read attributes", path, ec);
  return info.kind == FileKind::Directory;
}

bool IsPlainFile(const std::string& path) noexcept {
  FileInfo info;
  return !CurrentEnv().Status(path, true, info) && info.kind == FileKind::Regular;
}

TreeCopyResult CopyTree(const std::string& source, const std::string& destination,
                        const TreeCopyProgress& progress) {
  return TreeCopier(progress).Run(source, destination);
}

}  // namespace calmora
