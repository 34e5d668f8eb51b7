#pragma once
// Reads one named value of one key of the local-machine registry hive,
// which on Linux is the registry file of CALMORA_REGISTRY (default
// /etc/calmora/registry.reg). Requested type 1 asks for a string (255-byte
// buffer), 4 for a 32-bit number (4-byte buffer), anything else queries
// nothing. A failed open or query answers false and shows nothing; an
// unexpected failure (a malformed file) shows its description in an
// exclamation box titled "Calmora V31 Upgrade" and answers false.
#include <cstdint>
#include <string>
#include <variant>

namespace calmora {

// The out value: a text (UTF-8, with its terminating NUL when stored with
// one) or a number; untouched on failure.
using RegistryValue = std::variant<std::monostate, std::string, std::int32_t>;

bool ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                       std::int32_t requestedType, RegistryValue& value);

}  // namespace calmora
