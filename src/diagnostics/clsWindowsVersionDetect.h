#pragma once
// The Windows version text of a Windows version record, as support staff
// know it from error reports ("Microsoft Windows XP Professional Service
// Pack 3 (Build 2600), service pack 3.0"). The record comes from a version
// query given to the object, which answers as the platform's extended
// version query does; on Linux the log names the system by another line
// (SystemFacts::VersionText), and this class serves records that are given.
// The product type of old systems is read from the registry file.
#include <cstdint>
#include <functional>
#include <string>

namespace calmora {

// The extended operating-system version record, field for field.
struct OsVersionRecord {
  std::int32_t size = 0;  // 156 extended form, 148 short form
  std::int32_t majorVersion = 0;
  std::int32_t minorVersion = 0;
  std::int32_t buildNumber = 0;
  std::int32_t platformId = 0;  // 0 Win32s, 1 the 95/98/Me family, 2 NT family
  char servicePack[128] = {};   // text ended by a NUL
  // Extended form only.
  std::int16_t servicePackMajor = 0;
  std::int16_t servicePackMinor = 0;
  std::int16_t suiteMask = 0;
  std::uint8_t productType = 0;  // 1 workstation, 2 domain controller, 3 server
  std::uint8_t reserved = 0;
};

inline constexpr std::int32_t kVersionRecordExtended = 156;
inline constexpr std::int32_t kVersionRecordShort = 148;

// Fills the record and answers true when it supports the form its size
// asks for; answers false and leaves the record alone otherwise.
using VersionQuery = std::function<bool(OsVersionRecord& record)>;

class clsWindowsVersionDetect {
 public:
  explicit clsWindowsVersionDetect(VersionQuery query);

  // The version text; empty for an unknown platform or a 95-family version
  // it does not know. A record that neither form fills reads as Win32s.
  std::string WindowsName() const;

  // The text of a string value below the local-machine hive, up to its
  // first NUL; empty when the key does not open, the value is missing or
  // the registry file cannot be read. valueType receives the value's type
  // (0 when there is none).
  static std::string GetRegistryString(const std::string& keyPath, const std::string& valueName,
                                       std::uint32_t& valueType);

  // The text without the characters 0, 9, 15 and 32 at either end.
  static std::string TrimBlanks(const std::string& text);

 private:
  VersionQuery query_;
};

}  // namespace calmora
