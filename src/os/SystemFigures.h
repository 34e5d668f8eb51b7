#pragma once
// Figures of the running Linux system for the machine snapshot of error
// reports: memory in the shape of a Windows memory status, and one line that
// names the system. Plain functions: they report what they could not read
// to their caller and never throw.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace calmora {

struct MemoryStatus {
  std::uint32_t memoryLoad = 0;  // percent of physical memory in use, 0..100
  std::uint64_t totalPhysical = 0, availablePhysical = 0;
  // The page file of a Windows machine is swap here.
  std::uint64_t totalPageFile = 0, availablePageFile = 0;
  // The process's address space: its RLIMIT_AS limit (when unlimited, the
  // architecture's user address space, 128 TiB on x86-64), and that limit
  // less the process's current virtual size.
  std::uint64_t totalVirtual = 0, availableVirtual = 0;
};

// nullopt when the kernel's figures cannot be read. Goes through the
// installed environment (os/Env.h); ReadKernelMemoryStatus is the real
// reading behind it.
std::optional<MemoryStatus> ReadMemoryStatus();
std::optional<MemoryStatus> ReadKernelMemoryStatus();

// Percent of total in use given what is available, rounded to the nearest
// whole percent; 0 when total is 0.
std::uint32_t MemoryLoadPercent(std::uint64_t total, std::uint64_t available);

// The user address space of this architecture, the size of an unlimited
// RLIMIT_AS.
std::uint64_t UserAddressSpaceBytes();

// The value of PRETTY_NAME in os-release text (quotes and shell escapes
// removed); empty when the text has none.
std::string PrettyNameFromOsRelease(std::string_view osRelease);

// "Linux", a blank, the kernel release, a blank, the distribution's pretty
// name; the last blank and the name are left out when there is no name:
// "Linux 6.1.0-18-amd64 Debian GNU/Linux 12 (bookworm)".
std::string LinuxVersionLine(std::string_view kernelRelease, std::string_view prettyName);

// That line for the running system (uname, /etc/os-release, else
// /usr/lib/os-release), through the installed environment;
// ReadSystemVersionLine is the real reading behind it.
std::string RunningSystemVersionLine();
std::string ReadSystemVersionLine();

}  // namespace calmora
