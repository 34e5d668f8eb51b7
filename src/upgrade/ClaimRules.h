#pragma once
// The INSERT of one legacy claim into cms2012, built from the claim mapping
// (upgrade/ClaimMapping.h): each item written by its rule. The mapping's
// order fixes the line numbers an error in the copy reports.
#include <array>
#include <functional>
#include <string>

namespace jet {
class Value;
}

namespace calmora {

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
