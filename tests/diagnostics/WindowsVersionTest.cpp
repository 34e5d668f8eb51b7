#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "diagnostics/clsWindowsVersionDetect.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora::testing {
namespace {

// What a Windows machine's version query answers: the short form fills the
// fields up to the service-pack text, the extended form all of them; a form
// the machine does not support fails and leaves the record alone.
struct Machine {
  OsVersionRecord record;
  bool extendedSupported = true;
};

VersionQuery QueryOf(const Machine& machine) {
  return [machine](OsVersionRecord& r) {
    const bool extended = r.size == kVersionRecordExtended;
    if (!extended && r.size != kVersionRecordShort) return false;
    if (extended && !machine.extendedSupported) return false;
    const OsVersionRecord& m = machine.record;
    r.majorVersion = m.majorVersion;
    r.minorVersion = m.minorVersion;
    r.buildNumber = m.buildNumber;
    r.platformId = m.platformId;
    std::memcpy(r.servicePack, m.servicePack, sizeof r.servicePack);
    if (extended) {
      r.servicePackMajor = m.servicePackMajor;
      r.servicePackMinor = m.servicePackMinor;
      r.suiteMask = m.suiteMask;
      r.productType = m.productType;
    }
    return true;
  };
}

Machine Nt(int major, int minor, int build, const char* servicePack, int spMajor = 0,
           int spMinor = 0, int productType = 1, int suiteMask = 0) {
  Machine m;
  m.record.platformId = 2;
  m.record.majorVersion = major;
  m.record.minorVersion = minor;
  m.record.buildNumber = build;
  std::strncpy(m.record.servicePack, servicePack, sizeof m.record.servicePack - 1);
  m.record.servicePackMajor = static_cast<std::int16_t>(spMajor);
  m.record.servicePackMinor = static_cast<std::int16_t>(spMinor);
  m.record.productType = static_cast<std::uint8_t>(productType);
  m.record.suiteMask = static_cast<std::int16_t>(suiteMask);
  return m;
}

Machine Win9x(int minor, const char* servicePack) {
  Machine m = Nt(4, minor, 1998, servicePack, 0, 0, 0, 0);
  m.record.platformId = 1;
  return m;
}

std::string NameOf(const Machine& m) { return clsWindowsVersionDetect(QueryOf(m)).WindowsName(); }

TEST(WindowsName, EachPlatformVersionEditionAndServicePack) {
  Machine win32s = Nt(1, 0, 0, "");
  win32s.record.platformId = 0;
  Machine unknown = Nt(10, 0, 19045, "");
  unknown.record.platformId = 3;
  const std::string sp4 = "Service Pack 4 (Build 2195), service pack 4.0";
  const std::pair<Machine, std::string> cases[] = {
      // NT family, extended record; later versions have no base name.
      {Nt(5, 1, 2600, "Service Pack 3", 3, 0, 1, 0x100),
       "Microsoft Windows XP Professional Service Pack 3 (Build 2600), service pack 3.0"},
      {Nt(5, 1, 2600, "Service Pack 2", 2, 0, 1, 2),
       "Microsoft Windows XP Home Edition Service Pack 2 (Build 2600), service pack 2.0"},
      {Nt(6, 1, 7601, "Service Pack 1", 1, 0, 1, 0),
       "Professional Service Pack 1 (Build 7601), service pack 1.0"},
      {Nt(6, 2, 9200, "", 0, 0, 1, 0), "Professional  (Build 9200), service pack 0.0"},
      {Nt(5, 2, 3790, "Service Pack 2", 2, 0, 2, 0), "Service Pack 2 (Build 3790), service pack 2.0"},
      // Servers by product type and suite: bit 2 wins over bit 0, bit 1 is no server suite.
      {Nt(5, 0, 2195, "Service Pack 4", 4, 0, 3, 4), "Microsoft Windows 2000 DataCenter Server " + sp4},
      {Nt(5, 0, 2195, "Service Pack 4", 4, 0, 3, 5), "Microsoft Windows 2000 DataCenter Server " + sp4},
      {Nt(5, 0, 2195, "Service Pack 4", 4, 0, 3, 1), "Microsoft Windows 2000 Advanced Server " + sp4},
      {Nt(5, 0, 2195, "Service Pack 4", 4, 0, 3, 0), "Microsoft Windows 2000 Server " + sp4},
      {Nt(5, 0, 2195, "Service Pack 4", 4, 0, 3, 2), "Microsoft Windows 2000 Server " + sp4},
      {Nt(5, 0, 2195, "Service Pack 4", 4, 0, 2, 4), "Microsoft Windows 2000 " + sp4},
      // The service-pack text is trimmed after version 4: code 15 is a blank, 13 is not.
      {Nt(6, 0, 6002, "\t x\t\x0f", 2, 0, 1, 0), "Professional x (Build 6002), service pack 2.0"},
      {Nt(6, 0, 6002, "x\r", 2, 0, 1, 0), "Professional x\r (Build 6002), service pack 2.0"},
      // Platforms other than NT.
      {Win9x(0, ""), "Microsoft Windows 95 "},
      {Win9x(0, "B"), "Microsoft Windows 95 OSR2 "},
      {Win9x(0, "C"), "Microsoft Windows 95 OSR2 "},
      {Win9x(0, "c"), "Microsoft Windows 95 "},
      {Win9x(10, "A "), "Microsoft Windows 98 SE "},
      {Win9x(10, " A"), "Microsoft Windows 98 "},
      {Win9x(90, ""), "Microsoft Windows Me "},
      {Win9x(95, ""), ""},
      {win32s, "Microsoft Win32s "},
      {unknown, ""},
  };
  for (const auto& [machine, name] : cases) EXPECT_EQ(NameOf(machine), name);
  // A query that answers neither form reads as Win32s.
  EXPECT_EQ(clsWindowsVersionDetect([](OsVersionRecord&) { return false; }).WindowsName(),
            "Microsoft Win32s ");
  EXPECT_EQ(clsWindowsVersionDetect(nullptr).WindowsName(), "Microsoft Win32s ");
}

// The short record of NT 4 before its service pack 6: the edition comes
// from the registry file.
class ShortRecordTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("CALMORA_REGISTRY", (dir / "registry.reg").c_str(), 1); }
  void TearDown() override { unsetenv("CALMORA_REGISTRY"); }
  void WriteProductType(const std::string& valueLine) {
    WriteFileBytes(dir / "registry.reg",
                   "Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions]\r\n" +
                       valueLine + "\r\n");
  }
  TempDir dir;
};

