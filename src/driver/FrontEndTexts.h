#pragma once
// The texts both front ends show, in one place: the window's title, its
// warning, the button's caption, and the words for a running step and its
// row count. Each front end lays them out its own way.
#include <cstdint>
#include <string>
#include <string_view>

namespace calmora {

inline constexpr char kWindowTitle[] = "Calmora 2014 database import";
inline constexpr char kImportantLabel[] = "Important:";
inline constexpr char kRunOnceWarning[] = "This utility should be run ONE TIME ONLY.";
inline constexpr char kConvertButtonCaption[] = "Import Calmora V3.1 into Calmora 2014";

// "Step 6 of 7: Linking claims to events" for an upgrade step's procedure
// name; any other name is shown as it stands.
std::string DescribeStep(std::string_view procedure);

// "250 of 500 rows".
std::string RowsText(std::int64_t rowsDone, std::int64_t rowsTotal);

}  // namespace calmora
