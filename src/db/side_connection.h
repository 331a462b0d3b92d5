#pragma once
// A second connection to the server, for statements that one other thread runs while the
// program's own connection (connection.h) goes on with its work: a badge pass reads the rows
// of its lookups ahead on it. It is opened like the program's connection (same login,
// server, database, TLS and timeouts; character set latin1, so values are escaped alike and
// arrive byte for byte alike). It shares nothing with the program's connection: not query_buffer,
// not the cursors, not last_db_errno; it reports errors by their number only and never ends the
// process (a statement that fails on it is left to the program's connection).
//
// Construct it on the program's thread while the program's connection is open; afterwards
// it belongs to one thread at a time.

#include <functional>
#include <string>
#include <string_view>

#include "db/cursor.h"

struct st_mysql;

class SideConnection {
 public:
  // Opens the connection with the login of the program's open connection. open() tells
  // whether that worked: the server may allow this login one connection only.
  SideConnection();
  ~SideConnection();
  SideConnection(const SideConnection&) = delete;
  SideConnection& operator=(const SideConnection&) = delete;

  bool open() const { return mysql_ != nullptr; }

  // Whether it was opened for the program's connection now open (not for one closed since).
  bool of_program_connection() const;

  // A thread that uses the connection calls these at its start and end (the client library
  // keeps per-thread state).
  static void thread_begin();
  static void thread_end();

  // The value escaped for use between single quotes, as db_escape escapes it.
  std::string escape(std::string_view value);

  // Runs statement and hands each row of its result, with the number of columns, to each_row.
  // Returns 0, or the server's or client library's error number (rows already handed stay
  // handed).
  int query(const std::string& statement,
            const std::function<void(DbRow row, unsigned columns)>& each_row);

  // Runs a statement without result set (an INSERT, a COMMIT). Returns 0, or the error number.
  int execute(const std::string& statement);

  // Runs statement and stores its whole result in result, which any thread may then read:
  // a stored result holds its rows on its own. Returns 0, or the error number.
  int query_stored(const std::string& statement, MysqlResult& result);

 private:
  st_mysql* mysql_ = nullptr;
  unsigned long program_thread_ = 0;  // the server's id of the program's connection
};
