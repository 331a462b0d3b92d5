// The fixed-width value texts of the previous-day account values and the vacation figures.

#include <gtest/gtest.h>

#include <cstdlib>

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
      {"0", "  0,00 "},
      {"2.5", "  2,50 "},
      {"-2.5", "  2,50-"},
      {"12.25", " 12,25 "},
      {"10", " 10,00 "},
      {"-10", " 10,00-"},
      {"9.5", "  9,50 "},
      // 9.995 as a double lies just below 9.995 and rounds down; 99.995 lies just above
      // and rounds up to 100.00 under the one-blank lead of figures below 100.
      {"9.995", "  9,99 "},
      {"9.996", "  10,00 "},
      {"99.995", " 100,00 "},
      {"100", "100,00 "},
      {"999.994", "999,99 "},
      {"1000", "1000,00 "},
      {"-1000", "1000,00-"},
      {"-0.001", "  0,00-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.figure);
    EXPECT_EQ(c.text, format_decimal(std::strtod(c.figure, nullptr)));
  }
}
