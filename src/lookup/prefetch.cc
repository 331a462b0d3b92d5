#include "lookup/prefetch.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "db/escape.h"
#include "db/schemas.h"
#include "db/side_connection.h"
#include "db/sql_template.h"

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

// The hook of the tests: every statement for many keys refused.
bool batches_broken() {
  return env_is_one("VESTRAGEN_TEST_BREAK_BATCH");
}

// A word no server takes before the statement: a syntax error, as a server without the
// statement's syntax would answer.
std::string broken(const std::string& statement) {
  return "VESTRAGEN_TEST_BREAK_BATCH " + statement;
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

// Takes one row of a statement for many keys (its key first) into rows, the rows of one
// chunk.
class RowTaker {
 public:
  RowTaker(PrefetchTextMap<PrefetchRow>& rows, PrefetchPick pick) : rows_(rows), pick_(pick) {}

  void take(DbRow row, unsigned columns) {
    candidate_.packed.clear();
    for (unsigned i = 1; i < columns; ++i)
      candidate_.add(row[i]);
    const auto [slot, added] = rows_.try_emplace(row[0] == nullptr ? "" : row[0]);
    PrefetchRow& kept = slot->second;
    if (added) {
      kept.packed.swap(candidate_.packed);
      return;
    }
    // Only the first row of a key counts for the per-badge statement (or the latest, where
    // it puts the latest first). Which row the server delivers first depends on the plan it
    // picks for that statement, and this statement's plan may differ; so rows of one key
    // that disagree leave the key to its own statement.
    if (candidate_.packed == kept.packed) return;
    if (pick_ == PrefetchPick::kLatestFirstColumn) {
      const char* latest = kept.first();
      const char* date = candidate_.first();
      const int order = date == nullptr     ? (latest == nullptr ? 0 : -1)
                        : latest == nullptr ? 1
                                            : std::strcmp(date, latest);
      if (order < 0) return;
      if (order > 0) {
        kept.packed.swap(candidate_.packed);
        kept.ambiguous = false;
        return;
      }
    }
    kept.ambiguous = true;
  }

 private:
  PrefetchTextMap<PrefetchRow>& rows_;
  PrefetchPick pick_;
  PrefetchRow candidate_;
};

// One chunk of one lookup to read: what the statement needs, and what reading it gave.
struct ChunkRead {
  // Which rows it is for (on the program's thread only; the reading thread never looks).
  PrefetchedRows* rows = nullptr;
  int chunk = 0;
  // The statement: the lookup's, without its function (keys_for) and with tables of its own.
  const char* purpose = nullptr;
  const char* format = nullptr;
  PrefetchPick pick = PrefetchPick::kFirst;
  std::string pass_tables;
  // The keys: those of the chunk (into the pass's keys, which outlive the read), or, for a
  // lookup that reads some of them, those keys_for leaves in wanted when the read begins.
  std::vector<const std::string*> keys;
  std::function<void(int chunk, PrefetchTextSet& wanted)> keys_for;
  PrefetchTextSet wanted;
  std::string own_tables;  // LookupStatement::own_tables
  // The result: 0, or the code of the failed statement; the rows by key; read ahead, the
  // answers of the own statements of its keys whose rows disagree.
  int rc = 0;
  PrefetchTextMap<PrefetchRow> rows_read;
  PrefetchTextMap<PrefetchOwnAnswer> own_answers;
  // Instead, for no rows (rows nullptr): the badge list of the next client schema.
  std::string list_schema;
  std::string list_statement;
  MysqlResult list;
};

LookupStatement statement_of(const ChunkRead& read) {
  LookupStatement statement{read.purpose,    read.format,      PrefetchKey::kBadgeNumber,
                            read.own_tables, read.pass_tables, read.pick};
  return statement;
}

// Fills read.own_answers with the answers of the own statements of the keys whose rows
// disagree, each the per-badge statement's text (as lookup_own_statement formats it) sent on
// connection; a key whose statement fails, or would not fit query_buffer, is left to the
// program's thread.
void answer_disagreeing(ChunkRead& read, SideConnection& connection) {
  std::string text;
  for (const auto& [key, row] : read.rows_read) {
    if (!row.ambiguous) continue;
    const std::vector<std::string> tables = {std::string(read.own_tables)};
    if (sql_fill_template(read.format, {"'" + connection.escape(key) + "'"},
                          read.own_tables.empty() ? std::vector<std::string>{} : tables,
                          text) != 0 ||
        text.size() >= kQueryBufferSize) {
      continue;
    }
    PrefetchOwnAnswer answer;
    answer.rc = RC_NO_ROW;
    const int rc = connection.query(text, [&](DbRow first, unsigned columns) {
      if (answer.rc == 0) return;
      for (unsigned i = 0; i < columns; ++i)
        answer.row.add(first[i]);
      answer.rc = 0;
    });
    if (rc == 0) read.own_answers.emplace(key, std::move(answer));
  }
}

// Makes the statements of read, as many as its keys need, with texts escaped by escape, and
// hands each to run; stops at the first that fails. Returns 0 or that code.
template <typename Escape, typename Run>
int read_chunk(ChunkRead& read, Escape escape, Run run) {
  if (read.keys_for) {
    read.keys_for(read.chunk, read.wanted);
    for (const std::string& key : read.wanted)
      read.keys.push_back(&key);
  }
  if (read.keys.empty()) return 0;
  const LookupStatement statement = statement_of(read);
  std::vector<std::string> literals;
  std::string text;
  for (std::size_t i = 0; i < read.keys.size(); i += kLiteralTableMax) {
    literals.clear();
    for (std::size_t k = i; k < read.keys.size() && k < i + kLiteralTableMax; ++k) {
      literals.push_back("'" + escape(*read.keys[k]) + "'");
    }
    if (const int rc = prefetch_statement(statement, literals, text); rc != 0) return rc;
    if (const int rc = run(text); rc != 0) return rc;
  }
  return 0;
}

// Reads read on the program's connection.
void read_here(ChunkRead& read) {
  RowTaker taker(read.rows_read, read.pick);
  read.rc = read_chunk(read, db_escape, [&](const std::string& statement) {
    QueryCursor cursor;
    const std::string refused = batches_broken() ? broken(statement) : std::string();
    cursor.query_text = refused.empty() ? statement.c_str() : refused.c_str();
    const int rc = db_open_cursor(cursor);
    if (rc != 0) return rc;
    const unsigned columns = db_column_count(cursor);
    DbRow row = nullptr;
    while (db_fetch_row(cursor, row) == 0)
      taker.take(row, columns);
    db_close_cursor(cursor);
    return 0;
  });
}

// The thread of a pass that reads chunks ahead on the second connection, in the order they
// were asked for. The program's thread takes back a chunk the reader has not begun.
class AheadReader {
 public:
  explicit AheadReader(SideConnection& connection)
      : connection_(connection), thread_([this] { work(); }) {}

  ~AheadReader() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  void ask(std::shared_ptr<ChunkRead> read) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queued_.push_back(read);
      asked_.push_back(std::move(read));
    }
    changed_.notify_all();
  }

  // The read asked for rows and chunk: nullptr when it was never asked or was taken back
  // before the reader began it (the caller reads it then); else the finished read. While the
  // reader is still at it, the program's thread reads other chunks the reader has not begun
  // with read_here, so that both connections work. A read is handed out once.
  template <typename ReadHere>
  std::shared_ptr<ChunkRead> take(const PrefetchedRows* rows, int chunk, ReadHere read_here) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      const auto queued = std::find_if(queued_.begin(), queued_.end(), [&](const auto& read) {
        return read->rows == rows && read->chunk == chunk;
      });
      if (queued != queued_.end()) {
        queued_.erase(queued);
        forget(rows, chunk);
        return nullptr;
      }
      const auto asked = std::find_if(asked_.begin(), asked_.end(), [&](const auto& read) {
        return read->rows == rows && read->chunk == chunk;
      });
      if (asked == asked_.end()) return nullptr;
      const std::shared_ptr<ChunkRead> found = *asked;
      if (done_.count(found.get()) != 0) {
        forget(rows, chunk);
        return found;
      }
      const auto other_chunk = std::find_if(queued_.begin(), queued_.end(),
                                            [](const auto& read) { return read->rows != nullptr; });
      if (other_chunk == queued_.end()) {
        changed_.wait(lock);
        continue;
      }
      // It stays asked, to be handed out when it is needed.
      const std::shared_ptr<ChunkRead> other = *other_chunk;
      queued_.erase(other_chunk);
      lock.unlock();
      read_here(*other);
      lock.lock();
      done_.insert(other.get());
    }
  }

  // The badge list read ahead, once read; nullptr when none was asked or it had not begun.
  std::shared_ptr<ChunkRead> take_list() {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto queued = std::find_if(queued_.begin(), queued_.end(),
                                     [](const auto& read) { return read->rows == nullptr; });
    if (queued != queued_.end()) {
      queued_.erase(queued);
      forget(nullptr, -1);
      return nullptr;
    }
    const auto asked = std::find_if(asked_.begin(), asked_.end(),
                                    [](const auto& read) { return read->rows == nullptr; });
    if (asked == asked_.end()) return nullptr;
    const std::shared_ptr<ChunkRead> found = *asked;
    changed_.wait(lock, [&] { return done_.count(found.get()) != 0; });
    forget(nullptr, -1);
    return found;
  }

  // On the reader's thread: how a read of rows and chunk that it finished and has not handed
  // out answers key; kNone without one.
  PrefetchAnswer peek(const PrefetchedRows* rows, int chunk, std::string_view key) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& read : asked_) {
      if (read->rows != rows || read->chunk != chunk || done_.count(read.get()) == 0) continue;
      if (read->rc != 0) return PrefetchAnswer::kNone;
      if (read->keys_for && read->wanted.find(key) == read->wanted.end()) {
        return PrefetchAnswer::kNone;
      }
      const auto found = read->rows_read.find(key);
      if (found == read->rows_read.end()) return PrefetchAnswer::kNoRow;
      return found->second.ambiguous ? PrefetchAnswer::kAmbiguous : PrefetchAnswer::kRow;
    }
    return PrefetchAnswer::kNone;
  }

  bool asked(const PrefetchedRows* rows, int chunk) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& read : asked_) {
      if (read->rows == rows && read->chunk == chunk) return true;
    }
    return false;
  }

 private:
  void finish(const std::shared_ptr<ChunkRead>& read) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_.insert(read.get());
    }
    changed_.notify_all();
  }

  void forget(const PrefetchedRows* rows, int chunk) {
    for (auto it = asked_.begin(); it != asked_.end(); ++it) {
      if ((*it)->rows == rows && (*it)->chunk == chunk) {
        done_.erase(it->get());
        asked_.erase(it);
        return;
      }
    }
  }

  void work() {
    SideConnection::thread_begin();
    reading_ahead = this;
    for (;;) {
      std::shared_ptr<ChunkRead> read;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || !queued_.empty(); });
        if (stopping_) break;
        read = queued_.front();
        queued_.pop_front();
      }
      SideConnection& connection = connection_;
      if (read->rows == nullptr) {
        read->rc = connection.query_stored(read->list_statement, read->list);
        finish(read);
        continue;
      }
      RowTaker taker(read->rows_read, read->pick);
      read->rc = read_chunk(
          *read, [&](std::string_view value) { return connection.escape(value); },
          [&](const std::string& statement) {
            return connection.query(batches_broken() ? broken(statement) : statement,
                                    [&](DbRow row, unsigned columns) { taker.take(row, columns); });
          });
      if (read->rc == 0) answer_disagreeing(*read, connection);
      finish(read);
    }
    SideConnection::thread_end();
  }

  SideConnection& connection_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<ChunkRead>> queued_;
  std::vector<std::shared_ptr<ChunkRead>> asked_;  // queued, being read or read
  std::unordered_set<const ChunkRead*> done_;
  bool stopping_ = false;
  std::thread thread_;  // last: it starts working at construction

 public:
  // The reader whose thread this is; nullptr on the program's thread.
  static thread_local AheadReader* reading_ahead;
};

