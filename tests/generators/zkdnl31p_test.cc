#include "generators/zkdnl31p.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/site_rows.h"
#include "support/test_db.h"

namespace {

class Zkdnl31pTest : public DbTest {
 protected:
  // Terminal T1 with reader 1 in zone Z1, where class 5 is authorised; location 123 with
  // the short text AB.
  void SetUp() override {
    DbTest::SetUp();
    add_clients();
    add_reader("T1", 1, "Z1");
    add_zone_right("5", "Z1");
    add_location("123", "AB");
  }

  struct Generated {
    int rc;
    std::string out;
  };
  static Generated generate(const char* schema = kClientA, const char* terminal = "T1") {
    use_client_schema(schema);
    testing::internal::CaptureStdout();
    const int rc = zkdnl31p_generate("x", terminal, schema);
    return {rc, testing::internal::GetCapturedStdout()};
  }

  static std::string from(int days_ago) {
    return server_date("CURDATE() - INTERVAL " + std::to_string(days_ago) + " DAY");
  }
};

}  // namespace

TEST_F(Zkdnl31pTest, StagesAuthorisedBadgesAndNamesTheOthers) {
  add_badge({.AswNum = "4711", .AswBkl = "5"});
  add_badge({.AswNum = "4712", .AswBkl = "0"});
  add_badge({.AswNum = "4713", .AswBkl = "7"});
  add_badge(
      {.AswNum = "4714", .AswGbi = "CURDATE() + INTERVAL 3 DAY", .AswBkl = "5", .AwvSto = "999"});
  const Generated g = generate();
  EXPECT_EQ(0, g.rc);
  EXPECT_EQ(
      "Ausweis 4712 ohne g\xFC"
      "ltige Berechtigungsklasse\n"
      "Ausweis 4713 ohne Zutrittsberechtigung auf Terminal T1\n"
      "Ausweise gesamt: 4 davon in Datei gestellt: 2\n",
      g.out);
  const std::string until = server_date("CURDATE() + INTERVAL 3 DAY");
  EXPECT_EQ((std::vector<std::string>{"4711"
                                      "         " +
                                          from(10) +
                                          "00000000"
                                          "1"
                                          "1"
                                          "XXXX,XX-"
                                          "001"
                                          "5  "
                                          "AB ",
                                      "4714"
                                      "         " +
                                          from(10) + until +
                                          "1"
                                          "1"
                                          "XXXX,XX-"
                                          "001"
                                          "5  "
                                          "   "}),
            staged_records());
}

TEST_F(Zkdnl31pTest, TypeThreeRightInReaderOnesZoneClearsOnlyTheTimeFlag) {
  admin().exec("UPDATE KvBasis.Kvb404Zbr SET ZbrZtb = 3");
  add_badge({.AswNum = "4711", .AswBkl = "5"});
  EXPECT_EQ("Ausweise gesamt: 1 davon in Datei gestellt: 1\n", generate().out);
  EXPECT_EQ(std::vector<std::string>{"4711"
                                     "         " +
                                     from(10) +
                                     "00000000"
                                     "0"
                                     "1"
                                     "XXXX,XX-"
                                     "001"
                                     "5  "
                                     "AB "},
            staged_records());
}

TEST_F(Zkdnl31pTest, ClassFromADepartmentBringsItsDates) {
  admin().exec(
      "INSERT INTO MNDA.Kvb311Zuo (ZuoPnr, ZuoAbt, ZuoGvo) VALUES ('P1', 'A4', CURDATE()); "
      "INSERT INTO MNDA.Kvb408Bzu (BzuAbt, BzuBkl, BzuGvo, BzuGbi) VALUES "
      "('A4', '12', CURDATE() - INTERVAL 2 DAY, CURDATE() + INTERVAL 2 DAY)");
  add_zone_right("12", "Z1");
  add_badge({.AswNum = "4711", .AswBkl = "0", .AswGrp = "G1"});
  EXPECT_EQ("Ausweise gesamt: 1 davon in Datei gestellt: 1\n", generate().out);
  EXPECT_EQ(std::vector<std::string>{"4711"
                                     "         " +
                                     from(2) + server_date("CURDATE() + INTERVAL 2 DAY") +
                                     "1"
                                     "1"
                                     "XXXX,XX-"
                                     "001"
                                     "12 "
                                     "AB "},
            staged_records());
}

