#include "db/connection.h"

#include <errmsg.h>
#include <mysql.h>
#include <mysqld_error.h>
#include <strings.h>

#include <cstdio>
#include <cstring>

#include "db/cursor.h"

unsigned last_db_errno = 0;
std::string last_db_error;
char last_db_sqlstate[6] = "00000";

namespace {
// The program owns the connection structures; mysql_init initialises them in place.
MYSQL db_connection;
bool db_initialised = false;
// On a cluster node: a second connection with the same login, for the stop path.
MYSQL spare_connection;
bool spare_open = false;
bool on_cluster = false;

int capture_connect_error(MYSQL* mysql) {
  last_db_errno = mysql_errno(mysql);
  last_db_error = mysql_error(mysql);
  std::snprintf(last_db_sqlstate, sizeof last_db_sqlstate, "%s", mysql_sqlstate(mysql));
  return static_cast<int>(last_db_errno);
}

ConnectionOptions options;

void set_text(MYSQL* mysql, mysql_option option, const std::string& value) {
  if (!value.empty()) mysql_optionsv(mysql, option, value.c_str());
}

void set_seconds(MYSQL* mysql, mysql_option option, unsigned seconds) {
  if (seconds != 0) mysql_optionsv(mysql, option, &seconds);
}

// What db_connect was given, for the connections opened beside the program's.
struct Login {
  std::string login, password, server, database;
  bool server_null = false, database_null = false;
} given_login;

// Sets the options on the initialised mysql and connects it. Returns 0 or the error number.
int connect_initialised(MYSQL* mysql, const char* login, const char* password, const char* server,
                        const char* database) {
  // latin1 is the server's name for Windows-1252: texts arrive byte for byte as stored, and
  // escaping works by the same character set.
  mysql_options(mysql, MYSQL_SET_CHARSET_NAME, "latin1");
  set_seconds(mysql, MYSQL_OPT_CONNECT_TIMEOUT, options.connect_timeout);
  set_seconds(mysql, MYSQL_OPT_READ_TIMEOUT, options.read_timeout);
  set_seconds(mysql, MYSQL_OPT_WRITE_TIMEOUT, options.write_timeout);
  set_text(mysql, MYSQL_OPT_SSL_CA, options.ssl_ca);
  set_text(mysql, MYSQL_OPT_SSL_CAPATH, options.ssl_capath);
  set_text(mysql, MYSQL_OPT_SSL_CERT, options.ssl_cert);
  set_text(mysql, MYSQL_OPT_SSL_KEY, options.ssl_key);
  set_text(mysql, MYSQL_OPT_SSL_CIPHER, options.ssl_cipher);
  set_text(mysql, MYSQL_OPT_SSL_CRL, options.ssl_crl);
  set_text(mysql, MARIADB_OPT_TLS_VERSION, options.tls_version);
  if (options.ssl) {
    my_bool enforce = 1;
    mysql_optionsv(mysql, MYSQL_OPT_SSL_ENFORCE, &enforce);
  }
  if (options.verify_server_cert) {
    my_bool verify = *options.verify_server_cert ? 1 : 0;
    mysql_optionsv(mysql, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &verify);
  }
  const char* socket = options.socket.empty() ? nullptr : options.socket.c_str();
  // Matched rather than changed rows: the cluster lock's renewal may set the time it holds.
  if (mysql_real_connect(mysql, server, login, password, database, options.port, socket,
                         CLIENT_FOUND_ROWS) == nullptr) {
    return static_cast<int>(mysql_errno(mysql));
  }
  return 0;
}

// Initialises mysql and connects it. Returns 0 or the error number; mysql is initialised
// either way when the result is not CR_OUT_OF_MEMORY.
int open_connection(MYSQL* mysql, const char* login, const char* password, const char* server,
                    const char* database) {
  if (mysql_init(mysql) == nullptr) {
    last_db_errno = CR_OUT_OF_MEMORY;
    last_db_error = "mysql_init failed";
    return CR_OUT_OF_MEMORY;
  }
  if (connect_initialised(mysql, login, password, server, database) != 0) {
    return capture_connect_error(mysql);
  }
  return 0;
}

// Whether the server is a node of a Galera cluster. A server without the variable (MySQL,
// MariaDB built without it) is none.
bool ask_cluster() {
  QueryCursor wsrep;
  wsrep.query_text = "SELECT @@wsrep_on";
  if (db_open_cursor(wsrep) != 0) return false;
  DbRow row = nullptr;
  const bool on = db_fetch_row(wsrep, row) == 0 && row[0] != nullptr &&
                  (std::strcmp(row[0], "1") == 0 || strcasecmp(row[0], "ON") == 0);
  db_close_cursor(wsrep);
  return on;
}
// Clearing one path's rows from a staging table without an index on TmpUsr reads every row
// of it. At READ COMMITTED the DELETE locks only the rows it deletes and no gaps between
// rows, so runs for other paths go on inserting meanwhile. A server that writes statements
// to its binary log as they are (binlog_format STATEMENT) refuses writes at that level
// (error 1665): there the server's own level stays.
void use_read_committed() {
  QueryCursor logging;
  logging.query_text = "SELECT @@log_bin, @@binlog_format";
  if (db_open_cursor(logging) != 0) return;
  DbRow row = nullptr;
  const bool by_statement = db_fetch_row(logging, row) == 0 && row[0] != nullptr &&
                            std::strcmp(row[0], "1") == 0 && row[1] != nullptr &&
                            strcasecmp(row[1], "STATEMENT") == 0;
  db_close_cursor(logging);
  if (by_statement) return;
  QueryCursor level;
  level.query_text = "SET SESSION TRANSACTION ISOLATION LEVEL READ COMMITTED";
  (void)db_open_cursor(level);
}
}  // namespace

