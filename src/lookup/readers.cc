#include "lookup/readers.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/text.h"
#include "db/cursor.h"
#include "db/escape.h"
#include "db/sql_template.h"
#include "lookup/prefetch.h"
#include "lookup/run_listener.h"

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
  return db_first_row([&](DbRow row) {
    if (row[0] != nullptr) count = to_int(row[0]);
  });
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

namespace {

struct Reader {
  int number = 0;
  std::string zone;
};

// Within a badge pass the terminal's readers and the zone counts of each access class are
// the same for every badge: they are asked once per pass and kept.
struct PassAnswers {
  std::uint64_t pass = 0;
  std::map<std::pair<std::string, long>, std::vector<Reader>> readers;
  struct Count {
    int rc = 0;
    std::optional<int> value;  // none: the count was not delivered
  };
  // By count_key: the count of any type or of type 3, of a class in a zone.
  std::unordered_map<std::string, Count> counts;
  bool batch_refused = false;  // the counts are asked one by one for the rest of the pass
};
PassAnswers answers;

// The key of a count in PassAnswers::counts, in key (kept, so that finding a count takes no
// new text).
const std::string& count_key(bool type3, std::string_view access_class, std::string_view zone,
                             std::string& key) {
  key.assign(type3 ? "3" : "*");
  key += access_class;
  key += '\0';
  key += zone;
  return key;
}

PassAnswers* pass_answers() {
  const std::uint64_t pass = prefetch_pass();
  if (pass == 0) return nullptr;
  if (answers.pass != pass) {
    answers = PassAnswers{};
    answers.pass = pass;
  }
  return &answers;
}

// The readers as the reader query delivers them, ascending; a NULL column repeats the value
// before it, as readers_fetch leaves it.
const std::vector<Reader>& terminal_readers(const char* terminal, long highest) {
  static std::vector<Reader> outside_pass;
  PassAnswers* pass = pass_answers();
  if (pass != nullptr) {
    const auto found = pass->readers.find({terminal, highest});
    if (found != pass->readers.end()) return found->second;
  }
  std::vector<Reader> readers;
  Reader reader;
  // A failed list reads as an empty one.
  (void)readers_open(terminal, highest);
  while (readers_fetch(reader.number, reader.zone) == 0)
    readers.push_back(reader);
  readers_close();
  if (pass == nullptr) {
    outside_pass = std::move(readers);
    return outside_pass;
  }
  return pass->readers[{terminal, highest}] = std::move(readers);
}

std::vector<std::string> quoted_escaped(const std::vector<std::string>& texts) {
  std::vector<std::string> quoted;
  for (const std::string& text : texts)
    quoted.push_back("'" + db_escape(text) + "'");
  return quoted;
}

// Asks both counts of every class the pass knows of (its badges' classes and those of the
// assignments it read, see PrefetchKey::kClass) and of access_class, for every zone of the
// pass's readers, in one statement. False when it failed (each count is then asked on its
// own).
bool count_all_zones(PassAnswers& pass, const std::string& access_class) {
  if (pass.batch_refused) return false;
  std::vector<std::string> zones;
  for (const auto& [terminal, readers] : pass.readers) {
    for (const Reader& reader : readers) {
      if (std::find(zones.begin(), zones.end(), reader.zone) == zones.end()) {
        zones.push_back(reader.zone);
      }
    }
  }
  if (zones.empty()) return false;
  std::vector<std::string> classes = {access_class};
  const PrefetchTextMap<int>& known = prefetch_keys(PrefetchKey::kClass);
  // Beyond the size of one list the class is counted alone.
  if ((known.size() + 1) * zones.size() <= kLiteralTableMax) {
    for (const auto& [other, chunk] : known) {
      if (other != access_class) classes.push_back(other);
    }
  }
  if (classes.size() * zones.size() > kLiteralTableMax) return false;
  // Each per-zone count, the class and the zone taken from the two lists, each compared as a
  // literal as in the count of one class and zone.
  const std::vector<std::string> places = {"pass_classes.c", "pass_zones.z"};
  std::string count;
  std::string count_ztb3;
  if (sql_fill_template(kZoneCountQuery, places, {}, count) != 0 ||
      sql_fill_template(kZoneCountZtb3Query, places, {}, count_ztb3) != 0) {
    return false;
  }
  const std::string statement = "SELECT pass_classes.c, pass_zones.z, (" + count + "), (" +
                                count_ztb3 + ") FROM " +
                                sql_literal_table(quoted_escaped(classes), "pass_classes", "c") +
                                ", " + sql_literal_table(quoted_escaped(zones), "pass_zones", "z");
  QueryCursor cursor;
  if (!prefetch_open_batch("Zonenberechtigungen", statement, cursor)) {
    pass.batch_refused = true;
    return false;
  }
  DbRow row = nullptr;
  std::string key;
  while (db_fetch_row(cursor, row) == 0) {
    if (row[0] == nullptr || row[1] == nullptr || row[2] == nullptr || row[3] == nullptr) {
      continue;
    }
    pass.counts[count_key(false, row[0], row[1], key)] = {0, to_int(row[2])};
    pass.counts[count_key(true, row[0], row[1], key)] = {0, to_int(row[3])};
  }
  db_close_cursor(cursor);
  return true;
}

// A zone count as zone_class_count gives it: count set when it was delivered. Within a pass
// the counts of the pass's classes are asked for all the terminal's zones at once.
int counted(const char* format, const std::string& zone, const char* access_class, int& count) {
  PassAnswers* pass = pass_answers();
  if (pass == nullptr) return count_query(format, zone, access_class, count);
  static std::string key;
  count_key(format == kZoneCountZtb3Query, access_class, zone, key);
  auto found = pass->counts.find(key);
  if (found == pass->counts.end() && count_all_zones(*pass, access_class)) {
    found = pass->counts.find(key);
  }
  if (found == pass->counts.end()) {
    PassAnswers::Count answer;
    int delivered = INT_MIN;
    answer.rc = count_query(format, zone, access_class, delivered);
    if (delivered != INT_MIN) answer.value = delivered;
    found = pass->counts.emplace(key, answer).first;
  }
  if (found->second.value) count = *found->second.value;
  return found->second.rc;
}

}  // namespace

