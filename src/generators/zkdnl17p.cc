#include "generators/zkdnl17p.h"

#include <cstring>
#include <iterator>

#include "base/text.h"
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
constexpr std::size_t kLocationGroup = 60;  // reader 7's group

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
    print_missing(badge, MissingValues::kAccounts, rc,
                  format_text("Saldo Ermitteln. Pnr: %s SQLCode:%ld\n", badge.AswPnr,
                              static_cast<long>(rc)));
    badge.day_values[0].clear();
  }

  // 22 and 30-84: a badge without usable class has no access, but may still record time.
  const bool access =
      has_class && terminal_access_check(badge, terminal, kHighestReader, true);
  // 21: time recording, asked for every badge.
  if (refuse_without_time_or_access(badge, terminal, access)) return false;

  // 60-64: reader 7's group carries the badge's location when it has one.
  const int location_rc = badge_location_text(badge);
  if (location_rc != 0 && location_rc != RC_NO_ROW) {
    print_missing(badge, MissingValues::kLocation, location_rc,
                  format_text("SQL Standortbez. Ermitteln. SQLCode:%ld\n",
                              static_cast<long>(location_rc)));
  }
  return record_stage(path, badge, zkdnl17p_format(badge, location_rc == 0));
}

}  // namespace

std::string zkdnl17p_format(const BadgeRecord& badge, bool location_found) {
  std::string record(kRecordWidth, ' ');
  put_badge_rights(record, badge, badge.day_values[0], std::size(badge.reader_slots));
  if (location_found) {
    // Also on a terminal without reader 7; a shorter text leaves the class's rest standing.
    put_field(record, kLocationGroup, 2, "07");
    put_field(record, kLocationGroup + 2, 3, badge.StoKtx);
  }
  return record;
}

int zkdnl17p_generate(const char* path, const char* terminal, const char* schema) {
  return for_each_badge(
      path, schema, [&](BadgeRecord& badge) { return handle_badge(badge, path, terminal); },
      [] {
        badge_location_read_ahead();
        day_values_read_ahead();
      });
}
