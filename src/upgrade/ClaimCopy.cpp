// Every legacy claim row into cms2012, one INSERT per row built from the
// claim mapping.
#include "upgrade/ClaimCopy.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "jet/Connection.h"
#include "jet/Recordset.h"
#include "platform/modADO.h"
#include "state/RunState.h"
#include "upgrade/ClaimRules.h"
#include "upgrade/StepSupport.h"
#include "upgrade/TextRules.h"
#include "upgrade/UpgradeSteps.h"

namespace calmora {

void COMMoveCMSData() {
  int line = 10;
  std::unique_ptr<jet::Recordset> claims;
  RowTally& tally = CurrentRun().reconciliation.claimCopy;
  try {
    line = 20;
    const std::string select = "Select * from conv_hcfa_info";
    line = 30;
    claims = std::make_unique<jet::Recordset>();
    line = 40;
    claims->Open(select, PracticeDatabase(), jet::CursorType::Static, jet::LockType::ReadOnly);
    line = 50;
    const std::int64_t count = claims->RecordCount();
    StepProgress progress(ProcedureOf(StepId::MoveCMSData), count > 0 ? count : 0);
    RowRefusals refusals(ProcedureOf(StepId::MoveCMSData), "conv_hcfa_info.hcfa_id", tally.refusedKeys);
    if (count > 0) {
      line = 60;
      for (std::int64_t row = 1; row <= count; ++row) {
        // A row the database refuses is reported and left behind; the copy
        // goes on with the next one.
        try {
          std::array<std::string, 4> diagnosis;
          for (int k = 1; k <= 4; ++k) {
            line = 60 + 10 * k;
            diagnosis[static_cast<std::size_t>(k - 1)] =
                DiagnosisText(claims->Field(DiagnosisPartColumn(k, 'a')),
                                       claims->Field(DiagnosisPartColumn(k, 'b')));
          }
          const std::string sql = BuildClaimInsert(
              [&claims](const std::string& column) { return claims->Field(column); }, diagnosis,
              line);
          PracticeDatabase().Execute(sql);
          ++tally.written;
        } catch (...) {
          if (!refusals.Refuse(line, claims->Field("hcfa_id"))) throw;
        }
        ++tally.walked;
        line = 5220;
        claims->MoveNext();
        progress.RowDone();
      }
    }
    line = 5240;
    COMCloseRecordset(claims);
  } catch (...) {
    ReportTrapped(ProcedureOf(StepId::MoveCMSData), line);
  }
}

}  // namespace calmora
