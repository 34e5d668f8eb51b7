#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "platform/modRegistry.h"
#include "support/FileBytes.h"
#include "support/RecordingFrontEnd.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

using namespace std::string_literals;

constexpr char kV3[] = "Software\\Brindlecote\\Calmora V3";

// The machine's registry for these tests; CALMORA_REGISTRY points at it
// while a test runs.
class RegistryReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* saved = std::getenv("CALMORA_REGISTRY");
    if (saved) saved_ = saved;
    hadSaved_ = saved != nullptr;
    setenv("CALMORA_REGISTRY", (dir / "machine.reg").c_str(), 1);
    Write(
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindlecote\\Calmora V3]\r\n"
        "\"Location\"=\"/opt/Calmora V3\"\r\n"
        "\"Twenty\"=\"" + std::string(20, 't') + "\"\r\n"
        "\"Fits\"=\"" + std::string(254, 'f') + "\"\r\n"
        "\"JustOver\"=\"" + std::string(255, 'o') + "\"\r\n"
        "\"Long\"=\"" + std::string(300, 'l') + "\"\r\n"
        "\"City\"=\"Zürich\"\r\n"
        "\"Expanded\"=hex(2):25,00,41,00,25,00,00,00\r\n"
        "\"Lines\"=hex(7):61,00,00,00,00,00\r\n"
        "\"Blob\"=hex:01,02\r\n"
        "\"Nothing\"=hex(0):\r\n"
        "\"NoNul\"=hex(1):61,00,62,00,63,00\r\n"
        "\"Seven\"=dword:00000007\r\n"
        "\"AllOnes\"=dword:ffffffff\r\n"
        "\"ShortDword\"=hex(4):07\r\n"
        "\"Abc\"=\"abc\"\r\n"
        "\"Abcd\"=\"abcd\"\r\n"
        "\"EightBytes\"=hex(4):01,00,00,00,00,00,00,00\r\n");
  }
  void TearDown() override {
    if (hadSaved_) {
      setenv("CALMORA_REGISTRY", saved_.c_str(), 1);
    } else {
      unsetenv("CALMORA_REGISTRY");
    }
  }
  void Write(const std::string& text) { testing::WriteFileBytes(dir / "machine.reg", text); }

  // Reads with a value that shows whether it was touched.
  bool Read(const std::string& key, const std::string& name, std::int32_t type) {
    value = "untouched"s;
    return ReadRegistryValue(key, name, type, value);
  }

  testing::TempDir dir;
  testing::RecordingFrontEnd ui;
  RegistryValue value;

 private:
  std::string saved_;
  bool hadSaved_ = false;
};

TEST_F(RegistryReaderTest, MissingKeysAndValuesAnswerFalseQuietly) {
  EXPECT_FALSE(Read("Software\\Brindlecote\\Calmora 2014", "Location", 1));
  EXPECT_EQ(value, RegistryValue("untouched"s));
  EXPECT_FALSE(Read(kV3, "Version", 1));
  EXPECT_FALSE(Read(kV3, "Version", 4));
  EXPECT_EQ(value, RegistryValue("untouched"s));
  EXPECT_FALSE(Read("Software\\Brindlecote\\Calmora 2014", "Location", 2))
      << "the key must open even when nothing is queried";
  EXPECT_TRUE(ui.events().empty());
}

TEST_F(RegistryReaderTest, StringsComeBackWithTheirNulAndWithinTheBuffer) {
  ASSERT_TRUE(Read(kV3, "Location", 1));
  EXPECT_EQ(value, RegistryValue("/opt/Calmora V3\0"s));
  ASSERT_TRUE(Read(kV3, "Twenty", 1));
  EXPECT_EQ(std::get<std::string>(value).size(), 21u);
  EXPECT_EQ(std::get<std::string>(value).back(), '\0');
  ASSERT_TRUE(Read(kV3, "Fits", 1)) << "254 characters and the NUL fill 255 bytes";
  EXPECT_EQ(std::get<std::string>(value).size(), 255u);
  EXPECT_FALSE(Read(kV3, "JustOver", 1));
  EXPECT_FALSE(Read(kV3, "Long", 1));
  EXPECT_EQ(value, RegistryValue("untouched"s));
  // The byte count is that of the UTF-8 text: ü takes two.
  ASSERT_TRUE(Read(kV3, "City", 1));
  EXPECT_EQ(value, RegistryValue("Zürich\0"s));
  // Written without its NUL: the last real character is the last one.
  ASSERT_TRUE(Read(kV3, "NoNul", 1));
  EXPECT_EQ(value, RegistryValue("abc"s));
  EXPECT_TRUE(ui.events().empty());
}

