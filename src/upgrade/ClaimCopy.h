#pragma once
// The data step that copies every legacy claim into cms2012, one INSERT per
// row built from the claim mapping. Refuses, reports and counts the rows
// the database will not take; any other failure is reported through
// HandleError (module "modCommon") and ends the step, leaving the rows
// copied before it. Always returns normally.
namespace calmora {

void COMMoveCMSData();

}  // namespace calmora
