#pragma once
// calmora-import --check: before a run, reads everything the run would read
// and says whether the run can proceed. Both registry keys and the V3.1
// version; the folders and files the run would copy (counted and sized,
// never named: folders below the client documents are named after
// patients); the V3.1 database, opened read-only with its password; whether
// the 2014 folders can be written; and the free space of the 2014 file
// system against what the run would write there at its peak: the copied
// database, as much again for what the conversion adds to it, the
// write-ahead log the conversion keeps meanwhile, and the folders.
//
// It changes nothing on disk: no log, no copy, no lock or side file left
// behind. Every problem found is one line of the report in plain words.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>

namespace calmora {

// Free bytes for an unprivileged writer on the file system of a folder;
// nullopt when it cannot be told.
using FreeSpaceReader = std::function<std::optional<std::uintmax_t>(const std::filesystem::path&)>;
std::optional<std::uintmax_t> FreeSpaceOf(const std::filesystem::path& folder);

// Writes the report to `out`; answers true when a run can proceed.
bool RunPreflightCheck(std::ostream& out, const FreeSpaceReader& freeSpace = FreeSpaceOf);

}  // namespace calmora
