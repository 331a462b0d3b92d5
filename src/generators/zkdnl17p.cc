#include "generators/zkdnl17p.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string_view>

#include "base/console.h"
#include "db/cursor.h"
#include "generators/badge_walk.h"
#include "generators/record_fields.h"
#include "generators/refusals.h"
#include "lookup/access_class.h"
#include "lookup/attributes.h"
#include "lookup/day_values.h"
#include "lookup/readers.h"

namespace {

constexpr std::size_t kRecordWidth = 85;
constexpr std::size_t kNumberWidth = 13;
constexpr long kHighestReader = 11;
constexpr std::size_t kFirstGroup = 30;
constexpr std::size_t kGroupWidth = 5;
constexpr std::size_t kLocationGroup = kFirstGroup + 6 * kGroupWidth;  // reader 7's

// Handles one fetched badge; true when its record was staged.
bool handle_badge(BadgeRecord& badge, const char* path, const char* terminal) {
  for (char* slot : badge.reader_slots)
    std::strcpy(slot, "  ");
  const bool has_class = access_class_resolve(badge) == 1;
  // Number, class and valid-from date are final here; one that does not fit its field
  // would run into the next.
  if (refuse_unfit_valid_from(badge, kNumberWidth)) return false;

  // 23-29: the first previous-day value. Without it the places stay blank, and the badge
  // is written all the same.
  if (const int rc = day_values_fill(badge); rc != 0) {
    console_printf("Saldo Ermitteln. Pnr: %s SQLCode:%ld\n", badge.AswPnr, static_cast<long>(rc));
    badge.day_values[0].clear();
  }

  // 22 and 30-84: a badge without usable class has no access, but may still record time.
  const bool access =
      has_class && terminal_access_check(badge, terminal, kHighestReader, true);
  std::strcpy(badge.access_flag, flag_text(access));
  // 21: time recording, asked for every badge.
  std::strcpy(badge.time_flag, flag_text(terminal_time_check(badge, terminal)));
  if (badge.time_flag[0] != '1' && badge.access_flag[0] != '1') {
    console_printf("Ausweis %s ohne Zeit-/Zutrittsberechtigung auf Terminal %s\n", badge.AswNum,
                   terminal);
    return false;
  }

  // 60-64: reader 7's group carries the badge's location when it has one.
  const int location_rc = badge_location_text(badge);
  if (location_rc != 0 && location_rc != RC_NO_ROW) {
    console_printf("SQL Standortbez. Ermitteln. SQLCode:%ld\n", static_cast<long>(location_rc));
  }
  return record_stage(path, zkdnl17p_format(badge, location_rc == 0));
}

}  // namespace

std::string zkdnl17p_format(const BadgeRecord& badge, bool location_found) {
  std::string record(kRecordWidth, ' ');
  put_field(record, 0, kNumberWidth, badge.AswNum);
  put_field(record, 13, 8, badge.AswGvo);
  zero_if_blank(record, 13);
  const bool access = std::strcmp(badge.access_flag, "1") == 0;
  record[21] = std::strcmp(badge.time_flag, "1") == 0 ? '1' : '0';
  record[22] = access ? '1' : '0';
  put_field(record, 23, 7, badge.day_values[0]);
  if (access) {
    // Every reader of the terminal gets the class, whichever zone authorised it.
    for (std::size_t i = 0; i < std::size(badge.reader_slots); ++i) {
      if (!slot_names_reader(badge.reader_slots[i])) continue;
      const std::size_t group = kFirstGroup + i * kGroupWidth;
      put_field(record, group, 2, badge.reader_slots[i]);
      put_field(record, group + 2, 3, badge.AswBkl);
    }
  }
  if (location_found) {
    // Also on a terminal without reader 7; a shorter text leaves the class's rest standing.
    put_field(record, kLocationGroup, 2, "07");
    put_field(record, kLocationGroup + 2, 3, badge.StoKtx);
  }
  return record;
}

int zkdnl17p_generate(const char* path, const char* terminal, const char* schema) {
  return for_each_badge(schema,
                        [&](BadgeRecord& badge) { return handle_badge(badge, path, terminal); });
}
