#include "generators/zkdnl60p.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/connection.h"
#include "support/site_rows.h"
#include "support/test_db.h"

namespace {

class Zkdnl60pTest : public DbTest {
 protected:
  // Terminal T1 with readers 1 and 3 in zones Z1 and Z3; class 5 authorised only in Z3.
  // Its balance list SAL1 starts with code #W10 (after a line 0, which has no slot), then
  // #W2. Person P1 had 60 minutes of value 1 and 120 of value 3 yesterday.
  void SetUp() override {
    DbTest::SetUp();
    add_clients();
    add_reader("T1", 1, "Z1");
    add_reader("T1", 3, "Z3");
    add_zone_right("5", "Z3");
    admin().exec(
        "INSERT INTO KvBasis.Kvb114Tsm (TsmNam, TSMSAL, TsmSpr) VALUES ('T1', 'SAL1', 1);"
        "INSERT INTO KvBasis.G2101SalLst (TsaSal, TsaLfd, TsaAnz, TsaAus) VALUES "
        "('SAL1', 0, 1, 2), ('SAL1', 1, 1, 10), ('SAL1', 2, 1, 2);"
        "INSERT INTO KvBasis.Kvb102Whl (FtxNumSpr, FtxWhl, FtxSpr, FtxT50, FTXT10) VALUES "
        "(220001, 1, 1, 'Saldo', NULL), (220002, 10, 1, NULL, '#W10'), "
        "(220002, 2, 1, NULL, '#W2')");
    add_previous_day("P1", "TGBVT1 = 60, TGBVT3 = 90, TGBSA3 = 30");
  }

  // A person with an account row of yesterday; the lookup reads both from the connection's
  // database, MNDA, whichever client schema is visited.
  static void add_previous_day(const std::string& person, const std::string& columns) {
    admin().exec("INSERT INTO MNDA.Kvb300Pnr (PNRNUM) VALUES (" + admin().quote(person) +
                 "); INSERT INTO MNDA.Kvb320Tgb SET TGBPNR = " + admin().quote(person) +
                 ", TGBZTR = 1, TGBDTM = CURDATE() - INTERVAL 1 DAY, " + columns);
  }

  struct Generated {
    int rc;
    std::string out;
    long selects;  // SELECT statements the generator ran
  };
  static Generated generate(const char* schema = kClientA, const char* terminal = "T1") {
    use_client_schema(schema);
    const long before = session_selects();
    testing::internal::CaptureStdout();
    const int rc = zkdnl60p_generate("x", terminal, schema);
    std::string out = testing::internal::GetCapturedStdout();
    return {rc, out, session_selects() - before};
  }

  static std::string from(int days_ago) {
    return server_date("CURDATE() - INTERVAL " + std::to_string(days_ago) + " DAY");
  }
  // Badge number and valid-from date ten days ago: columns 1 to 21.
  static std::string head(const std::string& number) {
    return number + std::string(13 - number.size(), ' ') + from(10);
  }
};

}  // namespace

TEST_F(Zkdnl60pTest, FirstListLineChoosesTheValueAndEveryReaderCarriesTheClass) {
  add_badge({.AswNum = "A1"});
  add_badge({.AswNum = "A2", .AswPnr = "P9"});
  const Generated g = generate();
  EXPECT_EQ(0, g.rc);
  // A person without previous-day row is no reason for a message.
  EXPECT_EQ("Ausweise gesamt: 2 davon in Datei gestellt: 2\n", g.out);
  EXPECT_EQ((std::vector<std::string>{head("A1") + "1"
                                                   "1"
                                                   "  2,00 "
                                                   "015  "
                                                   "     "
                                                   "035  ",
                                      head("A2") + "1"
                                                   "1"
                                                   "       "
                                                   "015  "
                                                   "     "
                                                   "035  "}),
            staged_records());
}

TEST_F(Zkdnl60pTest, OnlyReadersUpToThreeCountForAccess) {
  for (int reader = 1; reader <= 5; ++reader) {
    const std::string number = std::to_string(reader);
    add_reader("T5", reader, "Y" + number);
  }
  add_zone_right("5", "Y5");
  add_badge({.AswNum = "A1"});
  EXPECT_EQ("Ausweise gesamt: 1 davon in Datei gestellt: 1\n", generate(kClientA, "T5").out);
  // T5 has no balance list: no value either.
  EXPECT_EQ(std::vector<std::string>{head("A1") + "10       " + std::string(15, ' ')},
            staged_records());
}

