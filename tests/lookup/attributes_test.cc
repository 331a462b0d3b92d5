#include "lookup/attributes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "db/connection.h"
#include "db/cursor.h"
#include "support/site_rows.h"
#include "support/test_db.h"

namespace {

class AttributesTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    use_client_schema(kClientA);
  }

  void restart() {
    reset_site();
    ASSERT_EQ(1, db_commit());
  }

  static void add_terminal(const std::string& name, std::optional<std::string> type,
                           std::optional<std::string> list, const std::string& sta = "NULL") {
    AdminDb& db = admin();
    db.exec("INSERT INTO KvBasis.Kvb114Tsm (TsmNam, TSMTYP, TSMSAL, TsmSta) VALUES (" +
            db.quote(name) + ", " + db.quote(type) + ", " + db.quote(list) + ", " + sta + ")");
  }

  static void add_person(const std::string& schema, const std::string& number,
                         const std::string& language, std::optional<std::string> list,
                         const std::string& sta = "NULL") {
    AdminDb& db = admin();
    db.exec("INSERT INTO `" + schema + "`.Kvb300Pnr (PNRNUM, PnrSpr, PnrSal, PnrSta) VALUES (" +
            db.quote(number) + ", " + language + ", " + db.quote(list) + ", " + sta + ")");
  }

  static BadgeRecord badge(const char* number, const char* person = "P1") {
    BadgeRecord b;
    std::strcpy(b.AswNum, number);
    std::strcpy(b.AswPnr, person);
    return b;
  }
};

}  // namespace

TEST_F(AttributesTest, TerminalTypeAndListTrimmed) {
  add_terminal("T'1", "7598-002  ", "SAL1 ");
  TerminalAttributes out;
  EXPECT_EQ(0, terminal_attributes("T'1", out));
  EXPECT_STREQ("7598-002", out.TsmTyp);
  EXPECT_STREQ("SAL1", out.TsmSal);
}

TEST_F(AttributesTest, TerminalHiddenByStatusOrNullColumnsLeaveFieldsEmpty) {
  add_terminal("T1", "TYP", "SAL", "8");
  add_terminal("T2", std::nullopt, "SAL");
  TerminalAttributes hidden;
  EXPECT_EQ(RC_NO_ROW, terminal_attributes("T1", hidden));
  EXPECT_STREQ("", hidden.TsmTyp);
  EXPECT_STREQ("", hidden.TsmSal);
  TerminalAttributes partial;
  EXPECT_EQ(0, terminal_attributes("T2", partial));
  EXPECT_STREQ("", partial.TsmTyp);
  EXPECT_STREQ("SAL", partial.TsmSal);
}

TEST_F(AttributesTest, TerminalValueOverTenCharactersIsNotTaken) {
  add_terminal("T1", "12345678901", "SAL");
  TerminalAttributes out;
  EXPECT_EQ(RC_TOO_LONG, terminal_attributes("T1", out));
  EXPECT_STREQ("", out.TsmTyp);
  EXPECT_STREQ("SAL", out.TsmSal);
}

TEST_F(AttributesTest, LocationTextGivesItsFirstThreeCharacters) {
  const struct {
    std::optional<std::string> text;
    const char* location_status;
    const char* badge_location_status;
    int want_rc;
    const char* want;
  } cases[] = {
      {"AB", "NULL", "NULL", 0, "AB"},
      {"ABCDEF", "0", "1", 0, "ABC"},
      {" X  ", "NULL", "NULL", 0, " X"},
      // Read as its first 11 characters, so the blanks before XYZ become trailing ones.
      {"AB         XYZ", "NULL", "NULL", 0, "AB"},
      {std::nullopt, "NULL", "NULL", 0, ""},
      {"AB", "4", "NULL", RC_NO_ROW, ""},
      {"AB", "8", "NULL", RC_NO_ROW, ""},
      {"AB", "NULL", "4", RC_NO_ROW, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.value_or("NULL") + " " + c.location_status + " " + c.badge_location_status);
    restart();
    add_location("123", c.text, c.location_status);
    admin().exec(std::string("INSERT INTO KvBasis.Kvb113Awv (AwvNum, AwvSto, AwvSta) VALUES "
                             "('47''11', '123', ") +
                 c.badge_location_status + ")");
    BadgeRecord b = badge("47'11");
    EXPECT_EQ(c.want_rc, badge_location_text(b));
    EXPECT_STREQ(c.want, b.StoKtx);
  }
}

TEST_F(AttributesTest, PersonLanguageAndBalanceList) {
  const struct {
    const char* language;
    std::optional<std::string> list;
    const char* want_language;
    const char* want_list;
  } cases[] = {
      {"3", "SAL1  ", "3", "SAL1"},
      {"-12", "S", "-12", "S"},
      {"NULL", "SAL2", "", "SAL2"},
      {"9999", std::nullopt, "9999", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    restart();
    add_person(kClientA, "P'1", c.language, c.list);
    BadgeRecord b = badge("1", "P'1");
    EXPECT_EQ(0, person_attributes(b));
    EXPECT_STREQ(c.want_language, b.PnrSpr);
    EXPECT_STREQ(c.want_list, b.PnrSal);
    EXPECT_EQ(nullptr, b.too_long);
  }
}

TEST_F(AttributesTest, PersonIsLookedUpInTheCurrentClientSchemaOnly) {
  add_person(kClientB, "P1", "2", "B");
  add_person(kClientA, "P2", "2", "A", "4");
  BadgeRecord b = badge("1", "P1");
  EXPECT_EQ(RC_NO_ROW, person_attributes(b));
  BadgeRecord hidden = badge("1", "P2");
  EXPECT_EQ(RC_NO_ROW, person_attributes(hidden));
  EXPECT_STREQ("", hidden.PnrSal);
  use_client_schema(kClientB);
  EXPECT_EQ(0, person_attributes(b));
  EXPECT_STREQ("B", b.PnrSal);
}

TEST_F(AttributesTest, PersonValueThatDoesNotFitIsCutAndNamed) {
  const struct {
    const char* language;
    std::string list;
    const char* reason;
    const char* want_language;
    const char* want_list;
  } cases[] = {
      {"12345", "S", "Sprache (max. 4 Zeichen)", "1234", "S"},
      {"-1234", "S", "Sprache (max. 4 Zeichen)", "-123", "S"},
      {"1", "12345678901", "Saldenliste (max. 10 Zeichen)", "1", "1234567890"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    restart();
    add_person(kClientA, "P1", c.language, c.list);
    BadgeRecord b = badge("1");
    EXPECT_EQ(0, person_attributes(b));
    ASSERT_NE(nullptr, b.too_long);
    EXPECT_STREQ(c.reason, b.too_long);
    EXPECT_STREQ(c.want_language, b.PnrSpr);
    EXPECT_STREQ(c.want_list, b.PnrSal);
  }
}
