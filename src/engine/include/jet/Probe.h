#pragma once
// Whether a practice database opens with its password, without changing
// anything on disk: the file is opened read-only (no journal, no
// write-ahead files, nothing written), keyed, its catalogue read once, and
// closed. For a check made before anything is copied.
#include <cstdint>
#include <string>

namespace jet {

// Answers the number of tables the file holds. Fails with jet::Error as
// Connection::Open does: a missing file (3024), a file that is no practice
// database (3343), a wrong password or a damaged file (3031), a file that
// cannot be read (3051).
std::int64_t ProbeDatabase(const std::string& path, const std::string& password);

}  // namespace jet
