#include "generators/idstamm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/site_rows.h"
#include "support/test_db.h"

namespace {

class IdstammTest : public DbTest {
 protected:
  // Terminal T1 with reader 1 in zone Z1, where class 5 is authorised; person P1 of MNDA
  // with language 2 and balance list SAL1.
  void SetUp() override {
    DbTest::SetUp();
    add_clients();
    add_reader("T1", 1, "Z1");
    add_zone_right("5", "Z1");
    add_person(kClientA, "P1", "2", "SAL1");
  }

  static void add_person(const char* schema, const char* number, const char* language,
                         const std::string& list) {
    admin().exec(std::string("INSERT INTO ") + schema +
                 ".Kvb300Pnr (PNRNUM, PnrSpr, PnrSal) VALUES (" + admin().quote(number) + ", " +
                 language + ", " + admin().quote(list) + ")");
  }

  struct Generated {
    int rc;
    std::string out;
  };
  static Generated generate(const char* schema = kClientA, const char* terminal = "T1") {
    use_client_schema(schema);
    testing::internal::CaptureStdout();
    const int rc = idstamm_generate("x", terminal, schema);
    return {rc, testing::internal::GetCapturedStdout()};
  }

  static std::string from(int days_ago) {
    return server_date("CURDATE() - INTERVAL " + std::to_string(days_ago) + " DAY");
  }
};

}  // namespace

TEST_F(IdstammTest, LineOfABadgeWithAccessAndTime) {
  add_badge({.AswNum = "4711", .AswAtp = "7"});
  const Generated g = generate();
  EXPECT_EQ(0, g.rc);
  EXPECT_EQ("Ausweise gesamt: 1 davon in Datei gestellt: 1\n", g.out);
  EXPECT_EQ(std::vector<std::string>{"\"4711\",\"" + from(10) +
                                     "\",\"\",\"00123\",\"1\",\"1\",\"2\",\"SAL1\",\"001\","
                                     "\"5  \",\"\",\"P1\",\"7\"\n"},
            staged_records());
}

TEST_F(IdstammTest, FlagsClassAndPersonFieldsPerBadge) {
  add_zone_right("7", "Z1", 3);
  const struct {
    BadgeRow row;
    const char* want_tail;  // from field 4 on
  } cases[] = {
      // A type-3 right in reader 1's zone: access, but no time recording.
      {{.AswNum = "01", .AswBkl = "7"},
       "\"00123\",\"0\",\"1\",\"2\",\"SAL1\",\"001\",\"7  \",\"\",\"P1\",\"0\"\n"},
      // Class 0 without assignment: class "0", no access, time recording all the same.
      {{.AswNum = "02", .AswBkl = "0"},
       "\"00123\",\"1\",\"0\",\"2\",\"SAL1\",\"001\",\"0\",\"\",\"P1\",\"0\"\n"},
      // A person without row leaves language and list empty.
      {{.AswNum = "03", .AswPnr = "P9"},
       "\"00123\",\"1\",\"1\",\"\",\"\",\"001\",\"5  \",\"\",\"P9\",\"0\"\n"},
      {{.AswNum = "04", .AwvSto = "0"},
       "\"\",\"1\",\"1\",\"2\",\"SAL1\",\"001\",\"5  \",\"\",\"P1\",\"0\"\n"},
      {{.AswNum = "05", .AwvSto = std::nullopt},
       "\"\",\"1\",\"1\",\"2\",\"SAL1\",\"001\",\"5  \",\"\",\"P1\",\"0\"\n"},
      {{.AswNum = "06", .AwvSto = "123456"},
       "\"23456\",\"1\",\"1\",\"2\",\"SAL1\",\"001\",\"5  \",\"\",\"P1\",\"0\"\n"},
      {{.AswNum = "07", .AwvSto = "1"},
       "\"00001\",\"1\",\"1\",\"2\",\"SAL1\",\"001\",\"5  \",\"\",\"P1\",\"0\"\n"},
  };
  std::vector<std::string> want;
  for (const auto& c : cases) {
    add_badge(c.row);
    want.push_back("\"" + c.row.AswNum + "\",\"" + from(10) + "\",\"\"," + c.want_tail);
  }
  EXPECT_EQ("Ausweise gesamt: 7 davon in Datei gestellt: 7\n", generate().out);
  EXPECT_EQ(want, staged_records());
}

