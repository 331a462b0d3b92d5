#include "lookup/badges.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/connection.h"
#include "db/cursor.h"
#include "support/site_rows.h"
#include "support/test_db.h"

namespace {

class BadgesTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    add_clients();
  }

  // A new site for the next case of a table; the commit ends the connection's snapshot of
  // the old one.
  void restart() {
    reset_site();
    add_clients();
    ASSERT_EQ(1, db_commit());
  }

  // Every badge of the schema, each fetched into a cleared record; the list must end well.
  std::vector<BadgeRecord> fetch_all(const char* schema = kClientA) {
    std::vector<BadgeRecord> badges;
    EXPECT_EQ(0, badges_open(schema));
    BadgeRecord badge;
    int rc;
    while ((rc = badges_fetch(badge)) == 0) {
      badges.push_back(badge);
      badge = BadgeRecord{};
    }
    EXPECT_EQ(RC_NO_ROW, rc);
    EXPECT_EQ(0, badges_close());
    return badges;
  }

  std::vector<std::string> numbers(const char* schema = kClientA) {
    std::vector<std::string> out;
    for (const BadgeRecord& b : fetch_all(schema))
      out.push_back(b.AswNum);
    return out;
  }

  BadgeRecord only_badge() {
    const std::vector<BadgeRecord> badges = fetch_all();
    EXPECT_EQ(1u, badges.size());
    return badges.empty() ? BadgeRecord{} : badges[0];
  }
};

}  // namespace

TEST_F(BadgesTest, ValidTodayWithBothBoundsIncludedAndNullBoundsOpen) {
  const struct {
    const char* number;
    const char* from;
    const char* to;
  } badges[] = {
      {"01", "CURDATE()", "NULL"},
      {"02", "NULL", "CURDATE()"},
      {"03", "CURDATE()", "CURDATE()"},
      {"04", "CURDATE() - INTERVAL 5 DAY", "CURDATE() + INTERVAL 5 DAY"},
      {"05", "CURDATE() + INTERVAL 1 DAY", "NULL"},
      {"06", "NULL", "CURDATE() - INTERVAL 1 DAY"},
      {"07", "NULL", "NULL"},
      {"08", "CURDATE() - INTERVAL 9 DAY", "CURDATE() - INTERVAL 1 DAY"},
  };
  for (const auto& b : badges)
    add_badge({.AswNum = b.number, .AswGvo = b.from, .AswGbi = b.to});
  EXPECT_EQ((std::vector<std::string>{"01", "02", "03", "04"}), numbers());
}

TEST_F(BadgesTest, StatusFourOrEightOfBadgeOrLocationRowHidesTheBadge) {
  const struct {
    const char* number;
    const char* badge_status;
    const char* location_status;
  } badges[] = {
      {"01", "NULL", "NULL"}, {"02", "0", "1"},    {"03", "4", "NULL"},
      {"04", "8", "NULL"},    {"05", "NULL", "4"}, {"06", "NULL", "8"},
  };
  for (const auto& b : badges) {
    add_badge({.AswNum = b.number, .AswSta = b.badge_status, .AwvSta = b.location_status});
  }
  EXPECT_EQ((std::vector<std::string>{"01", "02"}), numbers());
}

TEST_F(BadgesTest, OnlyTheNamedClientsBadges) {
  add_badge({.AswNum = "A1", .ASWMND = 1});
  add_badge({.AswNum = "B1", .ASWMND = 2});
  EXPECT_EQ(std::vector<std::string>{"A1"}, numbers(kClientA));
  EXPECT_EQ(std::vector<std::string>{"B1"}, numbers(kClientB));
  EXPECT_TRUE(numbers("MND'A").empty());
}

