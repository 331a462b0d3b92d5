#include "lookup/readers.h"

#include <climits>
#include <cstdlib>

#include "db/cursor.h"
#include "db/escape.h"
#include "db/text.h"

namespace {
// clang-format off
constexpr char kReaderQuery[] =
    "SELECT ZlsLes, ZlsZko  FROM  KvBasis.Kvb401Zls  WHERE ZlsTrm = '%s'  AND ZlsLes <= %ld  AND ((ZlsSta <> 4 AND ZlsSta <> 8) OR ZlsSta IS NULL)  ORDER BY ZlsLes ";
constexpr char kZoneCountQuery[] =
    "SELECT COUNT(*)  FROM  KvBasis.Kvb404Zbr  WHERE ZbrZbk = '%s'  AND   ZbrZko = '%s'  AND ((ZbrSta <> 4 AND ZbrSta <> 8) OR ZbrSta IS NULL) ";
constexpr char kZoneCountZtb3Query[] =
    "SELECT COUNT(*)  FROM  KvBasis.Kvb404Zbr  WHERE ZbrZbk = '%s'  AND   ZbrZko = '%s'  AND   ZbrZtb = 3  AND ((ZbrSta <> 4 AND ZbrSta <> 8) OR ZbrSta IS NULL) ";
// clang-format on

// Open only within one check, while the count queries run on lookup_cursor.
QueryCursor reader_cursor;

constexpr int kSlotReaders = 11;  // readers 1 to 11 have a slot in reader_slots

int to_int(const char* text) {
  const long value = std::strtol(text, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

int count_query(const char* format, const std::string& zone, const char* access_class, int& count) {
  db_format_query("Zonenberechtigungen", format, db_escape(access_class).c_str(),
                  db_escape(zone).c_str());
  lookup_cursor.query_text = query_buffer;
  query_status = db_open_cursor(lookup_cursor);
  if (query_status != 0) return query_status;
  query_status = db_fetch_row(lookup_cursor, current_row);
  if (query_status == 0 && current_row[0] != nullptr) count = to_int(current_row[0]);
  const int rc = query_status;
  db_close_cursor(lookup_cursor);
  return rc;
}

}  // namespace

int readers_open(const char* terminal, long highest) {
  db_format_query("Leser des Terminals", kReaderQuery, db_escape(terminal).c_str(), highest);
  reader_cursor.query_text = query_buffer;
  query_status = db_open_cursor(reader_cursor);
  return query_status;
}

int readers_fetch(int& reader, std::string& zone) {
  query_status = db_fetch_row(reader_cursor, current_row);
  if (query_status != 0) return query_status;
  if (current_row[0] != nullptr) reader = to_int(current_row[0]);
  if (current_row[1] != nullptr) {
    zone = current_row[1];
    trim_trailing_blanks(zone);
  }
  return 0;
}

int readers_close() {
  query_status = db_close_cursor(reader_cursor);
  return query_status;
}

int zone_class_count(const std::string& zone, const char* access_class, int& count) {
  return count_query(kZoneCountQuery, zone, access_class, count);
}

int zone_class_count_ztb3(const std::string& zone, const char* access_class, int& count) {
  return count_query(kZoneCountZtb3Query, zone, access_class, count);
}

int terminal_access_check(BadgeRecord& badge, const char* terminal, long highest, bool fill_slots) {
  bool found = false;
  int count = 0;
  int reader = 0;
  std::string zone;
  readers_open(terminal, highest);
  while (readers_fetch(reader, zone) == 0) {
    // A reader below 1 has no slot; where slots are filled the terminal's records know
    // only readers from 1 on, so it takes no part there at all.
    if (fill_slots && reader < 1) continue;
    // One authorised zone is enough; the walk goes on only to fill the slots.
    if (!found) {
      zone_class_count(zone, badge.AswBkl, count);
      found = count != 0;
    }
    if (fill_slots && reader <= kSlotReaders) {
      // "%02d" of 1 to 11.
      char* slot = badge.reader_slots[reader - 1];
      slot[0] = static_cast<char>('0' + reader / 10);
      slot[1] = static_cast<char>('0' + reader % 10);
      slot[2] = '\0';
    }
  }
  readers_close();
  return found ? 1 : 0;
}

int terminal_time_check(const BadgeRecord& badge, const char* terminal) {
  int result = 1;
  int count = 0;
  int reader = 0;
  std::string zone;
  readers_open(terminal, 1);
  while (readers_fetch(reader, zone) == 0) {
    if (reader != 1) continue;
    zone_class_count_ztb3(zone, badge.AswBkl, count);
    if (count != 0) result = 0;
    break;
  }
  readers_close();
  return result;
}
