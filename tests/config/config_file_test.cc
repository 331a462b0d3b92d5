#include "config/config_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "config/blowfish.h"
#include "config/config_test_files.h"
#include "support/temp_dir.h"

namespace {

class ConfigReadTest : public ::testing::Test {
 protected:
  ConfigReadResult read(const std::string& content, const char* key, const char* section = "",
                        int number = 0) {
    write_file(path_, content);
    return config_read(section, key, number, path_.c_str());
  }

  ScopedTempDir dir_;
  std::string path_ = dir_.file("korvandel.ini");
};

// A value line "00000000001;KKK...;HEX" of length characters, counting its line feed also
// when it has none (as the reader does); its value deciphers to kLongPlain.
const std::string kLongPlain(90, 'v');
std::string long_value_line(std::size_t length, bool line_feed) {
  const std::string hex = encrypt_to_hex_string(kLongPlain, kConfigCipherKey);
  const std::size_t fixed = 11 + 1 + 1 + hex.size() + 1;  // 193-character key at 399
  return "00000000001;" + std::string(length - fixed, 'K') + ";" + hex + (line_feed ? "\n" : "");
}

const std::string kRunEntries = config_entry("VESTRAGEN", "1", "LOGIN", "scott") +
                                config_entry("VESTRAGEN", "2", "PASS", "tiger") +
                                config_entry("VESTRAGEN", "3", "NET8", "dbhost");

}  // namespace

