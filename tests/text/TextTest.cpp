// The one walk over UTF-8 and its case mappings, malformed input included:
// every byte kept, a byte that starts no well-formed sequence on its own.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "text/Case.h"
#include "text/Utf8.h"

namespace calmora::text {
namespace {

using namespace std::string_literals;

TEST(TextTest, CharactersOfWellFormedAndMalformedText) {
  const struct {
    std::string text;
    std::size_t characters, firstTwoBytes;  // bytes of the first two characters
  } cases[] = {
      {"", 0, 0},
      {"abc", 3, 2},
      {"Ä€𝄞x", 4, 5},                    // two, three and four bytes
      {"\x80\x80" "a", 3, 2},               // stray continuation bytes
      {"\xE2\x82" "a", 3, 2},               // a cut-off sequence: each byte alone
      {"\xC0\xAF" "a", 3, 2},               // overlong form of '/'
      {"\xED\xA0\x80", 3, 2},               // a surrogate
      {"\xF4\x90\x80\x80", 4, 2},           // past U+10FFFF
      {"\xF5\x80" "\xC3\xA9", 3, 2},        // a byte that never leads
      {"a\0b" "\xC3\xA9"s, 4, 2},           // NUL is a character like any other
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(CharacterCount(c.text), c.characters);
    EXPECT_EQ(FirstCharacters(c.text, 2).size(), c.firstTwoBytes);
    EXPECT_EQ(FirstCharacters(c.text, 99), c.text);
  }
}

TEST(TextTest, FoldingAndUpperCasingMapOneCharacterToOne) {
  const struct {
    std::string text, folded, upper;
  } cases[] = {
      {"Smith, John", "smith, john", "SMITH, JOHN"},
      {"Straße", "straße", "STRAßE"},              // no expansion to SS
      {"ÄÖÜ àé", "äöü àé", "ÄÖÜ ÀÉ"},
      {"ΣΑΣ ς", "σασ σ", "ΣΑΣ Σ"},                 // final sigma folds with sigma
      {"İı", "İı", "İI"},                          // simple mappings only: İ does not fold
      {"\xFFmü\xE2\x82", "\xFFmü\xE2\x82", "\xFFMÜ\xE2\x82"},  // malformed bytes kept
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Folded(c.text), c.folded);
    EXPECT_EQ(UpperCased(c.text), c.upper);
    EXPECT_EQ(CharacterCount(UpperCased(c.text)), CharacterCount(c.text));
  }
}

TEST(TextTest, CaseBlindComparison) {
  const struct {
    std::string a, b;
    int order;
  } cases[] = {
      {"CLAIMS", "claims", 0},
      {"Müller", "MÜLLER", 0},
      {"abc", "abd", -1},
      {"ab", "abc", -1},
      {"é", "f", 1},                              // by code point, not by locale
      {"\xFF", "\xF4\x8F\xBF\xBF", 1},            // a stray byte after U+10FFFF
      {"\xE2\x82", "\xE2", 1},                    // a cut-off sequence is two bytes
      {"\xE2\x82" "a", "\xE2" "a", 1},
      {"\xC3", "\xC3\xA9", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a + " / " + c.b);
    EXPECT_EQ(CompareFolded(c.a, c.b), c.order);
    EXPECT_EQ(CompareFolded(c.b, c.a), -c.order);
    EXPECT_EQ(EqualsFolded(c.a, c.b), c.order == 0);
  }
  EXPECT_TRUE(EqualsUpperCased("hkey_local_machine", "HKEY_LOCAL_MACHINE"));
  EXPECT_FALSE(EqualsUpperCased("a\xFF", "A\xFE"));
}

}  // namespace
}  // namespace calmora::text
