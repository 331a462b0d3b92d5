#include "generators/zkdnl18p.h"

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

#include "base/text.h"
#include "generators/badge_walk.h"
#include "generators/record_fields.h"
#include "generators/refusals.h"
#include "lookup/attributes.h"
#include "lookup/day_values.h"
#include "lookup/readers.h"
#include "lookup/vacation.h"

namespace {

constexpr std::size_t kRecordWidth = 173;
constexpr std::size_t kNumberWidth = 13;
constexpr std::size_t kLabelWidth = 13;
constexpr std::size_t kValueWidth = 7;
constexpr std::size_t kDateWidth = 8;
constexpr std::size_t kSlotWidth = kLabelWidth + kValueWidth;
constexpr int kSlotCount = 8;
constexpr int kFirstRightHalfSlot = 5;
constexpr int kShiftedLabel = 2;  // TsaSpl of a right-half label set in by one blank
constexpr std::string_view kSevenBlanks = "       ";
constexpr std::string_view kDateCode = "#W1";
// This model shows only slots 1 to 4.
constexpr std::string_view kLeftHalfOnlyType = "7598-002";

// Where slot n (1 to 8) begins in the record.
std::size_t slot_pos(int n) {
  return kNumberWidth + kSlotWidth * static_cast<std::size_t>(n - 1);
}

enum class ValueFrom { kToday, kDayValues, kVacationValues };

struct ValueSource {
  std::string_view code;
  ValueFrom from;
  int index;  // into day_values or vacation_values
};

constexpr ValueSource kValueSources[] = {
    {"#W1", ValueFrom::kToday, 0},          {"#W2", ValueFrom::kDayValues, 0},
    {"#W3", ValueFrom::kVacationValues, 5}, {"#W4", ValueFrom::kVacationValues, 3},
    {"#W5", ValueFrom::kVacationValues, 1}, {"#W6", ValueFrom::kVacationValues, 2},
    {"#W7", ValueFrom::kVacationValues, 4}, {"#W8", ValueFrom::kVacationValues, 0},
    {"#W9", ValueFrom::kDayValues, 1},      {"#W10", ValueFrom::kDayValues, 2},
    {"#W11", ValueFrom::kDayValues, 3},     {"#W12", ValueFrom::kDayValues, 4},
    {"#W13", ValueFrom::kDayValues, 5},     {"#W14", ValueFrom::kDayValues, 6},
    {"#W15", ValueFrom::kDayValues, 7},     {"#W16", ValueFrom::kDayValues, 8},
};

// Today as the terminal shows it, "%d.%m.%y" in the local time of this machine.
std::string local_date_today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char text[16] = {};
  if (localtime_r(&now, &local) == nullptr ||
      std::strftime(text, sizeof text, "%d.%m.%y", &local) == 0) {
    return {};
  }
  return text;
}

// What one call reads once, before its first badge.
struct DisplaySetup {
  const char* path;
  const char* terminal;
  std::string today;
  TerminalAttributes attributes;  // an unknown terminal leaves the type empty
  BalanceList terminal_list;      // no list leaves every slot empty
};

// Handles one fetched badge; true when its record was staged. previous is the number of
// the row before, whose record (if any) this badge's would repeat.
bool handle_badge(BadgeRecord& badge, const DisplaySetup& setup, const std::string& previous) {
  const bool admitted = terminal_time_check(badge, setup.terminal);
  if (!admitted) {
    print_not_permitted(badge, setup.terminal);
  }
  if (badge.AswPnr[0] == '\0' || previous == badge.AswNum || !admitted) return false;
  if (refuse_unfit(badge, kNumberWidth, false, false)) return false;

  // The person's own list (PnrSal) would take the terminal list's place on terminal type
  // "7744-010"; nothing here reads PnrSal, so the terminal list always serves.
  BalanceList slots = setup.terminal_list;

  // A failed lookup leaves its texts empty: their slots show blanks, the record still goes.
  if (const int rc = day_values_fill(badge); rc != 0) {
    print_missing(badge, MissingValues::kAccounts, rc,
                  format_text("Ausweis:%s Person:%s Saldodaten nicht gefunden! %d\n",
                              badge.AswNum, badge.AswPnr, rc));
  }
  if (const int rc = vacation_values_fill(badge); rc != 0) {
    print_missing(badge, MissingValues::kVacation, rc,
                  format_text("Ausweis:%s Person:%s Urlaubsdaten nicht gefunden! %d\n",
                              badge.AswNum, badge.AswPnr, rc));
  }
  for (BalanceSlot& slot : slots.slots) {
    slot.value = zkdnl18p_slot_value(slot.code, badge, setup.today);
  }
  return record_stage(setup.path, badge,
                      zkdnl18p_format(badge.AswNum, slots, setup.today, setup.attributes.TsmTyp));
}

}  // namespace

std::string zkdnl18p_slot_value(std::string_view code, const BadgeRecord& badge,
                                std::string_view today) {
  for (const ValueSource& source : kValueSources) {
    if (code != source.code) continue;
    switch (source.from) {
      case ValueFrom::kToday:
        return std::string(today);
      case ValueFrom::kDayValues:
        return badge.day_values[source.index];
      case ValueFrom::kVacationValues:
        return badge.vacation_values[source.index];
    }
  }
  return std::string(kSevenBlanks);
}

std::string zkdnl18p_format(std::string_view badge_number, const BalanceList& slots,
                            std::string_view today, std::string_view terminal_type) {
  std::string record(kRecordWidth, ' ');
  for (int n = 1; n <= kSlotCount; ++n) {
    const std::string_view label = slots.slot(n).label;
    if (n >= kFirstRightHalfSlot && slots.slot(n).TsaSpl == kShiftedLabel && !label.empty()) {
      record[slot_pos(n)] = ' ';
      record_put(record, slot_pos(n) + 1, label.substr(0, kLabelWidth - 1));
    } else {
      record_put(record, slot_pos(n), label.substr(0, kLabelWidth));
    }
  }
  record_put(record, 0, badge_number.substr(0, kNumberWidth));

  for (int n = 1; n <= kSlotCount; ++n) {
    const std::string_view value = slots.slot(n).value;
    record_put(record, slot_pos(n) + kLabelWidth,
               value.empty() ? kSevenBlanks : value.substr(0, kValueWidth));
  }
  // The date is one place wider than a value area: it begins on the label's last place.
  for (int n = 1; n <= kSlotCount; ++n) {
    if (kDateCode != slots.slot(n).code) continue;
    record_put(record, slot_pos(n) + kLabelWidth - 1, today.substr(0, kDateWidth));
    break;
  }
  if (terminal_type == kLeftHalfOnlyType) {
    record.replace(slot_pos(kFirstRightHalfSlot), kRecordWidth - slot_pos(kFirstRightHalfSlot),
                   kRecordWidth - slot_pos(kFirstRightHalfSlot), ' ');
  }
  return record;
}

int zkdnl18p_generate(const char* path, const char* terminal, const char* schema) {
  DisplaySetup setup{path, terminal, local_date_today(), {}, {}};
  // An unknown terminal is no reason to stop: its badges get records without slots.
  (void)terminal_attributes(terminal, setup.attributes);
  balance_list_read(terminal, setup.terminal_list);

  std::string previous;  // whole, so that numbers alike in their first 13 stay apart
  return for_each_badge(
      path, schema,
      [&](BadgeRecord& badge) {
        const bool staged = handle_badge(badge, setup, previous);
        previous = badge.AswNum;
        return staged;
      },
      [] {
        vacation_values_read_ahead();
        day_values_read_ahead();
      });
}
