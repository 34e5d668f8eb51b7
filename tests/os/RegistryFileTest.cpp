#include "os/RegistryFile.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

using namespace std::string_literals;

constexpr char kKey[] = "Software\\Brindlecote\\Calmora V3";

// The text as regedit writes a version-5 file: UTF-16LE with its mark. The
// texts here hold nothing beyond U+07FF, so one or two UTF-8 bytes make a unit.
std::string Utf16LeFile(const std::string& utf8) {
  std::string bytes = "\xFF\xFE";
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    unsigned unit = static_cast<unsigned char>(utf8[i]);
    if (unit >= 0xC0) unit = (unit & 0x1F) << 6 | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
    bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  }
  return bytes;
}

RegistryData ValueOf(const RegistryHive& hive, const std::string& key, const std::string& name) {
  const RegistryKey* k = hive.OpenKey(key);
  const RegistryData* data = k ? k->Value(name) : nullptr;
  if (data == nullptr) throw std::runtime_error("no value " + key + " " + name);
  return *data;
}

// Every value form of a version-5 export, with CR LF line ends, comments,
// blank lines, a continued hex list and another hive's key of the same path.
const std::string kVersion5 =
    "Windows Registry Editor Version 5.00\r\n\r\n; installation data\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Brindlecote\\Calmora V3]\r\n"
    "\"Location\"=\"/opt/calmora/V3 \\\"old\\\" \\\\ share\"\r\n"
    "@=\"default text\"\r\n"
    "\"Count\"=dword:0000000a\r\n"
    "\"Blob\"=hex:01,ff,7A\r\n"
    "\"NoNul\"=hex(1):61,00,62,00,63,00\r\n"
    "\"Path\"=hex(2):25,00,41,00,25,00,00,00\r\n"
    "\"Lines\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
    "\"Nothing\"=hex(0):\r\n"
    "\"Wide\"=hex(b):01,02,03,04,05,06,07,\\\r\n  08\r\n"
    "\"City\"=\"Zürich\"\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Brindlecote\\Calmora V3]\r\n"
    "\"Location\"=\"/elsewhere\"\r\n";

void ExpectVersion5Values(const RegistryHive& hive) {
  const std::tuple<const char*, std::uint32_t, std::string> expected[] = {
      {"Location", regtype::String, "/opt/calmora/V3 \"old\" \\ share\0"s},
      {"", regtype::String, "default text\0"s},
      {"Count", regtype::Dword, "\x0a\0\0\0"s},
      {"Blob", regtype::Binary, "\x01\xff\x7a"s},
      {"NoNul", regtype::String, "abc"},  // written without its NUL, kept without
      {"Path", regtype::ExpandString, "%A%\0"s},
      {"Lines", regtype::MultiString, "a\0b\0\0"s},
      {"Nothing", regtype::None, ""},
      {"Wide", 0xbu, "\x01\x02\x03\x04\x05\x06\x07\x08"s},
      {"City", regtype::String, "Zürich\0"s},  // 8 bytes: the UTF-8 text and its NUL
  };
  for (const auto& [name, type, bytes] : expected) {
    const RegistryData data = ValueOf(hive, kKey, name);
    EXPECT_EQ(data.type, type) << name;
    EXPECT_EQ(data.bytes, bytes) << name;
  }
}

TEST(RegistryFileTest, EveryValueFormInEveryEncodingAndFromDisk) {
  ExpectVersion5Values(RegistryHive::Parse(kVersion5, "test.reg"));
  ExpectVersion5Values(RegistryHive::Parse(Utf16LeFile(kVersion5), "utf16.reg"));
  ExpectVersion5Values(RegistryHive::Parse("\xEF\xBB\xBF" + kVersion5, "bom.reg"));
  std::string lf = kVersion5;
  for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
  ExpectVersion5Values(RegistryHive::Parse(lf, "lf.reg"));

  testing::TempDir dir;
  testing::WriteFileBytes(dir / "machine.reg", Utf16LeFile(kVersion5));
  ExpectVersion5Values(RegistryHive::Load((dir / "machine.reg").string()));
  EXPECT_EQ(RegistryHive::Load((dir / "missing.reg").string()).OpenKey(kKey), nullptr);
  try {
    RegistryHive::Load(dir.str());
    ADD_FAILURE() << "read a folder as a registry file";
  } catch (const RegistryFileError& e) {
    EXPECT_EQ(e.line(), 0);
    EXPECT_NE(std::string(e.what()).find("Is a directory"), std::string::npos) << e.what();
  }
}

