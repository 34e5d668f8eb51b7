#include <sys/resource.h>
#include <sys/utsname.h>

#include <gtest/gtest.h>

#include "diagnostics/SystemSnapshot.h"
#include "os/SystemFigures.h"
#include "support/FixedSystemFacts.h"
#include "support/Sanitizers.h"

namespace calmora::testing {
namespace {

constexpr std::uint64_t kMiB = 1048576;
constexpr std::uint64_t kGiB = 1024 * kMiB;

TEST(MemoryText, WholeLayoutInOrder) {
  FixedSystemFacts facts;
  facts.memory = MemoryStatus{7, 1 * kMiB, 2 * kMiB, 3 * kMiB, 4 * kMiB, 5 * kMiB, 6 * kMiB};
  EXPECT_EQ(GetMemoryStatusText(),
            "\r\n"
            "\tMemory in use:         \t          7%\r\n"
            "\tTotal physical memory: \t          1MB\r\n"
            "\tPhysical memory free:  \t          2MB\r\n"
            "\tTotal page file size:  \t          3MB\r\n"
            "\tFree page file size:   \t          4MB\r\n"
            "\tTotal virtual memory:  \t          5MB\r\n"
            "\tFree virtual memory:   \t          6MB\r\n");
  for (const auto& [load, line] : {std::pair{100u, "        100%"}, std::pair{0u, "          0%"}}) {
    facts.memory.memoryLoad = load;
    EXPECT_NE(GetMemoryStatusText().find("\tMemory in use:         \t" + std::string(line) + "\r\n"),
              std::string::npos) << line;
  }
}

// Whole megabytes, halves to the even neighbour, from the full 64 bits:
// figures above 2 and 4 GB are exact, and one wider than the field is whole.
TEST(MemoryText, MegabytesRoundHalvesToEvenOverTheFull64Bits) {
  const std::pair<std::uint64_t, const char*> cases[] = {
      {0, "          0MB"},
      {kMiB / 2 - 1, "          0MB"},
      {kMiB / 2 + 1, "          1MB"},
      {1572864, "          2MB"},                     // 1.5
      {2621440, "          2MB"},                     // 2.5
      {3670016, "          4MB"},                     // 3.5
      {2147483647, "       2048MB"},                  // 2047.999...
      {2147483648ULL, "       2048MB"},
      {4 * kGiB + kMiB / 2, "       4096MB"},         // 4096.5
      {4 * kGiB + 3 * kMiB / 2, "       4098MB"},     // 4097.5
      {64 * kGiB, "      65536MB"},
      {std::uint64_t{1} << 47, "  134217728MB"},
      {~std::uint64_t{0}, "17592186044416MB"},        // 17592186044415.99...
  };
  FixedSystemFacts facts;
  for (const auto& [bytes, figure] : cases) {
    facts.memory = MemoryStatus{};
    facts.memory.totalPhysical = bytes;
    EXPECT_NE(GetMemoryStatusText().find("\tTotal physical memory: \t" + std::string(figure) +
                                         "\r\n"),
              std::string::npos)
        << bytes << " " << GetMemoryStatusText();
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
  EXPECT_GT(m.totalVirtual, 0u);
  EXPECT_LT(m.availableVirtual, m.totalVirtual) << "the process itself takes some space";

  const std::tm now = ActiveSystemFacts().LocalNow();
  EXPECT_GE(now.tm_year + 1900, 2024);
}

// The address space follows the process's limit, and an unlimited one is
// the architecture's user address space.
TEST(SystemFigures, VirtualMemoryIsTheAddressSpaceLimit) {
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
  if (saved.rlim_cur == RLIM_INFINITY) {
    std::optional<MemoryStatus> m = ReadMemoryStatus();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->totalVirtual, UserAddressSpaceBytes());
#if defined(__x86_64__)
    EXPECT_EQ(UserAddressSpaceBytes(), 128ULL * 1024 * kGiB);
#endif
  }
  if (kUnderAddressSanitizer) {
    GTEST_SKIP() << "AddressSanitizer reserves terabytes of shadow address space, so any "
                    "lowered address-space limit fails for that reason alone";
  }
  const std::uint64_t limit = 64 * kGiB;
  if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < limit) GTEST_SKIP();
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

  EXPECT_EQ(PrettyNameFromOsRelease("NAME=\"Debian GNU/Linux\"\n"
                                        "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(PrettyNameFromOsRelease("PRETTY_NAME='Fedora 39'\r\nX=1"), "Fedora 39");
  EXPECT_EQ(PrettyNameFromOsRelease("PRETTY_NAME=\"Say \\\"hi\\\"\""), "Say \"hi\"");
  EXPECT_EQ(PrettyNameFromOsRelease("#PRETTY_NAME=\"commented\"\n"), "");
  EXPECT_EQ(LinuxVersionLine("6.1.0-18-amd64", ""), "Linux 6.1.0-18-amd64");
}

}  // namespace
}  // namespace calmora::testing
