#include "lookup/prefetch.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/text.h"
#include "db/escape.h"
#include "db/schemas.h"
#include "db/side_connection.h"
#include "db/sql_template.h"
#include "lookup/chunk_read.h"
#include "lookup/run_listener.h"

namespace {

std::uint64_t passes_begun = 0;

constexpr int kKeyKinds = 5;

struct Pass {
  std::uint64_t id = 0;  // 0: no pass
  std::string schema;
  std::size_t chunk_badges = kChunkBadges;
  std::size_t badges = 0;                // noted so far
  PrefetchTextMap<int> keys[kKeyKinds];  // by PrefetchKey: key, chunk of its first badge
  // By PrefetchKey and chunk: the keys whose first badge is in the chunk (into keys).
  std::vector<std::vector<const std::string*>> chunk_keys[kKeyKinds];
  // By chunk of the person: the badges without a class of their own, group and person.
  std::vector<std::vector<std::pair<std::string, std::string>>> class_badges;
};
Pass pass;

// The fall-backs of the run, for a report to show.
std::vector<PrefetchFallback> fallbacks;

bool env_is_one(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && std::strcmp(value, "1") == 0;
}

int kind_index(PrefetchKey kind) {
  return static_cast<int>(kind);
}

// The chunk of the pass that key of kind first comes in; -1 when the pass does not know it.
int chunk_of(PrefetchKey kind, std::string_view key) {
  const PrefetchTextMap<int>& keys = pass.keys[kind_index(kind)];
  const auto found = keys.find(key);
  return found == keys.end() ? -1 : found->second;
}

int chunk_count() {
  return static_cast<int>((pass.badges + pass.chunk_badges - 1) / pass.chunk_badges);
}

void note_key(PrefetchKey kind, std::string_view key, int chunk) {
  PrefetchTextMap<int>& keys = pass.keys[kind_index(kind)];
  // Most keys come again (a person's badges, the classes): found without making a text.
  if (keys.find(key) != keys.end()) return;
  const auto slot = keys.emplace(std::string(key), chunk).first;
  auto& chunks = pass.chunk_keys[kind_index(kind)];
  if (chunks.size() <= static_cast<std::size_t>(chunk)) chunks.resize(chunk + 1);
  chunks[chunk].push_back(&slot->first);
}

// The second connection, opened when a pass first reads ahead and kept for the run (asked for
// once per connection of the program: when the server refuses it, everything is read on the
// program's), and the reader of the current pass, which uses it: declared after it, so that it
// stops first when the process ends.
struct Reading {
  std::unique_ptr<SideConnection> side;
  std::unique_ptr<AheadReader> ahead;
};
Reading reading;

AheadReader* ahead_reader() {
  if (reading.ahead) return reading.ahead.get();
  // VESTRAGEN_CONNECTIONS=1: a login whose connections are counted keeps to one per run.
  static const bool one_connection = env_number("VESTRAGEN_CONNECTIONS", 3, 1, 3) == 1;
  if (one_connection) return nullptr;
  // A program that connected anew (the tests do) reads ahead beside its new connection.
  if (!reading.side || !reading.side->of_program_connection()) {
    reading.side = std::make_unique<SideConnection>();
  }
  if (reading.side->open()) reading.ahead = std::make_unique<AheadReader>(*reading.side);
  return reading.ahead.get();
}

// The badge list of the next client schema, read ahead by the pass before.
struct NextList {
  std::string schema;
  MysqlResult list;
  bool asked = false;  // in the current pass
};
NextList next_list;

// Asks the reader for the badge list of the client schema visited after this one, once per
// pass.
void read_next_list_ahead() {
  char schema[kSchemaNameSize];
  if (next_list.asked || schemas_next(schema) != 0) return;
  next_list.asked = true;
  AheadReader* reader = ahead_reader();
  if (reader == nullptr) return;
  auto read = std::make_shared<ChunkRead>();
  read->chunk = -1;
  read->list_schema = schema;
  read->list_statement = badges_statement(schema);
  reader->ask(std::move(read));
}

// Notes that the server refused a statement for many keys of lookup, once per lookup and pass,
// and tells the run's listener.
void note_fallback(const char* lookup, int rc) {
  for (auto it = fallbacks.rbegin(); it != fallbacks.rend() && it->pass == pass.id; ++it) {
    if (it->lookup == lookup) return;
  }
  fallbacks.push_back({pass.schema, lookup, rc, pass.id});
  if (RunListener* listener = run_listener()) listener->fallback(pass.schema.c_str(), lookup, rc);
}

void note_fallback(PrefetchedRows& rows, const char* lookup, int rc) {
  if (rows.fell_back) return;
  rows.fell_back = true;
  note_fallback(lookup, rc);
}

// Takes the result of a chunk read into rows.
void take_read(PrefetchedRows& rows, const LookupStatement& statement, ChunkRead& read) {
  if (read.rc != 0) {
    rows.chunks[read.chunk] = -1;
    note_fallback(rows, read.purpose, read.rc);
    return;
  }
  rows.chunks[read.chunk] = 1;
  if (statement.on_row) {
    for (const auto& [key, row] : read.rows_read)
      statement.on_row(row);
  }
  if (rows.some) rows.some_keys.merge(read.wanted);
  rows.own_answers.merge(read.own_answers);
  if (rows.first_rows.empty()) {
    rows.first_rows.swap(read.rows_read);
  } else {
    rows.first_rows.merge(read.rows_read);
  }
}

// A read of chunk of the lookup's rows.
std::shared_ptr<ChunkRead> chunk_read(PrefetchedRows& rows, const LookupStatement& statement,
                                      int chunk) {
  auto read = std::make_shared<ChunkRead>();
  read->rows = &rows;
  read->chunk = chunk;
  read->purpose = statement.purpose;
  read->format = statement.format;
  read->pick = statement.pick;
  read->pass_tables = std::string(statement.pass_tables);
  read->own_tables = std::string(statement.own_tables);
  if (statement.keys_for) {
    read->keys_for = statement.keys_for;
  } else {
    const auto& chunks = pass.chunk_keys[kind_index(statement.kind)];
    if (static_cast<std::size_t>(chunk) < chunks.size()) read->keys = chunks[chunk];
  }
  return read;
}

// Takes the rows of a lookup read whole (chunk_read.h), when it is: they answer every key,
// as if every chunk were read. The own statements of the pass's keys whose rows disagree are
// read ahead, chunk by chunk.
void take_whole(PrefetchedRows& rows, const LookupStatement& statement) {
  const PrefetchTextMap<int>& keys = prefetch_keys(statement.kind);
  rows.whole = whole_rows(statement, keys.size(), reading.ahead.get());
  if (!rows.whole) return;
  std::fill(rows.chunks.begin(), rows.chunks.end(), 1);
  if (AheadReader* reader = ahead_reader()) {
    std::vector<std::shared_ptr<ChunkRead>> reads(rows.chunks.size());
    for (const std::string* key : rows.whole->disagreeing) {
      const auto found = keys.find(std::string_view(*key));
      if (found == keys.end()) continue;
      std::shared_ptr<ChunkRead>& read = reads[static_cast<std::size_t>(found->second)];
      if (!read) {
        read = chunk_read(rows, statement, found->second);
        read->own_only = true;
        read->keys.clear();
      }
      read->rows_read.emplace(*key, rows.whole->rows.find(std::string_view(*key))->second);
    }
    for (auto& read : reads) {
      if (read) reader->ask(std::move(read));
    }
    whole_rows_ask_ahead(*reader, statement);
  }
  if (statement.on_row) {
    for (const auto& [key, row] : rows.whole->rows) {
      if (keys.find(std::string_view(key)) != keys.end()) statement.on_row(row);
    }
  }
}

// Asks the reader for chunk of a lookup, unless it is read or asked already.
void read_ahead(PrefetchedRows& rows, const LookupStatement& statement, int chunk) {
  const auto& chunks = pass.chunk_keys[kind_index(statement.kind)];
  if (chunk >= chunk_count() || rows.chunks[chunk] != 0 ||
      static_cast<std::size_t>(chunk) >= chunks.size() || chunks[chunk].empty()) {
    return;
  }
  AheadReader* reader = ahead_reader();
  if (reader != nullptr && !reader->asked(&rows, chunk)) {
    reader->ask(chunk_read(rows, statement, chunk));
  }
}

// Makes sure the rows of chunk are read, by the reader or else here, and asks for the next.
void read_chunk_of(PrefetchedRows& rows, const LookupStatement& statement, int chunk) {
  if (rows.chunks[chunk] == 0) {
    std::shared_ptr<ChunkRead> read = reading.ahead ? reading.ahead->take(&rows, chunk) : nullptr;
    // What failed on the second connection is asked again on the program's: its answer
    // decides whether the lookup falls back.
    if (!read || read->rc != 0) {
      read = chunk_read(rows, statement, chunk);
      chunk_read_here(*read);
    }
    take_read(rows, statement, *read);
  }
  if (chunk + 1 >= chunk_count()) read_next_list_ahead();
  read_ahead(rows, statement, chunk + 1);
}

}  // namespace

