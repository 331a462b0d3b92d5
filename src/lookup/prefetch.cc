#include "lookup/prefetch.h"

#include <cstdlib>
#include <cstring>

#include "db/escape.h"
#include "db/schemas.h"
#include "db/sql_template.h"

namespace {

std::uint64_t passes_begun = 0;

constexpr int kKeyKinds = 5;

struct Pass {
  std::uint64_t id = 0;  // 0: no pass
  std::string schema;
  PrefetchTextSet keys[kKeyKinds];  // by PrefetchKey
  std::vector<std::pair<std::string, std::string>> class_badges;
};
Pass pass;

// The fall-backs of the run, for a report to show.
std::vector<PrefetchFallback> fallbacks;

PrefetchTextSet& keys_of(PrefetchKey kind) {
  return pass.keys[static_cast<int>(kind)];
}

bool env_is_one(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && std::strcmp(value, "1") == 0;
}

// Reads the rows for keys into rows; false when the statement failed.
bool read_rows(PrefetchedRows& rows, const LookupStatement& lookup,
               const std::vector<std::string>& keys) {
  std::string statement;
  if (prefetch_statement(lookup, keys, statement) != 0) return false;
  QueryCursor cursor;
  if (!prefetch_open_batch(lookup.purpose, statement, cursor)) return false;
  const unsigned columns = db_column_count(cursor);
  DbRow row = nullptr;
  PrefetchRow candidate;
  std::string key;
  while (db_fetch_row(cursor, row) == 0) {
    key.assign(row[0] == nullptr ? "" : row[0]);
    candidate.packed.clear();
    for (unsigned i = 1; i < columns; ++i)
      candidate.add(row[i]);
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
    if (lookup.pick == PrefetchPick::kLatestFirstColumn) {
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
  return !env_is_one("VESTRAGEN_PER_BADGE");
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
  keys_of(PrefetchKey::kClass).insert(badge.AswBkl);
  if (std::strcmp(badge.AswBkl, "0  ") == 0) {
    keys_of(PrefetchKey::kClassGroup).insert(badge.AswGrp);
    keys_of(PrefetchKey::kClassPerson).insert(badge.AswPnr);
    pass.class_badges.emplace_back(badge.AswGrp, badge.AswPnr);
  }
}

void prefetch_pass_end() {
  pass = Pass{};
}

std::uint64_t prefetch_pass() {
  if (pass.id == 0 || pass.schema != current_schema) return 0;
  return pass.id;
}

const PrefetchTextSet& prefetch_keys(PrefetchKey kind) {
  return keys_of(kind);
}

void prefetch_note_key(PrefetchKey kind, std::string_view key) {
  if (pass.id != 0) keys_of(kind).emplace(key);
}

const std::vector<std::pair<std::string, std::string>>& prefetch_class_badges() {
  return pass.class_badges;
}

const std::vector<PrefetchFallback>& prefetch_fallbacks() {
  return fallbacks;
}

bool prefetch_open_batch(const char* lookup, const std::string& statement, QueryCursor& cursor) {
  const bool broken = env_is_one("VESTRAGEN_TEST_BREAK_BATCH");
  // A word no server takes before the statement: a syntax error, as a server without the
  // statement's syntax would answer.
  const std::string refused = broken ? "VESTRAGEN_TEST_BREAK_BATCH " + statement : std::string();
  cursor.query_text = broken ? refused.c_str() : statement.c_str();
  const int rc = db_open_cursor(cursor);
  cursor.query_text = nullptr;
  if (rc == 0) return true;
  fallbacks.push_back({pass.schema, lookup, rc});
  return false;
}

int prefetch_statement(const LookupStatement& lookup, const std::vector<std::string>& keys,
                       std::string& out) {
  // The statement as the per-badge lookup sends it, with the key compared to pass_keys.k;
  // its FROM list is replaced below.
  std::string text;
  if (const int rc = sql_fill_template(lookup.format, {"pass_keys.k"}, {""}, text); rc != 0) {
    return rc;
  }
  const std::size_t select = text.find("SELECT");
  const std::size_t from = text.find(" FROM ", select);
  const std::size_t where = text.find(" WHERE ", from);
  if (select == std::string::npos || from == std::string::npos || where == std::string::npos ||
      keys.empty() || keys.size() > kLiteralTableMax) {
    return RC_BAD_TEMPLATE;
  }
  std::string_view conditions = std::string_view(text).substr(where);
  if (lookup.pick == PrefetchPick::kLatestFirstColumn) {
    conditions = conditions.substr(0, conditions.find(" ORDER BY "));
  }
  // The key table first and the tables in their given order: the server looks each key up
  // through the tables' indexes, however little it may know about the key table.
  out = "SELECT STRAIGHT_JOIN pass_keys.k, ";
  out.append(text, select + 6, from - select - 6);
  out += " FROM ";
  out += sql_literal_table(keys, "pass_keys", "k");
  out += ", ";
  out += lookup.pass_tables;
  out += conditions;
  return 0;
}

PrefetchAnswer prefetch_lookup(PrefetchedRows& rows, const LookupStatement& statement,
                               const char* key, const PrefetchRow*& row) {
  const std::uint64_t id = prefetch_pass();
  if (id == 0) return PrefetchAnswer::kNone;
  const PrefetchTextSet& pass_keys = keys_of(statement.kind);
  if (pass_keys.find(std::string_view(key)) == pass_keys.end()) return PrefetchAnswer::kNone;
  if (rows.pass != id) {
    rows.pass = id;
    rows.first_rows.clear();
    rows.own_answers.clear();
    rows.keys = &pass_keys;
    if (statement.keys != nullptr) {
      rows.some_keys = *statement.keys;
      rows.keys = &rows.some_keys;
    }
    std::vector<std::string> chunk;
    rows.usable = true;
    for (const std::string& k : *rows.keys) {
      chunk.push_back("'" + db_escape(k) + "'");
      if (chunk.size() == kLiteralTableMax) {
        rows.usable = rows.usable && read_rows(rows, statement, chunk);
        chunk.clear();
      }
    }
    if (!chunk.empty()) rows.usable = rows.usable && read_rows(rows, statement, chunk);
  }
  const PrefetchAnswer answer = prefetch_peek(rows, key);
  if (answer == PrefetchAnswer::kRow) row = &rows.first_rows.find(std::string_view(key))->second;
  return answer;
}

PrefetchAnswer prefetch_peek(const PrefetchedRows& rows, std::string_view key) {
  if (rows.pass == 0 || rows.pass != prefetch_pass() || rows.keys->find(key) == rows.keys->end()) {
    return PrefetchAnswer::kNone;
  }
  // A failed statement for all keys leaves each badge to its own statement, which fails or
  // succeeds as it would have anyway.
  if (!rows.usable) return PrefetchAnswer::kNone;
  const auto found = rows.first_rows.find(key);
  if (found == rows.first_rows.end()) return PrefetchAnswer::kNoRow;
  return found->second.ambiguous ? PrefetchAnswer::kAmbiguous : PrefetchAnswer::kRow;
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
