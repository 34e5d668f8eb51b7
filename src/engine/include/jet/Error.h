#pragma once
// The one error object the engine raises, and the entries of a connection's
// error collection. Descriptions name tables and columns, never the values
// of a row: error reports are mailed to support and carry no patient data.
//
// Numbers follow the provider's style: failures inside the engine (SQL, the
// rules of the file, the file itself) are negative HRESULTs; failures of the
// object model (item not found, closed recordset, malformed filter) use the
// data-access library's own negative numbers and leave the collection alone.
// The full table of numbers, SQL states and descriptions is in ErrorTable.h.
#include <cstdint>
#include <exception>
#include <string>

namespace jet {

inline constexpr char kEngineSource[] = "Calmora Jet Engine";
inline constexpr char kObjectModelSource[] = "Calmora Data Objects";

struct ErrorEntry {
  std::int32_t number = 0;
  std::string description;
  std::string source;
  std::string sqlState;  // the engine's own error number as text, e.g. "3022"
  std::int32_t nativeError = 0;  // the storage library's extended result code
};

class Error : public std::exception {
 public:
  Error(std::int32_t number, std::string description, std::string source)
      : number_(number), description_(std::move(description)), source_(std::move(source)) {}
  std::int32_t number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }
  const std::string& source() const noexcept { return source_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  std::int32_t number_;
  std::string description_;
  std::string source_;
};

}  // namespace jet
