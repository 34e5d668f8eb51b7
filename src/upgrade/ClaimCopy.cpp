// Every legacy claim row into cms2012, one INSERT per row built from the
// claim mapping.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/Connection.h"
#include "engine/Recordset.h"
#include "platform/modADO.h"
#include "upgrade/ClaimMapping.h"
#include "upgrade/StepSupport.h"
#include "upgrade/TextRules.h"
#include "upgrade/modCommon.h"

namespace calmora {

void COMMoveCMSData() {
  int line = 10;
  std::unique_ptr<jet::Recordset> claims;
  try {
    line = 20;
    const std::string select = "Select * from conv_hcfa_info";
    line = 30;
    claims = std::make_unique<jet::Recordset>();
    line = 40;
    claims->Open(select, upgrade::Db(), jet::CursorType::Static, jet::LockType::ReadOnly);
    line = 50;
    const std::int64_t count = claims->RecordCount();
    upgrade::StepProgress progress("COMMoveCMSData", count > 0 ? count : 0);
    if (count > 0) {
      line = 60;
      for (std::int64_t row = 1; row <= count; ++row) {
        std::array<std::string, 4> diagnosis;
        for (int k = 1; k <= 4; ++k) {
          line = 60 + 10 * k;
          diagnosis[static_cast<std::size_t>(k - 1)] =
              upgrade::DiagnosisText(claims->Field(upgrade::DiagnosisPartColumn(k, 'a')),
                                     claims->Field(upgrade::DiagnosisPartColumn(k, 'b')));
        }
        const std::string sql = upgrade::BuildClaimInsert(
            [&claims](const std::string& column) { return claims->Field(column); }, diagnosis,
            line);
        upgrade::Db().Execute(sql);
        line += 10;
        claims->MoveNext();
        progress.RowDone();
      }
    }
    line = 5240;
    COMCloseRecordset(claims);
  } catch (...) {
    upgrade::ReportTrapped("COMMoveCMSData", line);
  }
}

}  // namespace calmora
