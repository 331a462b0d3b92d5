#include "generators/zkdnl18p.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "db/connection.h"
#include "support/display_rows.h"
#include "support/site_rows.h"
#include "support/test_db.h"

namespace {

std::string blanks(std::size_t n) {
  return std::string(n, ' ');
}

// Today as the program takes it: this machine's local date.
std::string local_today() {
  const std::time_t now = std::time(nullptr);
  char text[16] = {};
  std::strftime(text, sizeof text, "%d.%m.%y", std::localtime(&now));
  return text;
}

class Zkdnl18pTest : public DbTest {
 protected:
  // Terminal T1 with list S1; person P1 of MNDA with a previous day and vacation figures
  // whose texts are "  1,30 " (#W2), " 10,00 " (#W9), " 24,50 " (#W4), " 30,00 " (#W8).
  void SetUp() override {
    DbTest::SetUp();
    add_clients();
    add_terminal("T1", "X-1", "S1");
    person_with_figures(kClientA, "P1");
  }

  static void person_with_figures(const std::string& schema, const std::string& pnr) {
    add_person(schema, pnr);
    add_previous_day(kClientA, pnr, "TGBVT1 = 90, TGBVT2 = 600");
    add_vacation_days(schema, pnr, "1.5", "2.25", "3.75");
    add_vacation_entitlement(schema, pnr, "30", "5.5");
  }

  struct Generated {
    int rc;
    std::string out;
  };
  // Runs the generator for terminal under the staging key key.
  static Generated generate(const char* schema = kClientA, const char* terminal = "T1",
                            const char* key = "x") {
    use_client_schema(schema);
    // The program's reads run in one transaction: end it to see the rows set up since.
    db_commit();
    testing::internal::CaptureStdout();
    const int rc = zkdnl18p_generate(key, terminal, schema);
    return {rc, testing::internal::GetCapturedStdout()};
  }

  // The value area of slot n.
  static std::string value_area(const std::string& record, int n) {
    return record.substr(26 + 20 * (n - 1), 7);
  }

  // A second badge row of an existing badge number, without a location row of its own.
  static void add_badge_row(const std::string& number, const std::string& gvo,
                            const std::string& access_class) {
    admin().exec(
        "INSERT INTO KvBasis.Kvb301Asw (AswNum, AswGvo, AswPnr, AswBkl, ASWLIZ, ASWMND) VALUES "
        "(" +
        admin().quote(number) + ", " + gvo + ", 'P1', " + admin().quote(access_class) + ", 1, 1)");
  }
  static void add_location_row(const std::string& number) {
    admin().exec("INSERT INTO KvBasis.Kvb113Awv (AwvNum, AwvSto) VALUES (" + admin().quote(number) +
                 ", '1')");
  }
  // Class 3 holds a type-3 authorisation in the zone of T1's reader 1.
  static void refuse_class_3_on_t1() {
    add_reader("T1", 1, "Z1");
    add_zone_right("3", "Z1", 3);
  }
};

const char kOneStaged[] = "Ausweise gesamt: 1 davon in Datei gestellt: 1\n";

}  // namespace

TEST_F(Zkdnl18pTest, DateSlotBehindADayValueSlotByteForByte) {
  add_display_list("S1", {{1, 1, "Saldo", "#W2"}, {3, 1, "Datum", "#W1"}});
  add_badge({.AswNum = "4711"});
  const Generated g = generate();
  EXPECT_EQ(0, g.rc);
  EXPECT_EQ(kOneStaged, g.out);
  EXPECT_EQ(std::vector<std::string>{"4711         "
                                     "Saldo        "
                                     "  1,30 " +
                                     blanks(20) + "Datum       " + local_today() + blanks(100)},
            staged_records());
}

TEST_F(Zkdnl18pTest, RightHalfLabelsAndASecondDateSlot) {
  add_display_list("S1", {{2, 2, "Gleitzeit", "#W9"},
                          {5, 2, "Heutiges Datum", "#W1"},
                          {6, 2, "Resturlaub", "#W4"},
                          {7, 1, "Datum", "#W1"}});
  add_badge({.AswNum = "4711"});
  EXPECT_EQ(kOneStaged, generate().out);
  const std::string today = local_today();
  EXPECT_EQ(std::vector<std::string>{"4711         " + blanks(20) +
                                     "Gleitzeit    "
                                     " 10,00 " +
                                     blanks(40) + " Heutiges Da" + today +
                                     " Resturlaub  "
                                     " 24,50 "
                                     "Datum        " +
                                     today.substr(0, 7) + blanks(20)},
            staged_records());
}

