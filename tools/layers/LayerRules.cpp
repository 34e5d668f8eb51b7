#include "tools/layers/LayerRules.h"

#include <algorithm>
#include <array>

namespace calmora::layers {
namespace {

struct Placement {
  std::string_view prefix;
  std::string_view layer;
};

constexpr std::array kPlacements{
    Placement{"src/text/", "text"},
    Placement{"src/engine/", "engine"},
    Placement{"src/os/", "os"},
    Placement{"src/state/", "state"},
    Placement{"src/diagnostics/", "diagnostics"},
    Placement{"src/platform/", "platform"},
    Placement{"src/upgrade/", "upgrade"},
    Placement{"src/driver/", "driver"},
    Placement{"src/terminal/", "terminal"},
    Placement{"src/window/", "window"},
    Placement{"src/app/", "app"},
    Placement{"tools/", "tools"},
    Placement{"tools/layers/", "include check"},
    Placement{"fuzz/", "fuzz"},
    Placement{"tests/", "tests"},
};

struct Uses {
  std::string_view layer;
  std::string_view below;  // the layers it may include, space-separated
};

// The steps work through the platform modules, never on the OS stand-ins
// directly; the two front ends know each other only through the driver;
// tools and fuzz targets stand beside the program, not on its front ends;
// the include check stands on none of the layers it checks.
constexpr std::string_view kUnderFrontEnds =
    "text engine os state diagnostics platform upgrade driver";

constexpr std::array kUses{
    Uses{"text", ""},
    Uses{"engine", "text"},
    Uses{"os", "text"},
    Uses{"state", "text engine os"},
    Uses{"diagnostics", "text engine os state"},
    Uses{"platform", "text engine os state diagnostics"},
    Uses{"upgrade", "text engine state diagnostics platform"},
    Uses{"driver", "text engine os state diagnostics platform upgrade"},
    Uses{"terminal", kUnderFrontEnds},
    Uses{"window", kUnderFrontEnds},
    Uses{"app", "text engine os state diagnostics platform upgrade driver terminal window"},
    Uses{"tools", kUnderFrontEnds},
    Uses{"include check", ""},
    Uses{"fuzz", kUnderFrontEnds},
};

bool NamesWord(std::string_view words, std::string_view word) {
  while (!words.empty()) {
    const auto space = words.find(' ');
    if (words.substr(0, space) == word) return true;
    if (space == std::string_view::npos) break;
    words.remove_prefix(space + 1);
  }
  return false;
}

}  // namespace

std::optional<std::string_view> LayerOf(std::string_view path) {
  const Placement* best = nullptr;
  for (const Placement& placement : kPlacements) {
    if (path.starts_with(placement.prefix) &&
        (best == nullptr || placement.prefix.size() > best->prefix.size())) {
      best = &placement;
    }
  }
  if (best == nullptr) return std::nullopt;
  return best->layer;
}

bool MayUse(std::string_view from, std::string_view to) {
  if (from == to) return true;
  const auto uses = std::find_if(kUses.begin(), kUses.end(),
                                 [from](const Uses& entry) { return entry.layer == from; });
  return uses != kUses.end() && NamesWord(uses->below, to);
}

}  // namespace calmora::layers
