#include "db/schemas.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "db/cursor.h"
#include "support/test_db.h"

namespace {

class SchemasTest : public DbTest {
 protected:
  // A client row; sta and kon as SQL texts (NULL allowed).
  void client(int num, const std::string& schema, const std::string& kon = "0",
              const std::string& sta = "NULL") {
    admin().exec("INSERT INTO KvBasis.Kvb112Mnd (MndLiz, MndNum, MndSch, MndKon, MndSta) VALUES (1, " +
                 std::to_string(num) + ", " + (schema == "NULL" ? "NULL" : "'" + schema + "'") + ", " +
                 kon + ", " + sta + ")");
  }
  void link(const std::string& terminal, int num, const std::string& sta = "NULL") {
    admin().exec("INSERT INTO KvBasis.Kvb115Tfz VALUES (" + admin().quote(terminal) + ", 1, " +
                 std::to_string(num) + ", " + sta + ")");
  }
  std::vector<std::string> terminal_list(const char* terminal, int* last = nullptr) {
    std::vector<std::string> names;
    EXPECT_EQ(0, schemas_open_for_terminal(terminal));
    char name[kSchemaNameSize] = "";
    int rc;
    while ((rc = schemas_fetch_for_terminal(name)) == 0) names.push_back(name);
    if (last) *last = rc;
    EXPECT_EQ(0, schemas_close_for_terminal());
    return names;
  }
  std::vector<std::string> all_list() {
    std::vector<std::string> names;
    EXPECT_EQ(0, schemas_open_all());
    char name[kSchemaNameSize] = "";
    while (schemas_fetch_all(name) == 0) names.push_back(name);
    schemas_close_all();
    return names;
  }
};

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

}  // namespace

TEST_F(SchemasTest, TerminalWithoutActiveClientGivesNoRow) {
  client(1, "MNDA");
  link("T1", 1, "8");
  int last = 0;
  EXPECT_TRUE(terminal_list("T1", &last).empty());
  EXPECT_EQ(RC_NO_ROW, last);
  EXPECT_TRUE(terminal_list("T2").empty());
}

TEST_F(SchemasTest, StatusFourAndEightHideRowsAndNullStatusShowsThem) {
  client(1, "C1", "0", "NULL");
  client(2, "C2", "0", "4");
  client(3, "C3", "0", "8");
  client(4, "C4", "0", "0");
  for (int n = 1; n <= 4; ++n) link("T1", n);
  client(5, "C5");
  link("T1", 5, "4");
  client(6, "C6");
  link("T1", 6, "8");
  EXPECT_EQ((std::vector<std::string>{"C1", "C4"}), sorted(terminal_list("T1")));
  EXPECT_EQ((std::vector<std::string>{"C1", "C4", "C5", "C6"}), sorted(all_list()));
}

TEST_F(SchemasTest, ClientsWithMndKonOneOrNullAreNeverListed) {
  client(1, "C1", "1");
  client(2, "C2", "NULL");
  client(3, "C3", "2");
  for (int n = 1; n <= 3; ++n) link("T1", n);
  EXPECT_EQ(std::vector<std::string>{"C3"}, terminal_list("T1"));
  EXPECT_EQ(std::vector<std::string>{"C3"}, all_list());
}

TEST_F(SchemasTest, NamesLoseTrailingBlanksAndKeepTheirCase) {
  client(1, "mnd_a  ");
  link("T1", 1);
  EXPECT_EQ(std::vector<std::string>{"mnd_a"}, terminal_list("T1"));
}

TEST_F(SchemasTest, ClientLinkedTwiceComesTwice) {
  client(1, "C1");
  link("T1", 1);
  link("T1", 1);
  EXPECT_EQ((std::vector<std::string>{"C1", "C1"}), terminal_list("T1"));
}

TEST_F(SchemasTest, TerminalNameWithQuoteFindsItsOwnClients) {
  client(1, "C1");
  client(2, "C2");
  link("T'1", 1);
  EXPECT_EQ(std::vector<std::string>{"C1"}, terminal_list("T'1"));
}

TEST_F(SchemasTest, ClientWithoutSchemaNameGivesAnEmptyName) {
  client(1, "NULL");
  link("T1", 1);
  EXPECT_EQ(std::vector<std::string>{""}, terminal_list("T1"));
}

TEST_F(SchemasTest, NameOverTwentyCharactersIsRefused) {
  client(1, std::string(21, 'A'));
  client(2, std::string(20, 'B'));
  link("T1", 2);
  link("T1", 1);
  EXPECT_EQ(0, schemas_open_all());
  char name[kSchemaNameSize] = "";
  int rc;
  int delivered = 0;
  while ((rc = schemas_fetch_all(name)) == 0) {
    EXPECT_EQ(std::string(20, 'B'), name);
    ++delivered;
  }
  EXPECT_EQ(RC_TOO_LONG, rc);
  EXPECT_LE(delivered, 1);
  schemas_close_all();
}

TEST_F(SchemasTest, SchemaSwitchIsRefusedAndCountsAsZero) {
  EXPECT_EQ(0, db_set_schema("MNDB"));
  // The connection stays on its own database.
  QueryCursor cursor;
  cursor.query_text = "SELECT DATABASE()";
  ASSERT_EQ(0, db_open_cursor(cursor));
  DbRow row = nullptr;
  ASSERT_EQ(0, db_fetch_row(cursor, row));
  EXPECT_STREQ("mnda", row[0]);
}
