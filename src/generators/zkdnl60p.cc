#include "generators/zkdnl60p.h"

#include <cstring>

#include "generators/badge_walk.h"
#include "generators/record_fields.h"
#include "generators/refusals.h"
#include "lookup/access_class.h"
#include "lookup/balance_list.h"
#include "lookup/day_values.h"
#include "lookup/readers.h"

namespace {

// Positions count from 0: columns 1 to 45 of the record are positions 0 to 44.
constexpr std::size_t kRecordWidth = 45;
constexpr std::size_t kNumberWidth = 13;
constexpr long kHighestReader = 3;
constexpr std::size_t kEntries = 3;  // readers 1 to 3

// The display codes and the day value each one shows; compared whole and case-sensitive.
constexpr struct {
  const char* code;
  int day_value;
} kDayValueCodes[] = {{"#W2", 0},  {"#W9", 1},  {"#W10", 2}, {"#W11", 3}, {"#W12", 4},
                      {"#W13", 5}, {"#W14", 6}, {"#W15", 7}, {"#W16", 8}};

// The day value that code shows, or nothing.
std::string_view day_value_for(const BadgeRecord& badge, std::string_view code) {
  for (const auto& entry : kDayValueCodes) {
    if (code == entry.code) return badge.day_values[entry.day_value];
  }
  return {};
}

// The code of the first line the terminal's balance display list delivers. A list that is
// empty or cannot be read, or a first line without code, gives none: the records then
// leave the value blank.
std::string first_display_code(const char* terminal) {
  BalanceSlot slot;
  if (balance_list_open(terminal) == 0) (void)balance_list_fetch(slot);
  balance_list_close();
  return slot.code;
}

// Handles one fetched badge; true when its record was staged.
bool handle_badge(BadgeRecord& badge, const char* path, const char* terminal,
                  const std::string& display_code) {
  for (std::size_t i = 0; i < kEntries; ++i)
    std::strcpy(badge.reader_slots[i], "  ");
  const bool has_class = access_class_resolve(badge) == 1;
  // Number, class and valid-from date are final here; one that does not fit its field
  // would run into the next.
  if (refuse_unfit_valid_from(badge, kNumberWidth)) return false;

  // 23-29: without the person's previous-day row the places stay blank, whatever the code.
  if (day_values_fill(badge) != 0) {
    for (std::string& value : badge.day_values)
      value.clear();
  }

  // 22 and 30-44: a badge without usable class has no access, but may still record time.
  const bool access =
      has_class && terminal_access_check(badge, terminal, kHighestReader, true);
  // 21: time recording, asked for every badge.
  if (refuse_without_time_or_access(badge, terminal, access)) return false;
  return record_stage(path, badge, zkdnl60p_format(badge, display_code));
}

}  // namespace

std::string zkdnl60p_format(const BadgeRecord& badge, std::string_view display_code) {
  std::string record(kRecordWidth, ' ');
  put_badge_rights(record, badge, day_value_for(badge, display_code), kEntries);
  return record;
}

int zkdnl60p_generate(const char* path, const char* terminal, const char* schema) {
  const std::string display_code = first_display_code(terminal);
  return for_each_badge(
      path, schema,
      [&](BadgeRecord& badge) { return handle_badge(badge, path, terminal, display_code); },
      day_values_read_ahead);
}
