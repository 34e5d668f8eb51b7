// The three foreign keys of the new tables, each appended through a
// catalogue of its own on the run's connection.
#include "upgrade/Relationships.h"

#include <memory>
#include <string>

#include "jet/Catalog.h"
#include "jet/Connection.h"
#include "upgrade/StepSupport.h"
#include "upgrade/UpgradeSteps.h"

namespace calmora {
namespace {

struct Relationship {
  const char* foreignTable;
  const char* keyName;
  const char* foreignColumn;
  const char* primaryTable;
  const char* primaryColumn;
};

constexpr Relationship kRelationships[] = {
    {"condition_url", "Condition_Urls", "Condition_ID", "Condition", "ID"},
    {"cms2012", "CMS_Person", "Client_ID", "Person", "ID"},
    {"cms2012", "CMS_Event", "Event_ID", "Event", "ID"},
};

}  // namespace

void COMAddRelationships() {
  int line = 10;
  try {
    StepProgress progress(ProcedureOf(StepId::AddRelationships), 0);
    for (const Relationship& r : kRelationships) {
      line += 10;
      CreateRelationship(r.foreignTable, r.keyName, r.foreignColumn, r.primaryTable,
                         r.primaryColumn);
    }
  } catch (...) {
    ReportTrapped(ProcedureOf(StepId::AddRelationships), line);
  }
}

void CreateRelationship(const std::string& foreignTable, const std::string& keyName,
                        const std::string& foreignColumn, const std::string& primaryTable,
                        const std::string& primaryColumn) {
  int line = 10;
  try {
    line = 20;
    auto catalog = std::make_unique<jet::Catalog>();
    line = 30;
    catalog->SetActiveConnection(PracticeDatabase());
    line = 40;
    jet::Key key;
    line = 60;
    key.name = keyName;
    line = 70;
    key.relatedTable = primaryTable;
    line = 80;
    key.type = jet::KeyType::Foreign;
    line = 90;
    key.AppendColumn(foreignColumn, jet::DataTypeEnum::VarWChar, 0);
    line = 100;
    key.Columns(foreignColumn).SetRelatedColumn(primaryColumn);
    line = 130;
    jet::Table& table = catalog->Tables(foreignTable);
    line = 140;
    table.AppendKey(key);
    line = 150;
    catalog.reset();
  } catch (...) {
    ReportTrapped("CreateRelationship", line);
  }
}

}  // namespace calmora
