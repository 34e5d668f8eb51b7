#include "os/RegistryFile.h"

#include <gtest/gtest.h>
#include <unicode/ustring.h>

#include <string>

#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

using namespace std::string_literals;

constexpr char kKey[] = "Software\\Brindlecote\\Calmora V3";

// The text as regedit writes a version-5 file: UTF-16LE with its mark.
std::string Utf16LeFile(const std::string& utf8) {
  std::u16string units(utf8.size(), u'\0');
  std::int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(reinterpret_cast<UChar*>(units.data()), static_cast<std::int32_t>(units.size()),
                &length, utf8.data(), static_cast<std::int32_t>(utf8.size()), &status);
  EXPECT_TRUE(U_SUCCESS(status));
  std::string bytes = "\xFF\xFE";
  for (std::int32_t i = 0; i < length; ++i) {
    bytes.push_back(static_cast<char>(units[static_cast<std::size_t>(i)] & 0xFF));
    bytes.push_back(static_cast<char>(units[static_cast<std::size_t>(i)] >> 8));
  }
  return bytes;
}

const RegistryData& ValueOf(const RegistryHive& hive, const std::string& key,
                            const std::string& name) {
  const RegistryKey* k = hive.OpenKey(key);
  if (k == nullptr) throw std::runtime_error("no key " + key);
  const RegistryData* data = k->Value(name);
  if (data == nullptr) throw std::runtime_error("no value " + name);
  return *data;
}

// Every value form of a version-5 export, with CR LF line ends, comments,
// blank lines and a continued hex list.
const std::string kVersion5 =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; installation data\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Brindlecote\\Calmora V3]\r\n"
    "\"Location\"=\"/opt/calmora/V3 \\\"old\\\" \\\\ share\"\r\n"
    "@=\"default text\"\r\n"
    "\"Count\"=dword:0000000a\r\n"
    "\"Blob\"=hex:01,ff,7A\r\n"
    "\"NoNul\"=hex(1):61,00,62,00,63,00\r\n"
    "\"Path\"=hex(2):25,00,41,00,25,00,00,00\r\n"
    "\"Lines\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
    "\"Nothing\"=hex(0):\r\n"
    "\"Wide\"=hex(b):01,02,03,04,05,06,07,\\\r\n"
    "  08\r\n"
    "\"City\"=\"Zürich\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Brindlecote\\Calmora V3]\r\n"
    "\"Location\"=\"/elsewhere\"\r\n";

void ExpectVersion5Values(const RegistryHive& hive) {
  const auto& location = ValueOf(hive, kKey, "Location");
  EXPECT_EQ(location.type, regtype::String);
  EXPECT_EQ(location.bytes, "/opt/calmora/V3 \"old\" \\ share\0"s);
  EXPECT_EQ(ValueOf(hive, kKey, "").bytes, "default text\0"s);
  const auto& count = ValueOf(hive, kKey, "Count");
  EXPECT_EQ(count.type, regtype::Dword);
  EXPECT_EQ(count.bytes, "\x0a\0\0\0"s);
  const auto& blob = ValueOf(hive, kKey, "Blob");
  EXPECT_EQ(blob.type, regtype::Binary);
  EXPECT_EQ(blob.bytes, "\x01\xff\x7a"s);
  const auto& noNul = ValueOf(hive, kKey, "NoNul");
  EXPECT_EQ(noNul.type, regtype::String);
  EXPECT_EQ(noNul.bytes, "abc");  // written without its NUL, kept without
  EXPECT_EQ(ValueOf(hive, kKey, "Path").type, regtype::ExpandString);
  EXPECT_EQ(ValueOf(hive, kKey, "Path").bytes, "%A%\0"s);
  EXPECT_EQ(ValueOf(hive, kKey, "Lines").type, regtype::MultiString);
  EXPECT_EQ(ValueOf(hive, kKey, "Lines").bytes, "a\0b\0\0"s);
  EXPECT_EQ(ValueOf(hive, kKey, "Nothing").type, regtype::None);
  EXPECT_EQ(ValueOf(hive, kKey, "Nothing").bytes, "");
  EXPECT_EQ(ValueOf(hive, kKey, "Wide").type, 0xbu);
  EXPECT_EQ(ValueOf(hive, kKey, "Wide").bytes, "\x01\x02\x03\x04\x05\x06\x07\x08"s);
  // UTF-8 bytes plus the NUL: the registry's byte count of the text.
  EXPECT_EQ(ValueOf(hive, kKey, "City").bytes, "Zürich\0"s);
  EXPECT_EQ(ValueOf(hive, kKey, "City").bytes.size(), 8u);
}

