#include "lookup/day_values.h"

#include <charconv>
#include <cstdlib>

#include "db/cursor.h"
#include "lookup/prefetch.h"

namespace {
// The two tables carry no schema: the server reads them from the connection's own
// database. The date is compared with the real previous day; the number curdate() - 1 is
// no date on the first day of a month (20270301 - 1 is 20270300), so nobody would have
// values on those days.
// clang-format off
constexpr char kDayValuesQuery[] =
    " SELECT  COALESCE(TGBVT1,0) + COALESCE(TGBSA1,0),  COALESCE(TGBVT2,0) + COALESCE(TGBSA2,0),  COALESCE(TGBVT3,0) + COALESCE(TGBSA3,0),  COALESCE(TGBVT4,0) + COALESCE(TGBSA4,0),  COALESCE(TGBVT5,0) + COALESCE(TGBSA5,0),  COALESCE(TGBVT6,0) + COALESCE(TGBSA6,0),  COALESCE(TGBVT7,0) + COALESCE(TGBSA7,0),  COALESCE(TGBVT1,0) + COALESCE(TGBSA1,0) +   COALESCE(TGBVT2,0) + COALESCE(TGBSA2,0),  COALESCE(TGBVT2,0) + COALESCE(TGBSA2,0) +   COALESCE(TGBVT3,0) + COALESCE(TGBSA3,0)  FROM  Kvb320Tgb, Kvb300Pnr  WHERE TGBPNR = '%s'  AND   TGBZTR = 1  AND   date_format(TGBDTM,'%%Y%%m%%d') = date_format(curdate() - INTERVAL 1 DAY,'%%Y%%m%%d')  AND TGBPNR = PNRNUM  AND ((PnrSta <> 4 AND PnrSta <> 8) OR PnrSta IS NULL) ";
// clang-format on

constexpr int kDayValueCount = 9;

// A sum as the server writes it ("90.75" for a decimal column): its whole part.
long whole_number(const char* text) {
  return text == nullptr ? 0 : std::strtol(text, nullptr, 10);
}
PrefetchedRows pass_rows;

// Only the first row counts, even when the person has several of the previous day.
void take_day_values(BadgeRecord& badge, DbRow row) {
  for (int i = 0; i < kDayValueCount; ++i) {
    badge.day_values[i] = format_hours_minutes(whole_number(row[i]));
  }
}
}  // namespace

std::string format_hours_minutes(long minutes) {
  // Unsigned, so that the magnitude of the most negative long does not overflow.
  const unsigned long magnitude =
      minutes < 0 ? 0UL - static_cast<unsigned long>(minutes) : static_cast<unsigned long>(minutes);
  // The lead is chosen on the minutes, so hours stand right-aligned in three places.
  const char* lead = "";
  if (minutes > -600 && minutes < 600) {
    lead = "  ";
  } else if (magnitude < 6000) {
    lead = " ";
  }
  // "%s%lu,%02lu%s", written out: every badge of a run has nine of these.
  char text[48];
  char* end = std::to_chars(text, text + sizeof text, magnitude / 60).ptr;
  const unsigned long rest = magnitude % 60;
  *end++ = ',';
  *end++ = static_cast<char>('0' + rest / 10);
  *end++ = static_cast<char>('0' + rest % 10);
  *end++ = minutes < 0 ? '-' : ' ';
  std::string formatted = lead;
  formatted.append(text, end);
  return formatted;
}

const LookupStatement kDayValuesStatement{"Saldo Vortag", kDayValuesQuery, PrefetchKey::kPerson,
                                          "", "Kvb320Tgb, Kvb300Pnr"};

int day_values_fill(BadgeRecord& badge) {
  return lookup_first_row(pass_rows, kDayValuesStatement, badge.AswPnr,
                          [&](DbRow row) { take_day_values(badge, row); });
}

void day_values_read_ahead() { prefetch_read_whole_now(kDayValuesStatement); }
