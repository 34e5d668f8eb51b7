#pragma once
// The schema steps that make the new tables and extend the event table.
// Each works on the run's connection, reports and absorbs its own failure
// through HandleError (module "modCommon") at the line it reached, and
// always returns normally; what it did before the failure stays done.
namespace jet {
class Catalog;
}

namespace calmora {

// condition_url, statement_temp and cms2012, with the zero-length rule of
// their text columns.
void COMAddTables();
// The new columns of event, the zero-length rule on those that take it.
void COMAlterTables();

// The catalogue the zero-length passes share: made for each pass and
// released at its end. A failing pass leaves it until the next pass or the
// run's reset (ResetRunState). Null while no pass holds one.
const jet::Catalog* SchemaCatalog();

}  // namespace calmora
