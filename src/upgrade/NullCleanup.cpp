// Empty text in place of NULL in the legacy claim columns that the claim
// copy quotes: names, cities, states and zips.
#include "upgrade/NullCleanup.h"

#include <string>

#include "jet/Connection.h"
#include "upgrade/StepSupport.h"
#include "upgrade/UpgradeSteps.h"

namespace calmora {

void COMRemoveNulls() {
  static const char* const kColumns[] = {
      "CARRIER_CITY",  "CARRIER_STATE",  "CARRIER_ZIP",   "FACILITY_CITY", "FACILITY_STATE",
      "FACILITY_ZIP",  "PROVIDER_CITY",  "PROVIDER_STATE", "PROVIDER_ZIP",  "PATIENT_LNAME",
      "PATIENT_FNAME", "PATIENT_MI",     "INSURED_LNAME", "INSURED_FNAME", "INSURED_MI",
      "OTHER_LNAME",   "OTHER_FNAME",    "OTHER_MI"};
  int line = 10;
  try {
    StepProgress progress(ProcedureOf(StepId::RemoveNulls), 0);
    std::string sql;
    int i = 0;
    for (const char* column : kColumns) {
      ++i;
      line = 20 * i;
      sql = std::string("Update conv_hcfa_info set ") + column + " = '' where " + column +
            " is null";
      line = 20 * i + 10;
      PracticeDatabase().Execute(sql);
    }
  } catch (...) {
    ReportTrapped(ProcedureOf(StepId::RemoveNulls), line);
  }
}

}  // namespace calmora
