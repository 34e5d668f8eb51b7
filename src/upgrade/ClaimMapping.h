#pragma once
// The claim copy's mapping from the legacy claim table conv_hcfa_info to
// cms2012, as data: one item per target column, in the order of the INSERT,
// with its source column and the rule that turns the source value into an
// SQL item. The mapping builds the INSERT text and fixes the line numbers
// an error in the copy reports.
#include <array>
#include <functional>
#include <string>
#include <vector>

namespace jet {
class Value;
}

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

// The current legacy row's value of a column, by name.
using FieldReader = std::function<jet::Value(const std::string& column)>;

// The INSERT of one legacy claim, from its fields and its four diagnosis
// texts. Column name j (after CLIENT_ID and EVENT_ID) is appended on line
// 110 + 10·j, " Values (" with the CLIENT_ID and EVENT_ID items on 2410,
// and the other items from line 2420 on, each taking the lines of its
// rule. `line` names the line at work when a field cannot be read; on
// return it is the line after the last item, the one that executes.
// A NULL text is written as the empty text, a NULL yes/no as False, any
// other NULL as null: a claim without client_id or event_id is thus
// refused by the database when the INSERT executes.
std::string BuildClaimInsert(const FieldReader& field,
                             const std::array<std::string, 4>& diagnosis, int& line);

}  // namespace calmora
