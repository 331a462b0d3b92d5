#include "lookup/vacation.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>

#include "db/cursor.h"
#include "db/escape.h"
#include "db/schemas.h"
#include "lookup/prefetch.h"

namespace {
// How many read or formatted figures a run keeps at most.
constexpr std::size_t kKeptValues = 100000;

// The entitlement query joins the person table as the days query does: its conditions
// name PNRNUM and PnrSta, which only Kvb300Pnr holds.
// clang-format off
constexpr char kVacationDaysQuery[] =
    " SELECT   UtgDtm, COALESCE(UtgVtg, 0.0),   COALESCE(UtgRtg, 0.0), COALESCE(UtgGut, 0.0)  FROM  %s  WHERE UTGPNR = '%s'  AND date_format(UtgDtm,'%%Y%%m%%d') <= curdate() + 0  AND UTGPNR = PNRNUM  AND ((PnrSta <> 4 AND PnrSta <> 8) OR PnrSta IS NULL)  ORDER BY UtgDtm DESC ";
constexpr char kEntitlementQuery[] =
    " SELECT  COALESCE(URVGUR, 0.0), COALESCE(URVVJR, 0.0)  FROM  %s  WHERE URVPNR = '%s'  AND URVJHR = Date_format(curdate(), '%%Y')  AND URVPNR = PNRNUM  AND ((PnrSta <> 4 AND PnrSta <> 8) OR PnrSta IS NULL)";
// clang-format on

// The server's decimal texts repeat from person to person: each is read once per run.
double decimal_number(const char* text) {
  if (text == nullptr) return 0.0;
  static std::unordered_map<std::string, double> read;
  if (read.size() > kKeptValues) read.clear();
  const auto [slot, added] = read.try_emplace(text, 0.0);
  if (added) slot->second = std::strtod(text, nullptr);
  return slot->second;
}

// "`schema`.first, `schema`.Kvb300Pnr ": a client table and the person table beside it, in
// the current client schema (made once per schema).
const std::string& client_tables(const char* first) {
  static std::string schema;
  static std::unordered_map<std::string, std::string> tables;
  if (schema != current_schema) {
    schema = current_schema;
    tables.clear();
  }
  std::string& made = tables[first];
  if (made.empty()) {
    const std::string quoted = db_quote_identifier(current_schema);
    made = quoted + "." + first + ", " + quoted + ".Kvb300Pnr ";
  }
  return made;
}

PrefetchedRows days_rows;
PrefetchedRows entitlement_rows;

void take_figures(DbRow row, int first, int count, double* figures) {
  for (int i = 0; i < count; ++i)
    figures[i] = decimal_number(row[first + i]);
}

// A table of figures and how its statement reads them.
struct FigureSource {
  const char* purpose;
  const char* format;
  const char* table;
  PrefetchPick pick;
};
// With the newest date first, the first row is the latest one not after today.
constexpr FigureSource kDays{"Urlaubstage", kVacationDaysQuery, "Kvb332Utg",
                             PrefetchPick::kLatestFirstColumn};
constexpr FigureSource kEntitlement{"Urlaubsanspruch", kEntitlementQuery, "Kvb332Urv",
                                    PrefetchPick::kFirst};

LookupStatement figures_statement(const FigureSource& source) {
  const std::string& tables = client_tables(source.table);
  return {source.purpose, source.format, PrefetchKey::kPerson, tables, tables, source.pick};
}

// Reads the first row of the person's figures: columns first to first+count-1 into figures,
// which stay 0 when there is no row. open_rc receives the open's result; the fetch's result
// is returned.
int read_figures(const BadgeRecord& badge, PrefetchedRows& pass_rows, const FigureSource& source,
                 int& open_rc, int first, int count, double* figures) {
  for (int i = 0; i < count; ++i)
    figures[i] = 0.0;
  return lookup_first_row(
      pass_rows, figures_statement(source), badge.AswPnr,
      [&](DbRow row) { take_figures(row, first, count, figures); }, &open_rc);
}

// value with six decimals. Most figures fit the small buffer; a huge one is printed again at
// its full length.
std::string six_decimals(double value) {
  char small[32];
  const int n = std::snprintf(small, sizeof small, "%.6f", value);
  if (n >= 0 && static_cast<std::size_t>(n) < sizeof small)
    return std::string(small, static_cast<std::size_t>(n));
  std::string text(static_cast<std::size_t>(n < 0 ? 0 : n), '\0');
  std::snprintf(text.data(), text.size() + 1, "%.6f", value);
  return text;
}

// digits, the six-decimal text of a magnitude (not negative), with two decimals, rounded as
// its decimal figure: the figures are
// the server's three-decimal numbers, which a double holds only nearly (9.995 lies just below
// 9.995). Six decimals give such a figure back exactly, and the remaining days, a difference
// of two of them, as well; that text is cut to two decimals and rounded up when the third is
// 5 or more, carrying through the nines (9.995 -> 10.00). NaN and infinity stay as printed.
std::string two_decimals(std::string digits) {
  const std::size_t point = digits.find('.');
  if (point == std::string::npos || digits.size() < point + 4) return digits;
  const bool up = digits[point + 3] >= '5';
  digits.resize(point + 3);
  if (!up) return digits;
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] == '.') continue;
    if (digits[i] != '9') {
      ++digits[i];
      return digits;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
  return digits;
}

