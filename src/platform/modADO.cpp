#include "platform/modADO.h"

#include <exception>

#include "diagnostics/ErrorInfo.h"
#include "diagnostics/modError.h"

namespace calmora {

std::string BuildConnectionString(const std::string& databasePath, const std::string& userName,
                                  const std::string& password) {
  std::string text = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + databasePath + ";";
  if (!userName.empty() || !password.empty()) {
    text += "User Id=" + userName + ";Jet OLEDB:Database Password=" + password + ";";
  }
  return text;
}

bool COMOpenConnection(std::unique_ptr<jet::Connection>& connection,
                       const std::string& databasePath, const std::string& userName,
                       const std::string& password) {
  try {
    const std::string connectionString = BuildConnectionString(databasePath, userName, password);
    // Stored before opening: a failed open leaves it in place so that its
    // error collection can be reported and read.
    connection = std::make_unique<jet::Connection>();
    connection->Open(connectionString);
    return true;
  } catch (...) {
    HandleError("modADO", "COMOpenConnection", CaptureError(std::current_exception()));
    return false;
  }
}

void COMCloseRecordset(std::unique_ptr<jet::Recordset>& recordset) {
  if (!recordset) return;
  try {
    if (recordset->State() != jet::ObjectState::Closed) recordset->Close();
  } catch (...) {
    // Disposal only: a recordset that will not close is released anyway.
  }
  recordset.reset();
}

}  // namespace calmora
