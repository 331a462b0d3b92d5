#include "generators/refusals.h"

#include <cstdio>
#include <cstring>

#include "base/console.h"
#include "base/text.h"
#include "lookup/readers.h"

namespace {

// The dates a record carries, each of which must fit its 8 places.
struct DateChecks {
  bool valid_from;
  bool valid_to;
};

bool refuse_badge(const BadgeRecord& badge, std::size_t number_width, bool check_class,
                  DateChecks dates) {
  char reason[96];
  if (badge.too_long != nullptr) {
    std::snprintf(reason, sizeof reason, "%s", badge.too_long);
  } else if (std::strlen(badge.AswNum) > number_width) {
    std::snprintf(reason, sizeof reason, "Ausweisnummer (max. %zu Zeichen)", number_width);
  } else if (check_class && std::strlen(badge.AswBkl) > 3) {
    std::snprintf(reason, sizeof reason, "Berechtigungsklasse %s (max. 3 Zeichen)", badge.AswBkl);
  } else if (dates.valid_from && std::strlen(badge.AswGvo) > 8) {
    std::snprintf(reason, sizeof reason, "Datum %s (max. 8 Zeichen)", badge.AswGvo);
  } else if (dates.valid_to && std::strlen(badge.AswGbi) > 8) {
    std::snprintf(reason, sizeof reason, "Datum %s (max. 8 Zeichen)", badge.AswGbi);
  } else {
    return false;
  }
  print_refusal(badge, reason);
  return true;
}

}  // namespace

void refuse(const BadgeRecord& badge, RefusalReason reason, const std::string& message) {
  console_printf("%s", message.c_str());
  if (RunListener* listener = run_listener()) listener->refused(badge.AswNum, reason, message);
}

bool refuse_unfit(const BadgeRecord& badge, std::size_t number_width, bool check_class,
                  bool check_dates) {
  return refuse_badge(badge, number_width, check_class, {check_dates, check_dates});
}

bool refuse_unfit_valid_from(const BadgeRecord& badge, std::size_t number_width) {
  return refuse_badge(badge, number_width, true, {true, false});
}

void print_refusal(const BadgeRecord& badge, const char* reason) {
  refuse(badge, RefusalReason::kValueTooLong,
         format_text("Ausweis %s mit zu langem Wert: %s\n", badge.AswNum, reason));
}

bool refuse_without_time_or_access(BadgeRecord& badge, const char* terminal, bool access) {
  std::strcpy(badge.access_flag, access ? "1" : "0");
  std::strcpy(badge.time_flag, terminal_time_check(badge, terminal) ? "1" : "0");
  if (badge.time_flag[0] == '1' || badge.access_flag[0] == '1') return false;
  refuse(badge, RefusalReason::kNoTimeOrAccess,
         format_text("Ausweis %s ohne Zeit-/Zutrittsberechtigung auf Terminal %s\n", badge.AswNum,
                     terminal));
  return true;
}

void print_without_class(const BadgeRecord& badge) {
  refuse(badge, RefusalReason::kNoClass,
         format_text("Ausweis %s ohne g\xFC"
                     "ltige Berechtigungsklasse\n",
                     badge.AswNum));
}

void print_without_access(const BadgeRecord& badge, const char* terminal) {
  refuse(badge, RefusalReason::kNoAccess,
         format_text("Ausweis %s ohne Zutrittsberechtigung auf Terminal %s\n", badge.AswNum,
                     terminal));
}

void print_not_permitted(const BadgeRecord& badge, const char* terminal) {
  refuse(badge, RefusalReason::kNotPermitted,
         format_text("Ausweis %s auf Terminal %s nicht zulaessig!\n", badge.AswNum, terminal));
}

void print_missing(const BadgeRecord& badge, MissingValues what, int code,
                   const std::string& message) {
  console_printf("%s", message.c_str());
  if (RunListener* listener = run_listener()) listener->missing(badge, what, code, message);
}
