#pragma once
// The file-system operations of the conversion, behaving as the original
// file system did where the conversion relies on it: names are compared
// without regard to case, "*.*" matches every name with or without a dot,
// hidden (dot) files are not listed.
//
// Every call goes through the installed environment (os/Env.h), so tests
// can make any of them fail. Failures raise std::filesystem::filesystem_error
// carrying the errno of the failed call and the path at fault. Its message names that path, and
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
// listed. A folder that does not exist lists nothing, and a link that
// leads nowhere is not listed; any other failure to read the folder or to
// look at an entry raises.
std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern,
                                    bool includeDirectories);
// ListFolder's choice, by name at the call.
inline constexpr bool kFilesOnly = false;
inline constexpr bool kWithFolders = true;

// Copies the file over destination, replacing a file already there, with
// the source's permission bits and modification time. The copy is written
// beside the destination under a hidden name and renamed over it when
// complete: a failed copy leaves no partial file and the destination as it
// was. The destination's folder must exist.
void CopyFileReplacing(const std::string& source, const std::string& destination);

// True when path (a link followed) is a directory; raises when the path's
// attributes cannot be read, e.g. because it does not exist.
bool PathIsDirectory(const std::string& path);

// True when a plain file (a link followed) exists at path; false for a
// folder, a missing path and any failure to look.
bool IsPlainFile(const std::string& path) noexcept;

// Why a tree copy left an entry behind when no system call failed.
enum class TreeCopyFault { LinkLeadsBackIntoTree = 1, LinkLeadsNowhere };
const std::error_category& TreeCopyCategoryInstance();

// The outcome of a folder-tree copy.
struct TreeCopyResult {
  std::int64_t filesTotal = 0;       // files found below the source
  std::int64_t filesNotCopied = 0;   // of those, the ones not copied
  // A folder that cannot be read counts as one file, in both figures: what
  // it holds is unknown, and it is not copied.
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
// Links are followed, to files and to folders, except a link that leads
// back into the tree being copied (or into a folder being copied): it is
// not followed again and counts as a file not copied, as does a link that
// leads nowhere (TreeCopyFault says which). A pipe or a device counts as a
// file not copied. Files are copied as CopyFileReplacing copies them. A
// destination inside the source is refused, as it would never end.
TreeCopyResult CopyTree(const std::string& source, const std::string& destination,
                        const TreeCopyProgress& progress);

}  // namespace calmora
