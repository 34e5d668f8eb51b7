// Recordset filter criteria: any text either filters the snapshot or is
// refused with jet::Error; the filtered rows are then walked and counted.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "FuzzDatabase.h"
#include "jet/Error.h"
#include "jet/Recordset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static calmora::fuzz::FuzzDatabase db;
  static std::unique_ptr<jet::Recordset> rs = [] {
    auto r = std::make_unique<jet::Recordset>();
    r->Open("SELECT * FROM event", db.connection());
    return r;
  }();
  const std::string criteria(reinterpret_cast<const char*>(data), size);
  try {
    rs->SetFilter(criteria);
    std::int64_t walked = 0;
    for (; !rs->IsEOF(); rs->MoveNext()) {
      (void)rs->Field("patientid");
      ++walked;
    }
    if (walked != rs->RecordCount()) __builtin_trap();  // the count must be the rows walked
  } catch (const jet::Error&) {
  }
  try {
    rs->SetFilter("");
  } catch (const jet::Error&) {
    __builtin_trap();  // clearing a filter never fails
  }
  return 0;
}
