#include "lookup/access_class.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "db/connection.h"
#include "db/cursor.h"
#include "lookup/badge_fields.h"
#include "lookup/prefetch.h"
#include "support/site_rows.h"
#include "support/test_db.h"

namespace {

// What one source's assignment is made of; each source k gets its own names, class "k" and
// the dates k days before and after today.
struct SourceRows {
  std::string schema = kClientA;
  std::string person = "P1";
  std::string group = "G1";
  std::optional<std::string> access_class = std::nullopt;  // default: the source's number
  std::string cost_centre = "";                            // default: "K" + number
  std::string department = "";                             // default: "A" + number
};

class AccessClassTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    use_client_schema(kClientA);
  }

  void restart() {
    reset_site();
    ASSERT_EQ(1, db_commit());
  }

  // A badge of class 0 with group G1 and person P1, valid until 100 days from today.
  static BadgeRecord badge_of_class_zero(const char* person = "P1", const char* group = "G1") {
    BadgeRecord badge;
    std::strcpy(badge.AswNum, "4711");
    std::strcpy(badge.AswBkl, "0  ");
    std::strcpy(badge.AswPnr, person);
    std::strcpy(badge.AswGrp, group);
    std::strcpy(badge.AswGvo, server_date("CURDATE() - INTERVAL 100 DAY").c_str());
    std::strcpy(badge.AswGbi, server_date("CURDATE() + INTERVAL 100 DAY").c_str());
    return badge;
  }

  // The rows through which source k finds an assignment.
  static void add_source(int k, SourceRows r = {}) {
    AdminDb& db = admin();
    const std::string n = std::to_string(k);
    const std::string s = "`" + r.schema + "`.";
    const std::string kst = r.cost_centre.empty() ? "K" + n : r.cost_centre;
    const std::string abt = r.department.empty() ? "A" + n : r.department;
    const std::string bkl = r.access_class ? db.quote(*r.access_class) : db.quote(n);
    const std::string dates =
        "CURDATE() - INTERVAL " + n + " DAY, CURDATE() + INTERVAL " + n + " DAY";
    const std::string pnr = db.quote(r.person);
    const std::string zuo_from = "CURDATE() - INTERVAL 30 DAY";
    std::string sql;
    switch (k) {
      case 1:
        sql = "INSERT INTO " + s + "Kvb408Bzu (BzuZau, BzuBkl, BzuGvo, BzuGbi) VALUES (" +
              db.quote(r.group) + ", " + bkl + ", " + dates + ")";
        break;
      case 2:
        sql = "INSERT INTO " + s + "Kvb311Zuo (ZuoPnr, ZuoKst, ZuoGvo) VALUES (" + pnr + ", " +
              db.quote(kst) + ", " + zuo_from + "); INSERT INTO " + s +
              "Kvb408Bzu (BzuKst, BzuBkl, BzuGvo, BzuGbi) VALUES (" + db.quote(kst) + ", " + bkl +
              ", " + dates + ")";
        break;
      case 3:
        sql = "INSERT INTO " + s + "O1003Kststelle (KstNum, KstVws) VALUES (" + db.quote(kst) +
              ", 'V3'); INSERT INTO " + s + "Kvb311Zuo (ZuoPnr, ZuoKst, ZuoGvo) VALUES (" + pnr +
              ", " + db.quote(kst) + ", " + zuo_from + "); INSERT INTO " + s +
              "Kvb408Bzu (BzuVks, BzuBkl, BzuGvo, BzuGbi) VALUES ('V3', " + bkl + ", " + dates +
              ")";
        break;
      case 4:
        sql = "INSERT INTO " + s + "Kvb311Zuo (ZuoPnr, ZuoAbt, ZuoGvo) VALUES (" + pnr + ", " +
              db.quote(abt) + ", " + zuo_from + "); INSERT INTO " + s +
              "Kvb408Bzu (BzuAbt, BzuBkl, BzuGvo, BzuGbi) VALUES (" + db.quote(abt) + ", " + bkl +
              ", " + dates + ")";
        break;
      case 5:
        sql = "INSERT INTO " + s + "G1102AbtLst (AblAbt, AblVab) VALUES (" + db.quote(abt) +
              ", 'L5'); INSERT INTO " + s + "Kvb311Zuo (ZuoPnr, ZuoAbt, ZuoGvo) VALUES (" + pnr +
              ", " + db.quote(abt) + ", " + zuo_from + "); INSERT INTO " + s +
              "Kvb408Bzu (BzuVab, BzuBkl, BzuGvo, BzuGbi) VALUES ('L5', " + bkl + ", " + dates +
              ")";
        break;
      case 6:
        sql = "INSERT INTO " + s + "Kvb310Bsv (BsvPnr, BsvAkr, BsvGvo) VALUES (" + pnr +
              ", 'R6', " + zuo_from + "); INSERT INTO " + s +
              "Kvb408Bzu (BzuAkr, BzuBkl, BzuGvo, BzuGbi) VALUES ('R6', " + bkl + ", " + dates +
              ")";
        break;
    }
    db.exec(sql);
  }
};

