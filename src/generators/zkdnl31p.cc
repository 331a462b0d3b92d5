#include "generators/zkdnl31p.h"

#include <cstring>

#include "generators/badge_walk.h"
#include "generators/record_fields.h"
#include "generators/refusals.h"
#include "lookup/access_class.h"
#include "lookup/attributes.h"
#include "lookup/readers.h"

namespace {

constexpr std::size_t kRecordWidth = 48;
constexpr std::size_t kNumberWidth = 13;
constexpr long kHighestReader = 32;

// Handles one fetched badge; true when its record was staged.
bool handle_badge(BadgeRecord& badge, const char* path, const char* terminal) {
  const bool has_class = access_class_resolve(badge) == 1;
  std::strcpy(badge.time_flag, terminal_time_check(badge, terminal) ? "1" : "0");
  if (!has_class) {
    print_without_class(badge);
    return false;
  }
  if (!terminal_access_check(badge, terminal, kHighestReader, false)) {
    print_without_access(badge, terminal);
    return false;
  }
  // A location without short text leaves the field blank.
  (void)badge_location_text(badge);
  if (refuse_unfit(badge, kNumberWidth, true, true)) return false;
  return record_stage(path, badge, zkdnl31p_format(badge));
}

}  // namespace

std::string zkdnl31p_format(const BadgeRecord& badge) {
  std::string record(kRecordWidth, ' ');
  put_field(record, 0, kNumberWidth, badge.AswNum);
  put_field(record, 13, 8, badge.AswGvo);
  put_field(record, 21, 8, badge.AswGbi);
  zero_if_blank(record, 13);
  zero_if_blank(record, 21);
  record[29] = std::strcmp(badge.time_flag, "1") == 0 ? '1' : '0';
  record[30] = '1';
  put_field(record, 31, 8, "XXXX,XX-");
  put_field(record, 39, 3, "001");
  put_field(record, 42, 3, badge.AswBkl);
  put_field(record, 45, 3, badge.StoKtx);
  return record;
}

int zkdnl31p_generate(const char* path, const char* terminal, const char* schema) {
  return for_each_badge(
      path, schema, [&](BadgeRecord& badge) { return handle_badge(badge, path, terminal); },
      badge_location_read_ahead);
}
