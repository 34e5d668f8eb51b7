// The Windows version text support staff know from error reports, for each
// platform, version, edition and service pack a version record can give.
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "diagnostics/clsWindowsVersionDetect.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora::testing {
namespace {

OsVersionRecord Record(int platform, int major, int minor, int build, const char* servicePack,
                       int spMajor = 0, int productType = 1, int suiteMask = 0) {
  OsVersionRecord r{0, major, minor, build, platform, {}, static_cast<std::int16_t>(spMajor), 0,
                    static_cast<std::int16_t>(suiteMask), static_cast<std::uint8_t>(productType), 0};
  std::strncpy(r.servicePack, servicePack, sizeof r.servicePack - 1);
  return r;
}

// The name a machine's version query gives: the short form fills the
// fields up to the service-pack text, the extended form all of them; a
// form the machine does not support fails and leaves the record alone.
std::string NameOf(const OsVersionRecord& machine, bool extendedSupported = true) {
  return clsWindowsVersionDetect([=](OsVersionRecord& r) {
           const bool extended = r.size == kVersionRecordExtended;
           if (extended ? !extendedSupported : r.size != kVersionRecordShort) return false;
           OsVersionRecord answer = machine;
           answer.size = r.size;
           if (!extended) {
             answer.servicePackMajor = r.servicePackMajor;
             answer.servicePackMinor = r.servicePackMinor;
             answer.suiteMask = r.suiteMask;
             answer.productType = r.productType;
           }
           r = answer;
           return true;
         })
      .WindowsName();
}

TEST(WindowsName, EachPlatformVersionEditionAndServicePack) {
  const std::string sp4 = "Service Pack 4 (Build 2195), service pack 4.0";
  const auto w2k = [](int productType, int suiteMask) {
    return Record(2, 5, 0, 2195, "Service Pack 4", 4, productType, suiteMask);
  };
  const std::pair<OsVersionRecord, std::string> cases[] = {
      // NT family, extended record; later versions have no base name.
      {Record(2, 5, 1, 2600, "Service Pack 3", 3, 1, 0x100),
       "Microsoft Windows XP Professional Service Pack 3 (Build 2600), service pack 3.0"},
      {Record(2, 5, 1, 2600, "Service Pack 2", 2, 1, 2),
       "Microsoft Windows XP Home Edition Service Pack 2 (Build 2600), service pack 2.0"},
      {Record(2, 6, 1, 7601, "Service Pack 1", 1), "Professional Service Pack 1 (Build 7601), service pack 1.0"},
      {Record(2, 6, 2, 9200, ""), "Professional  (Build 9200), service pack 0.0"},
      {Record(2, 5, 2, 3790, "Service Pack 2", 2, 2), "Service Pack 2 (Build 3790), service pack 2.0"},
      // Servers by product type and suite: bit 2 wins over bit 0, bit 1 is no server suite.
      {w2k(3, 4), "Microsoft Windows 2000 DataCenter Server " + sp4},
      {w2k(3, 5), "Microsoft Windows 2000 DataCenter Server " + sp4},
      {w2k(3, 1), "Microsoft Windows 2000 Advanced Server " + sp4},
      {w2k(3, 0), "Microsoft Windows 2000 Server " + sp4},
      {w2k(3, 2), "Microsoft Windows 2000 Server " + sp4},
      {w2k(2, 4), "Microsoft Windows 2000 " + sp4},
      // The service-pack text is trimmed after version 4: code 15 is a blank, 13 is not.
      {Record(2, 6, 0, 6002, "\t x\t\x0f", 2), "Professional x (Build 6002), service pack 2.0"},
      {Record(2, 6, 0, 6002, "x\r", 2), "Professional x\r (Build 6002), service pack 2.0"},
      // Platforms other than NT.
      {Record(1, 4, 0, 1998, ""), "Microsoft Windows 95 "},
      {Record(1, 4, 0, 1998, "B"), "Microsoft Windows 95 OSR2 "},
      {Record(1, 4, 0, 1998, "C"), "Microsoft Windows 95 OSR2 "},
      {Record(1, 4, 0, 1998, "c"), "Microsoft Windows 95 "},
      {Record(1, 4, 10, 1998, "A "), "Microsoft Windows 98 SE "},
      {Record(1, 4, 10, 1998, " A"), "Microsoft Windows 98 "},
      {Record(1, 4, 90, 1998, ""), "Microsoft Windows Me "},
      {Record(1, 4, 95, 1998, ""), ""},
      {Record(0, 1, 0, 0, ""), "Microsoft Win32s "},
      {Record(3, 10, 0, 19045, ""), ""},
  };
  for (const auto& [machine, name] : cases) EXPECT_EQ(NameOf(machine), name);
  // A query that answers neither form reads as Win32s.
  EXPECT_EQ(clsWindowsVersionDetect([](OsVersionRecord&) { return false; }).WindowsName(), "Microsoft Win32s ");
  EXPECT_EQ(clsWindowsVersionDetect(nullptr).WindowsName(), "Microsoft Win32s ");
}

// The short record of NT 4 before its service pack 6 (and of NT 3): the
// edition comes from the registry file, without regard to case.
TEST(WindowsName, ShortRecordTakesTheEditionFromTheRegistry) {
  TempDir dir;
  setenv("CALMORA_REGISTRY", (dir / "registry.reg").c_str(), 1);
  // The machine knows service pack numbers, but the short form carries none.
  const OsVersionRecord nt4 = Record(2, 4, 0, 1381, "Service Pack 6", 6, 3, 4);
  const auto name = [](const std::string& edition) {
    return "Microsoft Windows NT 4" + edition + "version 4.0Service Pack 6 (Build 1381), service pack 0.0";
  };
  EXPECT_EQ(NameOf(nt4, false), name("")) << "no registry file at all";
  const std::pair<const char*, const char*> cases[] = {
      {"\"ProductType\"=\"WinNT Workstation\"", ""}, {"\"Other\"=\"WINNT\"", ""},
      {"\"ProductType\"=\"winnt\"", "Professional "}, {"\"ProductType\"=\"LanmanNt\"", "Server "},
      // A text with an embedded NUL ends there.
      {"\"ProductType\"=hex(1):57,00,49,00,4e,00,4e,00,54,00,00,00,41,00", "Professional "},
      {"\"producttype\"=\"ServerNT\"", "Advanced Server "}};
  for (const auto& [line, edition] : cases) {
    WriteFileBytes(dir / "registry.reg", std::string("Windows Registry Editor Version 5.00\r\n\r\n"
                                                     "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\"
                                                     "Control\\ProductOptions]\r\n") + line + "\r\n");
    EXPECT_EQ(NameOf(nt4, false), name(edition)) << line;
  }
  EXPECT_EQ(NameOf(Record(2, 3, 51, 1057, "Service Pack 5"), false),
            "Microsoft Windows NT 3Advanced Server version 3.51Service Pack 5 (Build 1057), service pack 0.0");
  WriteFileBytes(dir / "registry.reg", "this is not a registry export\r\n");
  EXPECT_EQ(NameOf(nt4, false), name(""));
  unsetenv("CALMORA_REGISTRY");
}

}  // namespace
}  // namespace calmora::testing
