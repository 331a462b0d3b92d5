#include "lookup/chunk_read.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "db/escape.h"
#include "db/side_connection.h"
#include "db/sql_template.h"

namespace {

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

}  // namespace

std::string chunk_statement_sent(const std::string& statement) {
  const char* hook = std::getenv("VESTRAGEN_TEST_BREAK_BATCH");
  if (hook == nullptr || std::strcmp(hook, "1") != 0) return statement;
  // A word no server takes before the statement.
  return "VESTRAGEN_TEST_BREAK_BATCH " + statement;
}

// Reads read on the program's connection.
void chunk_read_here(ChunkRead& read) {
  RowTaker taker(read.rows_read, read.pick);
  read.rc = read_chunk(read, db_escape, [&](const std::string& statement) {
    QueryCursor cursor;
    const std::string sent = chunk_statement_sent(statement);
    cursor.query_text = sent.c_str();
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

thread_local AheadReader* AheadReader::reading_ahead = nullptr;

AheadReader::AheadReader(SideConnection& connection)
    : connection_(connection), thread_([this] { work(); }) {}

AheadReader::~AheadReader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void AheadReader::ask(std::shared_ptr<ChunkRead> read) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.push_back(read);
    asked_.push_back(std::move(read));
  }
  changed_.notify_all();
}

bool AheadReader::asked(const PrefetchedRows* rows, int chunk) {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::any_of(asked_.begin(), asked_.end(),
                     [&](const auto& read) { return read->rows == rows && read->chunk == chunk; });
}

std::shared_ptr<ChunkRead> AheadReader::take(const PrefetchedRows* rows, int chunk) {
  const auto is_it = [&](const std::shared_ptr<ChunkRead>& read) {
    return read->rows == rows && read->chunk == chunk;
  };
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (const auto queued = std::find_if(queued_.begin(), queued_.end(), is_it);
        queued != queued_.end()) {
      queued_.erase(queued);
      forget(rows, chunk);
      return nullptr;
    }
    const auto asked = std::find_if(asked_.begin(), asked_.end(), is_it);
    if (asked == asked_.end()) return nullptr;
    const std::shared_ptr<ChunkRead> found = *asked;
    if (done_.count(found.get()) != 0) {
      forget(rows, chunk);
      return found;
    }
    const auto other = std::find_if(queued_.begin(), queued_.end(),
                                    [](const auto& read) { return read->rows != nullptr; });
    if (other == queued_.end()) {
      changed_.wait(lock);
      continue;
    }
    // It stays asked, to be handed out when it is needed.
    const std::shared_ptr<ChunkRead> read = *other;
    queued_.erase(other);
    lock.unlock();
    chunk_read_here(*read);
    lock.lock();
    done_.insert(read.get());
  }
}

std::shared_ptr<ChunkRead> AheadReader::take_list() {
  const auto is_list = [](const std::shared_ptr<ChunkRead>& read) { return read->rows == nullptr; };
  std::unique_lock<std::mutex> lock(mutex_);
  if (const auto queued = std::find_if(queued_.begin(), queued_.end(), is_list);
      queued != queued_.end()) {
    queued_.erase(queued);
    forget(nullptr, -1);
    return nullptr;
  }
  const auto asked = std::find_if(asked_.begin(), asked_.end(), is_list);
  if (asked == asked_.end()) return nullptr;
  const std::shared_ptr<ChunkRead> found = *asked;
  changed_.wait(lock, [&] { return done_.count(found.get()) != 0; });
  forget(nullptr, -1);
  return found;
}

PrefetchAnswer AheadReader::peek(const PrefetchedRows* rows, int chunk, std::string_view key) {
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

void AheadReader::finish(const std::shared_ptr<ChunkRead>& read) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_.insert(read.get());
  }
  changed_.notify_all();
}

void AheadReader::forget(const PrefetchedRows* rows, int chunk) {
  for (auto it = asked_.begin(); it != asked_.end(); ++it) {
    if ((*it)->rows == rows && (*it)->chunk == chunk) {
      done_.erase(it->get());
      asked_.erase(it);
      return;
    }
  }
}

void AheadReader::work() {
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
          return connection.query(chunk_statement_sent(statement),
                                  [&](DbRow row, unsigned n) { taker.take(row, n); });
        });
    if (read->rc == 0) answer_disagreeing(*read, connection);
    finish(read);
  }
  SideConnection::thread_end();
}
