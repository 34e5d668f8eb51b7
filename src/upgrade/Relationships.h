#pragma once
// The foreign keys of the new tables. Each procedure reports and absorbs its
// own failure through HandleError (module "modCommon") and returns
// normally; a key that could not be appended is simply missing.
#include <string>

namespace calmora {

// The three keys, each through CreateRelationship.
void COMAddRelationships();
// Appends the key `keyName` on foreignTable.foreignColumn referring to
// primaryTable.primaryColumn, through a catalogue of its own on the run's
// connection.
void CreateRelationship(const std::string& foreignTable, const std::string& keyName,
                        const std::string& foreignColumn, const std::string& primaryTable,
                        const std::string& primaryColumn);

}  // namespace calmora
