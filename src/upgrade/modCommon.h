#pragma once
// The upgrade steps run on the copied database, in the driver's fixed order:
// COMAddTables, COMAddRelationships, COMAlterTables, COMAddRowData,
// COMRemoveNulls, COMFixNullEvent, COMMoveCMSData. Each works on
// CurrentRun().DbConnection, reports and absorbs its own failures through
// HandleError (module "modCommon"), reports row progress through ActiveFrontEnd(), and
// always returns normally.
#include <string>

namespace calmora {

// Schema steps.
void COMAddTables();
void COMAddRelationships();
void CreateRelationship(const std::string& foreignTable, const std::string& keyName,
                        const std::string& foreignColumn, const std::string& primaryTable,
                        const std::string& primaryColumn);
void COMAlterTables();

// Data steps.
void COMAddRowData();
void COMRemoveNulls();
void COMFixNullEvent();
void COMMoveCMSData();

// Every single quote doubled; the caller writes the enclosing quotes.
std::string EscapeQuotes(const std::string& text);

}  // namespace calmora
