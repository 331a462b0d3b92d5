#include "lookup/vacation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/cursor.h"
#include "db/schemas.h"
#include "support/test_db.h"

namespace {

constexpr char kThisYear[] = "YEAR(CURDATE())";

class VacationTest : public DbTest {
 protected:
  // Empties the site again within a test. The program's connection reads in one
  // transaction (autocommit off): its snapshot must end to see the new rows.
  void restart() {
    reset_site();
    db_commit();
  }
  void SetUp() override {
    DbTest::SetUp();
    std::strcpy(current_schema, kClientA);
  }
  void person(const std::string& pnr, const std::string& sta = "NULL",
              const std::string& schema = kClientA) {
    admin().exec("INSERT INTO " + schema + ".Kvb300Pnr (PNRNUM, PnrSta) VALUES (" +
                 admin().quote(pnr) + ", " + sta + ")");
  }
  // Vacation days: UtgVtg, UtgRtg, UtgGut as SQL texts.
  void days(const std::string& pnr, const std::string& day, const std::string& vtg,
            const std::string& rtg, const std::string& gut, const std::string& schema = kClientA) {
    admin().exec("INSERT INTO " + schema + ".Kvb332Utg VALUES (" + admin().quote(pnr) + ", " + day +
                 ", " + vtg + ", " + rtg + ", " + gut + ")");
  }
  // Entitlement of a year: URVGUR, URVVJR as SQL texts.
  void entitlement(const std::string& pnr, const std::string& year, const std::string& gur,
                   const std::string& vjr, const std::string& schema = kClientA) {
    admin().exec("INSERT INTO " + schema + ".Kvb332Urv VALUES (" + admin().quote(pnr) + ", " +
                 year + ", " + gur + ", " + vjr + ")");
  }
  static BadgeRecord marked_badge(const char* pnr) {
    BadgeRecord badge;
    std::strcpy(badge.AswPnr, pnr);
    for (std::string& value : badge.vacation_values)
      value = "mark";
    return badge;
  }
  static std::vector<std::string> texts(const BadgeRecord& badge) {
    return std::vector<std::string>(std::begin(badge.vacation_values),
                                    std::end(badge.vacation_values));
  }
};

const std::vector<std::string> kZeros(6, "  0,00 ");

}  // namespace

// Order of the texts: URVGUR, UtgGut, UtgVtg, remaining, UtgRtg, URVVJR.
TEST_F(VacationTest, BothRowsGiveSixFiguresAndZero) {
  person("P1");
  days("P1", "CURDATE() - INTERVAL 3 DAY", "2.5", "12.25", "-2.5");
  entitlement("P1", kThisYear, "30", "5.5");
  BadgeRecord badge = marked_badge("P1");
  EXPECT_EQ(0, vacation_values_fill(badge));
  EXPECT_EQ(
      (std::vector<std::string>{" 30,00 ", "  2,50-", "  2,50 ", " 24,50 ", " 12,25 ", "  5,50 "}),
      texts(badge));
}

TEST_F(VacationTest, RemainingNeverFallsBelowZero) {
  person("P1");
  days("P1", "CURDATE()", "1", "2", "3");
  entitlement("P1", kThisYear, "5", "7.5");
  BadgeRecord badge = marked_badge("P1");
  EXPECT_EQ(0, vacation_values_fill(badge));
  EXPECT_EQ("  5,00 ", badge.vacation_values[0]);
  EXPECT_EQ("  0,00 ", badge.vacation_values[3]);
  EXPECT_EQ("  7,50 ", badge.vacation_values[5]);
}

// The server's three-decimal figures round half up as decimals, the remaining days as well.
// Each figure here reads as a double just below its half hundredth; 9.995 keeps the lead of
// a figure below 10.
TEST_F(VacationTest, HalfHundredthsOfTheFiguresRoundUp) {
  person("P1");
  days("P1", "CURDATE()", "9.995", "-2.675", "0.015");
  entitlement("P1", kThisYear, "11.11", "1.115");
  BadgeRecord badge = marked_badge("P1");
  EXPECT_EQ(0, vacation_values_fill(badge));
  EXPECT_EQ((std::vector<std::string>{" 11,11 ", "  0,02 ", "  10,00 ", "  10,00 ", "  2,68-",
                                      "  1,12 "}),
            texts(badge));
}

