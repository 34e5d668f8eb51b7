#pragma once
// What the front ends say while an upgrade step runs: the step's place in the
// run's fixed order and what it does, in words the person at the machine
// reads. Steps report progress under their procedure names.
#include <string>
#include <string_view>

namespace calmora {

// "Step 6 of 7: Linking claims to events" for a known step; any other name
// is shown as it stands.
std::string DescribeStep(std::string_view procedure);

}  // namespace calmora
