#include "lookup/prefetch.h"

#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "db/escape.h"
#include "db/schemas.h"
#include "db/sql_template.h"

namespace {

std::uint64_t passes_begun = 0;

struct Pass {
  std::uint64_t id = 0;  // 0: no pass
  std::string schema;
  std::unordered_set<std::string> keys[4];  // by PrefetchKey
};
Pass pass;

// A statement's list of keys stays well below the server's packet limit (16 MB by default).
constexpr std::size_t kKeysPerStatement = 20000;

std::unordered_set<std::string>& keys_of(PrefetchKey kind) {
  return pass.keys[static_cast<int>(kind)];
}

// Reads the rows for keys into rows; false when the statement failed.
bool read_rows(PrefetchedRows& rows, std::string_view per_badge_format, const std::string& tables,
               const std::vector<const std::string*>& keys, PrefetchPick pick) {
  std::string values;
  for (const std::string* key : keys) {
    values += values.empty() ? "('" : ", ('";
    values += db_escape(*key) + "')";
  }
  std::string statement;
  if (prefetch_statement(per_badge_format, values, tables, statement, pick) != 0) return false;
  QueryCursor cursor;
  cursor.query_text = statement.c_str();
  if (db_open_cursor(cursor) != 0) return false;
  const unsigned columns = db_column_count(cursor);
  DbRow row = nullptr;
  PrefetchRow candidate;
  while (db_fetch_row(cursor, row) == 0) {
    const std::string key = row[0] == nullptr ? "" : row[0];
    candidate.packed.clear();
    for (unsigned i = 1; i < columns; ++i) candidate.add(row[i]);
    const auto [slot, added] = rows.first_rows.try_emplace(key);
    PrefetchRow& kept = slot->second;
    if (added) {
      kept.packed.swap(candidate.packed);
      continue;
    }
    // Only the first row of a key counts for the per-badge statement (or the latest, where
    // it puts the latest first). Which row the server delivers first depends on the plan it
    // picks for that statement, and this statement's plan may differ; so rows of one key
    // that disagree leave the key to its own statement.
    if (candidate.packed == kept.packed) continue;
    if (pick == PrefetchPick::kLatestFirstColumn) {
      const char* latest = kept.first();
      const char* date = candidate.first();
      const int order = date == nullptr     ? (latest == nullptr ? 0 : -1)
                        : latest == nullptr ? 1
                                            : std::strcmp(date, latest);
      if (order < 0) continue;
      if (order > 0) {
        kept.packed.swap(candidate.packed);
        kept.ambiguous = false;
        continue;
      }
    }
    kept.ambiguous = true;
  }
  db_close_cursor(cursor);
  return true;
}

}  // namespace

bool prefetch_enabled() {
  const char* per_badge = std::getenv("VESTRAGEN_PER_BADGE");
  return per_badge == nullptr || std::strcmp(per_badge, "1") != 0;
}

void prefetch_pass_begin(const char* schema) {
  pass = Pass{};
  if (!prefetch_enabled()) return;
  pass.id = ++passes_begun;
  pass.schema = schema;
}

void prefetch_note_badge(const BadgeRecord& badge) {
  if (pass.id == 0) return;
  keys_of(PrefetchKey::kBadgeNumber).insert(badge.AswNum);
  keys_of(PrefetchKey::kPerson).insert(badge.AswPnr);
  if (std::strcmp(badge.AswBkl, "0  ") == 0) {
    keys_of(PrefetchKey::kClassGroup).insert(badge.AswGrp);
    keys_of(PrefetchKey::kClassPerson).insert(badge.AswPnr);
  }
}

void prefetch_pass_end() { pass = Pass{}; }

std::uint64_t prefetch_pass() {
  if (pass.id == 0 || pass.schema != current_schema) return 0;
  return pass.id;
}

int prefetch_statement(std::string_view per_badge_format, const std::string& keys,
                       const std::string& tables, std::string& out, PrefetchPick pick) {
  // The statement as the per-badge lookup sends it, with the key compared to pass_keys.k;
  // its FROM list is replaced below.
  std::string text;
  if (const int rc = sql_fill_template(per_badge_format, {"pass_keys.k"}, {""}, text); rc != 0) {
    return rc;
  }
  const std::size_t select = text.find("SELECT");
  const std::size_t from = text.find(" FROM ", select);
  const std::size_t where = text.find(" WHERE ", from);
  if (select == std::string::npos || from == std::string::npos || where == std::string::npos) {
    return RC_BAD_TEMPLATE;
  }
  std::string conditions = text.substr(where);
  if (pick == PrefetchPick::kLatestFirstColumn) {
    conditions = conditions.substr(0, conditions.find(" ORDER BY "));
  }
  out = "WITH pass_keys(k) AS (VALUES " + keys + ") SELECT STRAIGHT_JOIN pass_keys.k, " +
        text.substr(select + 6, from - select - 6) + " FROM pass_keys, " + tables + conditions;
  return 0;
}

PrefetchAnswer prefetch_lookup(PrefetchedRows& rows, std::string_view per_badge_format,
                               PrefetchKey kind, const std::string& tables, const char* key,
                               const PrefetchRow*& row, PrefetchPick pick) {
  const std::uint64_t id = prefetch_pass();
  if (id == 0) return PrefetchAnswer::kNone;
  const std::unordered_set<std::string>& keys = keys_of(kind);
  if (keys.count(key) == 0) return PrefetchAnswer::kNone;
  if (rows.pass != id) {
    rows.pass = id;
    rows.first_rows.clear();
    std::vector<const std::string*> chunk;
    rows.usable = true;
    for (const std::string& k : keys) {
      chunk.push_back(&k);
      if (chunk.size() == kKeysPerStatement) {
        rows.usable = rows.usable && read_rows(rows, per_badge_format, tables, chunk, pick);
        chunk.clear();
      }
    }
    if (!chunk.empty()) {
      rows.usable = rows.usable && read_rows(rows, per_badge_format, tables, chunk, pick);
    }
  }
  // A failed statement for all keys leaves each badge to its own statement, which fails or
  // succeeds as it would have anyway.
  if (!rows.usable) return PrefetchAnswer::kNone;
  const auto found = rows.first_rows.find(key);
  if (found == rows.first_rows.end()) return PrefetchAnswer::kNoRow;
  if (found->second.ambiguous) return PrefetchAnswer::kNone;
  row = &found->second;
  return PrefetchAnswer::kRow;
}

void PrefetchRow::add(const char* column) {
  if (column == nullptr) {
    packed += 'N';
  } else {
    packed += 'V';
    packed += column;
    packed += '\0';
  }
}

const char* PrefetchRow::first() const {
  return packed.empty() || packed[0] == 'N' ? nullptr : packed.c_str() + 1;
}

PrefetchRowCopy::PrefetchRowCopy(const PrefetchRow& row) : texts_(row.packed) {
  for (std::size_t i = 0; i < texts_.size();) {
    if (texts_[i] == 'N') {
      pointers_.push_back(nullptr);
      ++i;
    } else {
      char* value = texts_.data() + i + 1;
      pointers_.push_back(value);
      i += 2 + std::strlen(value);
    }
  }
}
