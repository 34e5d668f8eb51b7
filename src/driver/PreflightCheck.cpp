#include "driver/PreflightCheck.h"

#include <unistd.h>

#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include <fmt/format.h>

#include "driver/Driver.h"
#include "jet/Error.h"
#include "os/FileSystem.h"

namespace calmora {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kRunPeakTimesDatabase = 4;

struct Tally {
  std::int64_t folders = 0;
  std::int64_t files = 0;
  std::uintmax_t bytes = 0;
};

std::string Size(std::uintmax_t bytes) {
  return fmt::format("{:.1f} MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
}

std::uintmax_t SizeOrZero(const fs::path& file) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(file, ec);
  return ec ? 0 : size;
}

// The files of a folder that match a pattern, as the run lists them.
Tally MatchingFiles(const std::string& folder, const char* pattern) {
  Tally t;
  for (const std::string& name : ListFolder(folder, pattern, kFilesOnly)) {
    ++t.files;
    t.bytes += SizeOrZero(folder + name);
  }
  return t;
}

// The sub-folders of a folder with everything below them, as the run
// copies them; files lying in the folder itself are not copied.
Tally SubFolderTrees(const std::string& folder) {
  Tally t;
  for (const std::string& name : ListFolder(folder, "*.*", kWithFolders)) {
    if (name == "." || name == "..") continue;
    std::error_code ec;
    if (!fs::is_directory(folder + name, ec)) continue;
    ++t.folders;
    for (fs::recursive_directory_iterator it(folder + name, ec), end; !ec && it != end;
         it.increment(ec)) {
      if (!it->is_regular_file(ec)) continue;
      ++t.files;
      t.bytes += SizeOrZero(it->path());
    }
    if (ec) throw fs::filesystem_error("cannot be read", ec);
  }
  return t;
}

bool Writable(const std::string& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; }

bool IsFolder(const std::string& folder) {
  std::error_code ec;
  return fs::is_directory(folder, ec);
}

class Report {
 public:
  explicit Report(std::ostream& out) : out_(out) {}
  void Line(const std::string& text) { out_ << text << '\n'; }
  void Problem(const std::string& text) {
    problems_.push_back(text);
    out_ << "PROBLEM: " << text << '\n';
  }
  bool Finish() {
    if (problems_.empty()) {
      Line("No problem found: the conversion can run.");
      return true;
    }
    Line(fmt::format("{} problem{} found: the conversion cannot run until {} put right.",
                     problems_.size(), problems_.size() == 1 ? "" : "s",
                     problems_.size() == 1 ? "it is" : "they are"));
    return false;
  }

 private:
  std::ostream& out_;
  std::vector<std::string> problems_;
};

struct CopySource {
  const char* what;
  std::string from;
  std::string to;
  const char* pattern;  // files matching it; null: sub-folder trees
};

}  // namespace

std::optional<std::uintmax_t> FreeSpaceOf(const fs::path& folder) {
  std::error_code ec;
  const fs::space_info space = fs::space(folder, ec);
  if (ec) return std::nullopt;
  return space.available;
}

bool RunPreflightCheck(std::ostream& out, const FreeSpaceReader& freeSpace) {
  Report report(out);
  report.Line("Calmora import pre-flight check (nothing is changed)");
  const FoundInstallations found = FindInstallations();

  if (!found.v31Found) {
    report.Problem("The Calmora V3.1 installation cannot be found in the registry.");
  } else if (!found.versionRead) {
    report.Problem("The Calmora V3.1 installation has no readable version in the registry.");
  } else if (!found.versionAccepted) {
    report.Problem("The Calmora V3.1 installation is version " + found.version +
                   "; only version 3.1 can be converted.");
  } else {
    report.Line("Calmora V3.1 installation: found, version " + found.version);
  }
  if (!found.found2014)
    report.Problem("The Calmora 2014 installation cannot be found in the registry.");
  else
    report.Line("Calmora 2014 installation: found");
  if (!found.v31Found || !found.found2014) return report.Finish();

  std::uintmax_t toWrite = 0;
  const std::uintmax_t database = SizeOrZero(found.v31.database);
  try {
    const std::int64_t tables = ProbePracticeDatabase(found.v31.database);
    report.Line(fmt::format("V3.1 practice database: opens with its password, {} tables, {}",
                            tables, Size(database)));
    // At its peak a run holds the copy, what the conversion adds to it (as
    // much again), and the write-ahead log, which keeps every page the claim
    // copy writes while the claims are read from a snapshot. Measured peaks:
    // 2.7 (20,000 claims) to 3.4 (1,000,000) times the database.
    toWrite += kRunPeakTimesDatabase * database;
  } catch (const jet::Error& e) {
    report.Problem("The V3.1 practice database cannot be opened: " + e.description());
  }

  const CopySource sources[] = {
      {"Pictures", found.v31.pictures, found.v2014.pictures, "*.bmp"},
      {"Client documents", found.v31.clientDocuments, found.v2014.clientDocuments, nullptr},
      {"Related resources", found.v31.relatedResources, found.v2014.relatedResources, nullptr},
      {"Claim batch exports", found.v31.batchExports, found.v2014.batchExports, "*.txt"},
  };
  for (const CopySource& source : sources) {
    try {
      const Tally t = source.pattern != nullptr ? MatchingFiles(source.from, source.pattern)
                                                : SubFolderTrees(source.from);
      report.Line(source.pattern != nullptr
                      ? fmt::format("{}: {} files, {}", source.what, t.files, Size(t.bytes))
                      : fmt::format("{}: {} folders, {} files, {}", source.what, t.folders,
                                    t.files, Size(t.bytes)));
      toWrite += t.bytes;
      // File copies need their 2014 folder; a tree copy makes its own
      // folders inside the 2014 installation.
      const bool needsFolder = source.pattern != nullptr && t.files > 0;
      if (IsFolder(source.to) ? !Writable(source.to) : needsFolder)
        report.Problem(fmt::format("The Calmora 2014 folder for {} {}.", source.what,
                                   IsFolder(source.to) ? "cannot be written"
                                                       : "does not exist"));
    } catch (const std::exception&) {
      report.Problem(fmt::format("The Calmora V3.1 folder for {} cannot be read.", source.what));
    }
  }

  const std::string databaseFolder = fs::path(found.v2014.database).parent_path().string();
  if (!IsFolder(found.folder2014) || !Writable(found.folder2014))
    report.Problem("The Calmora 2014 folder cannot be written: the conversion log goes there.");
  if (!IsFolder(databaseFolder) || !Writable(databaseFolder))
    report.Problem("The Calmora 2014 database folder cannot be written.");

  const std::optional<std::uintmax_t> free = freeSpace(found.folder2014);
  if (!free) {
    report.Problem("The free space of the Calmora 2014 file system cannot be read.");
  } else {
    report.Line(fmt::format("Space: the conversion writes up to {}; {} free", Size(toWrite),
                            Size(*free)));
    if (*free < toWrite)
      report.Problem(fmt::format("Not enough free space for Calmora 2014: {} more needed.",
                                 Size(toWrite - *free)));
  }
  return report.Finish();
}

}  // namespace calmora
