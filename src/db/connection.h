#pragma once
// The program's one database connection.

#include <string>

struct st_mysql;

// Number and text of the last failed call on the connection. No caller prints the text;
// callers print the code they are returned.
extern unsigned last_db_errno;
extern std::string last_db_error;

// Opens the connection (character set latin1, so column bytes arrive unchanged) and switches
// autocommit off. Returns 0 or the error number.
[[nodiscard]] int db_connect(const char* login, const char* password, const char* server,
               const char* database);

// Closes the connection; a later db_connect opens a new one.
void db_disconnect();

// Sends COMMIT. Returns 1 when it succeeded, 0 when it failed (last_db_errno tells why).
int db_commit();

// The connection's handle, for this layer's own files.
st_mysql* db_handle();

// The codes by which the client library or the server says the connection is gone.
bool db_connection_lost(int rc);