TEST_F(Zkdnl18pTest, Model7598002ShowsOnlyTheLeftHalf) {
  add_display_list("S1", {{1, 1, "Saldo", "#W2"}, {5, 1, "Urlaub", "#W8"}});
  add_terminal("T2", "7598-002", "S1");
  add_terminal("T3", "7744-010", "S1");
  add_terminal("T4", std::nullopt, "S1");
  add_badge({.AswNum = "4711"});
  const std::string left = "4711         Saldo          1,30 " + blanks(60);
  const struct {
    const char* terminal;
    std::string record;
  } cases[] = {
      {"T1", left + "Urlaub       " + " 30,00 " + blanks(60)},
      {"T2", left + blanks(80)},
      {"T3", left + "Urlaub       " + " 30,00 " + blanks(60)},
      {"T4", left + "Urlaub       " + " 30,00 " + blanks(60)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.terminal);
    EXPECT_EQ(kOneStaged, generate(kClientA, c.terminal, c.terminal).out);
    EXPECT_EQ(std::vector<std::string>{c.record}, staged_records(c.terminal));
  }
}

TEST_F(Zkdnl18pTest, EveryCodeShowsItsSource) {
  admin().exec(
      "DELETE FROM MNDA.Kvb320Tgb; DELETE FROM MNDA.Kvb332Utg; DELETE FROM MNDA.Kvb332Urv");
  add_previous_day(kClientA, "P1",
                   "TGBVT1 = 60, TGBSA1 = 1, TGBVT2 = 122, TGBVT3 = 1083, TGBVT4 = 244, "
                   "TGBVT5 = 305, TGBVT6 = 366, TGBVT7 = -427");
  add_vacation_days(kClientA, "P1", "1.5", "2.25", "3.75");
  add_vacation_entitlement(kClientA, "P1", "30", "4.5");
  add_display_list("S1", {{1, 1, "L1", "#W2"},
                          {2, 1, "L2", "#W3"},
                          {3, 1, "L3", "#W4"},
                          {4, 1, "L4", "#W5"},
                          {5, 1, "L5", "#W6"},
                          {6, 1, "L6", "#W7"},
                          {7, 1, "L7", "#W8"},
                          {8, 1, "L8", "#W9"}});
  add_terminal("T2", "X-1", "S2");
  add_display_list("S2", {{1, 1, "L1", "#W10"},
                          {2, 1, "L2", "#W11"},
                          {3, 1, "L3", "#W12"},
                          {4, 1, "L4", "#W13"},
                          {5, 1, "L5", "#W14"},
                          {6, 1, "L6", "#W15"},
                          {7, 1, "L7", "#W16"},
                          {8, 1, "L8", "#w2"}});
  add_badge({.AswNum = "4711"});
  EXPECT_EQ(kOneStaged, generate(kClientA, "T1", "T1").out);
  EXPECT_EQ(kOneStaged, generate(kClientA, "T2", "T2").out);
  const struct {
    const char* terminal;
    int slot;
    const char* code;
    const char* value;
  } cases[] = {
      {"T1", 1, "#W2", "  1,01 "},   // TGBVT1 + TGBSA1
      {"T1", 2, "#W3", "  4,50 "},   // URVVJR
      {"T1", 3, "#W4", " 25,50 "},   // URVGUR - URVVJR
      {"T1", 4, "#W5", "  3,75 "},   // UtgGut
      {"T1", 5, "#W6", "  1,50 "},   // UtgVtg
      {"T1", 6, "#W7", "  2,25 "},   // UtgRtg
      {"T1", 7, "#W8", " 30,00 "},   // URVGUR
      {"T1", 8, "#W9", "  2,02 "},   // TGBVT2
      {"T2", 1, "#W10", " 18,03 "},  // TGBVT3
      {"T2", 2, "#W11", "  4,04 "},  // TGBVT4
      {"T2", 3, "#W12", "  5,05 "},  // TGBVT5
      {"T2", 4, "#W13", "  6,06 "},  // TGBVT6
      {"T2", 5, "#W14", "  7,07-"},  // TGBVT7
      {"T2", 6, "#W15", "  3,03 "},  // pairs 1 and 2
      {"T2", 7, "#W16", " 20,05 "},  // pairs 2 and 3
      {"T2", 8, "#w2", "       "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    const std::vector<std::string> records = staged_records(c.terminal);
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(c.value, value_area(records[0], c.slot));
    const std::string slot = std::to_string(c.slot);
    EXPECT_EQ("L" + slot + blanks(11), records[0].substr(20 * c.slot - 7, 13));
  }
}

TEST_F(Zkdnl18pTest, MissingFiguresAreNamedAndTheRecordStillGoes) {
  add_display_list("S1",
                   {{1, 1, "Saldo", "#W2"}, {2, 1, "Anspruch", "#W8"}, {3, 1, "Genommen", "#W6"}});
  add_person(kClientA, "P2");  // no previous day
  add_vacation_days(kClientA, "P2", "1.5", "0", "0");
  add_vacation_entitlement(kClientA, "P2", "30", "0");
  add_person(kClientA, "P3");  // vacation days only
  add_previous_day(kClientA, "P3", "TGBVT1 = 60");
  add_vacation_days(kClientA, "P3", "1.5", "0", "0");
  add_person(kClientA, "P4");  // no vacation figures
  add_previous_day(kClientA, "P4", "TGBVT1 = 60");
  add_badge({.AswNum = "4702", .AswPnr = "P2"});
  add_badge({.AswNum = "4703", .AswPnr = "P3"});
  add_badge({.AswNum = "4704", .AswPnr = "P4"});
  add_badge({.AswNum = "4705", .AswPnr = "P5"});  // no person row at all
  EXPECT_EQ(
      "Ausweis:4702 Person:P2 Saldodaten nicht gefunden! 1032\n"
      "Ausweis:4703 Person:P3 Urlaubsdaten nicht gefunden! 1032\n"
      "Ausweis:4704 Person:P4 Urlaubsdaten nicht gefunden! 2064\n"
      "Ausweis:4705 Person:P5 Saldodaten nicht gefunden! 1032\n"
      "Ausweis:4705 Person:P5 Urlaubsdaten nicht gefunden! 2064\n"
      "Ausweise gesamt: 4 davon in Datei gestellt: 4\n",
      generate().out);
  const std::vector<std::string> records = staged_records();
  ASSERT_EQ(4u, records.size());
  const struct {
    const char* day;
    const char* entitlement;
    const char* taken;
  } want[] = {
      {"       ", " 30,00 ", "  1,50 "},
      {"  1,00 ", "  0,00 ", "  1,50 "},
      {"  1,00 ", "  0,00 ", "  0,00 "},
      {"       ", "  0,00 ", "  0,00 "},
  };
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(records[i].substr(0, 4));
    EXPECT_EQ(want[i].day, value_area(records[i], 1));
    EXPECT_EQ(want[i].entitlement, value_area(records[i], 2));
    EXPECT_EQ(want[i].taken, value_area(records[i], 3));
    EXPECT_EQ(173u, records[i].size());
  }
}

