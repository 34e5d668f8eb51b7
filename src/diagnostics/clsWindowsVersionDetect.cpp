#include "diagnostics/clsWindowsVersionDetect.h"

#include <cstring>
#include <string_view>

#include "text/Case.h"
#include "os/RegistryFile.h"

namespace calmora {
namespace {

constexpr char kProductOptionsKey[] = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";

// Code 15, not 13: carriage returns stay.
bool IsBlank(char c) { return c == 0 || c == 9 || c == 15 || c == 32; }

std::string FamilyOf95(const OsVersionRecord& r) {
  const char first = r.servicePack[0];
  if (r.majorVersion == 4 && r.minorVersion == 0)
    return std::string("Microsoft Windows 95 ") + (first == 'C' || first == 'B' ? "OSR2 " : "");
  if (r.majorVersion == 4 && r.minorVersion == 10)
    return std::string("Microsoft Windows 98 ") + (first == 'A' ? "SE " : "");
  if (r.majorVersion == 4 && r.minorVersion == 90) return "Microsoft Windows Me ";
  return "";
}

std::string NtBaseName(const OsVersionRecord& r) {
  if (r.majorVersion < 4) return "Microsoft Windows NT 3";
  if (r.majorVersion == 4) return "Microsoft Windows NT 4";
  if (r.majorVersion == 5 && r.minorVersion == 0) return "Microsoft Windows 2000 ";
  if (r.majorVersion == 5 && r.minorVersion == 1) return "Microsoft Windows XP ";
  return "";
}

std::string EditionFromRecord(const OsVersionRecord& r) {
  if (r.productType == 1) return (r.suiteMask & 2) != 0 ? "Home Edition " : "Professional ";
  if (r.productType == 3) {
    if ((r.suiteMask & 4) != 0) return "DataCenter Server ";
    if ((r.suiteMask & 5) != 0) return "Advanced Server ";
    return "Server ";
  }
  return "";
}

std::string EditionFromRegistry() {
  std::uint32_t type = 0;
  const std::string productType = text::UpperCased(
      clsWindowsVersionDetect::GetRegistryString(kProductOptionsKey, "ProductType", type));
  if (productType == "WINNT") return "Professional ";
  if (productType == "LANMANNT") return "Server ";
  if (productType == "SERVERNT") return "Advanced Server ";
  return "";
}

}  // namespace

clsWindowsVersionDetect::clsWindowsVersionDetect(VersionQuery query) : query_(std::move(query)) {}

std::string clsWindowsVersionDetect::WindowsName() const {
  OsVersionRecord r;
  r.size = kVersionRecordExtended;
  const bool extended = query_ && query_(r);
  if (!extended) {
    r.size = kVersionRecordShort;
    if (query_) query_(r);  // what it answers changes nothing: the record tells
  }
  const std::string servicePack(r.servicePack, strnlen(r.servicePack, sizeof r.servicePack));

  switch (r.platformId) {
    case 0:
      return "Microsoft Win32s ";
    case 1:
      return FamilyOf95(r);
    case 2:
      break;
    default:
      return "";
  }

  std::string text = NtBaseName(r);
  text += extended ? EditionFromRecord(r) : EditionFromRegistry();
  if (r.majorVersion > 4) {
    text += TrimBlanks(servicePack);
  } else {
    text += "version " + std::to_string(r.majorVersion) + "." + std::to_string(r.minorVersion) +
            servicePack;
  }
  text += " (Build " + std::to_string(r.buildNumber) + ")";
  text += ", service pack " + std::to_string(r.servicePackMajor) + "." +
          std::to_string(r.servicePackMinor);
  return text;
}

std::string clsWindowsVersionDetect::GetRegistryString(const std::string& keyPath,
                                                       const std::string& valueName,
                                                       std::uint32_t& valueType) {
  valueType = 0;
  try {
    const RegistryHive hive = RegistryHive::Load(RegistryFilePath());
    const RegistryKey* key = hive.OpenKey(keyPath);
    if (key == nullptr) return "";
    const RegistryData* data = key->Value(valueName);
    if (data == nullptr) return "";
    valueType = data->type;
    return data->bytes.substr(0, data->bytes.find('\0'));
  } catch (const std::exception&) {
    // A registry file that cannot be read answers as a key that does not open.
    return "";
  }
}

std::string clsWindowsVersionDetect::TrimBlanks(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  std::size_t begin = 0;
  while (begin < end && IsBlank(text[begin])) ++begin;
  return text.substr(begin, end - begin);
}

}  // namespace calmora
