#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "generators/zkdnl60p.h"

namespace {

// A badge as the generator hands it to the format: flags set, the slots of the terminal's
// readers 1 to 3 holding their numbers, the others the preset blanks; day value i reads
// "  i,0i ".
BadgeRecord badge(const char* number, const char* from, const char* time, const char* access,
                  const char* access_class, std::initializer_list<int> readers) {
  BadgeRecord b;
  std::strcpy(b.AswNum, number);
  std::strcpy(b.AswGvo, from);
  std::strcpy(b.time_flag, time);
  std::strcpy(b.access_flag, access);
  std::strcpy(b.AswBkl, access_class);
  for (int i = 0; i < 3; ++i)
    std::strcpy(b.reader_slots[i], "  ");
  for (const int reader : readers)
    std::snprintf(b.reader_slots[reader - 1], sizeof b.reader_slots[0], "%02d", reader);
  for (int i = 0; i < 9; ++i)
    b.day_values[i] = "  " + std::to_string(i) + ",0" + std::to_string(i) + " ";
  return b;
}

}  // namespace

TEST(Zkdnl60pFormat, DisplayCodeChoosesTheDayValue) {
  const struct {
    const char* code;
    const char* value;  // columns 24-30
  } cases[] = {
      {"#W2", "  0,00 "},  {"#W9", "  1,01 "},  {"#W10", "  2,02 "}, {"#W11", "  3,03 "},
      {"#W12", "  4,04 "}, {"#W13", "  5,05 "}, {"#W14", "  6,06 "}, {"#W15", "  7,07 "},
      {"#W16", "  8,08 "}, {"", "       "},     {"#W1", "       "},  {"#W3", "       "},
      {"#w2", "       "},  {"#W2 ", "       "}, {"#W17", "       "}, {"W2", "       "},
  };
  const BadgeRecord b = badge("4711", "20240301", "1", "0", "5  ", {});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(std::string("4711         2024030110") + c.value + std::string(15, ' '),
              zkdnl60p_format(b, c.code));
  }
}

TEST(Zkdnl60pFormat, RecordsByteForByte) {
  BadgeRecord long_value = badge("4711", "20240301", "1", "1", "5  ", {1});
  long_value.day_values[2] = "1000,00 ";
  BadgeRecord no_values = badge("4711", "20240301", "1", "1", "5  ", {1});
  for (std::string& value : no_values.day_values)
    value.clear();
  const struct {
    const char* name;
    BadgeRecord in;
    const char* want;
  } cases[] = {
      {"readers 1 and 3", badge("4711", "20240301", "1", "1", "5  ", {1, 3}),
       "4711"
       "         "
       "20240301"
       "1"
       "1"
       "  2,02 "
       "015  "
       "     "
       "035  "},
      {"three readers, class of one character", badge("4711", "20240301", "0", "1", "6", {1, 2, 3}),
       "4711         2024030101  2,02 016  026  036  "},
      {"no access: no entries", badge("4711", "20240301", "1", "0", "5  ", {1, 2, 3}),
       "4711         2024030110  2,02                "},
      {"13-character number, no valid-from date", badge("1234567890123", "", "1", "1", "123", {2}),
       "1234567890123"
       "00000000"
       "1"
       "1"
       "  2,02 "
       "     "
       "02123"
       "     "},
      {"1000 hours keeps its first 7 characters", long_value,
       "4711         20240301111000,00015       "
       "     "},
      {"no previous-day values", no_values, "4711         2024030111       015            "},
      {"flags other than 1 read 0", badge("'\"", "2024", "", "x", "5  ", {1}),
       "'\"           2024    00  2,02                "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string record = zkdnl60p_format(c.in, "#W10");
    EXPECT_EQ(45u, record.size());
    EXPECT_EQ(c.want, record);
  }
}

TEST(Zkdnl60pFormat, ValueWiderThanItsFieldNeverReachesTheNext) {
  EXPECT_EQ(
      "1234567890123"
      "20240301"
      "1"
      "1"
      "  0,00 "
      "01123"
      "          ",
      zkdnl60p_format(badge("12345678901234", "202403011", "1", "1", "1234", {1}), "#W2"));
}
