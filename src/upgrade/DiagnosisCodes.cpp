// The legacy diagnosis codes of each event, joined at their point, into
// the event's new columns icda to icdd.
#include "upgrade/DiagnosisCodes.h"

#include <cstdint>
#include <memory>
#include <string>

#include "jet/Connection.h"
#include "jet/Recordset.h"
#include "platform/modADO.h"
#include "state/RunState.h"
#include "text/Utf8.h"
#include "upgrade/StepSupport.h"
#include "upgrade/TextRules.h"
#include "upgrade/UpgradeSteps.h"

namespace calmora {

void COMAddRowData() {
  static const char* const kTargets[] = {"icda", "icdb", "icdc", "icdd"};
  int line = 10;
  std::unique_ptr<jet::Recordset> events;
  try {
    line = 20;
    const std::string select = "Select * from Event";
    line = 30;
    events = std::make_unique<jet::Recordset>();
    line = 40;
    events->Open(select, PracticeDatabase(), jet::CursorType::Static, jet::LockType::ReadOnly);
    line = 50;
    const std::int64_t count = events->RecordCount();
    StepProgress progress(ProcedureOf(StepId::AddRowData), count > 0 ? count : 0);
    RowTally& tally = CurrentRun().reconciliation.diagnosisCodes;
    RowRefusals refusals(ProcedureOf(StepId::AddRowData), "event.id", tally.refusedKeys);
    if (count > 0) {
      line = 60;
      for (std::int64_t row = 1; row <= count; ++row) {
        // A code the database refuses leaves the rest of its event's codes
        // unwritten, as before; the events after it still get theirs.
        try {
          bool written = false;
          for (int k = 1; k <= 4; ++k) {
            line = 30 + 40 * k;
            const std::string text = DiagnosisText(
                events->Field(DiagnosisPartColumn(k, 'a')),
                events->Field(DiagnosisPartColumn(k, 'b')));
            line = 40 + 40 * k;
            if (text::CharacterCount(text) > 1) {
              line = 50 + 40 * k;
              const std::string sql = std::string("Update Event set ") + kTargets[k - 1] +
                                      " = '" + EscapeQuotes(text) + "' where id = " +
                                      events->Field("id").ToText();
              line = 60 + 40 * k;
              PracticeDatabase().Execute(sql);
              written = true;
            }
          }
          if (written) ++tally.written;
        } catch (...) {
          if (!refusals.Refuse(line, events->Field("id"))) throw;
        }
        ++tally.walked;
        line = 230;
        events->MoveNext();
        progress.RowDone();
      }
    }
    line = 250;
    COMCloseRecordset(events);
  } catch (...) {
    ReportTrapped(ProcedureOf(StepId::AddRowData), line);
  }
}

}  // namespace calmora
