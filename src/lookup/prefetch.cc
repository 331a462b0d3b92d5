#include "lookup/prefetch.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "db/escape.h"
#include "db/schemas.h"

namespace {

std::uint64_t passes_begun = 0;
std::uint64_t current_pass = 0;  // 0: no pass
std::string pass_schema;

const char* key_column(PrefetchKey key) {
  switch (key) {
    case PrefetchKey::kBadgeNumber:
      return "AswNum";
    case PrefetchKey::kPerson:
      return "AswPnr";
    case PrefetchKey::kGroup:
      break;
  }
  return "AswGrp";
}

// The keys of the pass's badges as the badge records hold them: NULL as the empty text,
// trailing blanks, tabs and line feeds cut. Values differing in letter case only are kept
// apart (grouped by their bytes), each finds its own rows by the column's rules.
std::string keys_statement(PrefetchKey key) {
  const std::string column = key_column(key);
  const std::string trimmed = "REGEXP_REPLACE(COALESCE(" + column +
                              ", ''), CONCAT('[ ', CHAR(9 USING latin1), CHAR(10 USING latin1),"
                              " ']+$'), '')";
  return "SELECT " + trimmed +
         " AS k FROM KvBasis.Kvb301Asw, KvBasis.Kvb112Mnd WHERE MNDSCH = '" +
         db_escape(pass_schema) + "' AND ASWLIZ = MNDLIZ AND ASWMND = MNDNUM GROUP BY BINARY " +
         trimmed;
}

}  // namespace

bool prefetch_enabled() {
  const char* per_badge = std::getenv("VESTRAGEN_PER_BADGE");
  return per_badge == nullptr || std::strcmp(per_badge, "1") != 0;
}

void prefetch_pass_begin(const char* schema) {
  pass_schema = schema;
  current_pass = prefetch_enabled() ? ++passes_begun : 0;
}

void prefetch_pass_end() { current_pass = 0; }

std::uint64_t prefetch_pass() {
  if (current_pass == 0 || pass_schema != current_schema) return 0;
  return current_pass;
}

const std::string& prefetch_pass_schema() { return pass_schema; }

std::string prefetch_statement(std::string_view per_badge_format, const std::string& keys,
                               const std::string& tables) {
  // The statement as the per-badge lookup sends it, with the key compared to keys.k.
  std::string text;
  int key_places = 0;
  for (std::size_t i = 0; i < per_badge_format.size(); ++i) {
    if (per_badge_format.compare(i, 2, "%%") == 0) {
      text += '%';
      ++i;
    } else if (per_badge_format.compare(i, 4, "'%s'") == 0) {
      text += "keys.k";
      ++key_places;
      i += 3;
    } else if (per_badge_format.compare(i, 2, "%s") == 0) {
      ++i;  // the FROM list, replaced below
    } else {
      text += per_badge_format[i];
    }
  }
  const std::size_t select = text.find("SELECT");
  const std::size_t from = text.find(" FROM ", select);
  const std::size_t where = text.find(" WHERE ", from);
  if (key_places != 1 || select == std::string::npos || from == std::string::npos ||
      where == std::string::npos) {
    throw std::logic_error("no per-badge statement: " + std::string(per_badge_format));
  }
  return "SELECT STRAIGHT_JOIN keys.k, " + text.substr(select + 6, from - select - 6) +
         " FROM (" + keys + ") keys, " + tables + text.substr(where);
}

const PrefetchedRows* prefetch_rows(PrefetchedRows& rows, std::string_view per_badge_format,
                                    PrefetchKey key, const std::string& tables) {
  const std::uint64_t pass = prefetch_pass();
  if (pass == 0) return nullptr;
  if (rows.pass == pass) return rows.usable ? &rows : nullptr;
  rows.pass = pass;
  rows.usable = false;
  rows.first_rows.clear();

  const std::string statement = prefetch_statement(per_badge_format, keys_statement(key), tables);
  QueryCursor cursor;
  cursor.query_text = statement.c_str();
  if (db_open_cursor(cursor) != 0) return nullptr;
  const unsigned columns = db_column_count(cursor);
  DbRow row = nullptr;
  while (db_fetch_row(cursor, row) == 0) {
    const std::string key_text = row[0] == nullptr ? "" : row[0];
    if (rows.first_rows.count(key_text) != 0) continue;  // the first row per key counts
    PrefetchRow& first = rows.first_rows[key_text];
    for (unsigned i = 1; i < columns; ++i) {
      if (row[i] == nullptr) {
        first.emplace_back(std::nullopt);
      } else {
        first.emplace_back(std::string(row[i]));
      }
    }
  }
  db_close_cursor(cursor);
  rows.usable = true;
  return &rows;
}

PrefetchRowCopy::PrefetchRowCopy(const PrefetchRow& row) {
  texts_.reserve(row.size());
  for (const auto& column : row) texts_.push_back(column.value_or(""));
  for (std::size_t i = 0; i < row.size(); ++i) {
    pointers_.push_back(row[i] ? texts_[i].data() : nullptr);
  }
}