TEST_F(ConfigReadTest, FindsTheEntryByKey) {
  const struct {
    const char* key;
    const char* value;
    int number;
    int line;
  } cases[] = {{"LOGIN", "scott", 1, 1}, {"PASS", "tiger", 2, 3}, {"NET8", "dbhost", 3, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    const ConfigReadResult result = read(kRunEntries, c.key);
    EXPECT_EQ(ConfigStatus::kOk, result.status);
    EXPECT_EQ(c.line, result.line);
    EXPECT_STREQ(c.value, config_value);
    EXPECT_STREQ(c.key, config_key);
    EXPECT_STREQ("VESTRAGEN", config_section);
    EXPECT_EQ(c.number, config_number);
  }
}

TEST_F(ConfigReadTest, SectionOrNumberAloneMatchesAheadOfTheKey) {
  // The run asks with section "" and number 0, so these entries answer it for any key.
  const struct {
    std::string first_entry;
    const char* section;
    int number;
  } cases[] = {
      {config_entry("", "7", "OTHER", "wide"), "", 0},
      {config_entry("S", "0", "OTHER", "wide"), "", 0},
      {config_entry("S", "abc", "OTHER", "wide"), "", 0},
      {config_entry("S", "", "OTHER", "wide"), "", 0},
      {config_entry("S", " +7x", "OTHER", "wide"), "T", 7},
      {config_entry("T", "9", "OTHER", "wide"), "T", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first_entry);
    EXPECT_EQ(ConfigStatus::kOk,
              read(c.first_entry + kRunEntries, "LOGIN", c.section, c.number).status);
    EXPECT_STREQ("wide", config_value);
    EXPECT_STREQ("OTHER", config_key);
  }
}

TEST_F(ConfigReadTest, FirstOfTwoEntriesWithTheKeyWins) {
  read(config_entry("A", "1", "LOGIN", "first") + config_entry("B", "2", "LOGIN", "second"),
       "LOGIN");
  EXPECT_STREQ("first", config_value);
}

TEST_F(ConfigReadTest, LineEndsDoNotChangeTheValue) {
  const std::string crlf = config_entry("VESTRAGEN", "1", "NET8", "dbhost", "\r\n");
  const std::string cases[] = {
      kRunEntries,
      kRunEntries.substr(0, kRunEntries.size() - 1),  // no line feed at the end
      crlf,
      crlf.substr(0, crlf.size() - 2),
      kRunEntries + ";trailing;odd line\n",
  };
  for (const std::string& content : cases) {
    SCOPED_TRACE(content);
    EXPECT_EQ(ConfigStatus::kOk, read(content, "NET8").status);
    EXPECT_STREQ("dbhost", config_value);
  }
}

TEST_F(ConfigReadTest, NoMatchGivesEmptyResults) {
  const std::string cases[] = {"", kRunEntries, kRunEntries + ";odd;\n"};
  for (const std::string& content : cases) {
    SCOPED_TRACE(content);
    read(kRunEntries, "LOGIN");  // leaves results behind
    const ConfigReadResult result = read(content, "SCHEMA", "x", 99);
    EXPECT_EQ(ConfigStatus::kOk, result.status);
    EXPECT_EQ(0, result.line);
    EXPECT_STREQ("", config_value);
    EXPECT_STREQ("", config_key);
    EXPECT_STREQ("", config_section);
    EXPECT_EQ(0, config_number);
  }
}

TEST_F(ConfigReadTest, OnlyTheCarriageReturnBeforeTheLineFeedIsDropped) {
  const std::string cr_in_section =
      ";S\r;\r\n1;K;" + encrypt_to_hex_string("v", kConfigCipherKey) + "\r\n";
  read(cr_in_section, "", "S\r", 5);
  EXPECT_STREQ("v", config_value);
  read(cr_in_section, "", "S", 5);
  EXPECT_STREQ("", config_value);
  const ConfigReadResult result =
      read(";S;\n1;K;" + encrypt_to_hex_string("v", kConfigCipherKey) + "\r\r\n", "K");
  EXPECT_EQ(ConfigStatus::kBadCipherText, result.status);
}

TEST_F(ConfigReadTest, FurtherSeparatorsBelongToTheLastField) {
  const std::string hex = encrypt_to_hex_string("v", kConfigCipherKey);
  EXPECT_EQ(ConfigStatus::kOk, read(";S;ignored;more\n1;K;" + hex + "\n", "K").status);
  EXPECT_STREQ("S", config_section);

  const char odd_value[] = "01234567;89ABCDE";
  char expected[9];
  ASSERT_EQ(1, decrypt_hex_string(odd_value, expected, kConfigCipherKey));
  EXPECT_EQ(ConfigStatus::kOk, read(std::string(";S;\n1;K;") + odd_value + "\n", "K").status);
  EXPECT_STREQ(expected, config_value);
}

TEST_F(ConfigReadTest, MatchWithoutWholeBlocksIsBadCipherText) {
  const struct {
    std::string content;
    int line;
  } cases[] = {
      {";S;\n1;K;\n", 2},  // an empty value reads as its line feed
      {";S;\n1;K;", 2},
      {kRunEntries + ";S;\n1;K;0123\n", 8},
      {";S;\n1;K;" + std::string(32, 'A') + "0\n", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    const ConfigReadResult result = read(c.content, "K");
    EXPECT_EQ(ConfigStatus::kBadCipherText, result.status);
    EXPECT_EQ(c.line, result.line);
    EXPECT_STREQ("", config_value);
  }
  // Entries that do not match are not deciphered.
  EXPECT_EQ(ConfigStatus::kOk, read(";S;\n1;X;\n" + kRunEntries, "PASS").status);
}

TEST_F(ConfigReadTest, MalformedEntriesReportTheirLine) {
  const std::string hex = encrypt_to_hex_string("v", kConfigCipherKey);
  const std::string value_line = "1;K;" + hex + "\n";
  const std::string good = ";S;\n" + value_line;
  const struct {
    std::string content;
    int line;
  } cases[] = {
      {";" + std::string(197, 'S') + ";\n" + value_line, 1},  // 200 with its line feed
      {";S;\n" + long_value_line(400, true), 2},
      {";S;\n" + long_value_line(400, false), 2},  // 399 and the one appended
      {";S\n" + value_line, 1},
      {"S\n" + value_line, 1},
      {good + ";S;\n1;K" + hex + "\n", 4},
      {";S;\n123456789012;K;" + hex + "\n", 2},
      {";S;\n1;" + std::string(201, 'K') + ";" + hex + "\n", 2},
      {";S;\n1;K;" + std::string(208, 'A') + "\n", 2},
      {std::string(";S\0;\n", 5) + value_line, 1},
      {good + ";S;\n" + std::string("1;K;\0", 5) + hex + "\n", 4},
      {std::string(10000, 'x') + "\n" + value_line, 1},
      {std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\xFF\xFE;;", 20), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const ConfigReadResult result = read(c.content, "NONE", "NONE", 99);
    EXPECT_EQ(ConfigStatus::kMalformed, result.status);
    EXPECT_EQ(c.line, result.line);
  }
}

TEST_F(ConfigReadTest, LinesUpToTheirLimitsAreRead) {
  const std::string hex = encrypt_to_hex_string(kLongPlain, kConfigCipherKey);
  const std::string cases[] = {
      ";" + std::string(196, 'S') + ";\n00000000001;K;" + hex + "\n",  // 199 with line feed
      ";S;\n" + long_value_line(399, true),
      ";S;\n" + long_value_line(399, false),  // 398 and the end of the file
  };
  for (const std::string& content : cases) {
    SCOPED_TRACE(content.size());
    ASSERT_EQ(ConfigStatus::kOk, read(content, "", "", 1).status);
    EXPECT_EQ(kLongPlain, config_value);
  }
}

TEST_F(ConfigReadTest, EntriesBehindTheMatchAreNotChecked) {
  EXPECT_EQ(ConfigStatus::kOk, read(kRunEntries + std::string("\0garbage", 8), "LOGIN").status);
  EXPECT_STREQ("scott", config_value);
}

TEST_F(ConfigReadTest, UnreadableFileCannotBeOpened) {
  EXPECT_EQ(ConfigStatus::kCannotOpen,
            config_read("", "LOGIN", 0, dir_.file("missing.ini").c_str()).status);
  EXPECT_EQ(ConfigStatus::kCannotOpen, config_read("", "LOGIN", 0, dir_.file("").c_str()).status);
}

TEST(FindNthChar, CountsOccurrencesAndFallsBackToTheLast) {
  const struct {
    const char* text;
    int n;
    int index;
  } cases[] = {
      {"a;b;c", 1, 1}, {"a;b;c", 2, 3}, {"a;b;c", 3, 3}, {";", 2, 0}, {"abc", 1, -1}, {"", 1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.index, find_nth_char(c.text, ';', c.n));
  }
}

TEST(CopySubstring, StopsAtTheEndOfText) {
  const struct {
    const char* text;
    int start;
    int count;
    const char* copied;
  } cases[] = {
      {"abcdef", 1, 3, "bcd"}, {"abcdef", 2, 0, "cdef"}, {"abc", 1, 10, "bc"},
      {"abc", 3, 0, ""},       {"abc", 5, 1, ""},        {"abc", -1, 2, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    char destination[16];
    std::memset(destination, 'x', sizeof destination);
    copy_substring(c.text, c.start, c.count, destination);
    EXPECT_STREQ(c.copied, destination);
  }
}

TEST(ConfigNumberFromText, ReadsLikeAtoiWithoutOverflow) {
  const struct {
    const char* text;
    int number;
  } cases[] = {
      {"12", 12},
      {" \t7", 7},
      {"+5", 5},
      {"-3", -3},
      {"12ab", 12},
      {"abc", 0},
      {"", 0},
      {"- 1", 0},
      {"99999999999", INT_MAX},
      {"-99999999999", INT_MIN},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.number, config_number_from_text(c.text));
  }
}
