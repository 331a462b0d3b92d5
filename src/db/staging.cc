#include "db/staging.h"

#include <unistd.h>

#include <random>

#include "base/text.h"
#include "db/connection.h"
#include "db/cursor.h"
#include "db/escape.h"
#include "db/path_lock.h"
#include "db/staging_ahead.h"

char record_buffer[kRecordBufferSize];

namespace {
// clang-format off
constexpr char kInsert[] = " INSERT INTO KvBasis.Kvb999Tmp    ( TmpUsr, TmpStr)    VALUES ('%s', '%s'  ) ";
constexpr char kDelete[] = " DELETE FROM  KvBasis.Kvb999Tmp    WHERE TmpUsr = '%s' ";
constexpr char kSelect[] = "SELECT TmpStr  FROM  KVBasis.Kvb999Tmp  WHERE TmpUsr = '%s'  ORDER BY TmpUsr, TmpStr ";
// clang-format on

QueryCursor staging_cursor;


// A failed COMMIT means the statement's change is gone: report it like a failed statement.
int commit_or_code() {
  if (db_commit() == 1) return 0;
  return last_db_errno != 0 ? static_cast<int>(last_db_errno) : -1;
}

// Commits a statement that succeeded; the statement's or the COMMIT's code.
int committed(int statement_rc) {
  query_status = statement_rc == 0 ? commit_or_code() : statement_rc;
  return query_status;
}

// How often a staging transaction is sent, at most, while it fails transiently.
constexpr int kAttempts = 6;

// Waits before attempt number attempt (2 or later): 25 ms doubled each time, with a share
// of chance, so that runs that failed together do not come back together.
void pause_before(int attempt) {
  static std::minstd_rand chance(static_cast<unsigned>(::getpid()));
  const long base_ms = 25L << (attempt - 2);
  const long ms = base_ms + static_cast<long>(chance() % static_cast<unsigned long>(base_ms));
  ::usleep(static_cast<useconds_t>(ms * 1000));
}

// Runs transaction (a callable that sends one staging statement and its COMMIT and returns
// the code) until it does not fail transiently, at most kAttempts times. The server has
// rolled back a transient failure's transaction, or at least its statement; the ROLLBACK
// makes sure nothing of it is left before it is sent again. Returns the last code: the
// caller can still ask db_error_of_row about a failure.
template <typename Transaction>
int with_retries(Transaction transaction) {
  int rc = transaction();
  for (int attempt = 2; attempt <= kAttempts && db_transient_error(rc); ++attempt) {
    (void)db_execute("Kvb999Tmp zuruecksetzen", "ROLLBACK");
    pause_before(attempt);
    rc = transaction();
  }
  return rc;
}

// The statement run by a staging transaction after the lock's check.
template <typename Statement>
int fenced(Statement statement) {
  const int fence = path_lock_fence();
  return committed(fence != 0 ? fence : statement());
}

int insert_once(const char* key, const char* record) {
  return fenced([&] {
    return db_execute("Satz in Kvb999Tmp einfuegen", kInsert, db_escape(key).c_str(),
                      db_escape(record).c_str());
  });
}
}  // namespace

int staging_insert(const char* key, const char* record, bool* refused) {
  const int rc = with_retries([&] { return insert_once(key, record); });
  const bool of_row = rc != 0 && db_error_of_row(rc);
  if (refused != nullptr) *refused = of_row;
  // Nothing of a failed statement may be committed with a later one.
  if (rc != 0) (void)db_execute("Kvb999Tmp zuruecksetzen", "ROLLBACK");
  return query_status = rc;
}

std::string staging_batch_statement(
    std::string_view key, const std::vector<std::string>& records,
    const std::function<std::string(std::string_view)>& escape) {
  // The single insert's statement with one row of values per record.
  const std::string escaped_key = escape(key);
  std::string statement = " INSERT INTO KvBasis.Kvb999Tmp    ( TmpUsr, TmpStr)    VALUES ";
  for (std::size_t i = 0; i < records.size(); ++i) {
    statement += i == 0 ? "('" : ", ('";
    statement += escaped_key;
    statement += "', '";
    statement += escape(records[i]);
    statement += "'  )";
  }
  statement += ' ';
  return statement;
}

