// The connection string: any text either opens the practice file (its
// path and password given right) or is refused with jet::Error. It runs in
// the fuzz database's folder, so a relative Data Source names files there;
// give it its corpus by absolute path (scripts/fuzz.sh does).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzDatabase.h"
#include "jet/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static calmora::fuzz::FuzzDatabase db;
  static const bool entered = ::chdir(db.folder().c_str()) == 0;
  (void)entered;
  const std::string text(reinterpret_cast<const char*>(data), size);
  jet::Connection connection;
  try {
    connection.Open(text);
    connection.Close();
  } catch (const jet::Error&) {
  }
  return 0;
}
