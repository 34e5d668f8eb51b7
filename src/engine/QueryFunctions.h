#pragma once
// The functions and the collation that the engine's translated statements
// call: text forms of values, "&" joins, LIKE and case-blind comparison.
// Registered on every handle the engine opens, never stored in the file, so
// that another client can read it without them.
#include <sqlite3.h>

namespace jet {

void RegisterFunctions(sqlite3* db);

}  // namespace jet
