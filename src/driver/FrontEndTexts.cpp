#include "driver/FrontEndTexts.h"

#include "upgrade/UpgradeSteps.h"

namespace calmora {

std::string DescribeStep(std::string_view procedure) {
  const UpgradeStep* step = FindUpgradeStep(procedure);
  if (step == nullptr) return std::string(procedure);
  return "Step " + std::to_string(PositionOf(*step)) + " of " +
         std::to_string(UpgradeSteps().size()) + ": " + step->words;
}

std::string RowsText(std::int64_t rowsDone, std::int64_t rowsTotal) {
  return std::to_string(rowsDone) + " of " + std::to_string(rowsTotal) + " rows";
}

}  // namespace calmora
