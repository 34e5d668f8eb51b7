#pragma once
// The data step that gives every legacy claim without an event one: the
// patient's only event, the patient's event on the date of injury, or a new
// event. Refuses, reports and counts the claims the database will not
// take; any other failure is reported through HandleError (module
// "modCommon") and ends the step. Always returns normally.
namespace calmora {

void COMFixNullEvent();

}  // namespace calmora
