#pragma once
// The file-system operations of the conversion, behaving as the original
// file system did where the conversion relies on it: names are compared
// without regard to case, "*.*" matches every name with or without a dot,
// hidden (dot) files are not listed.
//
// Failures raise std::filesystem::filesystem_error carrying the errno of
// the failed call and the path at fault. Its message names that path, and
// paths below a practice's folders can name patients: reports take the
// reason from the error code, never the message.
#include <cstdint>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

namespace calmora {

// True when name matches a pattern of '*' (any run of characters) and '?'
// (one character) without regard to case; "*.*" matches every name.
bool MatchesPattern(const std::string& name, const std::string& pattern);

// The names in folder that match pattern, in the order the file system
// lists them. Plain files only (a link to a plain file counts); with
// includeDirectories, directories as well, led by "." and ".." when the
// pattern matches them. Names starting with '.' are hidden and never
// listed. A folder that does not exist lists nothing; any other failure
// to read it raises.
std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern,
                                    bool includeDirectories);

// Copies the file over destination, replacing a file already there.
// The destination's folder must exist.
void CopyFileReplacing(const std::string& source, const std::string& destination);

// True when path (a link followed) is a directory; raises when the path's
// attributes cannot be read, e.g. because it does not exist.
bool PathIsDirectory(const std::string& path);

// True when a plain file (a link followed) exists at path; false for a
// folder, a missing path and any failure to look.
bool IsPlainFile(const std::string& path) noexcept;

// The outcome of a folder-tree copy.
struct TreeCopyResult {
  std::int64_t filesTotal = 0;       // files found below the source
  std::int64_t filesNotCopied = 0;   // of those, the ones not copied
  std::int64_t foldersNotCopied = 0; // folders that could not be read or created
  bool sourceUnreadable = false;     // the source itself could not be read
  std::error_code firstError;        // the first failure met; empty when none
  bool Complete() const { return !firstError; }
};

// Called with files done of files total: 0 of total first, total of total
// last, and after each file in between.
using TreeCopyProgress = std::function<void(std::int64_t done, std::int64_t total)>;

// Copies the folder source with everything below it to destination,
// creating destination (with its parents) and the folders below it, and
// replacing files that exist there. A failure does not stop the copy:
// everything that can be copied is, and the result tells what was not.
// Real directories are descended into and everything else is copied as a
// file, links followed: a link to a folder, a pipe or a device is not
// copied and counts as a file not copied. File times are kept. A
// destination inside the source is refused, as it would never end.
TreeCopyResult CopyTree(const std::string& source, const std::string& destination,
                        const TreeCopyProgress& progress);

}  // namespace calmora
