#pragma once
// The machine snapshot that ends every error report: the version record and
// the memory record. The figures come from SystemFacts (below), which tests
// replace to check exact bytes.
#include <ctime>
#include <string>

#include "os/SystemFigures.h"

namespace calmora {

// The running system as the log sees it: clock, memory, version line.
// The real facts: the local time; memory from the kernel (page file = swap,
// virtual = the process's address-space limit; all zero when the kernel's
// figures cannot be read); and the version line
// "Linux <kernel release> <PRETTY_NAME>", for example
// "Linux 6.1.0-18-amd64 Debian GNU/Linux 12 (bookworm)" (os/SystemFigures.h).
class SystemFacts {
 public:
  virtual ~SystemFacts() = default;
  virtual std::tm LocalNow() const = 0;
  virtual MemoryStatus Memory() const = 0;
  virtual std::string VersionText() const = 0;
};

// The installed facts; the real system unless a test installed others.
const SystemFacts& ActiveSystemFacts();
void InstallSystemFacts(const SystemFacts* facts);  // nullptr: the real system

// "WIN_VERSION#" + ActiveSystemFacts().VersionText(), one log line.
void LogWindowsVersion();
// "SYSTEM_MEMORY#" + GetMemoryStatusText(), one write.
void LogSystemMemory();
// CR LF, then seven lines of TAB, label, TAB, value right-aligned in eleven
// places, "%" or "MB", CR LF. Byte counts become whole megabytes, halves to
// the even neighbour, from the full 64-bit figures.
std::string GetMemoryStatusText();

}  // namespace calmora
