#pragma once
// The data step that joins each event's legacy diagnosis codes into the
// new columns icda to icdd. Refuses, reports and counts the rows the
// database will not take; any other failure is reported through
// HandleError (module "modCommon") and ends the step. Always returns
// normally.
namespace calmora {

void COMAddRowData();

}  // namespace calmora
