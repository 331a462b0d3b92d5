#include "db/connection.h"

#include <errmsg.h>
#include <mysql.h>
#include <mysqld_error.h>

#include "db/cursor.h"

unsigned last_db_errno = 0;
std::string last_db_error;

namespace {
// The program owns the connection structure; mysql_init initialises it in place.
MYSQL db_connection;
bool db_initialised = false;

int capture_connect_error() {
  last_db_errno = mysql_errno(&db_connection);
  last_db_error = mysql_error(&db_connection);
  return static_cast<int>(last_db_errno);
}
}  // namespace

st_mysql* db_handle() { return &db_connection; }

int db_connect(const char* login, const char* password, const char* server,
               const char* database) {
  db_disconnect();
  if (mysql_init(&db_connection) == nullptr) {
    last_db_errno = CR_OUT_OF_MEMORY;
    last_db_error = "mysql_init failed";
    return CR_OUT_OF_MEMORY;
  }
  db_initialised = true;
  // latin1 is the server's name for Windows-1252: texts arrive byte for byte as stored, and
  // escaping works by the same character set.
  mysql_options(&db_connection, MYSQL_SET_CHARSET_NAME, "latin1");
  if (mysql_real_connect(&db_connection, server, login, password, database, 0, nullptr, 0) ==
      nullptr) {
    return capture_connect_error();
  }
  QueryCursor cursor;
  cursor.query_text = "SET AUTOCOMMIT = 0";
  // Should it fail, every statement commits itself; the staging statements commit at once
  // anyway.
  (void)db_open_cursor(cursor);
  return 0;
}

void db_disconnect() {
  if (!db_initialised) return;
  mysql_close(&db_connection);
  db_initialised = false;
}

int db_commit() {
  QueryCursor cursor;
  cursor.query_text = "COMMIT";
  return db_open_cursor(cursor) == 0 ? 1 : 0;
}

bool db_connection_lost(int rc) {
  switch (rc) {
    case CR_SERVER_GONE_ERROR:
    case CR_SERVER_LOST:
    case CR_SERVER_LOST_EXTENDED:
    case ER_CONNECTION_KILLED:
    case ER_SERVER_SHUTDOWN:
      return true;
    default:
      return false;
  }
}
