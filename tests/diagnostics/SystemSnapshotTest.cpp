#include <sys/resource.h>
#include <sys/utsname.h>

#include <gtest/gtest.h>

#include "diagnostics/SystemSnapshot.h"
#include "os/SystemFigures.h"
#include "support/FixedSystemFacts.h"

namespace calmora::testing {
namespace {

constexpr std::uint64_t kMiB = 1048576;
constexpr std::uint64_t kGiB = 1024 * kMiB;

// The memory text with every figure but one zero.
std::string TextWithTotalPhysical(std::uint64_t bytes) {
  FixedSystemFacts facts;
  facts.memory = MemoryFigures{};
  facts.memory.totalPhysical = bytes;
  return GetMemoryStatusText();
}

std::string TotalPhysicalLine(std::uint64_t bytes) {
  const std::string text = TextWithTotalPhysical(bytes);
  const std::string label = "\tTotal physical memory: \t";
  const std::size_t at = text.find(label);
  if (at == std::string::npos) return "(no line)";
  const std::size_t end = text.find("\r\n", at);
  return text.substr(at + label.size(), end - at - label.size());
}

TEST(MemoryText, WholeLayoutInOrder) {
  FixedSystemFacts facts;
  facts.memory = MemoryFigures{7, 1 * kMiB, 2 * kMiB, 3 * kMiB, 4 * kMiB, 5 * kMiB, 6 * kMiB};
  EXPECT_EQ(GetMemoryStatusText(),
            "\r\n"
            "\tMemory in use:         \t          7%\r\n"
            "\tTotal physical memory: \t          1MB\r\n"
            "\tPhysical memory free:  \t          2MB\r\n"
            "\tTotal page file size:  \t          3MB\r\n"
            "\tFree page file size:   \t          4MB\r\n"
            "\tTotal virtual memory:  \t          5MB\r\n"
            "\tFree virtual memory:   \t          6MB\r\n");
}

TEST(MemoryText, MegabytesRoundHalvesToEven) {
  EXPECT_EQ(TotalPhysicalLine(2147483647), "       2048MB");  // 2047.999...
  EXPECT_EQ(TotalPhysicalLine(1572864), "          2MB");     // 1.5
  EXPECT_EQ(TotalPhysicalLine(2621440), "          2MB");     // 2.5
  EXPECT_EQ(TotalPhysicalLine(3670016), "          4MB");     // 3.5
  EXPECT_EQ(TotalPhysicalLine(kMiB / 2 - 1), "          0MB");
  EXPECT_EQ(TotalPhysicalLine(kMiB / 2 + 1), "          1MB");
  EXPECT_EQ(TotalPhysicalLine(0), "          0MB");
}

TEST(MemoryText, FiguresAboveTheSigned32BitRangeAreExact) {
  EXPECT_EQ(TotalPhysicalLine(2147483648ULL), "       2048MB");
  EXPECT_EQ(TotalPhysicalLine(4 * kGiB + kMiB / 2), "       4096MB");      // 4096.5
  EXPECT_EQ(TotalPhysicalLine(4 * kGiB + 3 * kMiB / 2), "       4098MB");  // 4097.5
  EXPECT_EQ(TotalPhysicalLine(64 * kGiB), "      65536MB");
  EXPECT_EQ(TotalPhysicalLine(std::uint64_t{1} << 47), "  134217728MB");
  // Wider than the field: written whole. 2^64-1 bytes is 17592186044415.99... MB.
  EXPECT_EQ(TotalPhysicalLine(~std::uint64_t{0}), "17592186044416MB");
}

TEST(MemoryText, LoadIsShownUnchangedAsPercent) {
  FixedSystemFacts facts;
  facts.memory.memoryLoad = 100;
  EXPECT_NE(GetMemoryStatusText().find("\tMemory in use:         \t        100%\r\n"),
            std::string::npos);
  facts.memory.memoryLoad = 0;
  EXPECT_NE(GetMemoryStatusText().find("\tMemory in use:         \t          0%\r\n"),
            std::string::npos);
}

TEST(RealSystemFacts, DescribeTheRunningLinux) {
  InstallSystemFacts(nullptr);
  struct utsname names {};
  ASSERT_EQ(uname(&names), 0);
  const std::string version = Facts().VersionText();
  EXPECT_TRUE(version.starts_with(std::string("Linux ") + names.release)) << version;
  EXPECT_EQ(version.find('\n'), std::string::npos);

  const MemoryFigures m = Facts().Memory();
  EXPECT_GT(m.totalPhysical, 16 * kMiB);
  EXPECT_LE(m.availablePhysical, m.totalPhysical);
  EXPECT_LE(m.memoryLoad, 100u);
  EXPECT_LE(m.availablePageFile, m.totalPageFile);
  EXPECT_GT(m.totalVirtual, 0u);
  EXPECT_LT(m.availableVirtual, m.totalVirtual) << "the process itself takes some space";

  const std::tm now = Facts().LocalNow();
  EXPECT_GE(now.tm_year + 1900, 2024);
}

// The address space follows the process's limit, and an unlimited one is
// the architecture's user address space.
TEST(SystemFigures, VirtualMemoryIsTheAddressSpaceLimit) {
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
  if (saved.rlim_cur == RLIM_INFINITY) {
    std::optional<os::MemoryStatus> m = os::ReadMemoryStatus();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->totalVirtual, os::UserAddressSpaceBytes());
#if defined(__x86_64__)
    EXPECT_EQ(os::UserAddressSpaceBytes(), 128ULL * 1024 * kGiB);
#endif
  }
  const std::uint64_t limit = 64 * kGiB;
  if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < limit) GTEST_SKIP();
  struct rlimit lowered = saved;
  lowered.rlim_cur = limit;
  ASSERT_EQ(setrlimit(RLIMIT_AS, &lowered), 0);
  std::optional<os::MemoryStatus> m = os::ReadMemoryStatus();
  ASSERT_EQ(setrlimit(RLIMIT_AS, &saved), 0);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->totalVirtual, limit);
  EXPECT_LT(m->availableVirtual, limit);
  EXPECT_GT(m->availableVirtual, limit - 16 * kGiB);
}

TEST(SystemFigures, LoadPrettyNameAndVersionLine) {
  EXPECT_EQ(os::MemoryLoadPercent(0, 0), 0u);
  EXPECT_EQ(os::MemoryLoadPercent(1000, 995), 1u);  // 0.5 rounds up
  EXPECT_EQ(os::MemoryLoadPercent(200, 300), 0u);
  EXPECT_EQ(os::MemoryLoadPercent(std::uint64_t{1} << 60, std::uint64_t{1} << 59), 50u);

  EXPECT_EQ(os::PrettyNameFromOsRelease("NAME=\"Debian GNU/Linux\"\n"
                                        "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(os::PrettyNameFromOsRelease("PRETTY_NAME='Fedora 39'\r\nX=1"), "Fedora 39");
  EXPECT_EQ(os::PrettyNameFromOsRelease("PRETTY_NAME=\"Say \\\"hi\\\"\""), "Say \"hi\"");
  EXPECT_EQ(os::PrettyNameFromOsRelease("#PRETTY_NAME=\"commented\"\n"), "");
  EXPECT_EQ(os::LinuxVersionLine("6.1.0-18-amd64", ""), "Linux 6.1.0-18-amd64");
}

}  // namespace
}  // namespace calmora::testing