TEST(RegistryFileTest, ReadsEveryValueFormOfAVersion5File) {
  ExpectVersion5Values(RegistryHive::Parse(kVersion5, "test.reg"));
}

TEST(RegistryFileTest, ReadsTheSameFileAsUtf16AndWithAUtf8Mark) {
  ExpectVersion5Values(RegistryHive::Parse(Utf16LeFile(kVersion5), "utf16.reg"));
  ExpectVersion5Values(RegistryHive::Parse("\xEF\xBB\xBF" + kVersion5, "bom.reg"));
  std::string lf = kVersion5;
  for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
  ExpectVersion5Values(RegistryHive::Parse(lf, "lf.reg"));
}

TEST(RegistryFileTest, Regedit4TextDataIsTakenAsPlainBytes) {
  const auto hive = RegistryHive::Parse(
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\X]\n"
      "\"NoNul\"=hex(1):61,62,63\n"
      "\"WithNul\"=hex(1):61,62,00\n"
      "\"Path\"=hex(2):25,41,25,00\n"
      "\"Plain\"=\"text\"\n",
      "old.reg");
  EXPECT_EQ(ValueOf(hive, "Software\\X", "NoNul").bytes, "abc");
  EXPECT_EQ(ValueOf(hive, "Software\\X", "WithNul").bytes, "ab\0"s);
  EXPECT_EQ(ValueOf(hive, "Software\\X", "Path").bytes, "%A%\0"s);
  EXPECT_EQ(ValueOf(hive, "Software\\X", "Plain").bytes, "text\0"s);
}

TEST(RegistryFileTest, KeysAndNamesMatchWithoutRegardToCaseAndParentsExist) {
  const auto hive = RegistryHive::Parse(
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Ärzte\\Calmora]\n\"Größe\"=\"x\"\n"
      "[HKEY_USERS\\Software\\Only There]\n\"v\"=\"x\"\n",
      "case.reg");
  ASSERT_NE(hive.OpenKey("SOFTWARE\\ÄRZTE\\calmora"), nullptr);
  // One character for one, as the registry compares: ß is not SS.
  EXPECT_EQ(hive.OpenKey("software\\ärzte\\CALMORA")->Value("GRÖSSE"), nullptr);
  EXPECT_NE(hive.OpenKey("software\\ärzte\\CALMORA")->Value("gRÖße"), nullptr);
  EXPECT_NE(hive.OpenKey("Software\\Ärzte"), nullptr);
  EXPECT_NE(hive.OpenKey("Software"), nullptr);
  EXPECT_NE(hive.OpenKey(""), nullptr);
  EXPECT_EQ(hive.OpenKey("Software\\Ärzte\\Calmor"), nullptr);
  EXPECT_EQ(hive.OpenKey("Software\\Only There"), nullptr) << "other hives are not answered";
  EXPECT_EQ(hive.OpenKey("\\Software"), nullptr);
}