TEST_F(RegistryReaderTest, OtherStoredTypesBecomeTheNumberOne) {
  for (const char* name : {"Expanded", "Lines", "Blob", "Nothing"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(Read(kV3, name, 1));
    EXPECT_EQ(value, RegistryValue(std::int32_t{1}));
  }
  ASSERT_TRUE(Read(kV3, "Nothing", 4));
  EXPECT_EQ(value, RegistryValue(std::int32_t{1}));
}

TEST_F(RegistryReaderTest, NumbersFitFourBytes) {
  ASSERT_TRUE(Read(kV3, "Seven", 4));
  EXPECT_EQ(value, RegistryValue(std::int32_t{7}));
  ASSERT_TRUE(Read(kV3, "AllOnes", 4));
  EXPECT_EQ(value, RegistryValue(std::int32_t{-1}));
  ASSERT_TRUE(Read(kV3, "ShortDword", 4));
  EXPECT_EQ(value, RegistryValue(std::int32_t{7}));
  EXPECT_FALSE(Read(kV3, "EightBytes", 4));
  EXPECT_FALSE(Read(kV3, "Abcd", 4)) << "five bytes with the NUL";
}

TEST_F(RegistryReaderTest, EachBufferIsFilledOnlyByItsOwnQuery) {
  ASSERT_TRUE(Read(kV3, "Seven", 1));
  EXPECT_EQ(value, RegistryValue(std::int32_t{0}));
  ASSERT_TRUE(Read(kV3, "Abc", 4));
  EXPECT_EQ(value, RegistryValue(""s));
}

TEST_F(RegistryReaderTest, OtherRequestedTypesQueryNothing) {
  for (std::int32_t type : {0, 2, 3, 7, -1}) {
    SCOPED_TRACE(type);
    ASSERT_TRUE(Read(kV3, "Location", type));
    EXPECT_EQ(value, RegistryValue(std::int32_t{1}));
    ASSERT_TRUE(Read(kV3, "No Such Value", type));
    EXPECT_EQ(value, RegistryValue(std::int32_t{1}));
  }
}

TEST_F(RegistryReaderTest, KeyAndValueNamesIgnoreCase) {
  ASSERT_TRUE(Read("software\\BRINDLECOTE\\calmora v3", "LOCATION", 1));
  EXPECT_EQ(value, RegistryValue("/opt/Calmora V3\0"s));
  EXPECT_TRUE(Read("Software\\Brindlecote", "anything", 2)) << "a parent key opens";
}

TEST_F(RegistryReaderTest, AMalformedFileIsShownOnceAndAnswersFalse) {
  Write("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Brindlecote\\Calmora V3]\n"
        "\"Location\"=\"C:\\Apps\\V3\"\n");
  EXPECT_FALSE(Read(kV3, "Location", 1));
  EXPECT_EQ(value, RegistryValue("untouched"s));
  const auto shown = ui.messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, "Calmora V31 Upgrade");
  EXPECT_EQ(shown[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(shown[0].text, "Registry file " + (dir / "machine.reg").string() +
                               ", line 3: unknown escape \\A in the quoted text "
                               "(write \\\\ for a backslash)");
}

TEST_F(RegistryReaderTest, AMachineWithoutARegistryFileHasNoInstallation) {
  std::filesystem::remove(dir / "machine.reg");
  EXPECT_FALSE(Read(kV3, "Location", 1));
  EXPECT_TRUE(ui.events().empty());
}

}  // namespace
}  // namespace calmora
