// A ZKDNL18P run as a child process, its own clock set to a fixed day: exit status, console
// bytes, download file bytes.

#include <gtest/gtest.h>

#include <string>

#include "support/display_rows.h"
#include "support/run_program.h"
#include "support/site_rows.h"
#include "support/temp_dir.h"
#include "support/test_db.h"

namespace {

std::string blanks(std::size_t n) {
  return std::string(n, ' ');
}

// faketime sets the program's clock only; the server keeps its own date, by which the
// badges, the previous day and the vacation year are chosen.
RunOptions on_first_of_march_2027() {
  RunOptions options;
  options.prefix = {"faketime", "-f", "@2027-03-01 10:00:00"};
  // The sanitizer runtime would refuse to start behind faketime's preloaded library.
  options.env = {"ASAN_OPTIONS=verify_asan_link_order=0"};
  return options;
}

}  // namespace

TEST(Zkdnl18pRun, TwoClientSchemasIntoOneFile) {
  reset_site();
  ProgramSite site;
  site.write_test_config("mnda");
  add_clients();
  link_terminal("T1", 1);
  link_terminal("T1", 2);
  add_terminal("T1", "X-1", "S1");
  add_display_list("S1",
                   {{1, 1, "Saldo", "#W2"}, {2, 1, "Datum", "#W1"}, {5, 2, "Resturlaub", "#W4"}});
  add_person(kClientA, "P1");
  add_previous_day(kClientA, "P1", "TGBVT1 = 90");
  add_vacation_days(kClientA, "P1", "0", "0", "0");
  add_vacation_entitlement(kClientA, "P1", "30", "5.5");
  // P2 has no previous day in the connection's database MNDA.
  add_person(kClientB, "P2");
  add_vacation_days(kClientB, "P2", "0", "0", "0");
  add_vacation_entitlement(kClientB, "P2", "20", "0");
  add_badge({.AswNum = "4712", .AswPnr = "P2", .ASWMND = 2});
  add_badge({.AswNum = "4711", .AswPnr = "P1", .ASWMND = 1});
  add_badge({.AswNum = "4710", .AswPnr = std::nullopt, .ASWMND = 1});
  write_file(site.file("t1.dat"), "OLD CONTENT");

  const RunResult r =
      site.run({"zkdnl18p", "T1", site.file("t1.dat"), "1"}, on_first_of_march_2027());
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.err);
  const std::string a =
      "Schema: MNDA\n"
      "Ausweise gesamt: 2 davon in Datei gestellt: 1\n";
  const std::string b =
      "Schema: MNDB\n"
      "Ausweis:4712 Person:P2 Saldodaten nicht gefunden! 1032\n"
      "Ausweise gesamt: 1 davon in Datei gestellt: 1\n";
  const std::string connected = "Mit Datenbank verbunden! Schema: MNDA\n";
  // The schemas come in the server's order.
  EXPECT_TRUE(r.out == connected + a + b || r.out == connected + b + a) << r.out;

  const std::string file = read_file(site.file("t1.dat"));
  EXPECT_EQ(0u, file.size() % 173);
  EXPECT_EQ(
      "4711         "
      "Saldo        "
      "  1,30 "
      "Datum       "
      "01.03.27" +
          blanks(40) +
          " Resturlaub  "
          " 24,50 " +
          blanks(60) +
          "4712         "
          "Saldo        "
          "       "
          "Datum       "
          "01.03.27" +
          blanks(40) +
          " Resturlaub  "
          " 20,00 " +
          blanks(60),
      file);
}