TEST_F(VacationTest, NewestDaysRowNotAfterTodayCounts) {
  person("P1");
  days("P1", "CURDATE() - INTERVAL 10 DAY", "1", "1", "1");
  days("P1", "CURDATE() + INTERVAL 1 DAY", "3", "3", "3");
  days("P1", "CURDATE()", "2", "NULL", "4.75");
  days("P1", "CURDATE() - INTERVAL 1 DAY", "5", "5", "5");
  entitlement("P1", kThisYear, "1", "0");
  BadgeRecord badge = marked_badge("P1");
  EXPECT_EQ(0, vacation_values_fill(badge));
  EXPECT_EQ("  4,75 ", badge.vacation_values[1]);
  EXPECT_EQ("  2,00 ", badge.vacation_values[2]);
  EXPECT_EQ("  0,00 ", badge.vacation_values[4]);  // NULL counts 0
}

TEST_F(VacationTest, MissingRowsGiveZeroFiguresAndNoRowPerRow) {
  const struct {
    bool days;
    bool entitlement;
    int rc;
    std::vector<std::string> texts;
  } cases[] = {
      {true, false, RC_NO_ROW, {"  0,00 ", "  3,00 ", "  1,00 ", "  0,00 ", "  2,00 ", "  0,00 "}},
      {false, true, RC_NO_ROW, {" 25,00 ", "  0,00 ", "  0,00 ", " 20,00 ", "  0,00 ", "  5,00 "}},
      {false, false, 2 * RC_NO_ROW, kZeros},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rc);
    SCOPED_TRACE(c.days);
    restart();
    person("P1");
    if (c.days) days("P1", "CURDATE() - INTERVAL 1 DAY", "1", "2", "3");
    if (c.entitlement) entitlement("P1", kThisYear, "25", "5");
    BadgeRecord badge = marked_badge("P1");
    EXPECT_EQ(c.rc, vacation_values_fill(badge));
    EXPECT_EQ(c.texts, texts(badge));
  }
}

TEST_F(VacationTest, OnlyTheCurrentYearsEntitlementCounts) {
  person("P1");
  days("P1", "CURDATE()", "1", "1", "1");
  entitlement("P1", "YEAR(CURDATE()) - 1", "30", "1");
  entitlement("P1", "YEAR(CURDATE()) + 1", "31", "2");
  BadgeRecord badge = marked_badge("P1");
  EXPECT_EQ(RC_NO_ROW, vacation_values_fill(badge));
  EXPECT_EQ("  0,00 ", badge.vacation_values[0]);
  EXPECT_EQ("  0,00 ", badge.vacation_values[5]);
}

TEST_F(VacationTest, PersonStatusFourOrEightHidesBothRows) {
  const struct {
    const char* sta;
    int rc;
  } cases[] = {{"NULL", 0}, {"0", 0}, {"4", 2 * RC_NO_ROW}, {"8", 2 * RC_NO_ROW}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sta);
    restart();
    person("P1", c.sta);
    days("P1", "CURDATE()", "1", "1", "1");
    entitlement("P1", kThisYear, "20", "0");
    BadgeRecord badge = marked_badge("P1");
    EXPECT_EQ(c.rc, vacation_values_fill(badge));
    EXPECT_EQ(c.rc == 0 ? " 20,00 " : "  0,00 ", badge.vacation_values[0]);
    EXPECT_EQ(c.rc == 0 ? "  1,00 " : "  0,00 ", badge.vacation_values[2]);
  }
}

// The connection's database is MNDA; the tables come from the schema being visited.
TEST_F(VacationTest, TablesComeFromTheCurrentClientSchema) {
  person("P1", "NULL", kClientB);
  days("P1", "CURDATE()", "1", "1", "1", kClientB);
  entitlement("P1", kThisYear, "20", "0", kClientB);
  std::strcpy(current_schema, kClientB);
  BadgeRecord badge = marked_badge("P1");
  EXPECT_EQ(0, vacation_values_fill(badge));
  EXPECT_EQ(" 20,00 ", badge.vacation_values[0]);
  EXPECT_EQ("  1,00 ", badge.vacation_values[2]);
}

TEST_F(VacationTest, FailedQueryReturnsItsCodeAndWritesNothing) {
  std::strcpy(current_schema, "NOSUCH");
  BadgeRecord badge = marked_badge("P1");
  const int rc = vacation_values_fill(badge);
  EXPECT_NE(0, rc);
  EXPECT_NE(RC_NO_ROW, rc);
  EXPECT_NE(2 * RC_NO_ROW, rc);
  EXPECT_EQ(std::vector<std::string>(6, "mark"), texts(badge));
}
