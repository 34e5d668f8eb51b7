#pragma once
// The layers of the house and which layer may include which, as data.
// Paths are relative to the project root with '/' separators. A path
// belongs to the layer of the longest folder or file prefix in the table
// that starts it; a path under none of them is in no layer (nullopt).
// A layer may always include itself. Nothing here touches the disk.
#include <optional>
#include <string_view>

namespace calmora::layers {

std::optional<std::string_view> LayerOf(std::string_view path);

// Whether code of layer `from` may include a header of layer `to`.
bool MayUse(std::string_view from, std::string_view to);

}  // namespace calmora::layers
