#include "engine/storage/Fold.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <vector>

namespace jet {

namespace {

// Next code point, folded; malformed bytes stand for themselves (offset past
// the Unicode range so they never equal a real character).
UChar32 NextFolded(std::string_view s, std::int32_t& i) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(s.data());
  const auto length = static_cast<std::int32_t>(s.size());
  const std::int32_t start = i;
  UChar32 c = 0;
  U8_NEXT(bytes, i, length, c);
  if (c < 0) return 0x110000 + bytes[start];
  return u_foldCase(c, U_FOLD_CASE_DEFAULT);
}

std::vector<UChar32> FoldedCodePoints(std::string_view s) {
  std::vector<UChar32> out;
  out.reserve(s.size());
  std::int32_t i = 0;
  while (i < static_cast<std::int32_t>(s.size())) out.push_back(NextFolded(s, i));
  return out;
}

}  // namespace

std::string Fold(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  std::int32_t i = 0;
  while (i < length) {
    const std::int32_t start = i;
    UChar32 c = 0;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) {
      out.append(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
      continue;
    }
    c = u_foldCase(c, U_FOLD_CASE_DEFAULT);
    char buffer[4];
    std::int32_t n = 0;
    UBool error = false;
    U8_APPEND(reinterpret_cast<std::uint8_t*>(buffer), n, 4, c, error);
    (void)error;  // cannot happen: four bytes hold any code point
    out.append(buffer, static_cast<std::size_t>(n));
  }
  return out;
}

int CompareFolded(std::string_view a, std::string_view b) {
  std::int32_t i = 0, j = 0;
  const auto la = static_cast<std::int32_t>(a.size());
  const auto lb = static_cast<std::int32_t>(b.size());
  while (i < la && j < lb) {
    const UChar32 x = NextFolded(a, i);
    const UChar32 y = NextFolded(b, j);
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < la) return 1;
  if (j < lb) return -1;
  return 0;
}

bool EqualsFolded(std::string_view a, std::string_view b) { return CompareFolded(a, b) == 0; }

bool LikeMatch(std::string_view text, std::string_view pattern) {
  const std::vector<UChar32> t = FoldedCodePoints(text);
  const std::vector<UChar32> p = FoldedCodePoints(pattern);
  // Iterative match with one backtracking point for the last %.
  std::size_t ti = 0, pi = 0, starP = std::string::npos, starT = 0;
  while (ti < t.size()) {
    if (pi < p.size() && (p[pi] == '_' || (p[pi] != '%' && p[pi] == t[ti]))) {
      ++ti;
      ++pi;
    } else if (pi < p.size() && p[pi] == '%') {
      starP = pi++;
      starT = ti;
    } else if (starP != std::string::npos) {
      pi = starP + 1;
      ti = ++starT;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '%') ++pi;
  return pi == p.size();
}

}  // namespace jet
