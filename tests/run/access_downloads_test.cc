// ZKDNL31P and IDSTAMM through the built program: what the terminal gets, byte for byte.

#include <gtest/gtest.h>

#include <string>

#include "support/run_program.h"
#include "support/site_rows.h"
#include "support/test_db.h"

namespace {

class AccessDownloadsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_site();
    site_.write_test_config("MNDA");
    add_clients();
    link_terminal("T1", 1);
    link_terminal("T1", 2);
    add_reader("T1", 1, "Z1");
    add_reader("T1", 2, "Z2");
    add_zone_right("5", "Z1");
    add_zone_right("12", "Z2");
    add_location("100", "NRD");
    add_location("200", "SUED");
  }

  RunResult run(const std::string& code, const std::string& file) {
    RunResult r = site_.run({code, "T1", site_.file(file), "1"});
    EXPECT_EQ("", r.err);
    return r;
  }

  static BadgeRow badge(const std::string& number, int client, const std::string& access_class,
                        const std::string& location) {
    BadgeRow b;
    b.AswNum = number;
    b.ASWMND = client;
    b.AswBkl = access_class;
    b.AwvSto = location;
    b.AswPnr = "P" + number;
    b.AswGvo = "'2024-03-01'";
    b.AswAtp = "1";
    return b;
  }

  ProgramSite site_;
};

}  // namespace

TEST_F(AccessDownloadsTest, Zkdnl31pRecordsOfTwoClientsInterleaveInOneSortedFile) {
  add_badge(badge("4713", 1, "5", "100"));
  add_badge(badge("4711", 2, "12", "200"));
  add_badge(badge("4712", 1, "30", "100"));  // authorised nowhere
  add_badge(badge("4710", 2, "5", "200"));
  const RunResult r = run("zkdnl31p", "t1.dat");
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(
      "Mit Datenbank verbunden! Schema: MNDA\n"
      "Schema: MNDA\n"
      "Ausweis 4712 ohne Zutrittsberechtigung auf Terminal T1\n"
      "Ausweise gesamt: 2 davon in Datei gestellt: 1\n"
      "Schema: MNDB\n"
      "Ausweise gesamt: 2 davon in Datei gestellt: 2\n",
      r.out);
  EXPECT_EQ(
      "4710         202403010000000011XXXX,XX-0015  SUE"
      "4711         202403010000000011XXXX,XX-00112 SUE"
      "4713         202403010000000011XXXX,XX-0015  NRD",
      read_file(site_.file("t1.dat")));
}

TEST_F(AccessDownloadsTest, IdstammLinesEndInCarriageReturnAndLineFeed) {
  add_badge(badge("4711", 1, "5", "100"));
  add_badge(badge("O'Neil", 2, "12", "00000"));
  admin().exec("INSERT INTO MNDA.Kvb300Pnr (PNRNUM, PnrSpr, PnrSal) VALUES ('P4711', 1, 'SAL1')");
  const RunResult r = run("IDSTAMM", "id.txt");
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(
      "\"4711\",\"20240301\",\"\",\"00100\",\"1\",\"1\",\"1\",\"SAL1\",\"001\",\"5  \",\"\","
      "\"P4711\",\"1\"\r\n"
      "\"O'Neil\",\"20240301\",\"\",\"\",\"1\",\"1\",\"\",\"\",\"001\",\"12 \",\"\","
      "\"PO'Neil\",\"1\"\r\n",
      read_file(site_.file("id.txt")));
}

TEST_F(AccessDownloadsTest, UnreadableBadgeListStopsTheRunAndKeepsTheOldFile) {
  add_badge(badge("4711", 1, "5", "100"));
  write_file(site_.file("t1.dat"), "OLD FILE");
  admin().exec("REVOKE SELECT ON KvBasis.Kvb301Asw FROM 'vestragen'@'%'");
  const RunResult r = run("ZKDNL31P", "t1.dat");
  EXPECT_EQ(5, r.status);
  EXPECT_EQ(
      "Mit Datenbank verbunden! Schema: MNDA\n"
      "Schema: MNDA\n"
      "Fehler beim Lesen der Ausweise! ErrNr: 1142 Schema: MNDA\n",
      r.out);
  EXPECT_EQ("OLD FILE", read_file(site_.file("t1.dat")));
}

TEST_F(AccessDownloadsTest, AppendModeAddsTheRecordsBehindTheOldOnes) {
  add_badge(badge("4711", 1, "5", "100"));
  write_file(site_.file("t1.dat"), "OLD");
  const RunResult r = site_.run({"ZKDNL31P", "T1", site_.file("t1.dat"), "0"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("OLD4711         202403010000000011XXXX,XX-0015  NRD", read_file(site_.file("t1.dat")));
}

TEST_F(AccessDownloadsTest, AReaderNumberedBelowOneGivesAccessInEveryDownloadAlike) {
  add_reader("T1", 0, "Z0");
  add_zone_right("7", "Z0");
  add_badge(badge("4714", 1, "7", "100"));
  const struct {
    const char* code;
    const char* file;
  } downloads[] = {
      {"ZKDNL17P",
       "4714         2024030111       017  027                      07NRD                    "},
      {"ZKDNL60P", "4714         2024030111       017  027       "},
      {"ZKDNL31P", "4714         202403010000000011XXXX,XX-0017  NRD"},
      {"IDSTAMM",
       "\"4714\",\"20240301\",\"\",\"00100\",\"1\",\"1\",\"\",\"\",\"001\",\"7  \",\"\","
       "\"P4714\",\"1\"\r\n"},
  };
  for (const auto& d : downloads) {
    SCOPED_TRACE(d.code);
    EXPECT_EQ(0, run(d.code, "t1.dat").status);
    EXPECT_EQ(d.file, read_file(site_.file("t1.dat")));
  }
}
