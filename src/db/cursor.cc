#include "db/cursor.h"

#include <mysql.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "db/connection.h"
#include "base/fatal.h"

char query_buffer[kQueryBufferSize];
QueryCursor lookup_cursor;
DbRow current_row = nullptr;
int query_status = 0;

void MysqlResultFree::operator()(st_mysql_res* result) const noexcept { mysql_free_result(result); }

namespace {

void format_checked(char* buffer, std::size_t size, const char* purpose, const char* format,
                    va_list args) {
  const int n = std::vsnprintf(buffer, size, format, args);
  if (n < 0 || static_cast<std::size_t>(n) >= size) {
    fatal_exit(kExitQueryTooLong, "SQL-Text zu lang: %s\n", purpose);
  }
}

// Takes the connection's last error, and stops the run when the connection is gone: every
// later statement would fail too, and a download built without them would be incomplete.
int capture_error(int rc) {
  last_db_errno = mysql_errno(db_handle());
  last_db_error = mysql_error(db_handle());
  std::snprintf(last_db_sqlstate, sizeof last_db_sqlstate, "%s", mysql_sqlstate(db_handle()));
  const int errno_rc = static_cast<int>(last_db_errno);
  if (db_connection_lost(errno_rc)) {
    fatal_exit(kExitDatabase, "Verbindung zur Datenbank verloren! ErrNr: %d\n", errno_rc);
  }
  return rc == 0 ? errno_rc : rc;
}

}  // namespace

void db_format_query(const char* purpose, const char* format, ...) {
  va_list args;
  va_start(args, format);
  format_checked(query_buffer, sizeof query_buffer, purpose, format, args);
  va_end(args);
}

void db_format_into(char* buffer, std::size_t size, const char* purpose, const char* format,
                    ...) {
  va_list args;
  va_start(args, format);
  format_checked(buffer, size, purpose, format, args);
  va_end(args);
}

int db_open_cursor(QueryCursor& cursor) {
  cursor.result.reset();
  cursor.rows_fetched = 0;
  MYSQL* mysql = db_handle();
  if (mysql_real_query(mysql, cursor.query_text, std::strlen(cursor.query_text)) != 0) {
    return capture_error(0);
  }
  cursor.result.reset(cursor.streamed ? mysql_use_result(mysql) : mysql_store_result(mysql));
  last_db_errno = mysql_errno(mysql);
  if (last_db_errno != 0) {
    cursor.result.reset();
    return capture_error(-1);
  }
  return 0;
}

int db_fetch_row(QueryCursor& cursor, DbRow& row) {
  if (!cursor.result) return -1;
  if (cursor.streamed) {
    // The end of a streamed result shows as a missing row; a failure as one with an error.
    row = mysql_fetch_row(cursor.result.get());
    if (row != nullptr) {
      ++cursor.rows_fetched;
      return 0;
    }
    if (mysql_errno(db_handle()) == 0) return RC_NO_ROW;
    capture_error(-1);
    return -1;
  }
  if (static_cast<std::uint64_t>(cursor.rows_fetched) >= mysql_num_rows(cursor.result.get())) {
    return RC_NO_ROW;
  }
  row = mysql_fetch_row(cursor.result.get());
  // The whole result is held here, so only a missing row is a failure. The connection's
  // error number may still tell of an earlier statement that failed in between (a lookup
  // on another cursor, a refused schema switch): it says nothing about this cursor.
  if (row == nullptr) {
    capture_error(-1);
    return -1;
  }
  ++cursor.rows_fetched;
  return 0;
}

void db_rewind_cursor(QueryCursor& cursor) {
  if (!cursor.result) return;
  mysql_data_seek(cursor.result.get(), 0);
  cursor.rows_fetched = 0;
}

int db_peek_row(QueryCursor& cursor, std::uint64_t ahead, DbRow& row) {
  if (!cursor.result || cursor.streamed) return -1;
  const std::uint64_t index = cursor.rows_fetched + ahead;
  if (index >= mysql_num_rows(cursor.result.get())) return RC_NO_ROW;
  mysql_data_seek(cursor.result.get(), index);
  row = mysql_fetch_row(cursor.result.get());
  mysql_data_seek(cursor.result.get(), cursor.rows_fetched);
  return row == nullptr ? -1 : 0;
}

unsigned db_column_count(const QueryCursor& cursor) {
  return cursor.result ? mysql_num_fields(cursor.result.get()) : 0;
}

bool db_column_is_text(const QueryCursor& cursor, unsigned column) {
  if (!cursor.result || column >= mysql_num_fields(cursor.result.get())) return false;
  const MYSQL_FIELD* field = mysql_fetch_field_direct(cursor.result.get(), column);
  return field->type == MYSQL_TYPE_STRING || field->type == MYSQL_TYPE_VAR_STRING ||
         field->type == MYSQL_TYPE_VARCHAR;
}

int db_close_cursor(QueryCursor& cursor) {
  if (!cursor.result) return -1;
  cursor.result.reset();
  cursor.rows_fetched = 0;
  return 0;
}

int db_execute(const char* purpose, const char* format, ...) {
  va_list args;
  va_start(args, format);
  format_checked(query_buffer, sizeof query_buffer, purpose, format, args);
  va_end(args);
  lookup_cursor.query_text = query_buffer;
  query_status = db_open_cursor(lookup_cursor);
  db_close_cursor(lookup_cursor);
  return query_status;
}
