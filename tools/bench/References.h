#pragma once
// What the claim copy is measured against, on copies of the same practice
// file and schema, driven through the storage library directly with the
// engine's file settings (page size, write-ahead log, synchronous level):
//   - the limit: the copy written set-based, one INSERT ... SELECT that
//     applies the mapping's rules, in one transaction;
//   - one prepared INSERT re-bound per row, in one transaction;
//   - the limit into a copy of cms2012 without its rules (no checks, no
//     triggers, no key indexes), which shows what the rules cost.
// And the differential check: two files hold the same cms2012 rows.
// Every function throws std::runtime_error with the storage library's
// message on failure.
#include <cstdint>
#include <string>

namespace calmora::bench {

// Each returns the number of rows copied.
std::int64_t CopyClaimsSetBased(const std::string& file, const std::string& password);
std::int64_t CopyClaimsPrepared(const std::string& file, const std::string& password);
std::int64_t CopyClaimsUnconstrained(const std::string& file, const std::string& password);

struct Comparison {
  std::int64_t rowsA = 0, rowsB = 0;
  std::int64_t differingRows = 0;  // rows at the same place that differ in any column
  bool Same() const { return rowsA == rowsB && differingRows == 0; }
};

// Compares cms2012 of two files row by row (in the order of CMS_ID),
// column by column: storage class and value, exactly.
Comparison CompareClaimTables(const std::string& fileA, const std::string& fileB,
                              const std::string& password);

}  // namespace calmora::bench
