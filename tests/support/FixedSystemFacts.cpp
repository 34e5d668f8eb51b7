#include "support/FixedSystemFacts.h"

namespace calmora::testing {

std::tm LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day;
  t.tm_hour = hour, t.tm_min = minute, t.tm_sec = second, t.tm_isdst = -1;
  return t;
}

// 45% in use; 8 GiB of RAM with 3 GiB free; 2 GiB of swap with 1.5 GiB
// free; a 128 TiB address space of which 100 MiB are taken.
const MemoryStatus FixedSystemFacts::kMemory{45, 8589934592ULL, 3221225472ULL, 2147483648ULL,
                                             1610612736ULL, 140737488355328ULL, 140737383497728ULL};

const char FixedSystemFacts::kVersion[] = "Linux 6.1.0-18-amd64 Debian GNU/Linux 12 (bookworm)";

const char FixedSystemFacts::kMemoryRecord[] =
    "SYSTEM_MEMORY#\r\n"
    "\tMemory in use:         \t         45%\r\n"
    "\tTotal physical memory: \t       8192MB\r\n"
    "\tPhysical memory free:  \t       3072MB\r\n"
    "\tTotal page file size:  \t       2048MB\r\n"
    "\tFree page file size:   \t       1536MB\r\n"
    "\tTotal virtual memory:  \t  134217728MB\r\n"
    "\tFree virtual memory:   \t  134217628MB\r\n"
    "\r\n";

FixedSystemFacts::FixedSystemFacts()
    : now(LocalTime(2014, 3, 5, 9, 7, 4)), memory(kMemory), version(kVersion) {
  InstallSystemFacts(this);
}

FixedSystemFacts::~FixedSystemFacts() { InstallSystemFacts(nullptr); }

}  // namespace calmora::testing
