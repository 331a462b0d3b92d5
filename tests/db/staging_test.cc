#include "db/staging.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/cursor.h"
#include "support/test_db.h"

namespace {

class StagingTest : public DbTest {
 protected:
  std::vector<std::string> read_back(const char* key) {
    std::vector<std::string> records;
    EXPECT_EQ(0, staging_open(key));
    int rc;
    while ((rc = staging_fetch(record_buffer)) == 0) records.push_back(record_buffer);
    EXPECT_EQ(RC_NO_ROW, rc);
    EXPECT_EQ(0, staging_close());
    return records;
  }
};

}  // namespace

TEST_F(StagingTest, RecordsComeBackSortedAndTrimmed) {
  ASSERT_EQ(0, staging_insert("t1.dat", "B2  "));
  ASSERT_EQ(0, staging_insert("t1.dat", "A1\t\n"));
  ASSERT_EQ(0, staging_insert("t1.dat", "   "));
  ASSERT_EQ(0, staging_insert("t1.dat", "A1 x\r\n"));
  EXPECT_EQ((std::vector<std::string>{"", "A1", "A1 x\r", "B2"}), read_back("t1.dat"));
}

TEST_F(StagingTest, RecordsThatDifferInTrailingBlanksComeBackEqual) {
  ASSERT_EQ(0, staging_insert("k", "same"));
  ASSERT_EQ(0, staging_insert("k", "same   "));
  EXPECT_EQ((std::vector<std::string>{"same", "same"}), read_back("k"));
}

TEST_F(StagingTest, EachInsertIsCommittedAtOnce) {
  ASSERT_EQ(0, staging_insert("k", "one"));
  EXPECT_EQ("1", admin().scalar("SELECT COUNT(*) FROM KvBasis.Kvb999Tmp WHERE TmpUsr = 'k'"));
}

TEST_F(StagingTest, PathsAreKeptApart) {
  ASSERT_EQ(0, staging_insert("a.dat", "1"));
  ASSERT_EQ(0, staging_insert("b.dat", "2"));
  ASSERT_EQ(0, staging_insert("A.DAT", "3"));
  ASSERT_EQ(0, staging_insert("a.dat", "4"));
  EXPECT_EQ((std::vector<std::string>{"1", "4"}), read_back("a.dat"));
  EXPECT_EQ(0, staging_clear("a.dat"));
  EXPECT_TRUE(read_back("a.dat").empty());
  EXPECT_EQ((std::vector<std::string>{"2"}), read_back("b.dat"));
  EXPECT_EQ((std::vector<std::string>{"3"}), read_back("A.DAT"));
}

TEST_F(StagingTest, ClearOfAnEmptyKeyIsSuccess) { EXPECT_EQ(0, staging_clear("nothing")); }

TEST_F(StagingTest, QuotesAndBackslashesInKeysAndRecordsAreJustCharacters) {
  const char* key = "C:\\dnl\\it's \"t1\".dat";
  ASSERT_EQ(0, staging_insert(key, "O'Neil \\ \"x\""));
  EXPECT_EQ((std::vector<std::string>{"O'Neil \\ \"x\""}), read_back(key));
  EXPECT_EQ(0, staging_clear(key));
  EXPECT_EQ("0", admin().scalar("SELECT COUNT(*) FROM KvBasis.Kvb999Tmp"));
}

TEST_F(StagingTest, IdstammLineLosesItsLineFeedOnTheWayBack) {
  ASSERT_EQ(0, staging_insert("k", "\"4711\",\"\"\n"));
  EXPECT_EQ(std::vector<std::string>{"\"4711\",\"\""}, read_back("k"));
  EXPECT_EQ("\"4711\",\"\"\n", admin().scalar("SELECT TmpStr FROM KvBasis.Kvb999Tmp"));
}

TEST_F(StagingTest, RefusedInsertReturnsTheServerErrorAndStagesNothing) {
  const std::string too_long(513, 'x');  // wider than the column
  EXPECT_EQ(1406, staging_insert("k", too_long.c_str()));  // data too long
  EXPECT_TRUE(read_back("k").empty());
}

TEST_F(StagingTest, NullRecordsArePassedOver) {
  admin().exec("INSERT INTO KvBasis.Kvb999Tmp VALUES ('k', NULL), ('k', 'b'), ('k', 'a')");
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), read_back("k"));
}