TEST_F(Zkdnl18pTest, LongValueTextsKeepTheirFirstSevenCharacters) {
  add_display_list(
      "S1", {{1, 1, "Saldo", "#W2"}, {2, 1, "Gutschrift", "#W5"}, {3, 1, "Anspruch", "#W8"}});
  add_person(kClientA, "P2");
  add_previous_day(kClientA, "P2", "TGBVT1 = 60000");
  add_vacation_days(kClientA, "P2", "0", "0", "9.996");
  add_vacation_entitlement(kClientA, "P2", "99.996", "0");
  add_badge({.AswNum = "4711", .AswPnr = "P2"});
  EXPECT_EQ(kOneStaged, generate().out);
  const std::vector<std::string> records = staged_records();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ("1000,00", value_area(records[0], 1));  // "1000,00 "
  EXPECT_EQ("  10,00", value_area(records[0], 2));  // "  10,00 "
  EXPECT_EQ(" 100,00", value_area(records[0], 3));  // " 100,00 "
  EXPECT_EQ("Gutschrift   ", records[0].substr(33, 13));
}

TEST_F(Zkdnl18pTest, OnlyTheFirstRowOfABadgeNumberIsWritten) {
  add_display_list("S1", {{1, 1, "Saldo", "#W2"}});
  add_badge({.AswNum = "4711"});
  add_location_row("4711");
  add_location_row("4711");
  add_badge({.AswNum = "4712"});
  EXPECT_EQ("Ausweise gesamt: 4 davon in Datei gestellt: 2\n", generate().out);
  const std::vector<std::string> records = staged_records();
  ASSERT_EQ(2u, records.size());
  EXPECT_EQ("4711         Saldo          1,30 ", records[0].substr(0, 33));
  EXPECT_EQ("4712         Saldo          1,30 ", records[1].substr(0, 33));
}

TEST_F(Zkdnl18pTest, RowRefusedByTheTimeCheckHidesTheNextRowOfItsNumber) {
  refuse_class_3_on_t1();
  add_badge({.AswNum = "4711", .AswGvo = "CURDATE() - INTERVAL 10 DAY", .AswBkl = "3"});
  add_badge_row("4711", "CURDATE() - INTERVAL 5 DAY", "5");
  add_badge({.AswNum = "4712", .AswBkl = "5"});
  EXPECT_EQ(
      "Ausweis 4711 auf Terminal T1 nicht zulaessig!\n"
      "Ausweise gesamt: 3 davon in Datei gestellt: 1\n",
      generate().out);
  const std::vector<std::string> records = staged_records();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ("4712" + blanks(169), records[0]);
}

