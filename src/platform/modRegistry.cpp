#include "platform/modRegistry.h"

#include <array>
#include <cstring>
#include <exception>

#include "diagnostics/FrontEnd.h"
#include "os/RegistryFile.h"

namespace calmora {
namespace {

constexpr std::size_t kStringBufferBytes = 255;
constexpr std::size_t kNumberBufferBytes = 4;

// What one query hands back: the type and byte count the registry reports
// and the buffer it filled. A value that does not fit the buffer fails.
struct Query {
  std::uint32_t reportedType = regtype::None;
  std::size_t byteCount = 0;
};

bool QueryInto(const RegistryKey& key, const std::string& valueName, char* buffer,
               std::size_t bufferBytes, Query& query) {
  const RegistryData* data = key.Value(valueName);
  if (data == nullptr || data->bytes.size() > bufferBytes) return false;
  std::memcpy(buffer, data->bytes.data(), data->bytes.size());
  query.reportedType = data->type;
  query.byteCount = data->bytes.size();
  return true;
}

}  // namespace

bool ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                       std::int32_t requestedType, RegistryValue& value) {
  RegistryHive hive;
  try {
    hive = RegistryHive::Load(RegistryFilePath());
  } catch (const std::exception& failure) {
    ActiveFrontEnd().ShowMessage(failure.what(), "Calmora V31 Upgrade", MessageIcon::Exclamation);
    return false;
  }
  const RegistryKey* key = hive.OpenKey(keyPath);
  if (key == nullptr) return false;

  // Each buffer is filled only by its own query; the conversion below reads
  // the buffer of the type the registry reports, filled or not.
  std::array<char, kStringBufferBytes> text{};
  std::array<char, kNumberBufferBytes> number{};
  bool textFilled = false;
  Query query;
  if (requestedType == static_cast<std::int32_t>(regtype::String)) {
    if (!QueryInto(*key, valueName, text.data(), text.size(), query)) return false;
    textFilled = true;
  } else if (requestedType == static_cast<std::int32_t>(regtype::Dword)) {
    if (!QueryInto(*key, valueName, number.data(), number.size(), query)) return false;
  }

  switch (query.reportedType) {
    case regtype::String:
      value = textFilled ? std::string(text.data(), query.byteCount) : std::string();
      break;
    case regtype::Dword: {
      std::uint32_t n = 0;
      for (std::size_t i = 0; i < number.size(); ++i) {
        n |= static_cast<std::uint32_t>(static_cast<unsigned char>(number[i])) << (8 * i);
      }
      value = static_cast<std::int32_t>(n);
      break;
    }
    default:
      value = std::int32_t{1};
      break;
  }
  return true;
}

}  // namespace calmora
