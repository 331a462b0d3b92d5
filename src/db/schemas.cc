#include "db/schemas.h"

#include <mysql.h>

#include <cstdint>
#include <string>

#include "base/text.h"
#include "db/connection.h"
#include "db/cursor.h"
#include "db/escape.h"

char current_schema[kSchemaNameSize];

namespace {
// clang-format off
constexpr char kTerminalSchemasQuery[] =
    "SELECT MndSch  FROM KvBasis.Kvb112Mnd, KvBasis.Kvb115Tfz  WHERE MndKon <> 1  AND   TfzTrm = '%s'  AND   MndLiz = TfzLiz  AND   MndNum = TfzMnd  AND ((MndSta <> 4 AND MndSta <> 8) OR MndSta IS NULL)  AND ((TfzSta <> 4 AND TfzSta <> 8) OR TfzSta IS NULL) ";
constexpr char kAllSchemasQuery[] =
    "SELECT MndSch  FROM KvBasis.Kvb112Mnd  WHERE MndKon <> 1  AND ((MndSta <> 4 AND MndSta <> 8) OR MndSta IS NULL) ";
// clang-format on

QueryCursor terminal_schemas_cursor;
QueryCursor all_schemas_cursor;

int open_list(QueryCursor& cursor) {
  cursor.query_text = query_buffer;
  query_status = db_open_cursor(cursor);
  return query_status;
}

int fetch_name(QueryCursor& cursor, char (&name)[kSchemaNameSize]) {
  query_status = db_fetch_row(cursor, current_row);
  if (query_status != 0) return query_status;
  // A client row without schema name gives an empty name: the caller has nothing to visit
  // for it (visiting the name its buffer still held would stage that schema twice), but the
  // row still counts as a client of the terminal.
  if (current_row[0] == nullptr) {
    name[0] = '\0';
    return 0;
  }
  trim_trailing_blanks(current_row[0]);
  if (!copy_text(name, sizeof name, current_row[0])) query_status = RC_TOO_LONG;
  return query_status;
}
}  // namespace

int schemas_open_for_terminal(const char* terminal) {
  db_format_query("Mandanten-Schemata des Terminals", kTerminalSchemasQuery,
                  db_escape(terminal).c_str());
  return open_list(terminal_schemas_cursor);
}

int schemas_fetch_for_terminal(char (&name)[kSchemaNameSize]) {
  return fetch_name(terminal_schemas_cursor, name);
}

int schemas_close_for_terminal() {
  query_status = db_close_cursor(terminal_schemas_cursor);
  return query_status;
}

int schemas_open_all() {
  db_format_query("Alle Mandanten-Schemata", "%s", kAllSchemasQuery);
  return open_list(all_schemas_cursor);
}

int schemas_fetch_all(char (&name)[kSchemaNameSize]) { return fetch_name(all_schemas_cursor, name); }

int schemas_close_all() {
  query_status = db_close_cursor(all_schemas_cursor);
  return query_status;
}

int schemas_next(char (&name)[kSchemaNameSize]) {
  QueryCursor& list = terminal_schemas_cursor.result ? terminal_schemas_cursor : all_schemas_cursor;
  DbRow row = nullptr;
  for (std::uint64_t ahead = 0; db_peek_row(list, ahead, row) == 0; ++ahead) {
    if (row[0] == nullptr) continue;
    std::string text = row[0];
    trim_trailing_blanks(text);
    if (text.empty()) continue;
    return copy_text(name, sizeof name, text.c_str()) ? 0 : RC_NO_ROW;
  }
  return RC_NO_ROW;
}

namespace {
// The default database as last asked, and for which connection (the server's id of it).
std::string default_database;
unsigned long default_database_of = 0;
}  // namespace

std::string db_default_database() {
  const unsigned long connection = mysql_thread_id(db_handle());
  if (default_database_of == connection && connection != 0) return default_database;
  QueryCursor cursor;
  cursor.query_text = "SELECT DATABASE()";
  std::string name = "\n";
  if (db_open_cursor(cursor) == 0) {
    DbRow row = nullptr;
    if (db_fetch_row(cursor, row) == 0 && row[0] != nullptr) name = row[0];
    db_close_cursor(cursor);
  }
  default_database = name;
  default_database_of = connection;
  return name;
}

int db_set_schema(const char* name) {
  char statement[200];
  db_format_into(statement, sizeof statement, "Schema wechseln",
                 "ALTER SESSION SET CURRENT_SCHEMA=%s", name);
  QueryCursor cursor;
  cursor.query_text = statement;
  if (db_open_cursor(cursor) != 0) return 0;
  DbRow row = nullptr;
  const int fetched = db_fetch_row(cursor, row);
  db_close_cursor(cursor);
  default_database_of = 0;  // asked again
  return fetched == 0 ? 1 : 0;
}
