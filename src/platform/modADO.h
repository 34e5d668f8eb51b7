#pragma once
// The one connection of the run and the disposal of recordsets.
#include <memory>
#include <string>

#include "jet/Connection.h"
#include "jet/Recordset.h"

namespace calmora {

// Builds "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<path>;" plus
// "User Id=<user>;Jet OLEDB:Database Password=<password>;" when either is
// not empty, stores a new connection in `connection` and opens it. On
// failure reports through HandleError ("modADO", description unchanged),
// leaves the connection object in place and answers false.
bool COMOpenConnection(std::unique_ptr<jet::Connection>& connection,
                       const std::string& databasePath, const std::string& userName,
                       const std::string& password);

std::string BuildConnectionString(const std::string& databasePath,
                                  const std::string& userName,
                                  const std::string& password);

// Closes the recordset when it is open and releases it; ignores failures.
void COMCloseRecordset(std::unique_ptr<jet::Recordset>& recordset);

}  // namespace calmora