bool prefetch_enabled() {
  // Asked for every record staged: the environment is read once.
  static const bool enabled = !env_is_one("VESTRAGEN_PER_BADGE");
  return enabled;
}

void prefetch_pass_begin(const char* schema) {
  prefetch_pass_end();
  if (!prefetch_enabled()) return;
  pass.id = ++passes_begun;
  pass.schema = schema;
  if (const char* chunk = std::getenv("VESTRAGEN_TEST_PASS_CHUNK")) {
    const long badges = std::strtol(chunk, nullptr, 10);
    if (badges > 0) pass.chunk_badges = static_cast<std::size_t>(badges);
  }
}

void prefetch_note_badge(const BadgeRecord& badge) {
  if (pass.id == 0) return;
  const int chunk = static_cast<int>(pass.badges++ / pass.chunk_badges);
  note_key(PrefetchKey::kBadgeNumber, badge.AswNum, chunk);
  note_key(PrefetchKey::kPerson, badge.AswPnr, chunk);
  note_key(PrefetchKey::kClass, badge.AswBkl, chunk);
  if (std::strcmp(badge.AswBkl, "0  ") == 0) {
    note_key(PrefetchKey::kClassGroup, badge.AswGrp, chunk);
    note_key(PrefetchKey::kClassPerson, badge.AswPnr, chunk);
    const auto person_chunk =
        static_cast<std::size_t>(chunk_of(PrefetchKey::kClassPerson, badge.AswPnr));
    if (pass.class_badges.size() <= person_chunk) pass.class_badges.resize(person_chunk + 1);
    pass.class_badges[person_chunk].emplace_back(badge.AswGrp, badge.AswPnr);
  }
}

