#pragma once
// Writing what the lookups read into the fixed-width fields of a BadgeRecord.

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "lookup/badges.h"

// What badge.too_long names for the fields that more than one lookup writes.
inline constexpr char kTooLongValidFrom[] =
    "G\xFC"
    "ltig-ab-Datum (max. 14 Zeichen)";
inline constexpr char kTooLongValidTo[] =
    "G\xFC"
    "ltig-bis-Datum (max. 14 Zeichen)";
inline constexpr char kTooLongClass[] = "Berechtigungsklasse (max. 5 Zeichen)";
inline constexpr char kTooLongGroup[] = "Ausweisgruppe (max. 5 Zeichen)";

// Copies text into field, terminated. A text that does not fit is cut to the field and
// badge.too_long names it by reason (the first value that did not fit stays named), so that
// the generators refuse the badge instead of writing a cut value.
template <std::size_t N>
void badge_field_put(BadgeRecord& badge, char (&field)[N], std::string_view text,
                     const char* reason) {
  std::size_t n = text.size();
  if (n > N - 1) {
    n = N - 1;
    if (badge.too_long == nullptr) badge.too_long = reason;
  }
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

// An access class as "%-3s" gives it: blanks on the right up to three characters, a longer
// class kept whole.
std::string badge_class_padded(std::string_view access_class);