thread_local AheadReader* AheadReader::reading_ahead = nullptr;

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
// pass, when the program works through the pass's last chunk: the reader has little left to
// read then.
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

void note_fallback(PrefetchedRows& rows, const char* lookup, int rc) {
  if (rows.fell_back) return;
  rows.fell_back = true;
  fallbacks.push_back({pass.schema, lookup, rc});
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
    std::shared_ptr<ChunkRead> read =
        reading.ahead ? reading.ahead->take(&rows, chunk, read_here) : nullptr;
    // What failed on the second connection is asked again on the program's: its answer
    // decides whether the lookup falls back.
    if (!read || read->rc != 0) {
      read = chunk_read(rows, statement, chunk);
      read_here(*read);
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

void prefetch_pass_end() {
  if (reading.ahead) {
    if (const std::shared_ptr<ChunkRead> read = reading.ahead->take_list(); read && read->rc == 0) {
      next_list.schema = read->list_schema;
      next_list.list = std::move(read->list);
    }
  }
  next_list.asked = false;
  // The reader stops before the pass's keys, which its reads point into, go.
  reading.ahead.reset();
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
  const std::string refused = batches_broken() ? broken(statement) : std::string();
  cursor.query_text = refused.empty() ? statement.c_str() : refused.c_str();
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
  }
  read_chunk_of(rows, statement, chunk);
  const PrefetchAnswer answer = prefetch_peek(rows, key, chunk);
  if (answer == PrefetchAnswer::kRow) row = &rows.first_rows.find(std::string_view(key))->second;
  return answer;
}

PrefetchAnswer prefetch_peek(const PrefetchedRows& rows, std::string_view key, int chunk) {
  if (chunk < 0) chunk = chunk_of(rows.kind, key);
  // On the reader's thread only what it read itself, which the program's thread does not
  // touch until it is handed out.
  if (AheadReader::reading_ahead != nullptr) {
    return AheadReader::reading_ahead->peek(&rows, chunk, key);
  }
  if (rows.pass == 0 || rows.pass != prefetch_pass()) return PrefetchAnswer::kNone;
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
