#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "generators/idstamm.h"

namespace {

// A badge as the generator leaves it just before the line is formatted.
BadgeRecord staged_badge() {
  BadgeRecord b;
  std::strcpy(b.AswNum, "4711");
  std::strcpy(b.AswGvo, "20240301");
  std::strcpy(b.AswGbi, "20991231");
  std::strcpy(b.AwvSto, "00000123");
  std::strcpy(b.time_flag, "1");
  std::strcpy(b.access_flag, "0");
  std::strcpy(b.PnrSpr, "2");
  std::strcpy(b.PnrSal, "SAL1");
  std::strcpy(b.fixed_code, "001");
  std::strcpy(b.AswBkl, "5  ");
  std::strcpy(b.AswPnr, "P1");
  std::strcpy(b.AswAtp, "7");
  return b;
}

}  // namespace

TEST(IdstammFormat, LineByteForByte) {
  EXPECT_EQ(
      "\"4711\",\"20240301\",\"20991231\",\"00123\",\"1\",\"0\",\"2\",\"SAL1\",\"001\","
      "\"5  \",\"\",\"P1\",\"7\"\n",
      idstamm_format(staged_badge()));
}

TEST(IdstammFormat, LocationFieldIsTheLastFiveDigitsOrEmpty) {
  const struct {
    const char* AwvSto;
    const char* want;
  } cases[] = {
      {"00000001", "00001"}, {"00123456", "23456"}, {"12345678", "45678"},
      {"00000000", ""},      {"12300000", ""},      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.AwvSto);
    BadgeRecord b = staged_badge();
    std::strcpy(b.AwvSto, c.AwvSto);
    EXPECT_EQ(std::string("\"4711\",\"20240301\",\"20991231\",\"") + c.want +
                  "\",\"1\",\"0\",\"2\",\"SAL1\",\"001\",\"5  \",\"\",\"P1\",\"7\"\n",
              idstamm_format(b));
  }
}

TEST(IdstammFormat, BadgeWithoutClassPersonOrDatesKeepsThirteenFields) {
  BadgeRecord b = staged_badge();
  std::strcpy(b.AswBkl, "0");
  std::strcpy(b.AswGvo, "");
  b.PnrSpr[0] = '\0';
  b.PnrSal[0] = '\0';
  std::strcpy(b.AswNum, "O'1");
  EXPECT_EQ(
      "\"O'1\",\"\",\"20991231\",\"00123\",\"1\",\"0\",\"\",\"\",\"001\",\"0\",\"\","
      "\"P1\",\"7\"\n",
      idstamm_format(b));
}
