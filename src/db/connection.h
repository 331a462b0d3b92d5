#pragma once
// The program's one database connection.

#include <string>

#include "config/connection_options.h"

struct st_mysql;

// Number and text of the last failed call on the connection. No caller prints the text;
// callers print the code they are returned.
extern unsigned last_db_errno;
extern std::string last_db_error;
extern char last_db_sqlstate[6];  // the SQLSTATE of last_db_errno

// The options db_connect applies from now on: TLS, port and socket, timeouts.
void db_connection_options(const ConnectionOptions& options);

// The read timeout in seconds the connection has; 0: none.
unsigned db_read_timeout();

// Opens the connection (character set latin1, so column bytes arrive unchanged) with the
// options given before, and switches autocommit off. Returns 0 or the error number.
[[nodiscard]] int db_connect(const char* login, const char* password, const char* server,
               const char* database);

// Opens another connection with the login, server, database and options db_connect was last
// given (not autocommit off, not the isolation level). Returns it, for mysql_close by the
// caller, or nullptr when it could not be opened; last_db_errno stays as it was.
st_mysql* db_connect_beside();

// Closes the connection; a later db_connect opens a new one.
void db_disconnect();

// Whether the server db_connect reached is a node of a Galera cluster (wsrep_on).
bool db_on_cluster();

// On a cluster node, db_connect opens a second connection with the same login (autocommit,
// lock waits of 2 s) for what must reach the server while the run's connection is busy or
// gone: giving the cluster lock up when the run stops. Runs statement there. Returns 0, the
// error number, or -1 without such a connection. For the stop path only.
int db_spare_execute(const char* statement);

// Rows the latest INSERT, UPDATE or DELETE on the run's connection changed.
unsigned long long db_affected_rows();

// Sends COMMIT. Returns 1 when it succeeded, 0 when it failed (last_db_errno tells why).
int db_commit();

// The connection's handle, for this layer's own files.
st_mysql* db_handle();

// The codes by which the client library or the server says the connection is gone.
bool db_connection_lost(int rc);

// The codes of a failure that sending the same transaction again may get past: the server
// chose it as a deadlock's victim (also a cluster's certification conflict), a lock wait
// ran out, a cluster node is not ready for statements. The server has rolled back the
// statement, for a deadlock the whole transaction.
bool db_transient_error(int rc);

// Whether the statement that just failed with rc failed for the row it writes: a trigger
// refused it (a user-defined signal), a value does not fit its column, a key or constraint
// of the table is violated. Asked right after the failure: it reads last_db_sqlstate.
bool db_error_of_row(int rc);
