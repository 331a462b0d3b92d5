// The fixed-width value texts of the previous-day account values and the vacation figures.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "lookup/day_values.h"
#include "lookup/vacation.h"

TEST(FormatHoursMinutes, LeadKeepsTheCommaFourthUpToThousandHours) {
  const struct {
    long minutes;
    const char* text;
  } cases[] = {
      {0, "  0,00 "},     {90, "  1,30 "},     {-90, "  1,30-"},     {-5, "  0,05-"},
      {599, "  9,59 "},   {-599, "  9,59-"},   {600, " 10,00 "},     {-600, " 10,00-"},
      {5999, " 99,59 "},  {-5999, " 99,59-"},  {6000, "100,00 "},    {-6000, "100,00-"},
      {59999, "999,59 "}, {60000, "1000,00 "}, {-60000, "1000,00-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.minutes);
    EXPECT_EQ(c.text, format_hours_minutes(c.minutes));
  }
}

// The figures come from the server as texts; strtod makes the double that is formatted.
TEST(FormatDecimal, LeadSignAndCommaAroundTwoDecimals) {
  const struct {
    const char* figure;
    const char* text;
  } cases[] = {
      {"0", "  0,00 "},      {"2.5", "  2,50 "},    {"-2.5", "  2,50-"}, {"12.25", " 12,25 "},
      {"10", " 10,00 "},     {"-10", " 10,00-"},    {"9.5", "  9,50 "},  {"1000", "1000,00 "},
      {"-1000", "1000,00-"}, {"-0.001", "  0,00-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.figure);
    EXPECT_EQ(c.text, format_decimal(std::strtod(c.figure, nullptr)));
  }
}

// Halves of a hundredth round up as on the decimal figure, whichever side of it the double
// lies (9.995 lies just below, 99.995 and 2.675 too, 0.005 just above). The lead stays that of
// the figure itself, so one that rounds up to the next power of ten is a character longer.
TEST(FormatDecimal, HalfHundredthsRoundUpAsDecimalFigures) {
  const struct {
    const char* figure;
    const char* text;
  } cases[] = {
      {"9.995", "  10,00 "},         {"-9.995", "  10,00-"}, {"9.996", "  10,00 "},
      {"9.994", "  9,99 "},          {"99.995", " 100,00 "}, {"99.994", " 99,99 "},
      {"999.995", "1000,00 "},       {"999.994", "999,99 "}, {"2.675", "  2,68 "},
      {"-2.675", "  2,68-"},         {"1.005", "  1,01 "},   {"1.004", "  1,00 "},
      {"1.004999", "  1,00 "},       {"0.005", "  0,01 "},   {"0.004", "  0,00 "},
      {"-0.005", "  0,01-"},         {"0.995", "  1,00 "},   {"19.995", " 20,00 "},
      {"999999.995", "1000000,00 "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.figure);
    EXPECT_EQ(c.text, format_decimal(std::strtod(c.figure, nullptr)));
  }
}

// The remaining days are the difference of two figures; as doubles each of these lies just
// below the decimal difference: a half hundredth still rounds up, and a whole 10 or 100
// keeps its lead.
TEST(FormatDecimal, DifferencesOfFiguresRoundAsTheirDecimalValue) {
  const struct {
    const char* entitled;
    const char* taken;
    const char* text;
  } cases[] = {
      {"11.11", "1.115", "  10,00 "},    // 9.995
      {"3.3", "0.305", "  3,00 "},       // 2.995
      {"3.3", "0.625", "  2,68 "},       // 2.675
      {"11.11", "0.105", " 11,01 "},     // 11.005
      {"0.7", "0.625", "  0,08 "},       // 0.075
      {"64.954", "54.954", " 10,00 "},   // 10
      {"134.896", "34.896", "100,00 "},  // 100
      {"1.1", "1.1", "  0,00 "},         // 0
      {"54.954", "64.954", " 10,00-"},   // -10
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.entitled) + " - " + c.taken);
    EXPECT_EQ(c.text,
              format_decimal(std::strtod(c.entitled, nullptr) - std::strtod(c.taken, nullptr)));
  }
}