void prefetch_read_whole_now(const LookupStatement& statement) {
  // A pass of one chunk has too little to read for a second connection to pay.
  if (prefetch_pass() == 0 || statement.keys_for || chunk_count() < 2) return;
  if (AheadReader* reader = ahead_reader()) {
    whole_rows_ask_now(*reader, statement, prefetch_keys(statement.kind).size());
  }
}

void prefetch_read_next_list() {
  if (pass.id != 0) read_next_list_ahead();
}

void prefetch_pass_end() {
  std::vector<std::shared_ptr<ChunkRead>> wholes_read;
  if (reading.ahead) {
    if (const std::shared_ptr<ChunkRead> read = reading.ahead->take_list(); read && read->rc == 0) {
      next_list.schema = read->list_schema;
      next_list.list = std::move(read->list);
    }
    wholes_read = reading.ahead->take_wholes();
  }
  if (pass.id != 0) whole_rows_keep_ahead(std::move(wholes_read));
  next_list.asked = false;
  // The reader stops before the pass's keys, which its reads point into, go.
  reading.ahead.reset();
  if (pass.id != 0) whole_rows_forget(pass.schema);
  pass = Pass{};
}

bool prefetch_badge_list(const char* schema, MysqlResult& result) {
  if (!next_list.list || next_list.schema != schema) return false;
  result = std::move(next_list.list);
  next_list.schema.clear();
  return true;
}

std::uint64_t prefetch_pass() {
  if (pass.id == 0 || pass.schema != current_schema) return 0;
  return pass.id;
}

