#include "db/cursor.h"

#include <gtest/gtest.h>

#include <string>

#include "db/connection.h"
#include "db/escape.h"
#include "support/test_db.h"

class CursorTest : public DbTest {};

TEST_F(CursorTest, EmptyResultGivesNoRowOnEveryFetch) {
  QueryCursor cursor;
  cursor.query_text = "SELECT 1 FROM DUAL WHERE 1 = 0";
  DbRow row = nullptr;
  ASSERT_EQ(0, db_open_cursor(cursor));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(RC_NO_ROW, db_fetch_row(cursor, row));
  EXPECT_EQ(0, db_close_cursor(cursor));
}

TEST_F(CursorTest, RowsComeInOrderThenNoRow) {
  QueryCursor cursor;
  cursor.query_text = "SELECT 'a' UNION ALL SELECT NULL UNION ALL SELECT 'c'";
  DbRow row = nullptr;
  ASSERT_EQ(0, db_open_cursor(cursor));
  ASSERT_EQ(0, db_fetch_row(cursor, row));
  EXPECT_STREQ("a", row[0]);
  ASSERT_EQ(0, db_fetch_row(cursor, row));
  EXPECT_EQ(nullptr, row[0]);
  ASSERT_EQ(0, db_fetch_row(cursor, row));
  EXPECT_STREQ("c", row[0]);
  EXPECT_EQ(3u, cursor.rows_fetched);
  EXPECT_EQ(RC_NO_ROW, db_fetch_row(cursor, row));
  EXPECT_EQ(RC_NO_ROW, db_fetch_row(cursor, row));
}

TEST_F(CursorTest, FailedOpenLeavesNoResultForFetchAndClose) {
  QueryCursor cursor;
  cursor.query_text = "SELECT nothing FROM no_such_table";
  DbRow row = nullptr;
  const int rc = db_open_cursor(cursor);
  EXPECT_EQ(1146, rc);  // table does not exist
  EXPECT_EQ(1146u, last_db_errno);
  EXPECT_FALSE(last_db_error.empty());
  EXPECT_EQ(-1, db_fetch_row(cursor, row));
  EXPECT_EQ(-1, db_close_cursor(cursor));
}

TEST_F(CursorTest, SecondCloseFindsNoResult) {
  QueryCursor cursor;
  cursor.query_text = "SELECT 1";
  ASSERT_EQ(0, db_open_cursor(cursor));
  EXPECT_EQ(0, db_close_cursor(cursor));
  EXPECT_EQ(-1, db_close_cursor(cursor));
}

TEST_F(CursorTest, StatementWithoutResultLeavesCursorEmpty) {
  QueryCursor cursor;
  cursor.query_text = "SET @x = 1";
  EXPECT_EQ(0, db_open_cursor(cursor));
  EXPECT_FALSE(cursor.result);
  DbRow row = nullptr;
  EXPECT_EQ(-1, db_fetch_row(cursor, row));
}

TEST_F(CursorTest, CommitReportsOneForSuccess) {
  EXPECT_EQ(1, db_commit());
  db_disconnect();
  reconnect(kClientA);
  // Autocommit is off: an uncommitted insert is invisible to others until COMMIT.
  ASSERT_EQ(0, db_execute("test", "INSERT INTO KvBasis.Kvb999Tmp VALUES ('c', 'x')"));
  EXPECT_EQ("0", admin().scalar("SELECT COUNT(*) FROM KvBasis.Kvb999Tmp"));
  EXPECT_EQ(1, db_commit());
  EXPECT_EQ("1", admin().scalar("SELECT COUNT(*) FROM KvBasis.Kvb999Tmp"));
}

TEST_F(CursorTest, QueryTextOf1999CharactersRuns) {
  // SELECT '<filler>' is 9 characters plus the filler.
  const std::string filler(1999 - 9, 'x');
  db_format_query("test", "SELECT '%s'", filler.c_str());
  ASSERT_EQ(1999u, std::string(query_buffer).size());
  QueryCursor cursor;
  cursor.query_text = query_buffer;
  EXPECT_EQ(0, db_open_cursor(cursor));
}

TEST_F(CursorTest, QueryTextOf2000CharactersEndsTheProcessWithStatusOne) {
  const std::string filler(2000 - 9, 'x');
  EXPECT_EXIT(db_format_query("Testabfrage", "SELECT '%s'", filler.c_str()),
              ::testing::ExitedWithCode(1), "");
}

TEST_F(CursorTest, EscapedValuesRoundTripThroughTheServer) {
  const std::string values[] = {"T'1", "a\\b", "x\"y", std::string("nul\0byte", 8), "\xFC\xE4",
                                "'; DROP TABLE x; --"};
  for (const std::string& v : values) {
    SCOPED_TRACE(v);
    db_format_query("test", "SELECT '%s', LENGTH('%s')", db_escape(v).c_str(),
                    db_escape(v).c_str());
    QueryCursor cursor;
    cursor.query_text = query_buffer;
    ASSERT_EQ(0, db_open_cursor(cursor));
    DbRow row = nullptr;
    ASSERT_EQ(0, db_fetch_row(cursor, row));
    EXPECT_EQ(std::to_string(v.size()), row[1]);
    EXPECT_EQ(v.substr(0, v.find('\0')), row[0]);
    db_close_cursor(cursor);
  }
}

TEST_F(CursorTest, LostConnectionEndsTheProcessWithStatusFive) {
  const std::string id = [] {
    QueryCursor cursor;
    cursor.query_text = "SELECT CONNECTION_ID()";
    EXPECT_EQ(0, db_open_cursor(cursor));
    DbRow row = nullptr;
    EXPECT_EQ(0, db_fetch_row(cursor, row));
    return std::string(row[0]);
  }();
  admin().exec("KILL CONNECTION " + id);
  QueryCursor cursor;
  cursor.query_text = "SELECT 1";
  EXPECT_EXIT((void)db_open_cursor(cursor), ::testing::ExitedWithCode(5), "");
}

TEST_F(CursorTest, FailedStatementOnAnotherCursorDoesNotSpoilAnOpenOne) {
  QueryCursor list;
  list.query_text = "SELECT 1 UNION ALL SELECT 2";
  ASSERT_EQ(0, db_open_cursor(list));
  DbRow row = nullptr;
  ASSERT_EQ(0, db_fetch_row(list, row));
  QueryCursor failing;
  failing.query_text = "SELECT * FROM no_such_table";
  ASSERT_NE(0, db_open_cursor(failing));
  ASSERT_EQ(0, db_fetch_row(list, row));
  EXPECT_STREQ("2", row[0]);
}
