#pragma once
// The registry of this machine, kept as a registry export file: the header
// "Windows Registry Editor Version 5.00" or "REGEDIT4", [HIVE\key] lines,
// "name"=... and @=... value lines, ';' comments, blank lines, and hex data
// continued over lines ending in a backslash. The file may be UTF-8 (with
// or without a byte-order mark) or UTF-16LE (as regedit writes version 5).
//
// Value data is kept as the registry would hand it to a single-byte reader:
//   "text"         type 1, the UTF-8 text followed by its terminating NUL
//   dword:hhhhhhhh type 4, four bytes, least significant first
//   hex:aa,bb      type 3, the bytes
//   hex(N):aa,bb   type N (any hexadecimal N), the bytes; for types 1, 2
//                  and 7 the bytes are UTF-16LE in a version-5 file and are
//                  turned into UTF-8 (a UTF-16 NUL becomes one NUL byte), and
//                  are taken as they stand in a REGEDIT4 file. A string
//                  written without its NUL stays without it.
// "name"=- deletes a value and [-HIVE\key] a key with everything below it.
// Key and value names match without regard to case. Only the local-machine
// hive is answered; the other hives are checked for form and ignored.
//
// A malformed file raises RegistryFileError naming the line and the fault.
// This layer knows nothing of how failures are shown.
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

namespace calmora {

namespace regtype {
inline constexpr std::uint32_t None = 0;
inline constexpr std::uint32_t String = 1;
inline constexpr std::uint32_t ExpandString = 2;
inline constexpr std::uint32_t Binary = 3;
inline constexpr std::uint32_t Dword = 4;
inline constexpr std::uint32_t MultiString = 7;
}  // namespace regtype

struct RegistryData {
  std::uint32_t type = regtype::None;
  std::string bytes;  // the data, see above; size() is the registry's byte count
};

// A file that cannot be read or does not have the export form. line() is
// the 1-based line of the fault, 0 when the file as a whole is at fault.
class RegistryFileError : public std::runtime_error {
 public:
  RegistryFileError(const std::string& fileName, int line, const std::string& fault);
  int line() const noexcept { return line_; }

 private:
  int line_;
};

namespace detail {
class RegistryParser;
}

class RegistryKey {
 public:
  // The value of that name ("" is the default value), or nullptr.
  const RegistryData* Value(std::string_view name) const;

 private:
  friend class detail::RegistryParser;
  std::map<std::string, RegistryData> values_;  // by case-blind name
};

// The local-machine hive as one file describes it.
class RegistryHive {
 public:
  // A hive with no keys below it.
  RegistryHive();

  // Parses the file's bytes; fileName only names the file in errors.
  static RegistryHive Parse(std::string_view fileBytes, const std::string& fileName);
  // Reads and parses the file. A file that does not exist is an empty hive
  // (a machine without any of the keys); any other read failure raises
  // RegistryFileError.
  static RegistryHive Load(const std::string& path);

  // The key by its path below the hive ("Software\\Maker\\Product"), or
  // nullptr. Keys above a listed key exist too, as in the registry;
  // the empty path is the hive itself.
  const RegistryKey* OpenKey(std::string_view keyPath) const;

 private:
  std::map<std::string, RegistryKey> keys_;  // by case-blind path
};

// CALMORA_REGISTRY when set and not empty, else /etc/calmora/registry.reg.
std::string RegistryFilePath();

}  // namespace calmora
