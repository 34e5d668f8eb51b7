#include "os/CaseBlind.h"

#include <cstdint>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace calmora {

std::string CaseBlindKey(std::string_view utf8) {
  std::string key;
  key.reserve(utf8.size());
  const auto* s = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const auto length = static_cast<std::int32_t>(utf8.size());
  std::int32_t i = 0;
  while (i < length) {
    const std::int32_t start = i;
    UChar32 c = 0;
    U8_NEXT(s, i, length, c);
    if (c < 0) {
      key.append(utf8.substr(static_cast<std::size_t>(start),
                             static_cast<std::size_t>(i - start)));
      continue;
    }
    const UChar32 upper = u_toupper(c);
    std::uint8_t buffer[U8_MAX_LENGTH];
    std::int32_t n = 0;
    UBool failed = false;
    U8_APPEND(buffer, n, U8_MAX_LENGTH, upper, failed);
    (void)failed;  // a code point always fits U8_MAX_LENGTH bytes
    key.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
  }
  return key;
}

bool EqualsCaseBlind(std::string_view a, std::string_view b) {
  return CaseBlindKey(a) == CaseBlindKey(b);
}

}  // namespace calmora
