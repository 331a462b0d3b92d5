#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "generators/zkdnl31p.h"

namespace {

BadgeRecord badge(const char* number, const char* from, const char* to, const char* access_class,
                  const char* location_text, const char* time_flag) {
  BadgeRecord b;
  std::strcpy(b.AswNum, number);
  std::strcpy(b.AswGvo, from);
  std::strcpy(b.AswGbi, to);
  std::strcpy(b.AswBkl, access_class);
  std::strcpy(b.StoKtx, location_text);
  std::strcpy(b.time_flag, time_flag);
  return b;
}

}  // namespace

TEST(Zkdnl31pFormat, RecordsByteForByte) {
  const struct {
    BadgeRecord in;
    const char* want;
  } cases[] = {
      {badge("4711", "20240301", "", "5  ", "AB", "1"),
       "4711"
       "         "
       "20240301"
       "00000000"
       "1"
       "1"
       "XXXX,XX-"
       "001"
       "5  "
       "AB "},
      {badge("1234567890123", "", "20991231", "12 ", "", "0"),
       "1234567890123000000002099123101XXXX,XX-00112    "},
      // The person entries' class comes without blanks.
      {badge("9", "20240101", "20240102", "6", "XYZ", ""),
       "9            202401012024010201XXXX,XX-0016  XYZ"},
      {badge("'\"", "2024", "", "", "", "x"), "'\"           2024    0000000001XXXX,XX-001      "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in.AswNum);
    const std::string record = zkdnl31p_format(c.in);
    EXPECT_EQ(48u, record.size());
    EXPECT_EQ(c.want, record);
  }
}

TEST(Zkdnl31pFormat, ValueWiderThanItsFieldNeverReachesTheNext) {
  const std::string record =
      zkdnl31p_format(badge("12345678901234", "202403011", "", "1234", "AB", "1"));
  EXPECT_EQ("1234567890123202403010000000011XXXX,XX-001123AB ", record);
}