TEST_F(ShortRecordTest, EditionFromProductTypeWithoutRegardToCaseElseNone) {
  // The machine knows service pack numbers, but the short form carries none.
  Machine nt4 = Nt(4, 0, 1381, "Service Pack 6", 6, 0, 3, 4);
  nt4.extendedSupported = false;
  const auto name = [](const std::string& edition) {
    return "Microsoft Windows NT 4" + edition +
           "version 4.0Service Pack 6 (Build 1381), service pack 0.0";
  };
  EXPECT_EQ(NameOf(nt4), name("")) << "no registry file at all";
  const std::pair<const char*, const char*> cases[] = {
      {"\"ProductType\"=\"WinNT Workstation\"", ""},
      {"\"Other\"=\"WINNT\"", ""},
      {"\"ProductType\"=\"winnt\"", "Professional "},
      {"\"ProductType\"=\"LanmanNt\"", "Server "},
      {"\"producttype\"=\"ServerNT\"", "Advanced Server "},  // kept for NT 3 below
  };
  for (const auto& [line, edition] : cases) {
    WriteProductType(line);
    EXPECT_EQ(NameOf(nt4), name(edition)) << line;
  }
  Machine nt3 = Nt(3, 51, 1057, "Service Pack 5");
  nt3.extendedSupported = false;
  EXPECT_EQ(NameOf(nt3), "Microsoft Windows NT 3Advanced Server version 3.51Service Pack 5 "
                         "(Build 1057), service pack 0.0");
  WriteFileBytes(dir / "registry.reg", "this is not a registry export\r\n");
  EXPECT_EQ(NameOf(nt4), name(""));
}

TEST_F(ShortRecordTest, RegistryStringStopsAtItsNulAndReportsItsType) {
  const char* key = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
  std::uint32_t type = 99;
  EXPECT_EQ(clsWindowsVersionDetect::GetRegistryString("SYSTEM\\Nowhere", "ProductType", type), "");
  EXPECT_EQ(type, 0u);
  // A string without its terminating NUL is taken whole; one with an
  // embedded NUL ends there. UTF-16LE in a version-5 file.
  WriteProductType("\"ProductType\"=hex(1):57,00,49,00,4e,00,4e,00,54,00\r\n"
                   "\"Split\"=hex(1):41,00,00,00,42,00,00,00");
  EXPECT_EQ(clsWindowsVersionDetect::GetRegistryString(
                "system\\currentcontrolset\\control\\productoptions", "producttype", type),
            "WINNT");
  EXPECT_EQ(type, 1u);
  EXPECT_EQ(clsWindowsVersionDetect::GetRegistryString(key, "Split", type), "A");
}

TEST(TrimBlanks, RemovesCodes0_9_15_32AtBothEndsOnly) {
  using V = clsWindowsVersionDetect;
  EXPECT_EQ(V::TrimBlanks(std::string(128, '\0')), "");
  EXPECT_EQ(V::TrimBlanks(std::string("\t x\t\x0f")), "x");
  EXPECT_EQ(V::TrimBlanks(std::string("\0 Service Pack 1 \0\0", 19)), "Service Pack 1");
  EXPECT_EQ(V::TrimBlanks("\ra \t b\n"), "\ra \t b\n");
  EXPECT_EQ(V::TrimBlanks(" \t "), "");
}

}  // namespace
}  // namespace calmora::testing