using SourceFunction = int (*)(BadgeRecord&);
constexpr SourceFunction kSources[] = {
    access_class_by_badge_group, access_class_by_cost_centre,     access_class_by_cost_centre_group,
    access_class_by_department,  access_class_by_department_list, access_class_by_person};

}  // namespace

TEST_F(AccessClassTest, OwnClassStandsWithoutAnyQuery) {
  for (int k = 1; k <= 6; ++k)
    add_source(k);
  for (const char* own : {"5  ", "   ", "12 ", "00 ", "0"}) {
    SCOPED_TRACE(own);
    BadgeRecord badge = badge_of_class_zero();
    std::strcpy(badge.AswBkl, own);
    const BadgeRecord before = badge;
    const long selects = session_selects();
    EXPECT_EQ(1, access_class_resolve(badge));
    EXPECT_EQ(selects, session_selects());
    EXPECT_STREQ(own, badge.AswBkl);
    EXPECT_STREQ(before.AswGvo, badge.AswGvo);
  }
}

TEST_F(AccessClassTest, FirstSourceWithAnAssignmentWinsInTheChainsOrder) {
  const struct {
    const char* access_class;
    const char* group;
    const char* cost_centre;
    const char* department;
  } want[] = {
      {"1  ", "G1", "", ""},   {"2  ", "G1", "K2", ""}, {"3  ", "G1", "", ""},
      {"4  ", "G1", "", "A4"}, {"5  ", "G1", "", ""},   {"6", "G1", "", ""},
  };
  for (int k = 1; k <= 6; ++k) {
    SCOPED_TRACE(k);
    restart();
    for (int later = k; later <= 6; ++later)
      add_source(later);
    BadgeRecord badge = badge_of_class_zero();
    for (int earlier = 1; earlier < k; ++earlier) {
      BadgeRecord probe = badge;
      EXPECT_EQ(RC_NO_ROW, kSources[earlier - 1](probe));
    }
    EXPECT_EQ(1, access_class_resolve(badge));
    const auto& w = want[k - 1];
    EXPECT_STREQ(w.access_class, badge.AswBkl);
    EXPECT_STREQ(w.group, badge.AswGrp);
    EXPECT_STREQ(w.cost_centre, badge.ZuoKst);
    EXPECT_STREQ(w.department, badge.ZuoAbt);
    const std::string n = std::to_string(k);
    EXPECT_EQ(server_date("CURDATE() - INTERVAL " + n + " DAY"), badge.AswGvo);
    EXPECT_EQ(server_date("CURDATE() + INTERVAL " + n + " DAY"), badge.AswGbi);
    EXPECT_EQ(nullptr, badge.too_long);
  }
}

TEST_F(AccessClassTest, NoSourceLeavesClassZero) {
  BadgeRecord badge = badge_of_class_zero();
  EXPECT_EQ(0, access_class_resolve(badge));
  EXPECT_STREQ("0  ", badge.AswBkl);
}

TEST_F(AccessClassTest, NullColumnsAreNotWritten) {
  admin().exec(
      "INSERT INTO MNDA.Kvb408Bzu (BzuZau, BzuBkl, BzuGvo, BzuGbi) VALUES "
      "('G1', NULL, CURDATE() - INTERVAL 3 DAY, NULL)");
  BadgeRecord badge = badge_of_class_zero();
  const std::string own_end = badge.AswGbi;
  EXPECT_EQ(1, access_class_resolve(badge));
  EXPECT_STREQ("0  ", badge.AswBkl);
  EXPECT_EQ(server_date("CURDATE() - INTERVAL 3 DAY"), badge.AswGvo);
  EXPECT_EQ(own_end, badge.AswGbi);
}

TEST_F(AccessClassTest, AssignmentDatesAndStatusDecide) {
  const struct {
    const char* from;
    const char* to;
    const char* status;
    int want;
  } cases[] = {
      {"CURDATE()", "NULL", "NULL", 0},
      {"NULL", "CURDATE()", "1", 0},
      {"NULL", "NULL", "NULL", RC_NO_ROW},
      {"CURDATE() + INTERVAL 1 DAY", "NULL", "NULL", RC_NO_ROW},
      {"NULL", "CURDATE() - INTERVAL 1 DAY", "NULL", RC_NO_ROW},
      {"CURDATE()", "NULL", "4", RC_NO_ROW},
      {"CURDATE()", "NULL", "8", RC_NO_ROW},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " " + c.to + " " + c.status);
    restart();
    admin().exec(std::string("INSERT INTO MNDA.Kvb408Bzu (BzuZau, BzuBkl, BzuGvo, BzuGbi, "
                             "BzuSta) VALUES ('G1', '7', ") +
                 c.from + ", " + c.to + ", " + c.status + ")");
    BadgeRecord badge = badge_of_class_zero();
    EXPECT_EQ(c.want, access_class_by_badge_group(badge));
  }
}

