// The registry as the two installers leave it, written out here to the
// letter (the sample machines share the driver's keys, so only this pins
// them), with values of every kind added, read through fixed-size buffers.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Installations.h"
#include "platform/modRegistry.h"
#include "support/FileBytes.h"
#include "support/RecordingFrontEnd.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

using namespace std::string_literals;

class RegistryReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("CALMORA_REGISTRY", (dir / "machine.reg").c_str(), 1);
    // Both installers write the key with "SOFTWARE" in capitals.
    Write("Windows Registry Editor Version 5.00\r\n\r\n"
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindlecote\\Calmora 2014]\r\n"
          "\"Location\"=\"/opt/Calmora 2014\"\r\n\r\n"
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindlecote\\Calmora V3]\r\n"
          "\"Location\"=\"/opt/Calmora V3\"\r\n\"Version\"=\"3.1.0.0\"\r\n"
          "\"Fits\"=\"" + std::string(254, 'f') + "\"\r\n\"JustOver\"=\"" + std::string(255, 'o') +
          "\"\r\n\"Abc\"=\"abc\"\r\n\"NoNul\"=hex(1):61,00,62,00,63,00\r\n"
          "\"Blob\"=hex:01,02\r\n\"AllOnes\"=dword:ffffffff\r\n\"ShortDword\"=hex(4):07\r\n"
          "\"EightBytes\"=hex(4):01,00,00,00,00,00,00,00\r\n");
  }
  void TearDown() override { unsetenv("CALMORA_REGISTRY"); }
  void Write(const std::string& text) { testing::WriteFileBytes(dir / "machine.reg", text); }

  testing::TempDir dir;
  testing::RecordingFrontEnd ui;
};

TEST_F(RegistryReaderTest, EachValueAndTypeGivesItsAnswerQuietly) {
  struct ReadCase {
    const char* key;
    const char* name;
    std::int32_t type;
    bool found;
    RegistryValue value;  // "untouched" when not found
  };
  const std::string untouched = "untouched";
  const RegistryValue one = std::int32_t{1};
  constexpr char kV3[] = "Software\\Brindlecote\\Calmora V3";
  constexpr char kNone[] = "Software\\Brindlecote\\Calmora 2013";
  std::vector<ReadCase> cases = {
      {kKeyV31, kLocation, 1, true, "/opt/Calmora V3\0"s},
      {kKeyV31, kVersion, 1, true, "3.1.0.0\0"s},
      {kKey2014, kLocation, 1, true, "/opt/Calmora 2014\0"s},
      {kNone, "Location", 1, false, untouched},
      {kNone, "Location", 2, false, untouched},  // the key must open even to query nothing
      {kV3, "No Such Value", 1, false, untouched},
      // Strings with their NUL, within 255 bytes; the last real character stays the last.
      {kV3, "Fits", 1, true, std::string(254, 'f') + '\0'},
      {kV3, "JustOver", 1, false, untouched},
      {kV3, "NoNul", 1, true, "abc"s},
      // Other stored types become the number one; numbers fit four bytes.
      {kV3, "Blob", 1, true, one},
      {kV3, "Blob", 4, true, one},
      {kV3, "AllOnes", 4, true, std::int32_t{-1}},
      {kV3, "ShortDword", 4, true, std::int32_t{7}},
      {kV3, "EightBytes", 4, false, untouched},
      // Each buffer is filled only by its own query.
      {kV3, "AllOnes", 1, true, std::int32_t{0}},
      {kV3, "Abc", 4, true, ""s},
  };
  // Other requested types query nothing, whether the value exists or not.
  for (std::int32_t type : {0, 2, 7, -1}) {
    cases.push_back({kV3, "Location", type, true, one});
    cases.push_back({kV3, "No Such Value", type, true, one});
  }
  for (const auto& c : cases) {
    RegistryValue value = untouched;
    EXPECT_EQ(ReadRegistryValue(c.key, c.name, c.type, value), c.found)
        << c.key << " " << c.name << " " << c.type;
    EXPECT_EQ(value, c.value) << c.key << " " << c.name << " " << c.type;
  }
  EXPECT_TRUE(ui.events().empty());
}

TEST_F(RegistryReaderTest, AMalformedFileIsShownOnceAMissingOneNever) {
  Write("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Brindlecote\\Calmora V3]\n"
        "\"Location\"=\"C:\\Apps\\V3\"\n");
  RegistryValue value = "untouched"s;
  EXPECT_FALSE(ReadRegistryValue(kKeyV31, kLocation, 1, value));
  EXPECT_EQ(value, RegistryValue("untouched"s));
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].title, "Calmora V31 Upgrade");
  EXPECT_EQ(ui.messages()[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(ui.messages()[0].text, "Registry file " + (dir / "machine.reg").string() +
                                       ", line 3: unknown escape \\A in the quoted text "
                                       "(write \\\\ for a backslash)");
  std::filesystem::remove(dir / "machine.reg");
  EXPECT_FALSE(ReadRegistryValue(kKeyV31, kLocation, 1, value));
  EXPECT_EQ(ui.messages().size(), 1u) << "a machine without the file has no installation";
}

}  // namespace
}  // namespace calmora
