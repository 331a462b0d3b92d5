#include "generators/refusals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

BadgeRecord fitting_badge() {
  BadgeRecord b;
  std::strcpy(b.AswNum, "1234567890123");
  std::strcpy(b.AswGvo, "20240301");
  std::strcpy(b.AswGbi, "20240302");
  std::strcpy(b.AswBkl, "12 ");
  return b;
}

}  // namespace

TEST(RefuseUnfit, NamesTheFirstValueThatDoesNotFit) {
  const struct {
    const char* name;
    void (*change)(BadgeRecord&);
    const char* want;  // the message, empty when the badge fits
  } cases[] = {
      {"fits", [](BadgeRecord&) {}, ""},
      {"number", [](BadgeRecord& b) { std::strcpy(b.AswNum, "12345678901234"); },
       "Ausweis 12345678901234 mit zu langem Wert: Ausweisnummer (max. 13 Zeichen)\n"},
      {"class", [](BadgeRecord& b) { std::strcpy(b.AswBkl, "1234"); },
       "Ausweis 1234567890123 mit zu langem Wert: Berechtigungsklasse 1234 (max. 3 Zeichen)\n"},
      {"valid from", [](BadgeRecord& b) { std::strcpy(b.AswGvo, "202403011"); },
       "Ausweis 1234567890123 mit zu langem Wert: Datum 202403011 (max. 8 Zeichen)\n"},
      {"valid to", [](BadgeRecord& b) { std::strcpy(b.AswGbi, "202403021"); },
       "Ausweis 1234567890123 mit zu langem Wert: Datum 202403021 (max. 8 Zeichen)\n"},
      {"read value before the others",
       [](BadgeRecord& b) {
         std::strcpy(b.AswBkl, "1234");
         b.too_long = "Personalnummer (max. 8 Zeichen)";
       },
       "Ausweis 1234567890123 mit zu langem Wert: Personalnummer (max. 8 Zeichen)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BadgeRecord b = fitting_badge();
    c.change(b);
    testing::internal::CaptureStdout();
    const bool refused = refuse_unfit(b, 13, true, true);
    EXPECT_EQ(c.want, testing::internal::GetCapturedStdout());
    EXPECT_EQ(c.want[0] != '\0', refused);
  }
}

TEST(RefuseUnfitValidFrom, ChecksTheValidFromDateOnly) {
  const struct {
    const char* name;
    void (*change)(BadgeRecord&);
    const char* want;  // the message, empty when the badge fits
  } cases[] = {
      {"valid to does not matter", [](BadgeRecord& b) { std::strcpy(b.AswGbi, "202403021"); },
       ""},
      {"valid from", [](BadgeRecord& b) { std::strcpy(b.AswGvo, "202403011"); },
       "Ausweis 1234567890123 mit zu langem Wert: Datum 202403011 (max. 8 Zeichen)\n"},
      {"class", [](BadgeRecord& b) { std::strcpy(b.AswBkl, "1234"); },
       "Ausweis 1234567890123 mit zu langem Wert: Berechtigungsklasse 1234 (max. 3 Zeichen)\n"},
      {"value read too long, even the valid-to date",
       [](BadgeRecord& b) {
         b.too_long =
             "G\xFC"
             "ltig-bis-Datum (max. 14 Zeichen)";
       },
       "Ausweis 1234567890123 mit zu langem Wert: G\xFC"
       "ltig-bis-Datum (max. 14 Zeichen)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BadgeRecord b = fitting_badge();
    c.change(b);
    testing::internal::CaptureStdout();
    const bool refused = refuse_unfit_valid_from(b, 13);
    EXPECT_EQ(c.want, testing::internal::GetCapturedStdout());
    EXPECT_EQ(c.want[0] != '\0', refused);
  }
}