// format_decimal without the kept texts.
std::string format_decimal_once(double x) {
  // Lead and sign are chosen on the figure, the six-decimal value of x: the remaining days
  // 64.954 - 54.954 are 10 although the doubles' difference lies just below. A figure that
  // rounds up to 10.00 keeps its two blanks.
  std::string six = six_decimals(x);
  const double figure = std::strtod(six.c_str(), nullptr);
  const char* lead = "  ";
  if (figure >= 100 || figure <= -100) {
    lead = "";
  } else if (figure >= 10 || figure <= -10) {
    lead = " ";
  }
  const char* sign = figure < 0 ? "-" : " ";
  if (six[0] == '-') six.erase(0, 1);
  std::string text = lead + two_decimals(std::move(six)) + sign;
  const std::size_t point = text.find('.');
  if (point != std::string::npos) text[point] = ',';
  return text;
}

}  // namespace

std::string format_decimal(double x) {
  // The same figures come again and again in a run; the text depends on x alone.
  static std::unordered_map<std::uint64_t, std::string> formatted;
  std::uint64_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  if (const auto found = formatted.find(bits); found != formatted.end()) return found->second;
  if (formatted.size() > kKeptValues) formatted.clear();
  return formatted[bits] = format_decimal_once(x);
}

int vacation_values_fill(BadgeRecord& badge) {
  int open_rc = 0;

  double days[3];  // UtgVtg, UtgRtg, UtgGut
  const int days_rc = read_figures(badge, days_rows, kDays, open_rc, 1, 3, days);
  if (open_rc != 0) return query_status = open_rc;

  double entitlement[2];  // URVGUR, URVVJR
  const int entitlement_rc =
      read_figures(badge, entitlement_rows, kEntitlement, open_rc, 0, 2, entitlement);
  if (open_rc != 0) return query_status = open_rc;

  const double remaining =
      entitlement[0] - entitlement[1] < 0 ? 0.0 : entitlement[0] - entitlement[1];
  badge.vacation_values[0] = format_decimal(entitlement[0]);
  badge.vacation_values[1] = format_decimal(days[2]);
  badge.vacation_values[2] = format_decimal(days[0]);
  badge.vacation_values[3] = format_decimal(remaining);
  badge.vacation_values[4] = format_decimal(days[1]);
  badge.vacation_values[5] = format_decimal(entitlement[1]);
  query_status = days_rc + entitlement_rc;
  return query_status;
}

void vacation_values_read_ahead() {
  prefetch_read_whole_now(figures_statement(kEntitlement));
  prefetch_read_whole_now(figures_statement(kDays));
}
