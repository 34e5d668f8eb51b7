#pragma once
// The data step that puts empty text in place of NULL in the legacy claim
// columns the claim copy quotes. A failing statement is reported through
// HandleError (module "modCommon") and ends the step; the statements before
// it stay done. Always returns normally.
namespace calmora {

void COMRemoveNulls();

}  // namespace calmora
