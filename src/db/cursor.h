#pragma once
// Cursors over stored query results, the result codes every database operation shares, and
// the shared buffers in which SQL texts and rows pass.
//
// Result codes: 0 success; RC_NO_ROW every row has been delivered; -1 no result set (fetch,
// close), storing the result failed (open) or fetching failed; RC_TOO_LONG a value does not
// fit its destination; any other value the server's or client library's error number.

#include <cstddef>
#include <cstdint>
#include <memory>

struct st_mysql_res;

inline constexpr int RC_NO_ROW = 1032;
inline constexpr int RC_TOO_LONG = -2;

struct MysqlResultFree {
  void operator()(st_mysql_res* result) const noexcept;
};
using MysqlResult = std::unique_ptr<st_mysql_res, MysqlResultFree>;

// A row as the client library delivers it: one text per column, nullptr for NULL.
using DbRow = char**;

// One query's cursor. The whole result is held on the client from a successful open until
// the close, so other cursors may be opened and read in between.
struct QueryCursor {
  const char* query_text = nullptr;  // borrowed, usually query_buffer
  MysqlResult result;                // empty: no result set
  std::uint32_t rows_fetched = 0;
  // Rows read from the server one by one instead of held whole: for a long result read to
  // its end with no other statement in between (the staged records).
  bool streamed = false;
};

inline constexpr std::size_t kQueryBufferSize = 2000;

// Shared by every query function, each using them only between its own start and end (one
// thread; a fetch copies what it needs out of current_row before it returns):
extern char query_buffer[kQueryBufferSize];  // the SQL text being formatted and run
extern QueryCursor lookup_cursor;            // every single-row lookup and statement
extern DbRow current_row;                    // the row of the latest fetch
extern int query_status;                     // the code of the latest step

// Formats an SQL text into query_buffer. A text that does not fit (terminator included)
// ends the process with status 1 and a message naming purpose.
void db_format_query(const char* purpose, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// The same into a buffer of the caller's.
void db_format_into(char* buffer, std::size_t size, const char* purpose, const char* format,
                    ...) __attribute__((format(printf, 4, 5)));

// Runs the cursor's query text and stores its whole result (none for a statement such as
// INSERT or COMMIT). Returns 0, -1 when storing failed, or the error number.
// A lost connection ends the process (status 5): no layer can go on without it.
[[nodiscard]] int db_open_cursor(QueryCursor& cursor);

// Delivers the next row into row. Returns 0, RC_NO_ROW after the last row (again on every
// further call), or -1 when the cursor holds no result set.
[[nodiscard]] int db_fetch_row(QueryCursor& cursor, DbRow& row);

// Starts the cursor's rows again from the first.
void db_rewind_cursor(QueryCursor& cursor);

// The row ahead rows after the next one db_fetch_row would deliver (0: that one), without
// moving the cursor; for a cursor holding its whole result. Returns 0, RC_NO_ROW past the
// last, or -1 without result set.
[[nodiscard]] int db_peek_row(QueryCursor& cursor, std::uint64_t ahead, DbRow& row);

// The number of columns of the cursor's result; 0 without one.
unsigned db_column_count(const QueryCursor& cursor);

// Whether the column of the cursor's result holds text compared as text (CHAR, VARCHAR and
// their kin), not a number, a date or a BLOB/TEXT.
bool db_column_is_text(const QueryCursor& cursor, unsigned column);

// Frees the cursor's result. Returns 0, or -1 when it held none.
int db_close_cursor(QueryCursor& cursor);

// Runs a statement without result set on lookup_cursor. Returns the open's code.
int db_execute(const char* purpose, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Runs the single-row statement in query_buffer on lookup_cursor and hands its first row, if
// it has one, to take (a callable taking a DbRow) before the result is freed; a further row
// is not read. Returns the open's code when the statement failed, else the fetch's: 0 with a
// row, RC_NO_ROW without. *open_rc, when given, receives the open's code alone. The result is
// also left in query_status.
template <typename Take>
int db_first_row(Take take, int* open_rc = nullptr) {
  lookup_cursor.query_text = query_buffer;
  const int opened = db_open_cursor(lookup_cursor);
  if (open_rc != nullptr) *open_rc = opened;
  if (opened != 0) return query_status = opened;
  const int fetched = db_fetch_row(lookup_cursor, current_row);
  if (fetched == 0) take(current_row);
  db_close_cursor(lookup_cursor);
  return query_status = fetched;
}
