// day_values_probe PASSWORD PERSON: connects as the program's user to client schema MNDA of
// the server that MYSQL_UNIX_PORT names, and prints that server's date and the result of
// day_values_fill for PERSON: "DATE\nRC|V0|...|V8\n". Exit status 0, or 2 when it could
// not ask.

#include <cstdio>

#include "db/connection.h"
#include "db/cursor.h"
#include "base/text.h"
#include "lookup/day_values.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  if (db_connect("vestragen", argv[1], "localhost", "MNDA") != 0) {
    std::printf("connect: %u %s\n", last_db_errno, last_db_error.c_str());
    return 2;
  }
  QueryCursor date_cursor;
  date_cursor.query_text = "SELECT CURDATE()";
  DbRow row = nullptr;
  if (db_open_cursor(date_cursor) != 0 || db_fetch_row(date_cursor, row) != 0) return 2;
  std::printf("%s\n", row[0]);
  db_close_cursor(date_cursor);

  BadgeRecord badge;
  if (!copy_text(badge.AswPnr, sizeof badge.AswPnr, argv[2])) return 2;
  std::printf("%d", day_values_fill(badge));
  for (const std::string& value : badge.day_values)
    std::printf("|%s", value.c_str());
  std::printf("\n");
  db_disconnect();
  return 0;
}