const PrefetchTextMap<int>& prefetch_keys(PrefetchKey kind) {
  return pass.keys[kind_index(kind)];
}

void prefetch_note_key(PrefetchKey kind, std::string_view key) {
  if (pass.id != 0) note_key(kind, key, 0);
}

const std::vector<std::pair<std::string, std::string>>& prefetch_class_badges(int chunk) {
  static const std::vector<std::pair<std::string, std::string>> none;
  if (chunk < 0 || static_cast<std::size_t>(chunk) >= pass.class_badges.size()) return none;
  return pass.class_badges[chunk];
}

const std::vector<PrefetchFallback>& prefetch_fallbacks() {
  return fallbacks;
}

bool prefetch_open_batch(const char* lookup, const std::string& statement, QueryCursor& cursor) {
  const std::string sent = chunk_statement_sent(statement);
  cursor.query_text = sent.c_str();
  const int rc = db_open_cursor(cursor);
  cursor.query_text = nullptr;
  if (rc == 0) return true;
  note_fallback(lookup, rc);
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
  if (rows.pass == id && rows.whole) return whole_answer(*rows.whole, key, row, rows.whole_place);
  if (rows.pass == id) {
    // A key with rows: its chunk is read (most badges are answered so).
    const auto found = rows.first_rows.find(std::string_view(key));
    if (found != rows.first_rows.end()) {
      if (found->second.ambiguous) return PrefetchAnswer::kAmbiguous;
      row = &found->second;
      return PrefetchAnswer::kRow;
    }
  }
  const int chunk = chunk_of(statement.kind, key);
  if (chunk < 0) return PrefetchAnswer::kNone;
  if (rows.pass != id) {
    rows.pass = id;
    // Written once: the reader's thread reads it (for lookups before this one in a chain).
    if (rows.kind != statement.kind) rows.kind = statement.kind;
    rows.chunks.assign(chunk_count(), 0);
    rows.fell_back = false;
    rows.some = static_cast<bool>(statement.keys_for);
    rows.some_keys.clear();
    rows.first_rows.clear();
    rows.own_answers.clear();
    rows.whole.reset();
    rows.whole_place = 0;
    if (!statement.keys_for) take_whole(rows, statement);
    if (rows.whole) {
      read_chunk_of(rows, statement, chunk);
      return whole_answer(*rows.whole, key, row, rows.whole_place);
    }
  }
  read_chunk_of(rows, statement, chunk);
  const PrefetchAnswer answer = prefetch_peek(rows, key, chunk);
  if (answer == PrefetchAnswer::kRow) row = &rows.first_rows.find(std::string_view(key))->second;
  return answer;
}

void prefetch_take_own_answers(PrefetchedRows& rows, std::string_view key) {
  if (!reading.ahead || rows.pass == 0 || rows.pass != prefetch_pass()) return;
  const int chunk = chunk_of(rows.kind, key);
  if (chunk < 0 || !reading.ahead->asked(&rows, chunk)) return;
  const std::shared_ptr<ChunkRead> read = reading.ahead->take(&rows, chunk);
  if (read && read->own_only) rows.own_answers.merge(read->own_answers);
}

PrefetchAnswer prefetch_peek(const PrefetchedRows& rows, std::string_view key, int chunk) {
  if (chunk < 0) chunk = chunk_of(rows.kind, key);
  // On the reader's thread only what it read itself, which the program's thread does not
  // touch until it is handed out.
  if (AheadReader::reading_ahead != nullptr) {
    return AheadReader::reading_ahead->peek(&rows, chunk, key);
  }
  if (rows.pass == 0 || rows.pass != prefetch_pass()) return PrefetchAnswer::kNone;
  if (rows.whole) {
    const PrefetchRow* row = nullptr;
    std::size_t place = 0;
    return whole_answer(*rows.whole, key, row, place);
  }
  // A chunk whose statement failed leaves each of its badges to its own statement, which
  // fails or succeeds as it would have anyway.
  if (chunk < 0 || rows.chunks[chunk] != 1) return PrefetchAnswer::kNone;
  if (rows.some && rows.some_keys.find(key) == rows.some_keys.end()) return PrefetchAnswer::kNone;
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
