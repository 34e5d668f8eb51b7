#include "os/SystemFigures.h"

#include "os/Env.h"

#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace calmora {
namespace {

std::optional<std::string> ReadWholeFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A "Name:   value kB" line of /proc/meminfo, in bytes.
std::optional<std::uint64_t> MeminfoBytes(const std::string& meminfo, std::string_view name) {
  std::istringstream lines(meminfo);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.size() <= name.size() || line.compare(0, name.size(), name) != 0 ||
        line[name.size()] != ':')
      continue;
    std::istringstream fields(line.substr(name.size() + 1));
    std::uint64_t kib = 0;
    if (fields >> kib) return kib * 1024;
    return std::nullopt;
  }
  return std::nullopt;
}

// The process's current virtual size: the first field of statm, in pages.
std::optional<std::uint64_t> CurrentVirtualBytes() {
  std::optional<std::string> statm = ReadWholeFile("/proc/self/statm");
  if (!statm) return std::nullopt;
  std::istringstream fields(*statm);
  std::uint64_t pages = 0;
  if (!(fields >> pages)) return std::nullopt;
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pageSize <= 0) return std::nullopt;
  return pages * static_cast<std::uint64_t>(pageSize);
}

}  // namespace

std::uint32_t MemoryLoadPercent(std::uint64_t total, std::uint64_t available) {
  if (total == 0) return 0;
  const std::uint64_t used = available < total ? total - available : 0;
  // used * 100 cannot overflow for any real memory size below 2^57 bytes;
  // divide first beyond that.
  const std::uint64_t percent = total < (std::uint64_t{1} << 56)
                                    ? (used * 100 + total / 2) / total
                                    : (used + total / 200) / (total / 100);
  return static_cast<std::uint32_t>(percent > 100 ? 100 : percent);
}

std::uint64_t UserAddressSpaceBytes() {
#if defined(__x86_64__)
  return std::uint64_t{1} << 47;  // 128 TiB
#elif defined(__aarch64__)
  return std::uint64_t{1} << 48;  // 256 TiB with 48-bit addresses
#else
  return sizeof(void*) >= 8 ? std::uint64_t{1} << 47 : std::uint64_t{3} << 30;
#endif
}

std::optional<MemoryStatus> ReadMemoryStatus() { return CurrentEnv().ReadMemory(); }

std::optional<MemoryStatus> ReadKernelMemoryStatus() {
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return std::nullopt;
  const std::uint64_t unit = info.mem_unit == 0 ? 1 : info.mem_unit;

  MemoryStatus m;
  m.totalPhysical = std::uint64_t{info.totalram} * unit;
  // MemAvailable counts reclaimable cache as free, as Windows does; older
  // kernels lack it.
  std::optional<std::uint64_t> available;
  if (std::optional<std::string> meminfo = ReadWholeFile("/proc/meminfo"))
    available = MeminfoBytes(*meminfo, "MemAvailable");
  m.availablePhysical =
      available ? *available
                : (std::uint64_t{info.freeram} + std::uint64_t{info.bufferram}) * unit;
  if (m.availablePhysical > m.totalPhysical) m.availablePhysical = m.totalPhysical;
  m.memoryLoad = MemoryLoadPercent(m.totalPhysical, m.availablePhysical);

  m.totalPageFile = std::uint64_t{info.totalswap} * unit;
  m.availablePageFile = std::uint64_t{info.freeswap} * unit;

  struct rlimit limit {};
  m.totalVirtual = (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
                       ? static_cast<std::uint64_t>(limit.rlim_cur)
                       : UserAddressSpaceBytes();
  const std::uint64_t used = CurrentVirtualBytes().value_or(0);
  m.availableVirtual = used < m.totalVirtual ? m.totalVirtual - used : 0;
  return m;
}

std::string PrettyNameFromOsRelease(std::string_view osRelease) {
  constexpr std::string_view key = "PRETTY_NAME=";
  std::string result;
  std::size_t pos = 0;
  while (pos < osRelease.size()) {
    std::size_t end = osRelease.find('\n', pos);
    if (end == std::string_view::npos) end = osRelease.size();
    std::string_view line = osRelease.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.substr(0, key.size()) != key) continue;
    std::string_view raw = line.substr(key.size());
    // Shell-style value: double quotes with backslash escapes, single quotes
    // taken literally, or a bare word. A later assignment wins, as in a shell.
    result.clear();
    char quote = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      const char c = raw[i];
      if (quote == 0 && (c == '"' || c == '\'')) {
        quote = c;
      } else if (quote != 0 && c == quote) {
        quote = 0;
      } else if (quote != '\'' && c == '\\' && i + 1 < raw.size()) {
        result += raw[++i];
      } else {
        result += c;
      }
    }
  }
  return result;
}

std::string LinuxVersionLine(std::string_view kernelRelease, std::string_view prettyName) {
  std::string line = "Linux ";
  line += kernelRelease;
  if (!prettyName.empty()) {
    line += ' ';
    line += prettyName;
  }
  return line;
}

std::string RunningSystemVersionLine() { return CurrentEnv().SystemVersionLine(); }

std::string ReadSystemVersionLine() {
  struct utsname names {};
  const std::string release = uname(&names) == 0 ? names.release : "";
  std::optional<std::string> osRelease = ReadWholeFile("/etc/os-release");
  if (!osRelease) osRelease = ReadWholeFile("/usr/lib/os-release");
  return LinuxVersionLine(release, osRelease ? PrettyNameFromOsRelease(*osRelease) : "");
}

}  // namespace calmora
