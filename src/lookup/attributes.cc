#include "lookup/attributes.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "db/cursor.h"
#include "db/escape.h"
#include "db/schemas.h"
#include "base/text.h"
#include "lookup/badge_fields.h"
#include "lookup/prefetch.h"

namespace {
// clang-format off
constexpr char kTerminalQuery[] =
    "SELECT TSMTYP, TSMSAL  FROM  KvBasis.Kvb114Tsm  WHERE TsmNam = '%s'  AND   ((TsmSta <> 4 AND TsmSta <> 8) OR TsmSta IS NULL)";
constexpr char kLocationQuery[] =
    " SELECT StoKtx  FROM  KvBasis.Kvb113Sto, KvBasis.Kvb113Awv  WHERE AwvNum = '%s'  AND   StoNum = AwvSto  AND ((AwvSta <> 4 AND AwvSta <> 8) OR AwvSta IS NULL)  AND ((StoSta <> 4 AND StoSta <> 8) OR StoSta IS NULL) ";
constexpr char kPersonQuery[] =
    " SELECT   PnrSpr, PnrSal   FROM  %s   WHERE PNRNUM = '%s'    AND  ((PnrSta <> 4 AND PnrSta <> 8) OR PnrSta IS NULL)";
// clang-format on

// Only the first 11 characters of a location text count; blanks before a later part then
// become trailing ones and are cut.
constexpr std::size_t kLocationTextRead = 11;
constexpr std::size_t kLocationTextShown = 3;

// A terminal column into its field; false, leaving the field as it was, when it does not fit.
template <std::size_t N>
bool put_terminal_column(char (&field)[N], const char* column) {
  if (column == nullptr) return true;
  std::string text = column;
  trim_trailing_blanks(text);
  return copy_text(field, N, text.c_str());
}

PrefetchedRows location_rows;
PrefetchedRows person_rows;

void take_location(BadgeRecord& badge, DbRow row) {
  if (row[0] == nullptr) return;
  std::string text(row[0], strnlen(row[0], kLocationTextRead));
  trim_trailing_blanks(text);
  // Three places, zero bytes after a shorter text; the terminator is the record's own.
  std::strncpy(badge.StoKtx, text.c_str(), kLocationTextShown);
}

void take_person(BadgeRecord& badge, DbRow row) {
  if (row[0] != nullptr) {
    const long language = std::strtol(row[0], nullptr, 10);
    badge_field_put(badge, badge.PnrSpr, std::to_string(language), "Sprache (max. 4 Zeichen)");
  }
  if (row[1] != nullptr) {
    std::string list = row[1];
    trim_trailing_blanks(list);
    badge_field_put(badge, badge.PnrSal, list, "Saldenliste (max. 10 Zeichen)");
  }
}

}  // namespace

int terminal_attributes(const char* terminal, TerminalAttributes& out) {
  db_format_query("Terminal", kTerminalQuery, db_escape(terminal).c_str());
  bool fits = true;
  const int rc = db_first_row([&](DbRow row) {
    fits = put_terminal_column(out.TsmTyp, row[0]);
    fits = put_terminal_column(out.TsmSal, row[1]) && fits;
  });
  if (rc == 0 && !fits) query_status = RC_TOO_LONG;
  return query_status;
}

const LookupStatement kLocationStatement{"Standort des Ausweises", kLocationQuery,
                                         PrefetchKey::kBadgeNumber, "",
                                         "KvBasis.Kvb113Awv, KvBasis.Kvb113Sto"};

int badge_location_text(BadgeRecord& badge) {
  return lookup_first_row(location_rows, kLocationStatement, badge.AswNum,
                          [&](DbRow row) { take_location(badge, row); });
}

void badge_location_read_ahead() { prefetch_read_whole_now(kLocationStatement); }

namespace {
LookupStatement person_statement() {
  // The person table of the current client schema, made once per schema.
  static std::string schema;
  static std::string person_table;
  if (schema != current_schema) {
    schema = current_schema;
    person_table = db_quote_identifier(current_schema) + ".Kvb300Pnr ";
  }
  return {"Person des Ausweises", kPersonQuery, PrefetchKey::kPerson, person_table,
          person_table};
}
}  // namespace

int person_attributes(BadgeRecord& badge) {
  return lookup_first_row(person_rows, person_statement(), badge.AswPnr,
                          [&](DbRow row) { take_person(badge, row); });
}

void person_attributes_read_ahead() { prefetch_read_whole_now(person_statement()); }