TEST_F(Zkdnl31pTest, ValuesThatDoNotFitAreRefusedNotWritten) {
  add_zone_right("1234", "Z1");
  add_badge({.AswNum = "12345678901234", .AswBkl = "5"});
  add_badge({.AswNum = "R2", .AswBkl = "1234"});
  add_badge({.AswNum = "R3", .AswPnr = "123456789", .AswBkl = "5"});
  add_badge({.AswNum = "R4", .AswBkl = "5", .AswAtp = "100"});
  add_badge({.AswNum = "1234567890123", .AswBkl = "5"});
  EXPECT_EQ(
      "Ausweis 12345678901234 mit zu langem Wert: Ausweisnummer (max. 13 Zeichen)\n"
      "Ausweis R2 mit zu langem Wert: Berechtigungsklasse 1234 (max. 3 Zeichen)\n"
      "Ausweis R3 mit zu langem Wert: Personalnummer (max. 8 Zeichen)\n"
      "Ausweis R4 mit zu langem Wert: Ausweistyp (max. 2 Zeichen)\n"
      "Ausweise gesamt: 5 davon in Datei gestellt: 1\n",
      generate().out);
  ASSERT_EQ(1u, staged_records().size());
  EXPECT_EQ(0u, staged_records()[0].find("1234567890123" + from(10)));
}

TEST_F(Zkdnl31pTest, QuotesInBadgeNumberAndTerminalNameAreJustCharacters) {
  add_reader("T'1", 1, "Z1");
  add_badge({.AswNum = "47'11\\", .AswBkl = "5"});
  const Generated g = generate(kClientA, "T'1");
  EXPECT_EQ("Ausweise gesamt: 1 davon in Datei gestellt: 1\n", g.out);
  EXPECT_EQ(std::vector<std::string>{"47'11\\"
                                     "       " +
                                     from(10) +
                                     "00000000"
                                     "1"
                                     "1"
                                     "XXXX,XX-"
                                     "001"
                                     "5  "
                                     "AB "},
            staged_records());
}

TEST_F(Zkdnl31pTest, TwoClientSchemasMeetSortedInTheStagingTable) {
  add_badge({.AswNum = "3000", .ASWMND = 1});
  add_badge({.AswNum = "2000", .ASWMND = 2});
  add_badge({.AswNum = "1000", .ASWMND = 1});
  EXPECT_EQ("Ausweise gesamt: 2 davon in Datei gestellt: 2\n", generate(kClientA).out);
  EXPECT_EQ("Ausweise gesamt: 1 davon in Datei gestellt: 1\n", generate(kClientB).out);
  const std::vector<std::string> records = staged_records();
  ASSERT_EQ(3u, records.size());
  EXPECT_EQ("1000", records[0].substr(0, 4));
  EXPECT_EQ("2000", records[1].substr(0, 4));
  EXPECT_EQ("3000", records[2].substr(0, 4));
}

TEST_F(Zkdnl31pTest, SchemaWithoutBadgesPrintsOnlyTheSummary) {
  const Generated g = generate(kClientB);
  EXPECT_EQ(0, g.rc);
  EXPECT_EQ("Ausweise gesamt: 0 davon in Datei gestellt: 0\n", g.out);
}

TEST_F(Zkdnl31pTest, FailedBadgeListStopsTheRun) {
  add_badge({.AswNum = "4711"});
  admin().exec("REVOKE SELECT ON KvBasis.Kvb301Asw FROM 'vestragen'@'%'");
  const Generated g = generate();
  admin().exec("GRANT SELECT ON KvBasis.Kvb301Asw TO 'vestragen'@'%'");
  EXPECT_NE(0, g.rc);
  EXPECT_EQ("Fehler beim Lesen der Ausweise! ErrNr: 1142 Schema: MNDA\n", g.out);
  EXPECT_TRUE(staged_records().empty());
}

TEST_F(Zkdnl31pTest, MissingInsertRightStopsTheRunInsteadOfRefusingEveryRecord) {
  add_badge({.AswNum = "4711"});
  admin().exec("REVOKE INSERT ON KvBasis.Kvb999Tmp FROM 'vestragen'@'%'");
  const Generated g = generate();
  admin().exec("GRANT INSERT ON KvBasis.Kvb999Tmp TO 'vestragen'@'%'");
  EXPECT_NE(0, g.rc);
  EXPECT_EQ("Fehler beim Schreiben Tab. Kvb999Tmp! ErrNr: 1142 User: x\n", g.out);
}
