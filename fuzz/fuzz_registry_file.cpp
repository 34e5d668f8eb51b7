// The registry export parser: any bytes either parse or raise
// RegistryFileError; the keys the conversion reads are then looked up.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "os/RegistryFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const calmora::RegistryHive hive = calmora::RegistryHive::Parse(bytes, "fuzz.reg");
    for (const char* key : {"Software\\Brindlecote\\Calmora V3",
                            "Software\\Brindlecote\\Calmora 2014", "", "Software"}) {
      if (const calmora::RegistryKey* k = hive.OpenKey(key)) {
        for (const char* value : {"Location", "Version", ""}) {
          if (const calmora::RegistryData* d = k->Value(value)) {
            volatile std::size_t sink = d->bytes.size() + d->type;
            (void)sink;
          }
        }
      }
    }
  } catch (const calmora::RegistryFileError&) {
    // A malformed file is refused with a clear error: the expected outcome.
  }
  return 0;
}
