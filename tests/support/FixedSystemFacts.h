#pragma once
// System facts for tests: a fixed clock, fixed memory figures and a fixed
// version line, so that log names and log bytes can be checked exactly.
// Installs itself for its lifetime; the real system is back afterwards.
#include <ctime>
#include <string>

#include "diagnostics/SystemSnapshot.h"

namespace calmora::testing {

// A local date and time as the log sees it.
std::tm LocalTime(int year, int month, int day, int hour, int minute, int second);

class FixedSystemFacts : public SystemFacts {
 public:
  // 5 March 2014, 09:07:04; the figures of kMemory; kVersion.
  FixedSystemFacts();
  ~FixedSystemFacts() override;
  FixedSystemFacts(const FixedSystemFacts&) = delete;
  FixedSystemFacts& operator=(const FixedSystemFacts&) = delete;

  std::tm LocalNow() const override { return now; }
  MemoryStatus Memory() const override { return memory; }
  std::string VersionText() const override { return version; }

  std::tm now;
  MemoryStatus memory;
  std::string version;

  static const MemoryStatus kMemory;
  static const char kVersion[];
  // The memory record that kMemory gives, as written to the log (CR LF ends).
  static const char kMemoryRecord[];
};

}  // namespace calmora::testing
