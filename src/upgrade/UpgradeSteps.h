#pragma once
// The seven upgrade steps, written once: the fixed order the driver runs
// them in (later steps use the tables, columns and rows earlier ones make),
// the driver's statement line that runs each, the procedure name each
// reports, logs and shows progress under, and the words the front ends
// show for it.
#include <array>
#include <cstddef>
#include <string_view>

namespace calmora {

// In run order.
enum class StepId {
  AddTables,
  AddRelationships,
  AlterTables,
  AddRowData,
  RemoveNulls,
  FixNullEvent,
  MoveCMSData,
};

struct UpgradeStep {
  StepId id;
  int line;               // the driver's statement that runs the step
  const char* procedure;  // "COMAddTables" ...
  const char* words;      // "Adding the new tables" ...
  void (*run)();          // reports and absorbs its own failures
};

inline constexpr std::size_t kUpgradeStepCount = 7;

// Every step, in run order.
const std::array<UpgradeStep, kUpgradeStepCount>& UpgradeSteps();

const UpgradeStep& UpgradeStepOf(StepId id);
// The name a step reports and shows progress under.
const char* ProcedureOf(StepId id);
// The step of that procedure name; nullptr for any other name.
const UpgradeStep* FindUpgradeStep(std::string_view procedure);
// The step's place in the run, from 1.
std::size_t PositionOf(const UpgradeStep& step);

}  // namespace calmora