TEST(RegistryFileTest, LaterLinesReplaceAndDeleteEarlierOnes) {
  const auto hive = RegistryHive::Parse(
      "REGEDIT4\n"
      "[HKEY_LOCAL_MACHINE\\Software\\A\\B]\n\"v\"=\"one\"\n\"w\"=\"gone\"\n"
      "[HKEY_LOCAL_MACHINE\\Software\\C]\n\"v\"=\"kept\"\n"
      "[HKEY_LOCAL_MACHINE\\software\\a\\b]\n\"V\"=\"two\"\n\"W\"=-\n"
      "[-HKEY_LOCAL_MACHINE\\Software\\C]\n",
      "edits.reg");
  EXPECT_EQ(ValueOf(hive, "Software\\A\\B", "v").bytes, "two\0"s);
  EXPECT_EQ(hive.OpenKey("Software\\A\\B")->Value("w"), nullptr);
  EXPECT_EQ(hive.OpenKey("Software\\C"), nullptr);
  EXPECT_NE(hive.OpenKey("Software\\A"), nullptr);
}

struct Malformed {
  const char* text;
  int line;
  const char* fault;  // a part of the message that says what is wrong
};

TEST(RegistryFileTest, AMalformedFileNamesTheLineAndTheFault) {
  const Malformed cases[] = {
      {"", 0, "empty"},
      {"Windows Registry Editor Version 4.00\n", 1, "must begin with"},
      {"\n\nREGEDIT4\n\"v\"=\"x\"\n", 4, "before any [key]"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\S]\n\"v\"=\"C:\\Apps\"\n", 3, "unknown escape \\A"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\S]\n\"v\"=\"open\n", 3, "no closing quote"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\S]\n\"v\"=\"x\" trailing\n", 3, "after the closing quote"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\S]\n\"v\"=hex:01,zz\n", 3, "\"zz\" is not a byte"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\S]\n\"v\"=hex:01,\\\n  02,03,\\\n", 4, "past the end"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\S]\n\"v\"=hex:01,\\\n  0g\n", 4, "\"0g\" is not a byte"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\S]\n\"v\"=hex:01,\\\n\n\"w\"=\"x\"\n", 4, "empty line"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\S]\n\"v\"=dword:123456789\n", 3, "dword"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\S]\n\"v\"=hex(q):00\n", 3, "hex(N)"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\S]\n\"v\"=text\n", 3, "unknown value data"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\S]\n\"v\"\n", 3, "expected ="},
      {"REGEDIT4\n[HKLM\\Software]\n", 2, "unknown hive \"HKLM\""},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\\\X]\n", 2, "empty key name"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\n", 2, "must end with ]"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\S]\nLocation=x\n", 3, "expected a [key] line"},
      {"Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\S]\n\"v\"=hex(1):61,00,62\n",
       3, "not valid UTF-16LE"},
      {"Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\S]\n\"v\"=hex(1):00,d8\n",
       3, "not valid UTF-16LE"},
      {"REGEDIT4\n[-HKEY_LOCAL_MACHINE\\S]\n\"v\"=\"x\"\n", 3, "deletion"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      RegistryHive::Parse(c.text, "machine.reg");
      ADD_FAILURE() << "parsed a malformed file";
    } catch (const RegistryFileError& e) {
      EXPECT_EQ(e.line(), c.line);
      const std::string message = e.what();
      EXPECT_NE(message.find("machine.reg"), std::string::npos) << message;
      if (c.line > 0) {
        EXPECT_NE(message.find("line " + std::to_string(c.line) + ":"), std::string::npos)
            << message;
      }
      EXPECT_NE(message.find(c.fault), std::string::npos) << message;
    }
  }
}

TEST(RegistryFileTest, LoadReadsTheFileAndTakesAMissingOneAsAnEmptyHive) {
  testing::TempDir dir;
  testing::WriteFileBytes(dir / "machine.reg", Utf16LeFile(kVersion5));
  ExpectVersion5Values(RegistryHive::Load((dir / "machine.reg").string()));

  const auto empty = RegistryHive::Load((dir / "missing.reg").string());
  EXPECT_EQ(empty.OpenKey(kKey), nullptr);

  try {
    RegistryHive::Load(dir.str());  // a folder
    ADD_FAILURE() << "read a folder as a registry file";
  } catch (const RegistryFileError& e) {
    EXPECT_EQ(e.line(), 0);
    EXPECT_NE(std::string(e.what()).find("Is a directory"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace calmora