st_mysql* db_handle() { return &db_connection; }

int db_connect(const char* login, const char* password, const char* server,
               const char* database) {
  db_disconnect();
  given_login.login = login;
  given_login.password = password;
  given_login.server_null = server == nullptr;
  given_login.server = server != nullptr ? server : "";
  given_login.database_null = database == nullptr;
  given_login.database = database != nullptr ? database : "";
  const int rc = open_connection(&db_connection, login, password, server, database);
  db_initialised = rc != CR_OUT_OF_MEMORY;
  if (rc != 0) return rc;
  QueryCursor cursor;
  cursor.query_text = "SET AUTOCOMMIT = 0";
  // Should it fail, every statement commits itself; the staging statements commit at once
  // anyway.
  (void)db_open_cursor(cursor);
  use_read_committed();
  on_cluster = ask_cluster();
  if (on_cluster) {
    // Without it the stop path leaves the cluster lock to expire; the run goes on.
    spare_open = open_connection(&spare_connection, login, password, server, database) == 0;
    const char kShortWait[] = "SET SESSION innodb_lock_wait_timeout = 2";
    if (spare_open) (void)mysql_real_query(&spare_connection, kShortWait, sizeof kShortWait - 1);
  }
  return 0;
}

void db_disconnect() {
  if (spare_open) mysql_close(&spare_connection);
  spare_open = false;
  on_cluster = false;
  if (!db_initialised) return;
  mysql_close(&db_connection);
  db_initialised = false;
}

void db_connection_options(const ConnectionOptions& given) { options = given; }

st_mysql* db_connect_beside() {
  MYSQL* mysql = mysql_init(nullptr);
  if (mysql == nullptr) return nullptr;
  const Login& l = given_login;
  if (connect_initialised(mysql, l.login.c_str(), l.password.c_str(),
                          l.server_null ? nullptr : l.server.c_str(),
                          l.database_null ? nullptr : l.database.c_str()) != 0) {
    mysql_close(mysql);
    return nullptr;
  }
  return mysql;
}

unsigned db_read_timeout() { return options.read_timeout; }

bool db_on_cluster() { return on_cluster; }

int db_spare_execute(const char* statement) {
  if (!spare_open) return -1;
  if (mysql_real_query(&spare_connection, statement, std::strlen(statement)) != 0) {
    return static_cast<int>(mysql_errno(&spare_connection));
  }
  if (MYSQL_RES* result = mysql_store_result(&spare_connection)) mysql_free_result(result);
  return 0;
}

unsigned long long db_affected_rows() {
  const my_ulonglong rows = mysql_affected_rows(&db_connection);
  return rows == static_cast<my_ulonglong>(-1) ? 0 : rows;
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

bool db_transient_error(int rc) {
  switch (rc) {
    case ER_LOCK_DEADLOCK:
    case ER_LOCK_WAIT_TIMEOUT:
    case ER_UNKNOWN_COM_ERROR:  // a cluster node that is not ready: "WSREP has not yet prepared node"
    case ER_ERROR_DURING_COMMIT:  // a cluster node that lost the primary component for a moment
      return true;
    default:
      return false;
  }
}

bool db_error_of_row(int rc) {
  switch (rc) {
    case ER_TRUNCATED_WRONG_VALUE_FOR_FIELD:  // a byte the column's character set lacks
    case ER_TRUNCATED_WRONG_VALUE:
    case ER_WARN_DATA_OUT_OF_RANGE:
    case WARN_DATA_TRUNCATED:
    case ER_INVALID_CHARACTER_STRING:
      return true;
    default:
      break;
  }
  if (rc <= 0 || static_cast<unsigned>(rc) != last_db_errno) return false;
  // Data exceptions (22), constraint violations (23) and what a trigger raises itself (45).
  return std::strncmp(last_db_sqlstate, "22", 2) == 0 ||
         std::strncmp(last_db_sqlstate, "23", 2) == 0 ||
         std::strncmp(last_db_sqlstate, "45", 2) == 0;
}
