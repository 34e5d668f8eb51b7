#include "upgrade/UpgradeSteps.h"

#include "upgrade/modCommon.h"

namespace calmora {

namespace {

constexpr std::array<UpgradeStep, kUpgradeStepCount> kSteps{{
    {StepId::AddTables, 730, "COMAddTables", "Adding the new tables", COMAddTables},
    {StepId::AddRelationships, 740, "COMAddRelationships", "Adding the table relationships",
     COMAddRelationships},
    {StepId::AlterTables, 750, "COMAlterTables", "Adding the new event columns", COMAlterTables},
    {StepId::AddRowData, 760, "COMAddRowData", "Moving diagnosis codes into events",
     COMAddRowData},
    {StepId::RemoveNulls, 770, "COMRemoveNulls", "Filling empty claim fields", COMRemoveNulls},
    {StepId::FixNullEvent, 780, "COMFixNullEvent", "Linking claims to events", COMFixNullEvent},
    {StepId::MoveCMSData, 790, "COMMoveCMSData", "Copying claims into the CMS-1500 table",
     COMMoveCMSData},
}};

// A step is found by its id as an index: the table must list them in the
// enumeration's order.
constexpr bool InIdOrder() {
  for (std::size_t i = 0; i < kSteps.size(); ++i)
    if (static_cast<std::size_t>(kSteps[i].id) != i) return false;
  return true;
}
static_assert(InIdOrder());

}  // namespace

const std::array<UpgradeStep, kUpgradeStepCount>& UpgradeSteps() { return kSteps; }

const UpgradeStep& UpgradeStepOf(StepId id) { return kSteps[static_cast<std::size_t>(id)]; }

const char* ProcedureOf(StepId id) { return UpgradeStepOf(id).procedure; }

const UpgradeStep* FindUpgradeStep(std::string_view procedure) {
  for (const UpgradeStep& step : kSteps)
    if (step.procedure == procedure) return &step;
  return nullptr;
}

std::size_t PositionOf(const UpgradeStep& step) { return static_cast<std::size_t>(step.id) + 1; }

}  // namespace calmora
