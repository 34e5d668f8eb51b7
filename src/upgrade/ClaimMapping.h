#pragma once
// The claim copy's mapping from the legacy claim table conv_hcfa_info to
// cms2012, as data: one item per target column, in the order of the INSERT,
// with its source column and the rule that turns the source value into an
// SQL item (upgrade/ClaimRules.h builds the INSERT from it).
#include <string>
#include <vector>

namespace calmora {

enum class ClaimRule {
  Value,       // bare default text form, then ", "
  Flag,        // bare default text form, then ","
  Date,        // #date# or null
  Text,        // 'text' with quotes doubled
  TextFirst,   // the first `width` characters, as Text
  Upper,       // upper case, as Text
  UpperFirst,  // upper case, the first `width` characters, as Text
  Zip,         // the first five characters, a dash and four blanks
  Empty,       // ''
  False,       // False
  Diagnosis,   // diagnosis text `diagnosis`: '' when shorter than two
               // characters, else its first `width` characters
};

struct ClaimItem {
  std::string target;     // cms2012 column
  std::string source;     // conv_hcfa_info column; empty when none feeds it
  ClaimRule rule;
  int width = 0;          // the target's width, for the rules that cut
  int diagnosis = 0;      // 1 to 4, Diagnosis only
  bool targetIsYesNo = false;
};

// The 231 items: CLIENT_ID and EVENT_ID first, PROVIDER_NONNPI last.
const std::vector<ClaimItem>& ClaimMapping();

}  // namespace calmora
