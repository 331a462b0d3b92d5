#include "inspect/text_out.h"

#include <gtest/gtest.h>

TEST(TextOut, Windows1252BecomesUtf8AndEachFormatEscapesItsOwn) {
  const struct {
    const char* in;
    const char* utf8;
    const char* tsv;
    const char* json;
  } cases[] = {
      {"G\xFCltig", "G\xC3\xBCltig", "G\xC3\xBCltig", "\"G\xC3\xBCltig\""},
      {"\x80 5", "\xE2\x82\xAC 5", "\xE2\x82\xAC 5", "\"\xE2\x82\xAC 5\""},  // the euro sign
      // A byte the code page leaves undefined: the control character of its number.
      {"a\x81", "a\xC2\x81", "a\xC2\x81", "\"a\xC2\x81\""},
      {"a\tb\r\nc\\\x01", "a\tb\r\nc\\\x01", "a\\tb\\r\\nc\\\\\\x01",
       "\"a\\tb\\r\\nc\\\\\\u0001\""},
      {"say \"x\"", "say \"x\"", "say \"x\"", "\"say \\\"x\\\"\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(c.utf8, text_utf8(c.in));
    EXPECT_EQ(c.tsv, tsv_field(c.in));
    EXPECT_EQ(c.json, json_string(c.in));
  }
  EXPECT_EQ("M\xFCller", text_windows_1252("M\xC3\xBCller"));
  EXPECT_EQ("M\xFCller", text_windows_1252("M\xFCller"));  // no UTF-8: as it is
}
