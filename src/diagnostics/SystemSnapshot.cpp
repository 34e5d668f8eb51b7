#include "diagnostics/SystemSnapshot.h"

#include <cstdint>

#include <fmt/format.h>

#include "diagnostics/ConversionLog.h"

namespace calmora {
namespace {

class RealSystemFacts final : public SystemFacts {
 public:
  std::tm LocalNow() const override {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
  }

  MemoryStatus Memory() const override { return ReadMemoryStatus().value_or(MemoryStatus{}); }

  std::string VersionText() const override { return RunningSystemVersionLine(); }
};

const RealSystemFacts realFacts;
const SystemFacts* installedFacts = nullptr;

// Bytes to whole megabytes, halves to the even neighbour. Exact integer
// arithmetic: the same result as dividing as a double and rounding, without
// the double's loss of precision on very large figures.
std::uint64_t RoundedMegabytes(std::uint64_t bytes) {
  constexpr std::uint64_t kMiB = 1048576;
  const std::uint64_t whole = bytes / kMiB;
  const std::uint64_t rest = bytes % kMiB;
  if (rest * 2 > kMiB) return whole + 1;
  if (rest * 2 == kMiB) return whole + (whole % 2);
  return whole;
}

// TAB, label, TAB, the value right-aligned in eleven places, the unit, CR LF.
std::string MemoryLine(std::string_view label, std::uint64_t value, std::string_view unit) {
  return fmt::format("\t{}\t{:>11}{}\r\n", label, value, unit);
}

}  // namespace

const SystemFacts& ActiveSystemFacts() { return installedFacts != nullptr ? *installedFacts : realFacts; }

void InstallSystemFacts(const SystemFacts* facts) { installedFacts = facts; }

void LogWindowsVersion() { WriteLogLine("WIN_VERSION#" + ActiveSystemFacts().VersionText()); }

void LogSystemMemory() { WriteLogLine("SYSTEM_MEMORY#" + GetMemoryStatusText()); }

std::string GetMemoryStatusText() {
  const MemoryStatus m = ActiveSystemFacts().Memory();
  std::string text = "\r\n";
  text += MemoryLine("Memory in use:         ", m.memoryLoad, "%");
  text += MemoryLine("Total physical memory: ", RoundedMegabytes(m.totalPhysical), "MB");
  text += MemoryLine("Physical memory free:  ", RoundedMegabytes(m.availablePhysical), "MB");
  text += MemoryLine("Total page file size:  ", RoundedMegabytes(m.totalPageFile), "MB");
  text += MemoryLine("Free page file size:   ", RoundedMegabytes(m.availablePageFile), "MB");
  text += MemoryLine("Total virtual memory:  ", RoundedMegabytes(m.totalVirtual), "MB");
  text += MemoryLine("Free virtual memory:   ", RoundedMegabytes(m.availableVirtual), "MB");
  return text;
}

}  // namespace calmora