int staging_insert_batch(const char* key, const std::vector<std::string>& records,
                         std::vector<int>& codes) {
  codes.assign(records.size(), 0);
  if (records.size() > 1) {
    const std::string statement = staging_batch_statement(
        key, records, [](std::string_view text) { return db_escape(text); });
    const int rc = with_retries([&] {
      return fenced([&] {
        QueryCursor cursor;
        cursor.query_text = statement.c_str();
        const int opened = db_open_cursor(cursor);
        db_close_cursor(cursor);
        return opened;
      });
    });
    if (rc == 0) return 0;
    const bool of_row = db_error_of_row(rc);
    // Nothing of a refused statement stays; after a failed COMMIT nothing of the batch does.
    (void)db_execute("Kvb999Tmp zuruecksetzen", "ROLLBACK");
    if (!of_row) return query_status = rc;
  }
  // One record at a time, so that each record the table refuses gets its own code and the
  // others are staged.
  for (std::size_t i = 0; i < records.size(); ++i) {
    bool refused = false;
    const int rc = staging_insert(key, records[i].c_str(), &refused);
    if (rc != 0 && !refused) return query_status = rc;
    codes[i] = rc;
  }
  return query_status = 0;
}

std::string staging_clear_statement(std::string_view key,
                                    const std::function<std::string(std::string_view)>& escape) {
  std::string statement = kDelete;
  statement.replace(statement.find("%s"), 2, escape(key));
  return statement;
}

int staging_clear(const char* key) {
  const std::string statement =
      staging_clear_statement(key, [](std::string_view text) { return db_escape(text); });
  const int rc = with_retries([&] {
    return fenced([&] { return db_execute("Kvb999Tmp loeschen", "%s", statement.c_str()); });
  });
  if (rc != 0) (void)db_execute("Kvb999Tmp zuruecksetzen", "ROLLBACK");
  return query_status = rc;
}

int staging_open(const char* key) {
  // Every record is staged: the connection staging ahead is done with. Records staged ahead
  // were committed on it: a transaction of this one that began before (its lookups') would
  // read the table as it was then.
  staging_ahead_close();
  if (staging_ahead_used() && db_commit() != 1) {
    return query_status = last_db_errno != 0 ? static_cast<int>(last_db_errno) : -1;
  }
  // The lock's check opens the transaction that staging_confirm ends.
  if (const int fence = path_lock_fence(); fence != 0) return query_status = fence;
  db_format_query("Kvb999Tmp lesen", kSelect, db_escape(key).c_str());
  staging_cursor.query_text = query_buffer;
  staging_cursor.streamed = true;
  query_status = db_open_cursor(staging_cursor);
  return query_status;
}

int staging_fetch(char (&buffer)[kRecordBufferSize]) {
  do {
    query_status = db_fetch_row(staging_cursor, current_row);
    if (query_status != 0) return query_status;
    // The program never stages NULL; such a row holds no record to write (repeating the
    // buffer's previous record instead would double it in the file).
  } while (current_row[0] == nullptr);
  trim_trailing_blanks(current_row[0]);
  if (!copy_text(buffer, sizeof buffer, current_row[0])) query_status = RC_TOO_LONG;
  return query_status;
}

int staging_close() {
  query_status = db_close_cursor(staging_cursor);
  return query_status;
}

int staging_confirm() {
  // A COMMIT that certification refuses: another run changed the lock row meanwhile.
  const int rc = commit_or_code();
  if (rc == 0) return query_status = 0;
  return query_status = db_on_cluster() && db_transient_error(rc) ? RC_LOCK_LOST : rc;
}
