#include "lookup/badges.h"

#include <cstdlib>
#include <string>

#include "base/text.h"
#include "db/cursor.h"
#include "db/escape.h"
#include "lookup/badge_fields.h"
#include "lookup/prefetch.h"

namespace {
// clang-format off
constexpr char kBadgeQuery[] =
    "SELECT  AswNum, date_format(AswGvo,'%%Y%%m%%d'), date_format(AswGbi,'%%Y%%m%%d'), AswPnr, AswBkl, AswGrp, AswAan, AswAtp, AwvSto  FROM  KvBasis.Kvb301Asw, KvBasis.Kvb112Mnd, KvBasis.Kvb113Awv  WHERE MNDSCH = '%s'  AND ASWLIZ = MNDLIZ  AND ASWMND = MNDNUM  AND ASWNUM = AWVNUM  AND ((curdate() >= AswGvo AND AswGbi IS NULL)   OR (curdate() <= AswGbi AND AswGvo IS NULL)   OR (curdate() >= AswGvo AND curdate() <= AswGbi))  AND ((AwvSta <> 4 AND AwvSta <> 8) OR AwvSta IS NULL)  AND ((AswSta <> 4 AND AswSta <> 8) OR AswSta IS NULL)  ORDER BY AswNum, AswGvo, AswBkl ";
// clang-format on

// The badge list is read over the whole generator loop, while the lookups use their own
// cursors; its stored result keeps it apart from them.
QueryCursor badge_cursor;

// Columns of the badge query.
enum Column { kNum, kGvo, kGbi, kPnr, kBkl, kGrp, kAan, kAtp, kSto };

std::string column_text(DbRow row, Column column) {
  std::string text = row[column] == nullptr ? "" : row[column];
  trim_trailing_blanks(text);
  return text;
}

// The badge type: the leading decimal number of the text, 0 for NULL or a text without
// one.
long badge_type(const char* text) {
  if (text == nullptr) return 0;
  return std::strtol(text, nullptr, 10);
}

}  // namespace

int badges_open(const char* schema) {
  db_format_query("Ausweise des Mandanten", kBadgeQuery, db_escape(schema).c_str());
  badge_cursor.query_text = query_buffer;
  badge_cursor.rows_fetched = 0;
  if (prefetch_badge_list(schema, badge_cursor.result)) return query_status = 0;
  query_status = db_open_cursor(badge_cursor);
  return query_status;
}

std::string badges_statement(const char* schema) {
  char statement[kQueryBufferSize];
  db_format_into(statement, sizeof statement, "Ausweise des Mandanten", kBadgeQuery,
                 db_escape(schema).c_str());
  return statement;
}

void badges_rewind() { db_rewind_cursor(badge_cursor); }

int badges_fetch(BadgeRecord& badge) {
  query_status = db_fetch_row(badge_cursor, current_row);
  if (query_status != 0) return query_status;
  const DbRow row = current_row;

  badge_field_put(badge, badge.AswNum, column_text(row, kNum), "Ausweisnummer (max. 50 Zeichen)");
  badge_field_put(badge, badge.AswGvo, column_text(row, kGvo), kTooLongValidFrom);
  badge_field_put(badge, badge.AswGbi, column_text(row, kGbi), kTooLongValidTo);
  badge_field_put(badge, badge.AswPnr, column_text(row, kPnr), "Personalnummer (max. 8 Zeichen)");
  badge_field_put(badge, badge.AswBkl, badge_class_padded(column_text(row, kBkl)), kTooLongClass);
  badge_field_put(badge, badge.AswGrp, column_text(row, kGrp), kTooLongGroup);

  const long type = badge_type(row[kAtp]);
  badge_field_put(badge, badge.AswAtp, std::to_string(type), "Ausweistyp (max. 2 Zeichen)");

  // "%08s" as the download records expect it: zeros on the left up to eight characters,
  // never cut (the C library would pad a text with blanks).
  std::string location = column_text(row, kSto);
  if (location.size() < 8) location.insert(0, 8 - location.size(), '0');
  badge_field_put(badge, badge.AwvSto, location, "Standortnummer (max. 8 Zeichen)");
  return 0;
}

int badges_close() {
  query_status = db_close_cursor(badge_cursor);
  return query_status;
}
