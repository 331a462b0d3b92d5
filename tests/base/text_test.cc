#include "base/text.h"

#include <gtest/gtest.h>

#include <string>

#include "db/escape.h"

TEST(TrimTrailingBlanks, CutsBlanksTabsAndLineFeedsOnly) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"abc \t\n", "abc"},       {"abc\r\n", "abc\r"}, {"   ", ""},      {"", ""},
      {" a b ", " a b"},         {"x\t\t", "x"},       {"\n\n\n", ""},   {"a\xA0", "a\xA0"},
      {"0  ", "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    std::string text = c.in;
    EXPECT_STREQ(c.out, trim_trailing_blanks(text.data()));
    std::string s = c.in;
    trim_trailing_blanks(s);
    EXPECT_EQ(c.out, s);
  }
}

TEST(ToUpper, ChangesAsciiLettersOnly) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"zkdnl31p", "ZKDNL31P"}, {"IdStamm", "IDSTAMM"}, {"a_b-9", "A_B-9"},
      {"m\xFC" "ller", "M\xFC" "LLER"},  // umlaut ü stays
      {"\xE4\xF6\xDF", "\xE4\xF6\xDF"},  {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    std::string text = c.in;
    EXPECT_STREQ(c.out, to_upper(text.data()));
  }
}

TEST(CopyText, RefusesWhatDoesNotFitAndLeavesTheBufferAlone) {
  char buffer[4] = "old";
  EXPECT_FALSE(copy_text(buffer, sizeof buffer, "four"));
  EXPECT_STREQ("old", buffer);
  EXPECT_TRUE(copy_text(buffer, sizeof buffer, "abc"));
  EXPECT_STREQ("abc", buffer);
}

TEST(QuoteIdentifier, DoublesInnerBackticks) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"mnd", "`mnd`"}, {"mnd-b", "`mnd-b`"}, {"a`b", "`a``b`"}, {"", "``"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(c.out, db_quote_identifier(c.in));
  }
}