bool terminal_access_check(BadgeRecord& badge, const char* terminal, long highest,
                           bool fill_slots) {
  bool found = false;
  int count = 0;
  for (const Reader& reader : terminal_readers(terminal, highest)) {
    // One authorised zone is enough; the walk goes on only to fill the slots.
    if (!found) {
      counted(kZoneCountQuery, reader.zone, badge.AswBkl, count);
      found = count != 0;
      if (RunListener* listener = run_listener()) {
        listener->reader_zone(reader.number, reader.zone, badge.AswBkl, found);
      }
    }
    // A reader below 1 counts for the access like any other, but has no slot.
    if (fill_slots && reader.number >= 1 && reader.number <= kSlotReaders) {
      // "%02d" of 1 to 11.
      char* slot = badge.reader_slots[reader.number - 1];
      slot[0] = static_cast<char>('0' + reader.number / 10);
      slot[1] = static_cast<char>('0' + reader.number % 10);
      slot[2] = '\0';
    }
  }
  return found;
}

bool terminal_time_check(const BadgeRecord& badge, const char* terminal) {
  int count = 0;
  for (const Reader& reader : terminal_readers(terminal, 1)) {
    if (reader.number != 1) continue;
    counted(kZoneCountZtb3Query, reader.zone, badge.AswBkl, count);
    if (RunListener* listener = run_listener()) listener->time_check(1, reader.zone, count == 0);
    return count == 0;
  }
  if (RunListener* listener = run_listener()) listener->time_check(0, "", true);
  return true;
}
