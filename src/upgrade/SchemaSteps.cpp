// The new tables and the extension of the event table: CREATE and ALTER
// statements built from the column data, then the zero-length passes
// through the run's shared catalogue.
#include "upgrade/SchemaSteps.h"

#include <memory>
#include <string>
#include <vector>

#include "jet/Catalog.h"
#include "jet/Connection.h"
#include "state/RunState.h"
#include "upgrade/EventColumns.h"
#include "upgrade/NewTables.h"
#include "upgrade/StepSupport.h"
#include "upgrade/UpgradeSteps.h"

namespace calmora {
namespace {

void ReleaseSharedCatalog();

// Never destroyed, as the run state: at static destruction the library
// beneath the connection may already be gone.
std::unique_ptr<jet::Catalog>& SharedCatalog() {
  static auto* const held = [] {
    ReleaseAtRunReset(ReleaseSharedCatalog);
    return new std::unique_ptr<jet::Catalog>;
  }();
  return *held;
}

void ReleaseSharedCatalog() { SharedCatalog().reset(); }

// Sets "Jet OLEDB:Allow Zero Length" on the named columns of a table
// through SharedCatalog(), which gets a new catalogue for the pass and is
// released at its end (a failing pass leaves it set). Line `base` creates
// the catalogue, base + 10 binds it, base + 20 looks up the table, the k-th
// column is set on base + 20 + 10·k, and the line after releases it.
void ZeroLengthPass(const std::string& tableName, const std::vector<std::string>& columns,
                    bool allow, int base, int& line) {
  line = base;
  SharedCatalog() = std::make_unique<jet::Catalog>();
  line = base + 10;
  SharedCatalog()->SetActiveConnection(PracticeDatabase());
  line = base + 20;
  jet::Table& table = SharedCatalog()->Tables(tableName);
  for (const std::string& column : columns) {
    line += 10;
    table.Columns(column).Properties(jet::kAllowZeroLength).SetValue(jet::Value::Boolean(allow));
  }
  line += 10;
  SharedCatalog().reset();
}

// Builds a CREATE TABLE text one column per line: the head with column 1
// on line base + 10, column m appended on line base + 10·m, the last one
// closing the parenthesis.
void BuildCreateText(const NewTable& table, int base, std::string& sql, int& line) {
  const auto& columns = table.columns;
  line = base + 10;
  sql = "CREATE TABLE " + table.name + " (" + columns.front().Definition() + ",";
  for (std::size_t m = 2; m <= columns.size(); ++m) {
    line = base + 10 * static_cast<int>(m);
    sql += " " + columns[m - 1].Definition() + (m == columns.size() ? ")" : ",");
  }
}

}  // namespace

const jet::Catalog* SchemaCatalog() { return SharedCatalog().get(); }

void COMAddTables() {
  int line = 10;
  try {
    StepProgress progress(ProcedureOf(StepId::AddTables), 0);
    const NewTable& conditionUrl = ConditionUrlTable();
    const NewTable& cms2012 = Cms2012Table();
    std::string sql;

    line = 20;
    sql = conditionUrl.CreateText();
    line = 30;
    PracticeDatabase().Execute(sql);
    ZeroLengthPass(conditionUrl.name, conditionUrl.TextColumnNames(),
                   *conditionUrl.textAllowsZeroLength, 40, line);

    BuildCreateText(StatementTempTable(), 90, sql, line);
    line += 10;
    PracticeDatabase().Execute(sql);

    BuildCreateText(cms2012, 200, sql, line);
    line += 10;
    PracticeDatabase().Execute(sql);
    ZeroLengthPass(cms2012.name, cms2012.TextColumnNames(), *cms2012.textAllowsZeroLength,
                   line + 10, line);
  } catch (...) {
    ReportTrapped(ProcedureOf(StepId::AddTables), line);
  }
}

void COMAlterTables() {
  int line = 10;
  try {
    StepProgress progress(ProcedureOf(StepId::AlterTables), 0);
    const auto& columns = EventColumns();
    std::string sql;
    std::vector<std::string> zeroLength;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const int m = static_cast<int>(i) + 1;
      line = 20 * m;
      sql = AlterText(columns[i]);
      line = 20 * m + 10;
      PracticeDatabase().Execute(sql);
      if (columns[i].zeroLengthPass) zeroLength.push_back(columns[i].name);
    }
    ZeroLengthPass("event", zeroLength, true, line + 10, line);
  } catch (...) {
    ReportTrapped(ProcedureOf(StepId::AlterTables), line);
  }
}

}  // namespace calmora
