#include "base/encoding.h"

#include <gtest/gtest.h>

#include <string>

TEST(Cp1252ToUtf8, ReadsTheBytesThatDifferFromLatin1AndKeepsTheUndefinedOnes) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"Tor 1", "Tor 1"},
      {"g\xFCltig", "g\xC3\xBCltig"},
      {"\x80", "\xE2\x82\xAC"},          // euro sign
      {"\x8A\x9F", "\xC5\xA0\xC5\xB8"},  // S with caron, Y with diaeresis
      {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
      {"a\x81"
       "b",
       "a\xC2\x81"
       "b"},
      {"\xA0\xFF", "\xC2\xA0\xC3\xBF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(c.out, cp1252_to_utf8(c.in));
  }
  // NUL bytes are text too.
  EXPECT_EQ(std::string("a\0b", 3), cp1252_to_utf8(std::string("a\0b", 3)));
}

TEST(Utf8ToCp1252, EveryByteComesBackAndWhatHasNoFormIsRefused) {
  std::string all;
  for (int b = 1; b < 256; ++b)
    all += static_cast<char>(b);
  std::string back;
  ASSERT_TRUE(utf8_to_cp1252(cp1252_to_utf8(all), back));
  EXPECT_EQ(all, back);
  for (const char* bad : {"\xCE\xA9",      // omega: not in Windows-1252
                          "\xC3", "\xFC",  // cut short, not UTF-8
                          "ok\xE2\x82", "\xEF\xBF\xBD"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(utf8_to_cp1252(bad, back));
  }
}
