#pragma once
// Whole-file reads and writes, byte for byte (no line-end translation).
#include <filesystem>
#include <string>
#include <string_view>

namespace calmora::testing {

// The file's bytes; throws std::runtime_error when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& file);
// Creates or replaces the file with exactly these bytes; throws on failure.
void WriteFileBytes(const std::filesystem::path& file, std::string_view bytes);

}  // namespace calmora::testing
