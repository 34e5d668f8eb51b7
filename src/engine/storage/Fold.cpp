#include "storage/Fold.h"

#include <vector>

namespace jet {

bool LikeMatch(std::string_view text, std::string_view pattern) {
  const std::vector<char32_t> t = calmora::text::FoldedCharacters(text);
  const std::vector<char32_t> p = calmora::text::FoldedCharacters(pattern);
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