TEST_F(IdstammTest, BadgeWithoutValidFromKeepsThirteenFields) {
  add_badge({.AswNum = "4711", .AswGvo = "NULL", .AswGbi = "CURDATE() + INTERVAL 5 DAY"});
  generate();
  EXPECT_EQ(
      std::vector<std::string>{"\"4711\",\"\",\"" + server_date("CURDATE() + INTERVAL 5 DAY") +
                               "\",\"00123\",\"1\",\"1\",\"2\",\"SAL1\",\"001\","
                               "\"5  \",\"\",\"P1\",\"0\"\n"},
      staged_records());
}

TEST_F(IdstammTest, ClassResolvedForAPersonOfTheVisitedSchema) {
  admin().exec(
      "INSERT INTO MNDB.Kvb310Bsv (BsvPnr, BsvAkr, BsvGvo) VALUES ('P1', 'R6', CURDATE()); "
      "INSERT INTO MNDB.Kvb408Bzu (BzuAkr, BzuBkl, BzuGvo) VALUES ('R6', '6', CURDATE())");
  add_person(kClientB, "P1", "3", "SALB");
  add_badge({.AswNum = "B1", .AswBkl = "0", .ASWMND = 2});
  add_badge({.AswNum = "A1", .ASWMND = 1});
  generate(kClientA);
  generate(kClientB);
  const std::string today = server_date("CURDATE()");
  EXPECT_EQ((std::vector<std::string>{
                "\"A1\",\"" + from(10) +
                    "\",\"\",\"00123\",\"1\",\"1\",\"2\",\"SAL1\",\"001\",\"5  \",\"\",\"P1\","
                    "\"0\"\n",
                "\"B1\",\"" + today +
                    "\",\"\",\"00123\",\"1\",\"0\",\"3\",\"SALB\",\"001\",\"6\",\"\",\"P1\","
                    "\"0\"\n"}),
            staged_records());
}

TEST_F(IdstammTest, QuotesInBadgeAndPersonNumberAreJustCharacters) {
  add_person(kClientA, "P'1", "4", "S'1");
  add_badge({.AswNum = "O'1", .AswPnr = "P'1"});
  EXPECT_EQ("Ausweise gesamt: 1 davon in Datei gestellt: 1\n", generate().out);
  EXPECT_EQ(std::vector<std::string>{"\"O'1\",\"" + from(10) +
                                     "\",\"\",\"00123\",\"1\",\"1\",\"4\",\"S'1\",\"001\","
                                     "\"5  \",\"\",\"P'1\",\"0\"\n"},
            staged_records());
}

TEST_F(IdstammTest, ValuesThatDoNotFitAreRefusedNotWritten) {
  add_person(kClientA, "P2", "2", "12345678901");
  add_badge({.AswNum = "R1", .AswPnr = "123456789"});
  add_badge({.AswNum = "R2", .AswPnr = "P2"});
  add_badge({.AswNum = "R3", .AwvSto = "123456789"});
  add_badge({.AswNum = "R4", .AswBkl = "123456"});
  add_badge({.AswNum = "1234567890123456"});
  EXPECT_EQ(
      "Ausweis R1 mit zu langem Wert: Personalnummer (max. 8 Zeichen)\n"
      "Ausweis R2 mit zu langem Wert: Saldenliste (max. 10 Zeichen)\n"
      "Ausweis R3 mit zu langem Wert: Standortnummer (max. 8 Zeichen)\n"
      "Ausweis R4 mit zu langem Wert: Berechtigungsklasse (max. 5 Zeichen)\n"
      "Ausweise gesamt: 5 davon in Datei gestellt: 1\n",
      generate().out);
  ASSERT_EQ(1u, staged_records().size());
  EXPECT_EQ(0u, staged_records()[0].find("\"1234567890123456\","));
}

TEST_F(IdstammTest, FailedBadgeListStopsTheRun) {
  add_badge({.AswNum = "4711"});
  admin().exec("REVOKE SELECT ON KvBasis.Kvb112Mnd FROM 'vestragen'@'%'");
  const Generated g = generate();
  admin().exec("GRANT SELECT ON KvBasis.Kvb112Mnd TO 'vestragen'@'%'");
  EXPECT_NE(0, g.rc);
  EXPECT_EQ("Fehler beim Lesen der Ausweise! ErrNr: 1142 Schema: MNDA\n", g.out);
  EXPECT_TRUE(staged_records().empty());
}

TEST_F(IdstammTest, SchemaWithoutBadgesPrintsOnlyTheSummary) {
  const Generated g = generate(kClientB);
  EXPECT_EQ(0, g.rc);
  EXPECT_EQ("Ausweise gesamt: 0 davon in Datei gestellt: 0\n", g.out);
}
