#pragma once
// The client schemas: those of the clients a terminal serves, or those of all clients.

#include <cstddef>
#include <string>

// A client schema name has at most 20 characters.
inline constexpr std::size_t kSchemaNameSize = 21;

// The client schema being visited: the prefix of every client table name the lookups build.
// Set by the run sequence before it connects and each time it enters a client schema.
extern char current_schema[kSchemaNameSize];

// The schemas of the active clients linked to the terminal, in the order the server returns
// them. open returns the open's code; fetch writes the next name (trailing blanks cut, case
// kept) into name and returns 0, RC_NO_ROW after the last, -1 on a failed list, RC_TOO_LONG
// for a name over 20 characters; a client row without schema name is passed over.
[[nodiscard]] int schemas_open_for_terminal(const char* terminal);
[[nodiscard]] int schemas_fetch_for_terminal(char (&name)[kSchemaNameSize]);
int schemas_close_for_terminal();

// The same for every active client.
[[nodiscard]] int schemas_open_all();
[[nodiscard]] int schemas_fetch_all(char (&name)[kSchemaNameSize]);
int schemas_close_all();

// The name the list being read (of the terminal's or of all clients) gives next, as its fetch
// would give it, passing over rows without name; the list stays where it is. Returns 0 with
// the name, RC_NO_ROW when no further name comes or no list is open.
[[nodiscard]] int schemas_next(char (&name)[kSchemaNameSize]);

// Asks the server to make the schema the connection's current one. Returns 1 when the
// server accepted it and answered with a row, otherwise 0 (also when it refused it, as a
// MariaDB server does: unqualified tables are then read from the connection's database).
[[nodiscard]] int db_set_schema(const char* name);

// The program's connection's default database, where a table not named with its schema is;
// "\n" when the server does not tell it. Asked once per connection and schema change.
std::string db_default_database();
