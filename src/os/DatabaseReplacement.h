#pragma once
// Putting a copy of one database in place of another without losing
// either. A database is its file and the side files the engine may keep
// beside it (its name with "-journal", "-wal" or "-shm" appended); they
// travel together, since a database kept or copied without them is not the
// database they belong to. A side file that is not there is not needed.
//
// Every call goes through the installed environment (os/Env.h), renames
// and removals included, so tests can make any of them fail. Failures raise
// std::filesystem::filesystem_error carrying the errno of the failed call;
// as in FileSystem.h, its message names paths, so reports take the reason
// from the error code.
#include <array>
#include <string>
#include <string_view>

namespace calmora {

inline constexpr std::array<std::string_view, 3> kDatabaseSideFileSuffixes{"-journal", "-wal",
                                                                           "-shm"};

// Puts a copy of the database at source, with its side files, in place of
// the one at destination. The copy is made under destination + ".importing"
// first and given the owner, group and permissions of the file it replaces
// (else of the destination's folder, without the execute bits), so a failed
// copy leaves the destination as it was and nothing half-written in its
// place. The database that was there is kept, with its side files, under
// the first free backup name: destination + ".bak", then ".bak2", ".bak3"
// and so on, free meaning that neither a file nor any side file lies under
// it, so that no earlier backup is ever overwritten. Source is only read.
//
// Answers the backup's name, or the empty text when there was no database
// to keep. Raises (EEXIST) when source and destination are the same file,
// and on any failed call, a path that cannot be looked at included; the
// staging copy is removed then and what had moved goes back, so the
// destination is as it was (should moving back fail too, the old database
// stays whole under the backup name). A database never moves in part.
std::string ReplaceDatabase(const std::string& source, const std::string& destination);

// Undoes a replacement whose copy proved unusable: removes the database at
// `database` with its side files (quietly: whatever cannot be removed
// stays) and moves the backup, when there is one, back under its name.
// Raises when the backup cannot be moved back.
void PutBackReplacedDatabase(const std::string& database, const std::string& backup);

}  // namespace calmora
