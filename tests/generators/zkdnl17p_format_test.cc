#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "generators/zkdnl17p.h"

namespace {

// A badge as the generator hands it to the format: flags set, the slots of the terminal's
// readers holding their numbers, the others the preset blanks.
BadgeRecord badge(const char* number, const char* from, const char* time, const char* access,
                  const char* access_class, std::initializer_list<int> readers) {
  BadgeRecord b;
  std::strcpy(b.AswNum, number);
  std::strcpy(b.AswGvo, from);
  std::strcpy(b.time_flag, time);
  std::strcpy(b.access_flag, access);
  std::strcpy(b.AswBkl, access_class);
  for (char* slot : b.reader_slots)
    std::strcpy(slot, "  ");
  for (const int reader : readers)
    std::snprintf(b.reader_slots[reader - 1], sizeof b.reader_slots[0], "%02d", reader);
  b.day_values[0] = "  1,30 ";
  return b;
}

BadgeRecord with_location(BadgeRecord b, const char* text) {
  std::strcpy(b.StoKtx, text);
  return b;
}

BadgeRecord with_day_value(BadgeRecord b, const char* value) {
  b.day_values[0] = value;
  return b;
}

const char kHead[] =
    "4711"
    "         "
    "20240301"
    "1"
    "1"
    "  1,30 ";

}  // namespace

TEST(Zkdnl17pFormat, ReaderGroupsAndLocationByteForByte) {
  const struct {
    const char* name;
    BadgeRecord in;
    bool location_found;
    std::string want;
  } cases[] = {
      {"readers 1, 2 and 7 with location",
       with_location(badge("4711", "20240301", "1", "1", "5  ", {1, 2, 7}), "AB"), true,
       std::string(kHead) + "015  "
                            "025  "
                            "     "
                            "     "
                            "     "
                            "     "
                            "07AB "
                            "     "
                            "     "
                            "     "
                            "     "},
      {"no location row", badge("4711", "20240301", "1", "1", "5  ", {1, 2, 7}), false,
       std::string(kHead) + "015  "
                            "025  "
                            "                    "
                            "075  "
                            "                    "},
      {"one-character location keeps the class's rest",
       with_location(badge("4711", "20240301", "1", "1", "123", {1, 2, 7}), "X"), true,
       std::string(kHead) + "01123"
                            "02123"
                            "                    "
                            "07X23"
                            "                    "},
      {"location without reader 7",
       with_location(badge("4711", "20240301", "1", "1", "5  ", {1, 2}), "AB"), true,
       std::string(kHead) + "015  "
                            "025  "
                            "                    "
                            "07AB "
                            "                    "},
      {"location row without text", badge("4711", "20240301", "1", "1", "5  ", {1}), true,
       std::string(kHead) + "015  "
                            "                         "
                            "07   "
                            "                    "},
      {"all eleven readers, class of one character",
       badge("4711", "20240301", "1", "1", "6", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}), false,
       std::string(kHead) + "016  026  036  046  056  066  076  086  096  106  116  "},
      // The access check fills the slots also when no zone authorised the class.
      {"no access: no groups, but the location",
       with_location(badge("4711", "20240301", "1", "0", "5  ", {1, 2, 7}), "AB"), true,
       "4711"
       "         "
       "20240301"
       "1"
       "0"
       "  1,30 "
       "                              "
       "07AB "
       "                    "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string record = zkdnl17p_format(c.in, c.location_found);
    EXPECT_EQ(85u, record.size());
    EXPECT_EQ(c.want, record);
  }
}

TEST(Zkdnl17pFormat, HeadFieldsByteForByte) {
  const std::string no_groups(55, ' ');
  const struct {
    const char* name;
    BadgeRecord in;
    std::string want;
  } cases[] = {
      {"no valid-from date, access only", badge("1234567890123", "", "0", "1", "5  ", {}),
       "1234567890123"
       "00000000"
       "0"
       "1"
       "  1,30 " +
           no_groups},
      {"no previous-day value", with_day_value(badge("9", "20240301", "1", "0", "5  ", {}), ""),
       "9            "
       "20240301"
       "1"
       "0"
       "       " +
           no_groups},
      // From 1000 hours on the text has 8 characters: the record keeps its first 7.
      {"1000 hours", with_day_value(badge("9", "20240301", "1", "0", "5  ", {}), "1000,00 "),
       "9            "
       "20240301"
       "1"
       "0"
       "1000,00" +
           no_groups},
      {"flags other than 1 read 0", badge("'\"", "2024", "", "x", "5  ", {1}),
       "'\"           "
       "2024    "
       "0"
       "0"
       "  1,30 " +
           no_groups},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.want, zkdnl17p_format(c.in, false));
  }
}

TEST(Zkdnl17pFormat, ValueWiderThanItsFieldNeverReachesTheNext) {
  const std::string record =
      zkdnl17p_format(badge("12345678901234", "202403011", "1", "1", "1234", {1}), false);
  EXPECT_EQ(
      "1234567890123"
      "20240301"
      "1"
      "1"
      "  1,30 "
      "01123" +
          std::string(50, ' '),
      record);
}
