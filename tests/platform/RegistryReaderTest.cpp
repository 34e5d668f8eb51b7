#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/modRegistry.h"
#include "support/FileBytes.h"
#include "support/RecordingFrontEnd.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

using namespace std::string_literals;

constexpr char kV3[] = "Software\\Brindlecote\\Calmora V3";
constexpr char kV2014[] = "Software\\Brindlecote\\Calmora 2014";

// The machine's registry for these tests, where CALMORA_REGISTRY points.
class RegistryReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("CALMORA_REGISTRY", (dir / "machine.reg").c_str(), 1);
    Write("Windows Registry Editor Version 5.00\r\n\r\n"
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindlecote\\Calmora V3]\r\n"
          "\"Location\"=\"/opt/Calmora V3\"\r\n\"Twenty\"=\"" + std::string(20, 't') + "\"\r\n"
          "\"Fits\"=\"" + std::string(254, 'f') + "\"\r\n"
          "\"JustOver\"=\"" + std::string(255, 'o') + "\"\r\n"
          "\"Long\"=\"" + std::string(300, 'l') + "\"\r\n"
          "\"City\"=\"Zürich\"\r\n\"Abc\"=\"abc\"\r\n\"Abcd\"=\"abcd\"\r\n"
          "\"Expanded\"=hex(2):25,00,41,00,25,00,00,00\r\n\"Lines\"=hex(7):61,00,00,00,00,00\r\n"
          "\"Blob\"=hex:01,02\r\n\"Nothing\"=hex(0):\r\n\"NoNul\"=hex(1):61,00,62,00,63,00\r\n"
          "\"Seven\"=dword:00000007\r\n\"AllOnes\"=dword:ffffffff\r\n\"ShortDword\"=hex(4):07\r\n"
          "\"EightBytes\"=hex(4):01,00,00,00,00,00,00,00\r\n");
  }
  void TearDown() override { unsetenv("CALMORA_REGISTRY"); }
  void Write(const std::string& text) { testing::WriteFileBytes(dir / "machine.reg", text); }

  testing::TempDir dir;
  testing::RecordingFrontEnd ui;
};

struct ReadCase {
  const char* key;
  const char* name;
  std::int32_t type;
  bool found;
  RegistryValue value;  // "untouched" when not found
};

TEST_F(RegistryReaderTest, EachValueAndTypeGivesItsAnswerQuietly) {
  const std::string untouched = "untouched";
  const RegistryValue one = std::int32_t{1};
  std::vector<ReadCase> cases = {
      {kV2014, "Location", 1, false, untouched},
      {kV2014, "Location", 2, false, untouched},  // the key must open even to query nothing
      {kV3, "Version", 1, false, untouched},
      {kV3, "Version", 4, false, untouched},
      // Strings with their NUL, counted in UTF-8 bytes, within 255 bytes.
      {kV3, "Location", 1, true, "/opt/Calmora V3\0"s},
      {kV3, "Twenty", 1, true, std::string(20, 't') + '\0'},
      {kV3, "Fits", 1, true, std::string(254, 'f') + '\0'},
      {kV3, "JustOver", 1, false, untouched},
      {kV3, "Long", 1, false, untouched},
      {kV3, "City", 1, true, "Zürich\0"s},
      {kV3, "NoNul", 1, true, "abc"s},  // the last real character stays the last
      {"software\\BRINDLECOTE\\calmora v3", "LOCATION", 1, true, "/opt/Calmora V3\0"s},
      {"Software\\Brindlecote", "anything", 2, true, one},  // a parent key opens
      // Other stored types become the number one.
      {kV3, "Expanded", 1, true, one},
      {kV3, "Lines", 1, true, one},
      {kV3, "Blob", 1, true, one},
      {kV3, "Nothing", 1, true, one},
      {kV3, "Nothing", 4, true, one},
      // Numbers fit four bytes.
      {kV3, "Seven", 4, true, std::int32_t{7}},
      {kV3, "AllOnes", 4, true, std::int32_t{-1}},
      {kV3, "ShortDword", 4, true, std::int32_t{7}},
      {kV3, "EightBytes", 4, false, untouched},
      {kV3, "Abcd", 4, false, untouched},  // five bytes with the NUL
      // Each buffer is filled only by its own query.
      {kV3, "Seven", 1, true, std::int32_t{0}},
      {kV3, "Abc", 4, true, ""s},
  };
  // Other requested types query nothing, whether the value exists or not.
  for (std::int32_t type : {0, 2, 3, 7, -1}) {
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
  EXPECT_FALSE(ReadRegistryValue(kV3, "Location", 1, value));
  EXPECT_EQ(value, RegistryValue("untouched"s));
  const auto shown = ui.messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, "Calmora V31 Upgrade");
  EXPECT_EQ(shown[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(shown[0].text, "Registry file " + (dir / "machine.reg").string() +
                               ", line 3: unknown escape \\A in the quoted text "
                               "(write \\\\ for a backslash)");

  std::filesystem::remove(dir / "machine.reg");
  EXPECT_FALSE(ReadRegistryValue(kV3, "Location", 1, value));
  EXPECT_EQ(ui.messages().size(), 1u) << "a machine without the file has no installation";
}

}  // namespace
}  // namespace calmora