TEST_F(Zkdnl18pTest, BadgeWithoutPersonIsLeftOutSilently) {
  refuse_class_3_on_t1();
  add_badge({.AswNum = "4711", .AswPnr = std::nullopt});
  add_badge({.AswNum = "4712", .AswPnr = ""});
  add_badge({.AswNum = "4713", .AswPnr = "  "});
  // The time check speaks for every row, also for one without person.
  add_badge({.AswNum = "4714", .AswPnr = std::nullopt, .AswBkl = "3"});
  EXPECT_EQ(
      "Ausweis 4714 auf Terminal T1 nicht zulaessig!\n"
      "Ausweise gesamt: 4 davon in Datei gestellt: 0\n",
      generate().out);
  EXPECT_TRUE(staged_records().empty());
}

TEST_F(Zkdnl18pTest, EachClientSchemaHasItsOwnSummary) {
  add_display_list("S1", {{1, 1, "Saldo", "#W2"}, {2, 1, "Anspruch", "#W8"}});
  add_badge({.AswNum = "3000", .AswPnr = "P1", .ASWMND = 1});
  add_badge({.AswNum = "2000", .AswPnr = "P2", .ASWMND = 2});
  add_badge({.AswNum = "1000", .AswPnr = "P1", .ASWMND = 1});
  // MNDB's person: vacation from MNDB, the previous day from the connection's MNDA.
  add_person(kClientB, "P2");
  add_vacation_days(kClientB, "P2", "0", "0", "0");
  add_vacation_entitlement(kClientB, "P2", "12", "0");
  add_person(kClientA, "P2");
  add_previous_day(kClientA, "P2", "TGBVT1 = 120");
  EXPECT_EQ("Ausweise gesamt: 2 davon in Datei gestellt: 2\n", generate(kClientA).out);
  EXPECT_EQ(kOneStaged, generate(kClientB).out);
  const std::vector<std::string> records = staged_records();
  ASSERT_EQ(3u, records.size());
  EXPECT_EQ("1000         Saldo          1,30 Anspruch      30,00 ", records[0].substr(0, 53));
  EXPECT_EQ("2000         Saldo          2,00 Anspruch      12,00 ", records[1].substr(0, 53));
  EXPECT_EQ("3000         Saldo          1,30 Anspruch      30,00 ", records[2].substr(0, 53));
}

TEST_F(Zkdnl18pTest, TerminalWithoutListGivesNumberAndBlanks) {
  add_display_list("S1", {{1, 1, "Saldo", "#W2"}});
  add_terminal("T2", "7598-002", std::nullopt);
  add_terminal("T3", "X-1", "S9");
  add_badge({.AswNum = "4711"});
  for (const char* terminal : {"T2", "T3", "T9"}) {
    SCOPED_TRACE(terminal);
    EXPECT_EQ(kOneStaged, generate(kClientA, terminal, terminal).out);
    EXPECT_EQ(std::vector<std::string>{"4711" + blanks(169)}, staged_records(terminal));
  }
}

TEST_F(Zkdnl18pTest, UnfitBadgesAreRefusedAfterTheSkipRules) {
  add_display_list("S1", {{1, 1, "Saldo", "#W2"}});
  add_badge({.AswNum = "1234567890123"});
  // Alike in its first 13 characters, yet another badge: refused, not passed over.
  add_badge({.AswNum = "12345678901234"});
  add_location_row("12345678901234");  // its second row repeats it: no second message
  add_badge({.AswNum = "R2", .AswPnr = "123456789"});
  add_badge({.AswNum = "R3-45678901234", .AswPnr = std::nullopt});  // no person: silent
  EXPECT_EQ(
      "Ausweis 12345678901234 mit zu langem Wert: Ausweisnummer (max. 13 Zeichen)\n"
      "Ausweis R2 mit zu langem Wert: Personalnummer (max. 8 Zeichen)\n"
      "Ausweise gesamt: 5 davon in Datei gestellt: 1\n",
      generate().out);
  EXPECT_EQ(std::vector<std::string>{"1234567890123Saldo          1,30 " + blanks(140)},
            staged_records());
}

TEST_F(Zkdnl18pTest, FailedBadgeListStopsTheRun) {
  add_display_list("S1", {{1, 1, "Saldo", "#W2"}});
  add_badge({.AswNum = "4711"});
  admin().exec("REVOKE SELECT ON KvBasis.Kvb301Asw FROM 'vestragen'@'%'");
  const Generated g = generate();
  admin().exec("GRANT SELECT ON KvBasis.Kvb301Asw TO 'vestragen'@'%'");
  EXPECT_NE(0, g.rc);
  EXPECT_EQ("Fehler beim Lesen der Ausweise! ErrNr: 1142 Schema: MNDA\n", g.out);
  EXPECT_TRUE(staged_records().empty());
}