TEST_F(Zkdnl60pTest, ClassOfOneCharacterFromThePersonEntry) {
  admin().exec(
      "INSERT INTO MNDA.Kvb310Bsv (BsvPnr, BsvAkr, BsvGvo) VALUES ('P1', 'R6', CURDATE()); "
      "INSERT INTO MNDA.Kvb408Bzu (BzuAkr, BzuBkl, BzuGvo) VALUES ('R6', '6', "
      "CURDATE() - INTERVAL 1 DAY)");
  add_zone_right("6", "Z1");
  add_badge({.AswNum = "A1", .AswBkl = "0"});
  EXPECT_EQ("Ausweise gesamt: 1 davon in Datei gestellt: 1\n", generate().out);
  // The assignment's date replaces the badge's own.
  EXPECT_EQ(std::vector<std::string>{"A1           " + from(1) +
                                     "11  2,00 "
                                     "016  "
                                     "     "
                                     "036  "},
            staged_records());
}

TEST_F(Zkdnl60pTest, BadgeWithoutClassHasNoAccessAndIsStagedOnlyForTime) {
  add_badge({.AswNum = "A1", .AswBkl = "0"});
  Generated g = generate();
  EXPECT_EQ("Ausweise gesamt: 1 davon in Datei gestellt: 1\n", g.out);
  EXPECT_EQ(std::vector<std::string>{head("A1") + "10  2,00 " + std::string(15, ' ')},
            staged_records());
  // The balance list and its first code, the badge list, six class sources, the previous-day
  // values, reader 1 and its type-3 count: no reader list for access. The first class source
  // and the previous-day values may be read whole: the size of their key's table is asked,
  // and the default database, where the previous-day values are.
  EXPECT_EQ(2 + 1 + 6 + 1 + 2 + 3, g.selects);

  // A type-3 right of class 0 in reader 1's zone takes its time recording as well.
  admin().exec("DELETE FROM KvBasis.Kvb999Tmp");
  add_zone_right("0", "Z1", 3);
  db_commit();  // the program's connection reads in one transaction: see the new right
  g = generate();
  EXPECT_EQ(
      "Ausweis A1 ohne Zeit-/Zutrittsberechtigung auf Terminal T1\n"
      "Ausweise gesamt: 1 davon in Datei gestellt: 0\n",
      g.out);
  EXPECT_TRUE(staged_records().empty());
}

TEST_F(Zkdnl60pTest, NumberOfThirteenCharactersAndMissingValidFromDate) {
  add_badge({.AswNum = "1234567890123"});
  add_badge({.AswNum = "A2", .AswGvo = "NULL", .AswGbi = "CURDATE() + INTERVAL 5 DAY"});
  generate();
  EXPECT_EQ((std::vector<std::string>{"1234567890123" + from(10) + "11  2,00 015       035  ",
                                      "A2           00000000"
                                      "11  2,00 015       035  "}),
            staged_records());
}

TEST_F(Zkdnl60pTest, ValuesThatDoNotFitAreRefusedNotWritten) {
  add_zone_right("1234", "Z3");
  add_badge({.AswNum = "12345678901234"});
  add_badge({.AswNum = "R2", .AswBkl = "1234"});
  add_badge({.AswNum = "R3", .AswPnr = "123456789"});
  add_badge({.AswNum = "R4", .AswGrp = "123456"});
  add_badge({.AswNum = "A5"});
  EXPECT_EQ(
      "Ausweis 12345678901234 mit zu langem Wert: Ausweisnummer (max. 13 Zeichen)\n"
      "Ausweis R2 mit zu langem Wert: Berechtigungsklasse 1234 (max. 3 Zeichen)\n"
      "Ausweis R3 mit zu langem Wert: Personalnummer (max. 8 Zeichen)\n"
      "Ausweis R4 mit zu langem Wert: Ausweisgruppe (max. 5 Zeichen)\n"
      "Ausweise gesamt: 5 davon in Datei gestellt: 1\n",
      generate().out);
  EXPECT_EQ(std::vector<std::string>{head("A5") + "11  2,00 015       035  "}, staged_records());
}

TEST_F(Zkdnl60pTest, FailedBadgeListStopsTheRun) {
  add_badge({.AswNum = "A1"});
  admin().exec("REVOKE SELECT ON KvBasis.Kvb113Awv FROM 'vestragen'@'%'");
  const Generated g = generate();
  admin().exec("GRANT SELECT ON KvBasis.Kvb113Awv TO 'vestragen'@'%'");
  EXPECT_NE(0, g.rc);
  EXPECT_EQ("Fehler beim Lesen der Ausweise! ErrNr: 1142 Schema: MNDA\n", g.out);
  EXPECT_TRUE(staged_records().empty());
}

TEST_F(Zkdnl60pTest, SchemaWithoutBadgesPrintsOnlyTheSummary) {
  const Generated g = generate(kClientB);
  EXPECT_EQ(0, g.rc);
  EXPECT_EQ("Ausweise gesamt: 0 davon in Datei gestellt: 0\n", g.out);
}
