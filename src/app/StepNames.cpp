#include "app/StepNames.h"

#include <array>
#include <string_view>
#include <utility>

namespace calmora {

namespace {

// In the order the driver runs them.
constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kSteps{{
    {"COMAddTables", "Adding the new tables"},
    {"COMAddRelationships", "Adding the table relationships"},
    {"COMAlterTables", "Adding the new event columns"},
    {"COMAddRowData", "Moving diagnosis codes into events"},
    {"COMRemoveNulls", "Filling empty claim fields"},
    {"COMFixNullEvent", "Linking claims to events"},
    {"COMMoveCMSData", "Copying claims into the CMS-1500 table"},
}};

}  // namespace

std::string DescribeStep(std::string_view procedure) {
  for (std::size_t i = 0; i < kSteps.size(); ++i) {
    if (kSteps[i].first == procedure) {
      return "Step " + std::to_string(i + 1) + " of " + std::to_string(kSteps.size()) + ": " +
             std::string(kSteps[i].second);
    }
  }
  return std::string(procedure);
}

}  // namespace calmora