// REGEDIT4: text data as plain bytes; names case-blind, one character for
// one as the registry compares (ß is not SS); parent keys open; later lines win.
TEST(RegistryFileTest, Regedit4CaseBlindNamesParentKeysAndEdits) {
  const auto hive = RegistryHive::Parse(
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\X]\n\"NoNul\"=hex(1):61,62,63\n"
      "\"WithNul\"=hex(1):61,62,00\n\"Path\"=hex(2):25,41,25,00\n\"Plain\"=\"text\"\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Ärzte\\Calmora]\n\"Größe\"=\"x\"\n"
      "[HKEY_USERS\\Software\\Only There]\n\"v\"=\"x\"\n"
      "[HKEY_LOCAL_MACHINE\\Software\\A\\B]\n\"v\"=\"one\"\n\"w\"=\"gone\"\n"
      "[HKEY_LOCAL_MACHINE\\Software\\C]\n\"v\"=\"kept\"\n"
      "[HKEY_LOCAL_MACHINE\\software\\a\\b]\n\"V\"=\"two\"\n\"W\"=-\n"
      "[-HKEY_LOCAL_MACHINE\\Software\\C]\n",
      "case.reg");
  for (const char* parent : {"Software\\Ärzte", "Software", "", "Software\\A"})
    EXPECT_NE(hive.OpenKey(parent), nullptr) << parent;
  for (const char* absent : {"Software\\Ärzte\\Calmor", "Software\\Only There", "\\Software",
                             "Software\\C"})
    EXPECT_EQ(hive.OpenKey(absent), nullptr) << absent;
  EXPECT_EQ(hive.OpenKey("software\\ärzte\\CALMORA")->Value("GRÖSSE"), nullptr);
  EXPECT_EQ(hive.OpenKey("Software\\A\\B")->Value("w"), nullptr);
  const std::tuple<const char*, const char*, std::string> values[] = {
      {"SOFTWARE\\ÄRZTE\\calmora", "gRÖße", "x\0"s}, {"Software\\X", "NoNul", "abc"},
      {"Software\\X", "WithNul", "ab\0"s},            {"Software\\X", "Path", "%A%\0"s},
      {"Software\\X", "Plain", "text\0"s},            {"Software\\A\\B", "v", "two\0"s}};
  for (const auto& [key, name, bytes] : values) EXPECT_EQ(ValueOf(hive, key, name).bytes, bytes);
}

TEST(RegistryFileTest, AMalformedFileNamesTheLineAndTheFault) {
  const std::string k = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\S]\n";
  const std::string v5 = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\S]\n";
  const std::tuple<std::string, int, const char*> cases[] = {
      {"", 0, "empty"},
      {"Windows Registry Editor Version 4.00\n", 1, "must begin with"},
      {"\n\nREGEDIT4\n\"v\"=\"x\"\n", 4, "before any [key]"},
      {k + "\"v\"=\"C:\\Apps\"\n", 3, "unknown escape \\A"},
      {k + "\"v\"=\"open\n", 3, "no closing quote"},
      {k + "\"v\"=\"x\" trailing\n", 3, "after the closing quote"},
      {k + "\"v\"=hex:01,\\\n  02,03,\\\n", 4, "past the end"},
      {k + "\"v\"=hex:01,\\\n  0g\n", 4, "\"0g\" is not a byte"},
      {k + "\"v\"=hex:01,\\\n\n\"w\"=\"x\"\n", 4, "empty line"},
      {k + "\"v\"=dword:123456789\n", 3, "dword"},
      {k + "\"v\"=hex(q):00\n", 3, "hex(N)"},
      {k + "\"v\"=text\n", 3, "unknown value data"},
      {k + "\"v\"\n", 3, "expected ="},
      {"REGEDIT4\n[HKLM\\Software]\n", 2, "unknown hive \"HKLM\""},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\\\X]\n", 2, "empty key name"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\n", 2, "must end with ]"},
      {k + "Location=x\n", 3, "expected a [key] line"},
      {v5 + "\"v\"=hex(1):61,00,62\n", 3, "not valid UTF-16LE"},
      {v5 + "\"v\"=hex(1):00,d8\n", 3, "not valid UTF-16LE"},
      {"REGEDIT4\n[-HKEY_LOCAL_MACHINE\\S]\n\"v\"=\"x\"\n", 3, "deletion"},
  };
  for (const auto& [text, line, fault] : cases) {
    try {
      RegistryHive::Parse(text, "machine.reg");
      ADD_FAILURE() << "parsed a malformed file: " << text;
    } catch (const RegistryFileError& e) {
      EXPECT_EQ(e.line(), line) << text;
      const std::string message = e.what();
      EXPECT_NE(message.find(line > 0 ? "machine.reg, line " + std::to_string(line) + ":"
                                      : "machine.reg"),
                std::string::npos) << message;
      EXPECT_NE(message.find(fault), std::string::npos) << message;
    }
  }
}

}  // namespace
}  // namespace calmora
