// ZKDNL17P and ZKDNL60P through the built program: two client schemas of one terminal whose
// records meet sorted in one download file.

#include <gtest/gtest.h>

#include <string>

#include "support/run_program.h"
#include "support/site_rows.h"
#include "support/test_db.h"

namespace {

class Zkdnl17pZkdnl60pRunTest : public ::testing::Test {
 protected:
  // Terminal T1 serves MNDA and MNDB; its readers 1 and 2 are in zones Z1 and Z2, class 5 is
  // authorised in Z2; its balance list starts with code #W2. Badges 1000 and 3000 (class 0,
  // no assignment) belong to MNDA, 2000 to MNDB; all three have location 123 (text AB). The
  // person P1 of 1000 and 3000 had 90 minutes of value 1 yesterday; P2 of 2000 has no row.
  void SetUp() override {
    reset_site();
    site_.write_test_config("mnda");
    add_client(1, "MNDA");
    add_client(2, "MNDB");
    link_terminal("T1", 1);
    link_terminal("T1", 2);
    add_reader("T1", 1, "Z1");
    add_reader("T1", 2, "Z2");
    add_zone_right("5", "Z2");
    add_location("123", "AB");
    admin().exec(
        "INSERT INTO KvBasis.Kvb114Tsm (TsmNam, TSMSAL, TsmSpr) VALUES ('T1', 'SAL1', 1);"
        "INSERT INTO KvBasis.G2101SalLst (TsaSal, TsaLfd, TsaAnz, TsaAus) VALUES "
        "('SAL1', 1, 1, 2);"
        "INSERT INTO KvBasis.Kvb102Whl (FtxNumSpr, FtxWhl, FtxSpr, FtxT50, FTXT10) VALUES "
        "(220001, 1, 1, 'Saldo', NULL), (220002, 2, 1, NULL, '#W2');"
        "INSERT INTO MNDA.Kvb300Pnr (PNRNUM) VALUES ('P1');"
        "INSERT INTO MNDA.Kvb320Tgb SET TGBPNR = 'P1', TGBZTR = 1, "
        "TGBDTM = CURDATE() - INTERVAL 1 DAY, TGBVT1 = 90");
    add_badge({.AswNum = "3000", .AswBkl = "0", .ASWMND = 1});
    add_badge({.AswNum = "2000", .AswPnr = "P2", .ASWMND = 2});
    add_badge({.AswNum = "1000", .ASWMND = 1});
  }

  RunResult run(const std::string& code) {
    RunResult r = site_.run({code, "T1", site_.file("t1.dat"), "1"});
    EXPECT_EQ("", r.err) << "nothing goes to standard error";
    return r;
  }
  std::string download() const { return read_file(site_.file("t1.dat")); }

  // Badge number and valid-from date ten days ago.
  static std::string head(const std::string& number) {
    return number + std::string(13 - number.size(), ' ') +
           server_date("CURDATE() - INTERVAL 10 DAY");
  }

  ProgramSite site_;
};

}  // namespace

TEST_F(Zkdnl17pZkdnl60pRunTest, Zkdnl17pWritesEightyFiveCharacterRecordsSorted) {
  const RunResult r = run("zkdnl17p");
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(
      "Mit Datenbank verbunden! Schema: MNDA\n"
      "Schema: MNDA\n"
      "Ausweise gesamt: 2 davon in Datei gestellt: 2\n"
      "Schema: MNDB\n"
      "Saldo Ermitteln. Pnr: P2 SQLCode:1032\n"
      "Ausweise gesamt: 1 davon in Datei gestellt: 1\n",
      r.out);
  const std::string blank4(20, ' ');
  EXPECT_EQ(head("1000") + "11  1,30 015  025  " + blank4 + "07AB " + blank4 +  //
                head("2000") + "11       015  025  " + blank4 + "07AB " + blank4 + head("3000") +
                "10  1,30 " + std::string(30, ' ') + "07AB " + blank4,
            download());
  EXPECT_EQ(0u, download().size() % 85);
}

TEST_F(Zkdnl17pZkdnl60pRunTest, Zkdnl60pWritesFortyFiveCharacterRecordsSorted) {
  const RunResult r = run("ZKDNL60P");
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(
      "Mit Datenbank verbunden! Schema: MNDA\n"
      "Schema: MNDA\n"
      "Ausweise gesamt: 2 davon in Datei gestellt: 2\n"
      "Schema: MNDB\n"
      "Ausweise gesamt: 1 davon in Datei gestellt: 1\n",
      r.out);
  EXPECT_EQ(head("1000") + "11  1,30 015  025       " +      //
                head("2000") + "11       015  025       " +  //
                head("3000") + "10  1,30 " + std::string(15, ' '),
            download());
  EXPECT_EQ(0u, download().size() % 45);
}
