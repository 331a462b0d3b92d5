#include "db/staging.h"

#include "db/connection.h"
#include "db/cursor.h"
#include "db/escape.h"
#include "base/text.h"

char record_buffer[kRecordBufferSize];

namespace {
// clang-format off
constexpr char kInsert[] = " INSERT INTO KvBasis.Kvb999Tmp    ( TmpUsr, TmpStr)    VALUES ('%s', '%s'  ) ";
constexpr char kDelete[] = " DELETE FROM  KvBasis.Kvb999Tmp    WHERE TmpUsr = '%s' ";
constexpr char kSelect[] = "SELECT TmpStr  FROM  KVBasis.Kvb999Tmp  WHERE TmpUsr = '%s'  ORDER BY TmpUsr, TmpStr ";
// clang-format on

QueryCursor staging_cursor;

constexpr char kLock[] =
    "SELECT GET_LOCK(CONCAT('vestragen.', SHA1(TRIM(TRAILING ' ' FROM '%s'))), %d)";

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
}  // namespace

int staging_lock(const char* key, int wait_seconds) {
  db_format_query("Sperre Downloadfile", kLock, db_escape(key).c_str(), wait_seconds);
  int answer = -1;
  const int rc = db_first_row([&](DbRow row) {
    // 1: held; 0: the wait ended; NULL: the server could not take it.
    const char* got = row[0];
    answer = got == nullptr ? -1 : (got[0] == '1' ? 0 : RC_LOCK_TIMEOUT);
  });
  return query_status = rc == 0 ? answer : rc;
}

int staging_insert(const char* key, const char* record) {
  return committed(db_execute("Satz in Kvb999Tmp einfuegen", kInsert, db_escape(key).c_str(),
                              db_escape(record).c_str()));
}

void staging_insert_batch(const char* key, const std::vector<std::string>& records,
                          std::vector<int>& codes) {
  codes.assign(records.size(), 0);
  if (records.size() > 1) {
    // The single insert's statement with one row of values per record.
    const std::string escaped_key = db_escape(key);
    std::string statement = " INSERT INTO KvBasis.Kvb999Tmp    ( TmpUsr, TmpStr)    VALUES ";
    for (std::size_t i = 0; i < records.size(); ++i) {
      statement += i == 0 ? "('" : ", ('";
      statement += escaped_key + "', '" + db_escape(records[i]) + "'  )";
    }
    statement += ' ';
    QueryCursor cursor;
    cursor.query_text = statement.c_str();
    query_status = db_open_cursor(cursor);
    db_close_cursor(cursor);
    if (query_status == 0) query_status = commit_or_code();
    if (query_status == 0) return;
    // Nothing of a refused statement stays; after a failed COMMIT nothing of the batch does.
    db_execute("Kvb999Tmp zuruecksetzen", "ROLLBACK");
  }
  for (std::size_t i = 0; i < records.size(); ++i) {
    codes[i] = staging_insert(key, records[i].c_str());
  }
}

int staging_clear(const char* key) {
  return committed(db_execute("Kvb999Tmp loeschen", kDelete, db_escape(key).c_str()));
}

int staging_open(const char* key) {
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
