#include "lookup/day_values.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/cursor.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/test_db.h"

namespace {

constexpr char kYesterday[] = "CURDATE() - INTERVAL 1 DAY";
constexpr char kToday[] = "CURDATE()";
constexpr char kTwoDaysAgo[] = "CURDATE() - INTERVAL 2 DAY";

class DayValuesTest : public DbTest {
 protected:
  // Empties the site again within a test. The program's connection reads in one
  // transaction (autocommit off): its snapshot must end to see the new rows.
  void restart() {
    reset_site();
    db_commit();
  }
  // The tables are read from the connection's database, MNDA.
  void person(const std::string& pnr, const std::string& sta = "NULL") {
    admin().exec("INSERT INTO MNDA.Kvb300Pnr (PNRNUM, PnrSta) VALUES (" + admin().quote(pnr) +
                 ", " + sta + ")");
  }
  // One account row; columns as SQL assignments, such as "TGBVT1 = 90".
  void account(const std::string& pnr, const std::string& ztr, const std::string& day,
               const std::string& columns) {
    admin().exec("INSERT INTO MNDA.Kvb320Tgb SET TGBPNR = " + admin().quote(pnr) + ", TGBZTR = " +
                 ztr + ", TGBDTM = " + day + (columns.empty() ? "" : ", ") + columns);
  }
  // A badge whose texts hold a mark, to see whether a failed lookup wrote them.
  static BadgeRecord marked_badge(const char* pnr) {
    BadgeRecord badge;
    std::strcpy(badge.AswPnr, pnr);
    for (std::string& value : badge.day_values)
      value = "mark";
    return badge;
  }
  static std::vector<std::string> texts(const BadgeRecord& badge) {
    return std::vector<std::string>(std::begin(badge.day_values), std::end(badge.day_values));
  }
};

const std::vector<std::string> kMarks(9, "mark");

}  // namespace

TEST_F(DayValuesTest, NineSumsCountNullAsZeroAndCutTheDecimalPart) {
  person("P1");
  account("P1", "1", kYesterday,
          "TGBVT1 = 90.75, TGBSA1 = NULL, TGBVT2 = NULL, TGBSA2 = 0.50, TGBVT3 = -600, "
          "TGBVT4 = 3000, TGBSA4 = 3000, TGBVT6 = -5, TGBSA6 = 0, TGBVT7 = 59999, TGBSA7 = 1");
  BadgeRecord badge = marked_badge("P1");
  ASSERT_EQ(0, day_values_fill(badge));
  // The pair sums are cut after adding: 90.75 + 0.5 is 91, 0.5 - 600 is -599 (toward 0).
  EXPECT_EQ((std::vector<std::string>{"  1,30 ", "  0,00 ", " 10,00-", "100,00 ", "  0,00 ",
                                      "  0,05-", "1000,00 ", "  1,31 ", "  9,59-"}),
            texts(badge));
}

TEST_F(DayValuesTest, OnlyYesterdaysRowCounts) {
  person("P1");
  account("P1", "1", kToday, "TGBVT1 = 1");
  account("P1", "1", kTwoDaysAgo, "TGBVT1 = 2");
  account("P1", "1", kYesterday, "TGBVT1 = 60");
  person("P2");
  account("P2", "1", kToday, "TGBVT1 = 1");
  account("P2", "1", kTwoDaysAgo, "TGBVT1 = 2");

  BadgeRecord found = marked_badge("P1");
  ASSERT_EQ(0, day_values_fill(found));
  EXPECT_EQ("  1,00 ", found.day_values[0]);
  EXPECT_EQ("  1,00 ", found.day_values[7]);

  BadgeRecord missing = marked_badge("P2");
  EXPECT_EQ(RC_NO_ROW, day_values_fill(missing));
  EXPECT_EQ(kMarks, texts(missing));
}

TEST_F(DayValuesTest, OnlyRowsOfTimeTypeOneCount) {
  person("P1");
  account("P1", "2", kYesterday, "TGBVT1 = 1");
  account("P1", "NULL", kYesterday, "TGBVT1 = 2");
  person("P2");
  account("P2", "2", kYesterday, "TGBVT1 = 1");
  account("P2", "1", kYesterday, "TGBVT1 = 120");

  BadgeRecord other_types = marked_badge("P1");
  EXPECT_EQ(RC_NO_ROW, day_values_fill(other_types));
  EXPECT_EQ(kMarks, texts(other_types));

  BadgeRecord type_one = marked_badge("P2");
  ASSERT_EQ(0, day_values_fill(type_one));
  EXPECT_EQ("  2,00 ", type_one.day_values[0]);
}

TEST_F(DayValuesTest, PersonStatusFourOrEightHidesTheRow) {
  const struct {
    const char* sta;
    int rc;
  } cases[] = {{"NULL", 0}, {"0", 0}, {"1", 0}, {"4", RC_NO_ROW}, {"8", RC_NO_ROW}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sta);
    restart();
    person("P1", c.sta);
    account("P1", "1", kYesterday, "TGBVT1 = 90");
    BadgeRecord badge = marked_badge("P1");
    EXPECT_EQ(c.rc, day_values_fill(badge));
    EXPECT_EQ(c.rc == 0 ? "  1,30 " : "mark", badge.day_values[0]);
  }
}

