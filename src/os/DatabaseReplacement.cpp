#include "os/DatabaseReplacement.h"

#include <filesystem>
#include <vector>
#include <system_error>

#include "os/Env.h"
#include "os/FileSystem.h"

namespace calmora {

namespace fs = std::filesystem;

namespace {

// The file itself, then its side files.
constexpr std::array<std::string_view, 4> kDatabaseFileSuffixes{
    "", kDatabaseSideFileSuffixes[0], kDatabaseSideFileSuffixes[1], kDatabaseSideFileSuffixes[2]};

// False only when nothing is there. A path that cannot be looked at is not
// taken for a free one: a backup or a side file could be lost under it.
bool LookAt(const std::string& path, bool followLinks, FileInfo& info) {
  const std::error_code ec = CurrentEnv().Status(path, followLinks, info);
  if (!ec) return true;
  if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory) return false;
  throw fs::filesystem_error("read attributes", path, ec);
}

// A link that leads nowhere is something there, too: it takes the name.
bool Exists(const std::string& path) {
  FileInfo info;
  return LookAt(path, false, info);
}

bool SameFile(const std::string& a, const std::string& b) {
  FileInfo first, second;
  if (!LookAt(a, true, first) || !LookAt(b, true, second)) return false;
  return first.device == second.device && first.inode == second.inode;
}

bool AnyOfDatabase(const std::string& database) {
  for (std::string_view suffix : kDatabaseFileSuffixes)
    if (Exists(database + std::string(suffix))) return true;
  return false;
}

std::string FreeBackupName(const std::string& database) {
  for (int n = 1;; ++n) {
    std::string name = database + ".bak" + (n == 1 ? std::string() : std::to_string(n));
    if (!AnyOfDatabase(name)) return name;
  }
}

void Rename(const std::string& from, const std::string& to) {
  if (std::error_code ec = CurrentEnv().Rename(from, to))
    throw fs::filesystem_error("rename", from, to, ec);
}

// All or nothing: a database split between two names is no database (its
// journal or log holds work the file lacks), so on a failure what already
// moved goes back.
void MoveDatabase(const std::string& from, const std::string& to) {
  std::vector<std::string_view> moved;
  try {
    for (std::string_view suffix : kDatabaseFileSuffixes) {
      if (!Exists(from + std::string(suffix))) continue;
      Rename(from + std::string(suffix), to + std::string(suffix));
      moved.push_back(suffix);
    }
  } catch (...) {
    for (auto it = moved.rbegin(); it != moved.rend(); ++it)
      (void)CurrentEnv().Rename(to + std::string(*it), from + std::string(*it));
    throw;
  }
}

// Quiet: it clears the way or cleans up after a failure, and a file it
// cannot remove is reported by the call that then meets it.
void RemoveDatabase(const std::string& database) {
  for (std::string_view suffix : kDatabaseFileSuffixes)
    (void)CurrentEnv().RemoveFile(database + std::string(suffix));
}

// Those of the file replaced, else of its folder without the execute bits:
// the 2014 release's users keep their access to the new database.
FileInfo ReplacedFileOwnership(const std::string& destination) {
  FileInfo info;
  if (LookAt(destination, true, info)) return info;
  const std::string folder = fs::path(destination).parent_path().string();
  if (!LookAt(folder, true, info))
    throw fs::filesystem_error("read attributes", folder,
                               std::make_error_code(std::errc::no_such_file_or_directory));
  info.permissions &= 0666;
  return info;
}

void TakeOwnership(const std::string& file, const FileInfo& like) {
  Env& env = CurrentEnv();
  // Only root may give a file away; an ordinary user's copy stays theirs.
  (void)env.SetOwner(file, like.owner, like.group);
  if (std::error_code ec = env.SetPermissions(file, like.permissions))
    throw fs::filesystem_error("set permissions", file, ec);
}

void CopyOwnedLike(const std::string& from, const std::string& to, const FileInfo& like) {
  CopyFileReplacing(from, to);
  TakeOwnership(to, like);
}

}  // namespace

std::string ReplaceDatabase(const std::string& source, const std::string& destination) {
  if (SameFile(source, destination)) {
    throw fs::filesystem_error("the database cannot replace itself", source, destination,
                               std::make_error_code(std::errc::file_exists));
  }
  const std::string staging = destination + ".importing";
  const FileInfo ownership = ReplacedFileOwnership(destination);
  RemoveDatabase(staging);
  std::string backup;
  try {
    CopyOwnedLike(source, staging, ownership);
    for (std::string_view suffix : kDatabaseSideFileSuffixes) {
      const std::string side = source + std::string(suffix);
      if (Exists(side)) CopyOwnedLike(side, staging + std::string(suffix), ownership);
    }
    if (AnyOfDatabase(destination)) {
      backup = FreeBackupName(destination);
      MoveDatabase(destination, backup);
    }
    MoveDatabase(staging, destination);
    return backup;
  } catch (...) {
    RemoveDatabase(staging);
    // The copy could not take its place: the 2014 database goes back to
    // work where it was. Should that fail too, it stays whole as the backup.
    try {
      if (!backup.empty() && !AnyOfDatabase(destination)) MoveDatabase(backup, destination);
    } catch (...) {
    }
    throw;
  }
}

void PutBackReplacedDatabase(const std::string& database, const std::string& backup) {
  RemoveDatabase(database);
  if (!backup.empty()) MoveDatabase(backup, database);
}

}  // namespace calmora
