#include "lookup/chunk_read.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "db/escape.h"
#include "db/schemas.h"
#include "db/side_connection.h"
#include "db/sql_template.h"

namespace {

// Takes one row of a statement for many keys (its key first) into rows, the rows of one
// chunk.
class RowTaker {
 public:
  // order, when given, receives each key's entry as its first row comes.
  RowTaker(PrefetchTextMap<PrefetchRow>& rows, PrefetchPick pick,
           std::vector<const PrefetchTextMap<PrefetchRow>::value_type*>* order = nullptr)
      : rows_(rows), pick_(pick), order_(order) {}

  void take(DbRow row, unsigned columns) {
    candidate_.packed.clear();
    for (unsigned i = 1; i < columns; ++i)
      candidate_.add(row[i]);
    const auto [slot, added] = rows_.try_emplace(row[0] == nullptr ? "" : row[0]);
    PrefetchRow& kept = slot->second;
    if (added) {
      kept.packed.swap(candidate_.packed);
      if (order_ != nullptr) {
        kept.place = static_cast<std::uint32_t>(order_->size());
        order_->push_back(&*slot);
      }
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
  std::vector<const PrefetchTextMap<PrefetchRow>::value_type*>* order_;
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

// Folds a key that the program can compare as the server does: ASCII letters and digits, then
// blanks only; folded: the letters in lower case, the blanks cut. False for any other key.
bool fold_key(std::string_view key, std::string& folded) {
  folded.clear();
  std::size_t end = key.size();
  while (end > 0 && key[end - 1] == ' ') --end;
  for (std::size_t i = 0; i < end; ++i) {
    const char c = key[i];
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')) {
      folded += c;
    } else if (c >= 'A' && c <= 'Z') {
      folded += static_cast<char>(c - 'A' + 'a');
    } else {
      return false;
    }
  }
  return true;
}

bool is_name_char(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         c == '_' || c == '.' || c == '`';
}

bool ends_with_word(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  const std::string_view tail = text.substr(text.size() - word.size());
  for (std::size_t i = 0; i < word.size(); ++i) {
    if ((tail[i] & ~0x20) != word[i]) return false;
  }
  return text.size() == word.size() || !is_name_char(text[text.size() - word.size() - 1]);
}

// The column the per-badge statement compares its key with, when that comparison is the
// first condition after WHERE and no OR outside parentheses follows: then every row of the
// statement with that column's value is a row of the per-badge statement for a key equal to
// it. Empty otherwise.
std::string key_column(std::string_view format) {
  const std::size_t place = format.find("'%s'");
  if (place == std::string_view::npos) return "";
  std::size_t i = place;
  while (i > 0 && format[i - 1] == ' ') --i;
  if (i < 2 || format[i - 1] != '=' || !(format[i - 2] == ' ' || is_name_char(format[i - 2]))) {
    return "";
  }
  --i;
  while (i > 0 && format[i - 1] == ' ') --i;
  const std::size_t end = i;
  while (i > 0 && is_name_char(format[i - 1])) --i;
  if (i == end) return "";
  std::size_t before = i;
  while (before > 0 && format[before - 1] == ' ') --before;
  if (!ends_with_word(format.substr(0, before), "WHERE")) return "";
  int depth = 0;
  for (std::size_t k = place; k < format.size(); ++k) {
    const char c = format[k];
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (depth == 0 && (c & ~0x20) == 'O' && k + 1 < format.size() &&
        (format[k + 1] & ~0x20) == 'R' && !is_name_char(format[k - 1]) &&
        (k + 2 == format.size() || !is_name_char(format[k + 2]))) {
      return "";
    }
    if (c == '\'') {  // a literal: skipped whole
      const std::size_t close = format.find('\'', k + 1);
      if (close == std::string_view::npos) return "";
      k = close;
    }
  }
  return std::string(format.substr(i, end - i));
}

// The per-badge statement with the key's column in place of the key and first in its columns
// (no ORDER BY where the pass picks the latest row itself); empty when it cannot be made.
std::string whole_statement(const LookupStatement& statement) {
  const std::string column = key_column(statement.format);
  if (column.empty()) return "";
  std::vector<std::string> bare;
  if (!statement.own_tables.empty()) bare.emplace_back(statement.own_tables);
  std::string text;
  if (sql_fill_template(statement.format, {column}, bare, text) != 0) return "";
  const std::size_t select = text.find("SELECT");
  if (select == std::string::npos) return "";
  text.insert(select + 6, " " + column + ",");
  if (statement.pick == PrefetchPick::kLatestFirstColumn) {
    text = text.substr(0, text.find(" ORDER BY "));
  }
  return text;
}

// Whether every table of the statement's FROM list is named with its schema.
bool tables_qualified(const std::string& text) {
  const std::size_t from = text.find(" FROM ");
  const std::size_t where = text.find(" WHERE ", from);
  if (from == std::string::npos || where == std::string::npos) return false;
  const std::string_view list = std::string_view(text).substr(from + 6, where - from - 6);
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(',', start);
    const std::string_view table = list.substr(start, comma - start);
    if (table.find('.') == std::string_view::npos) return false;
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

// The server's estimate of the rows of the first table of tables (a FROM list); -1 when it has
// none.
long long ask_table_rows(std::string_view tables) {
  std::string_view table = tables.substr(0, tables.find(','));
  while (!table.empty() && table.front() == ' ') table.remove_prefix(1);
  while (!table.empty() && table.back() == ' ') table.remove_suffix(1);
  const auto unquoted = [](std::string_view name) {
    std::string out;
    for (const char c : name)
      if (c != '`') out += c;
    return out;
  };
  const std::size_t dot = table.find('.');
  const std::string schema =
      dot == std::string_view::npos ? "DATABASE()"
                                    : "'" + db_escape(unquoted(table.substr(0, dot))) + "'";
  const std::string name =
      unquoted(dot == std::string_view::npos ? table : table.substr(dot + 1));
  const std::string text =
      "SELECT TABLE_ROWS FROM information_schema.TABLES WHERE TABLE_SCHEMA = " + schema +
      " AND TABLE_NAME = '" + db_escape(name) + "'";
  QueryCursor cursor;
  cursor.query_text = text.c_str();
  if (db_open_cursor(cursor) != 0) return -1;
  DbRow row = nullptr;
  long long rows = -1;
  if (db_fetch_row(cursor, row) == 0 && row[0] != nullptr) rows = std::atoll(row[0]);
  db_close_cursor(cursor);
  return rows;
}

// The same, asked once per run and table (with the default database it was asked in):
// enough to choose how to read the table.
long long table_rows_estimate(std::string_view tables, const std::string& database) {
  static std::vector<std::pair<std::string, long long>>& known =
      *new std::vector<std::pair<std::string, long long>>;
  const std::string name = std::string(tables.substr(0, tables.find(','))) + "\n" + database;
  for (const auto& [table, rows] : known) {
    if (table == name) return rows;
  }
  const long long rows = ask_table_rows(tables);
  known.emplace_back(name, rows);
  return rows;
}

// The rows of a statement read whole, from its result in cursor, which is closed.
std::shared_ptr<const WholeRows> take_whole_result(QueryCursor& cursor, PrefetchPick pick) {
  auto whole = std::make_shared<WholeRows>();
  bool readable = db_column_count(cursor) >= 1 && db_column_is_text(cursor, 0);
  RowTaker taker(whole->rows, pick, &whole->order);
  std::string folded;
  const unsigned columns = db_column_count(cursor);
  DbRow row = nullptr;
  while (readable && db_fetch_row(cursor, row) == 0) {
    if (row[0] == nullptr) continue;  // equals no key
    if (!fold_key(row[0], folded)) {
      readable = false;
      break;
    }
    taker.take(row, columns);
    if (folded != row[0]) {
      const auto [slot, added] = whole->variants.try_emplace(folded, row[0]);
      if (!added && slot->second != row[0]) whole->several.insert(folded);
    }
  }
  for (const auto& [folded_key, exact] : whole->variants) {
    if (whole->rows.find(folded_key) != whole->rows.end()) whole->several.insert(folded_key);
  }
  db_close_cursor(cursor);
  if (!readable) return nullptr;
  for (const auto& [key, row] : whole->rows) {
    if (row.ambiguous) whole->disagreeing.push_back(&key);
  }
  return whole;
}

// The rows of a statement read whole on the program's connection.
std::shared_ptr<const WholeRows> read_whole(const std::string& text, PrefetchPick pick) {
  QueryCursor cursor;
  const std::string sent = chunk_statement_sent(text);
  cursor.query_text = sent.c_str();
  if (db_open_cursor(cursor) != 0) return nullptr;
  return take_whole_result(cursor, pick);
}

// Statements read whole ahead for this pass by the pass before.
std::vector<std::shared_ptr<ChunkRead>>& wholes_ahead = *new std::vector<std::shared_ptr<ChunkRead>>;

bool is_whole_read(const ChunkRead& read, const std::string& text, const std::string& database) {
  return read.whole_text == text && read.whole_database == database;
}

// The read of text in database that the pass before read ahead, taken out; nullptr without one.
std::shared_ptr<ChunkRead> take_whole_ahead(const std::string& text, const std::string& database) {
  for (auto it = wholes_ahead.begin(); it != wholes_ahead.end(); ++it) {
    if (!is_whole_read(**it, text, database)) continue;
    std::shared_ptr<ChunkRead> read = std::move(*it);
    wholes_ahead.erase(it);
    return read;
  }
  return nullptr;
}

// On a reader's thread: whether connection's default database is database (asked once per
// thread: the reader's statements never change it).
bool side_database_is(SideConnection& connection, const std::string& database) {
  thread_local std::string side_database = "\n";
  if (side_database == "\n") {
    std::string name;
    if (connection.query("SELECT DATABASE()", [&](DbRow row, unsigned) {
          if (row[0] != nullptr) name = row[0];
        }) != 0) {
      return false;
    }
    side_database = name;
  }
  return side_database == database;
}

// tables with each table of the current client schema named with the schema next instead.
std::string tables_of_schema(std::string_view tables, const char* next) {
  const std::string here = db_quote_identifier(current_schema) + ".";
  const std::string there = db_quote_identifier(next) + ".";
  std::string moved;
  std::size_t start = 0;
  for (std::size_t at; (at = tables.find(here, start)) != std::string_view::npos;
       start = at + here.size()) {
    moved.append(tables, start, at - start);
    moved += there;
  }
  moved.append(tables, start);
  return moved;
}

// The lookups read whole in the run, with the default database in which their text was read
// (empty for a text whose tables all are named with their schema).
struct WholeRead {
  std::string text;
  std::string database;
  std::shared_ptr<const WholeRows> rows;
};
// Kept to the end of the process, which need not take them apart.
std::vector<WholeRead>& whole_reads = *new std::vector<WholeRead>;

// What whole_rows and whole_rows_ask_now decide about a lookup.
struct WholeChoice {
  std::string text;      // empty: not read whole
  std::string database;  // the default database, for a text with tables not named with theirs
  std::shared_ptr<const WholeRows> read;  // when read already in this run
  bool was_read = false;
};

WholeChoice choose_whole(const LookupStatement& statement, std::size_t keys) {
  WholeChoice choice;
  std::string text = whole_statement(statement);
  if (text.empty() || keys == 0) return choice;
  // A table not named with its schema is the default database's.
  choice.database = tables_qualified(text) ? "" : db_default_database();
  if (choice.database == "\n") return choice;
  for (const WholeRead& read : whole_reads) {
    if (read.text == text && read.database == choice.database) {
      choice.read = read.rows;
      choice.was_read = true;
      return choice;
    }
  }
  const long long estimate = table_rows_estimate(statement.pass_tables, choice.database);
  if (estimate < 0 || static_cast<unsigned long long>(estimate) > kWholeRowsPerKey * keys) {
    return choice;
  }
  choice.text = std::move(text);
  return choice;
}

std::shared_ptr<ChunkRead> whole_read_of(std::string text, std::string database, PrefetchPick pick) {
  auto read = std::make_shared<ChunkRead>();
  read->chunk = -2;
  read->pick = pick;
  read->whole_text = std::move(text);
  read->whole_database = std::move(database);
  return read;
}

}  // namespace

std::shared_ptr<const WholeRows> whole_rows(const LookupStatement& statement, std::size_t keys,
                                            AheadReader* reader) {
  WholeChoice choice = choose_whole(statement, keys);
  if (choice.was_read || choice.text.empty()) return choice.read;
  std::shared_ptr<ChunkRead> ahead =
      reader != nullptr ? reader->take_whole(choice.text, choice.database) : nullptr;
  if (!ahead) ahead = take_whole_ahead(choice.text, choice.database);
  std::shared_ptr<const WholeRows> rows = ahead && ahead->rc == 0
                                              ? ahead->whole
                                              : read_whole(choice.text, statement.pick);
  if (rows) whole_reads.push_back({choice.text, choice.database, rows});
  return rows;
}

void whole_rows_ask_now(AheadReader& reader, const LookupStatement& statement, std::size_t keys) {
  WholeChoice choice = choose_whole(statement, keys);
  if (choice.was_read || choice.text.empty()) return;
  for (const auto& read : wholes_ahead) {
    if (is_whole_read(*read, choice.text, choice.database)) return;
  }
  reader.ask(whole_read_of(std::move(choice.text), std::move(choice.database), statement.pick));
}

void whole_rows_ask_ahead(AheadReader& reader, const LookupStatement& statement) {
  char next[kSchemaNameSize];
  if (schemas_next(next) != 0) return;
  const std::string own_tables = tables_of_schema(statement.own_tables, next);
  const std::string pass_tables = tables_of_schema(statement.pass_tables, next);
  if (own_tables == statement.own_tables && pass_tables == statement.pass_tables) return;
  LookupStatement there = statement;
  there.own_tables = own_tables;
  there.pass_tables = pass_tables;
  std::string text = whole_statement(there);
  if (text.empty() || !tables_qualified(text)) return;
  // The next schema's rows are held beside this one's until this pass ends: only a small
  // table's are read ahead.
  const long long estimate = table_rows_estimate(there.pass_tables, "");
  if (estimate < 0 || estimate > kWholeAheadRowsMost) return;
  reader.ask(whole_read_of(std::move(text), "", statement.pick));
}

void whole_rows_keep_ahead(std::vector<std::shared_ptr<ChunkRead>> reads) {
  wholes_ahead = std::move(reads);
}

PrefetchAnswer whole_answer(const WholeRows& whole, std::string_view key,
                            const PrefetchRow*& row, std::size_t& place) {
  std::string folded;
  if (!fold_key(key, folded)) return PrefetchAnswer::kNone;
  if (!whole.several.empty() && whole.several.find(folded) != whole.several.end()) {
    return PrefetchAnswer::kAmbiguous;
  }
  // The key's own rows, when no other key folds alike: those of the key after the one found
  // before, or else found by the key.
  const PrefetchTextMap<PrefetchRow>::value_type* exact = nullptr;
  if (place + 1 < whole.order.size() && whole.order[place + 1]->first == key) {
    exact = whole.order[place + 1];
  } else if (const auto found = whole.rows.find(key); found != whole.rows.end()) {
    exact = &*found;
  }
  if (exact != nullptr) {
    row = &exact->second;
    place = exact->second.place;
    return exact->second.ambiguous ? PrefetchAnswer::kAmbiguous : PrefetchAnswer::kRow;
  }
  // No rows of its own: another key that folds alike has some.
  if ((folded != key && whole.rows.find(folded) != whole.rows.end()) ||
      whole.variants.find(folded) != whole.variants.end()) {
    return PrefetchAnswer::kAmbiguous;
  }
  return PrefetchAnswer::kNoRow;
}

void whole_rows_forget(std::string_view schema) {
  const std::string named = db_quote_identifier(schema) + ".";
  std::erase_if(whole_reads,
                [&](const WholeRead& read) { return read.text.find(named) != std::string::npos; });
}

std::string chunk_statement_sent(const std::string& statement) {
  const char* hook = std::getenv("VESTRAGEN_TEST_BREAK_BATCH");
  if (hook == nullptr || std::strcmp(hook, "1") != 0) return statement;
  // A word no server takes before the statement.
  return "VESTRAGEN_TEST_BREAK_BATCH " + statement;
}

// Reads read on the program's connection.
void chunk_read_here(ChunkRead& read) {
  if (read.own_only) return;
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
    // (Not one of own statements only: the program would leave it undone.)
    const auto other = std::find_if(queued_.begin(), queued_.end(), [](const auto& read) {
      return read->rows != nullptr && !read->own_only;
    });
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
  const auto is_list = [](const std::shared_ptr<ChunkRead>& read) {
    return read->rows == nullptr && read->whole_text.empty();
  };
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

std::shared_ptr<ChunkRead> AheadReader::take_whole(const std::string& text,
                                                   const std::string& database) {
  const auto is_it = [&](const std::shared_ptr<ChunkRead>& read) {
    return is_whole_read(*read, text, database);
  };
  std::unique_lock<std::mutex> lock(mutex_);
  const auto asked = std::find_if(asked_.begin(), asked_.end(), is_it);
  if (asked == asked_.end()) return nullptr;
  const std::shared_ptr<ChunkRead> found = *asked;
  asked_.erase(asked);
  if (const auto queued = std::find_if(queued_.begin(), queued_.end(), is_it);
      queued != queued_.end()) {
    queued_.erase(queued);
    return nullptr;
  }
  changed_.wait(lock, [&] { return done_.count(found.get()) != 0; });
  done_.erase(found.get());
  return found;
}

std::vector<std::shared_ptr<ChunkRead>> AheadReader::take_wholes() {
  const auto is_whole = [](const std::shared_ptr<ChunkRead>& read) {
    return !read->whole_text.empty();
  };
  std::unique_lock<std::mutex> lock(mutex_);
  std::unordered_set<const ChunkRead*> dropped;
  for (const auto& read : queued_) {
    if (is_whole(read)) dropped.insert(read.get());
  }
  std::erase_if(queued_, is_whole);
  std::vector<std::shared_ptr<ChunkRead>> taken;
  for (const auto& read : asked_) {
    if (!is_whole(read) || dropped.count(read.get()) != 0) continue;
    changed_.wait(lock, [&] { return done_.count(read.get()) != 0; });
    done_.erase(read.get());
    taken.push_back(read);
  }
  std::erase_if(asked_, is_whole);
  return taken;
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
    if (!read->whole_text.empty()) {
      // A text with tables not named with their schema only in the program's default database.
      read->rc = -1;
      if (read->whole_database.empty() || side_database_is(connection, read->whole_database)) {
        QueryCursor cursor;
        read->rc = connection.query_stored(chunk_statement_sent(read->whole_text), cursor.result);
        if (read->rc == 0) read->whole = take_whole_result(cursor, read->pick);
      }
      finish(read);
      continue;
    }
    if (read->rows == nullptr) {
      read->rc = connection.query_stored(read->list_statement, read->list);
      finish(read);
      continue;
    }
    if (read->own_only) {
      answer_disagreeing(*read, connection);
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
