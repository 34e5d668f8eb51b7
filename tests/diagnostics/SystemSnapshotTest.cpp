// The system figures of an error report: memory in whole megabytes, and
// the real system's facts. The record's layout is pinned with the report.
#include <sys/resource.h>
#include <sys/utsname.h>

#include <gtest/gtest.h>

#include "diagnostics/SystemSnapshot.h"
#include "os/SystemFigures.h"
#include "support/FixedSystemFacts.h"

namespace calmora::testing {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUnderAddressSanitizer = true;
#else
constexpr bool kUnderAddressSanitizer = false;
#endif
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

constexpr std::uint64_t kMiB = 1048576;
constexpr std::uint64_t kGiB = 1024 * kMiB;

// Whole megabytes, halves to the even neighbour, from the full 64 bits:
// figures above 2 and 4 GB are exact, and one wider than the field is whole.
TEST(MemoryText, MegabytesRoundHalvesToEvenOverTheFull64Bits) {
  const std::pair<std::uint64_t, const char*> cases[] = {
      {kMiB / 2 - 1, "          0MB"},       {kMiB / 2 + 1, "          1MB"},
      {1572864, "          2MB"},            {2621440, "          2MB"},  // 1.5, 2.5
      {2147483647, "       2048MB"},         {4 * kGiB + kMiB / 2, "       4096MB"},
      {4 * kGiB + 3 * kMiB / 2, "       4098MB"}, {~std::uint64_t{0}, "17592186044416MB"},
  };
  FixedSystemFacts facts;
  for (const auto& [bytes, figure] : cases) {
    facts.memory.totalPhysical = bytes;
    EXPECT_NE(GetMemoryStatusText().find("\tTotal physical memory: \t" + std::string(figure) + "\r\n"),
              std::string::npos) << bytes << " " << GetMemoryStatusText();
  }
}

TEST(RealSystemFacts, DescribeTheRunningLinux) {
  InstallSystemFacts(nullptr);
  struct utsname names {};
  ASSERT_EQ(uname(&names), 0);
  const std::string version = ActiveSystemFacts().VersionText();
  EXPECT_TRUE(version.starts_with(std::string("Linux ") + names.release)) << version;
  EXPECT_EQ(version.find('\n'), std::string::npos);
  const MemoryStatus m = ActiveSystemFacts().Memory();
  EXPECT_GT(m.totalPhysical, 16 * kMiB);
  EXPECT_LE(m.availablePhysical, m.totalPhysical);
  EXPECT_LE(m.memoryLoad, 100u);
  EXPECT_LE(m.availablePageFile, m.totalPageFile);
  EXPECT_LT(m.availableVirtual, m.totalVirtual) << "the process itself takes some space";
  EXPECT_GE(ActiveSystemFacts().LocalNow().tm_year + 1900, 2024);
}

// The address space follows the process's limit, and an unlimited one is
// the architecture's user address space.
TEST(SystemFigures, VirtualMemoryIsTheAddressSpaceLimit) {
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
  if (saved.rlim_cur == RLIM_INFINITY) {
    ASSERT_TRUE(ReadMemoryStatus());
    EXPECT_EQ(ReadMemoryStatus()->totalVirtual, UserAddressSpaceBytes());
#if defined(__x86_64__)
    EXPECT_EQ(UserAddressSpaceBytes(), 128ULL * 1024 * kGiB);
#endif
  }
  // AddressSanitizer reserves terabytes of shadow space: any lowered limit fails for that alone.
  const std::uint64_t limit = 64 * kGiB;
  if (kUnderAddressSanitizer || (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < limit)) GTEST_SKIP();
  struct rlimit lowered = saved;
  lowered.rlim_cur = limit;
  ASSERT_EQ(setrlimit(RLIMIT_AS, &lowered), 0);
  std::optional<MemoryStatus> m = ReadMemoryStatus();
  ASSERT_EQ(setrlimit(RLIMIT_AS, &saved), 0);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->totalVirtual, limit);
  EXPECT_LT(m->availableVirtual, limit);
  EXPECT_GT(m->availableVirtual, limit - 16 * kGiB);
}

TEST(SystemFigures, LoadPrettyNameAndVersionLine) {
  EXPECT_EQ(MemoryLoadPercent(0, 0), 0u);
  EXPECT_EQ(MemoryLoadPercent(1000, 995), 1u);  // 0.5 rounds up
  EXPECT_EQ(MemoryLoadPercent(200, 300), 0u);
  EXPECT_EQ(MemoryLoadPercent(std::uint64_t{1} << 60, std::uint64_t{1} << 59), 50u);
  const std::pair<const char*, const char*> names[] = {
      {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", "Debian GNU/Linux 12 (bookworm)"},
      {"PRETTY_NAME='Fedora 39'\r\nX=1", "Fedora 39"},
      {"PRETTY_NAME=\"Say \\\"hi\\\"\"", "Say \"hi\""},
      {"#PRETTY_NAME=\"commented\"\n", ""}};
  for (const auto& [release, name] : names) EXPECT_EQ(PrettyNameFromOsRelease(release), name);
  EXPECT_EQ(LinuxVersionLine("6.1.0-18-amd64", ""), "Linux 6.1.0-18-amd64");
}

}  // namespace
}  // namespace calmora::testing