TEST_F(BadgesTest, FieldsAreCutAndPaddedAsTheRecordsShowThem) {
  const struct {
    std::optional<std::string> AswBkl, AwvSto;
    const char* AswAtp;
    const char* want_class;
    const char* want_location;
    const char* want_type;
  } cases[] = {
      {"0", "123", "NULL", "0  ", "00000123", "0"},
      {"12", "12345678", "7", "12 ", "12345678", "7"},
      {"1234", std::nullopt, "-9", "1234", "00000000", "-9"},
      {"12345", "", "99", "12345", "00000000", "99"},
      {std::nullopt, "7  ", "0", "   ", "00000007", "0"},
      {"5  ", " 12", "NULL", "5  ", "00000 12", "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.want_class);
    restart();
    add_badge({.AswBkl = c.AswBkl, .AswAtp = c.AswAtp, .AwvSto = c.AwvSto});
    const BadgeRecord badge = only_badge();
    EXPECT_STREQ(c.want_class, badge.AswBkl);
    EXPECT_STREQ(c.want_location, badge.AwvSto);
    EXPECT_STREQ(c.want_type, badge.AswAtp);
    EXPECT_EQ(nullptr, badge.too_long);
  }
}

TEST_F(BadgesTest, TrailingBlanksAreCutLeadingBlanksKept) {
  add_badge({.AswNum = " 47 11  ",
             .AswGvo = "CURDATE() - INTERVAL 2 DAY",
             .AswGbi = "CURDATE() + INTERVAL 2 DAY",
             .AswPnr = " P1\t ",
             .AswGrp = "G 1  "});
  const BadgeRecord badge = only_badge();
  EXPECT_STREQ(" 47 11", badge.AswNum);
  EXPECT_STREQ(" P1", badge.AswPnr);
  EXPECT_STREQ("G 1", badge.AswGrp);
  EXPECT_EQ(server_date("CURDATE() - INTERVAL 2 DAY"), badge.AswGvo);
  EXPECT_EQ(server_date("CURDATE() + INTERVAL 2 DAY"), badge.AswGbi);
}

TEST_F(BadgesTest, TwoLocationRowsDeliverTheBadgeTwiceInOrder) {
  add_badge({.AswNum = "2", .AwvSto = "9"});
  admin().exec("INSERT INTO KvBasis.Kvb113Awv (AwvNum, AwvSto) VALUES ('2', '8')");
  add_badge({.AswNum = "1"});
  add_badge({.AswNum = "3"});
  const std::vector<BadgeRecord> badges = fetch_all();
  ASSERT_EQ(4u, badges.size());
  EXPECT_STREQ("1", badges[0].AswNum);
  EXPECT_STREQ("2", badges[1].AswNum);
  EXPECT_STREQ("2", badges[2].AswNum);
  EXPECT_STREQ("3", badges[3].AswNum);
  EXPECT_NE(std::string(badges[1].AwvSto), badges[2].AwvSto);
}

TEST_F(BadgesTest, QuoteInBadgeNumberIsJustACharacter) {
  add_badge({.AswNum = "O'1\\"});
  EXPECT_EQ(std::vector<std::string>{"O'1\\"}, numbers());
}

TEST_F(BadgesTest, ValueThatDoesNotFitIsCutAndNamed) {
  const struct {
    BadgeRow row;
    const char* reason;
  } cases[] = {
      {{.AswNum = std::string(51, 'N')}, "Ausweisnummer (max. 50 Zeichen)"},
      {{.AswPnr = "123456789"}, "Personalnummer (max. 8 Zeichen)"},
      {{.AswBkl = "123456"}, "Berechtigungsklasse (max. 5 Zeichen)"},
      {{.AswGrp = "GRUPPE"}, "Ausweisgruppe (max. 5 Zeichen)"},
      {{.AswAtp = "100"}, "Ausweistyp (max. 2 Zeichen)"},
      {{.AswAtp = "-10"}, "Ausweistyp (max. 2 Zeichen)"},
      {{.AwvSto = "123456789"}, "Standortnummer (max. 8 Zeichen)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    restart();
    add_badge(c.row);
    const BadgeRecord badge = only_badge();
    ASSERT_NE(nullptr, badge.too_long);
    EXPECT_STREQ(c.reason, badge.too_long);
  }
  // The field holds the value cut to its width.
  restart();
  add_badge({.AswPnr = "123456789"});
  EXPECT_STREQ("12345678", only_badge().AswPnr);
}

TEST_F(BadgesTest, ClientWithoutValidBadgesEndsAtOnce) {
  add_badge({.AswSta = "8"});
  EXPECT_EQ(0, badges_open(kClientA));
  BadgeRecord badge;
  EXPECT_EQ(RC_NO_ROW, badges_fetch(badge));
  EXPECT_STREQ("", badge.AswNum);
  EXPECT_EQ(0, badges_close());
}

TEST_F(BadgesTest, RefusedQueryGivesTheServerErrorAndNoRows) {
  admin().exec("REVOKE SELECT ON KvBasis.Kvb113Awv FROM 'vestragen'@'%'");
  const int rc = badges_open(kClientA);
  admin().exec("GRANT SELECT ON KvBasis.Kvb113Awv TO 'vestragen'@'%'");
  EXPECT_EQ(1142, rc);  // SELECT command denied
  BadgeRecord badge;
  EXPECT_EQ(-1, badges_fetch(badge));
  EXPECT_EQ(-1, badges_close());
}