TEST_F(DayValuesTest, RowWithoutPersonIsNotFound) {
  account("P1", "1", kYesterday, "TGBVT1 = 90");
  BadgeRecord badge = marked_badge("P1");
  EXPECT_EQ(RC_NO_ROW, day_values_fill(badge));
  EXPECT_EQ(kMarks, texts(badge));
}

TEST_F(DayValuesTest, PersonNumberWithQuoteIsEscaped) {
  person("O'Neil");
  account("O'Neil", "1", kYesterday, "TGBSA1 = -90");
  BadgeRecord badge = marked_badge("O'Neil");
  ASSERT_EQ(0, day_values_fill(badge));
  EXPECT_EQ("  1,30-", badge.day_values[0]);
}

TEST_F(DayValuesTest, OnlyTheFirstRowTheServerReturnsIsUsed) {
  person("P1");
  account("P1", "1", kYesterday, "TGBVT1 = 60, TGBVT2 = 1");
  account("P1", "1", kYesterday, "TGBVT1 = 120, TGBVT2 = 2");
  BadgeRecord badge = marked_badge("P1");
  ASSERT_EQ(0, day_values_fill(badge));

  // The same statement once more: its first row is the one that must have been used.
  const std::string statement = query_buffer;
  QueryCursor cursor;
  cursor.query_text = statement.c_str();
  DbRow row = nullptr;
  ASSERT_EQ(0, db_open_cursor(cursor));
  ASSERT_EQ(0, db_fetch_row(cursor, row));
  const std::string first = row[0];
  ASSERT_TRUE(first == "60.00" || first == "120.00") << first;
  EXPECT_EQ(first == "60.00" ? "  1,00 " : "  2,00 ", badge.day_values[0]);
  EXPECT_EQ(first == "60.00" ? "  1,01 " : "  2,02 ", badge.day_values[7]);
  EXPECT_EQ(0, db_close_cursor(cursor));
}

// The server's session clock on New Year's Day: the previous day lies in another month
// and another year.
TEST_F(DayValuesTest, NewYearsDayFindsTheLastDayOfTheYear) {
  person("P1");
  account("P1", "1", "'2026-12-31'", "TGBVT1 = 30");
  account("P1", "1", "'2027-01-01'", "TGBVT1 = 1");
  ASSERT_EQ(0, db_execute("Uhr", "SET timestamp = UNIX_TIMESTAMP('2027-01-01 10:00:00')"));
  BadgeRecord badge = marked_badge("P1");
  ASSERT_EQ(0, day_values_fill(badge));
  EXPECT_EQ("  0,30 ", badge.day_values[0]);
}

namespace {

std::string script(const char* name) {
  return std::string(VESTRAGEN_SOURCE_DIR) + "/scripts/" + name;
}

// A word for the shell: between single quotes (the paths hold none).
std::string quoted(const std::string& word) {
  return "'" + word + "'";
}

// A throwaway server of the test's own, destroyed when the test ends however it ends.
class ScopedServer {
 public:
  explicit ScopedServer(std::string dir) : dir_(std::move(dir)) {}
  ~ScopedServer() { run_program(script("db-server.sh"), {"destroy", dir_}); }
  ScopedServer(const ScopedServer&) = delete;
  ScopedServer& operator=(const ScopedServer&) = delete;
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

}  // namespace

// A server whose clock stands on the first of March: yesterday is the last of February.
TEST(DayValuesFirstOfMonth, FindsTheLastDayOfThePreviousMonth) {
  ScopedTempDir temp;
  ScopedServer server(temp.file("db"));
  const std::string db_server = quoted(script("db-server.sh"));
  const std::string site = quoted(script("site.sh"));
  const std::string setup = "set -e\n" + db_server + " start " + quoted(server.dir()) + "\n. " +
                            quoted(server.dir() + "/env") + "\n" + site + " init " +
                            quoted(kTestPassword) + "\n" + site +
                            " client MNDA\n"
                            "mariadb --no-defaults -uroot MNDA -e \""
                            "INSERT INTO Kvb300Pnr (PNRNUM) VALUES ('P1');"
                            "INSERT INTO Kvb320Tgb (TGBPNR, TGBZTR, TGBDTM, TGBVT1) VALUES"
                            " ('P1', 1, CURDATE(), 1),"
                            " ('P1', 1, CURDATE() - INTERVAL 1 DAY, 75),"
                            " ('P1', 1, CURDATE() - INTERVAL 2 DAY, 2)\"\n";
  RunOptions options;
  options.env = {"FAKETIME=@2027-03-01 10:00:00"};
  const RunResult started = run_program("bash", {"-c", setup}, options);
  ASSERT_EQ(0, started.status) << started.out << started.err;

  RunOptions probe_options;
  probe_options.env = {"MYSQL_UNIX_PORT=" + server.dir() + "/mysqld.sock"};
  const RunResult probe =
      run_program(built_program("day_values_probe"), {kTestPassword, "P1"}, probe_options);
  ASSERT_EQ(0, probe.status) << probe.out << probe.err;
  const std::string date = probe.out.substr(0, probe.out.find('\n'));
  if (date.size() != 10 || date.compare(8, 2, "01") != 0) {
    GTEST_SKIP() << "faketime did not move the server's clock: " << date;
  }
  EXPECT_EQ(date + "\n0|  1,15 |  0,00 |  0,00 |  0,00 |  0,00 |  0,00 |  0,00 |  1,15 |  0,00 \n",
            probe.out);
}