TEST_F(AccessClassTest, ExpiredOrganisationRowsGiveNothing) {
  for (int k = 2; k <= 5; ++k)
    add_source(k);
  admin().exec("UPDATE MNDA.Kvb311Zuo SET ZuoGbi = CURDATE() - INTERVAL 1 DAY");
  BadgeRecord badge = badge_of_class_zero();
  for (int k = 2; k <= 5; ++k)
    EXPECT_EQ(RC_NO_ROW, kSources[k - 1](badge)) << k;
  EXPECT_EQ(0, access_class_resolve(badge));
}

TEST_F(AccessClassTest, CostCentreAndDepartmentListWithStatusEightGiveNothing) {
  add_source(3);
  add_source(5);
  admin().exec("UPDATE MNDA.O1003Kststelle SET KstSta = 8; UPDATE MNDA.G1102AbtLst SET AblSta = 8");
  BadgeRecord badge = badge_of_class_zero();
  EXPECT_EQ(0, access_class_resolve(badge));
  EXPECT_STREQ("0  ", badge.AswBkl);
}

TEST_F(AccessClassTest, ClientSchemaWithoutCostCentresGoesOnToTheDepartment) {
  create_client_schema("MNDX");
  admin().exec("DROP TABLE MNDX.O1003Kststelle");
  add_source(4, {.schema = "MNDX"});
  use_client_schema("MNDX");
  BadgeRecord badge = badge_of_class_zero();
  EXPECT_EQ(1146, access_class_by_cost_centre_group(badge));  // no such table
  EXPECT_EQ(1, access_class_resolve(badge));
  EXPECT_STREQ("4  ", badge.AswBkl);
  EXPECT_STREQ("A4", badge.ZuoAbt);
}

TEST_F(AccessClassTest, WithinAPassAStatementForAllKeysThatFailsIsNotedAndFallsBack) {
  create_client_schema("MNDX");
  admin().exec("DROP TABLE MNDX.O1003Kststelle");
  add_source(4, {.schema = "MNDX"});
  use_client_schema("MNDX");
  BadgeRecord badge = badge_of_class_zero();
  const std::size_t noted = prefetch_fallbacks().size();
  prefetch_pass_begin("MNDX");
  prefetch_note_badge(badge);
  EXPECT_EQ(1, access_class_resolve(badge));
  prefetch_pass_end();
  EXPECT_STREQ("4  ", badge.AswBkl);
  ASSERT_EQ(noted + 1, prefetch_fallbacks().size());
  const PrefetchFallback& fallback = prefetch_fallbacks().back();
  EXPECT_EQ("MNDX", fallback.schema);
  EXPECT_EQ("Berechtigungsklasse des Kostenstellenverbunds", fallback.lookup);
  EXPECT_EQ(1146, fallback.error);  // no such table
}

TEST_F(AccessClassTest, SchemaNameIsQuotedAsAnIdentifier) {
  create_client_schema("MND-C");
  add_source(2, {.schema = "MND-C"});
  use_client_schema("MND-C");
  BadgeRecord badge = badge_of_class_zero();
  EXPECT_EQ(1, access_class_resolve(badge));
  EXPECT_STREQ("2  ", badge.AswBkl);
}

TEST_F(AccessClassTest, QuotesInGroupAndPersonAreJustCharacters) {
  add_source(1, {.group = "G'1"});
  add_source(6, {.person = "P'1\\"});
  BadgeRecord by_group = badge_of_class_zero("P1", "G'1");
  EXPECT_EQ(0, access_class_by_badge_group(by_group));
  EXPECT_STREQ("1  ", by_group.AswBkl);
  BadgeRecord by_person = badge_of_class_zero("P'1\\", "G1");
  EXPECT_EQ(1, access_class_resolve(by_person));
  EXPECT_STREQ("6", by_person.AswBkl);
}

TEST_F(AccessClassTest, ValueThatDoesNotFitIsCutAndNamed) {
  const struct {
    int source;
    SourceRows rows;
    const char* reason;
  } cases[] = {
      {1, {.access_class = "123456"}, "Berechtigungsklasse (max. 5 Zeichen)"},
      {6, {.access_class = "123456"}, "Berechtigungsklasse (max. 5 Zeichen)"},
      {2, {.cost_centre = std::string(31, 'K')}, "Kostenstelle (max. 30 Zeichen)"},
      {4, {.department = std::string(16, 'A')}, "Abteilung (max. 15 Zeichen)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    restart();
    add_source(c.source, c.rows);
    BadgeRecord badge = badge_of_class_zero();
    EXPECT_EQ(1, access_class_resolve(badge));
    ASSERT_NE(nullptr, badge.too_long);
    EXPECT_STREQ(c.reason, badge.too_long);
  }
  restart();
  add_source(1, {.access_class = "123456"});
  BadgeRecord badge = badge_of_class_zero();
  (void)access_class_resolve(badge);
  EXPECT_STREQ("12345", badge.AswBkl);
}
