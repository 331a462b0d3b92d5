// Twenty runs for twenty terminals and download files at the same time against one server:
// each file is byte for byte what the same run writes alone.

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/test_db.h"

namespace {

constexpr int kTerminals = 20;
const char* const kFunctions[] = {"ZKDNL31P", "IDSTAMM", "ZKDNL17P", "ZKDNL60P", "ZKDNL18P"};

std::string terminal(int i) {
  char name[8];
  std::snprintf(name, sizeof name, "T%02d", i);
  return name;
}

// Two clients of 1500 badges each with four classes; every terminal has its own readers and
// zones, and serves one or both clients, so that no two files are alike.
void load_site() {
  std::string sql =
      "USE KvBasis;"
      "INSERT INTO Kvb112Mnd (MndLiz, MndNum, MndSch, MndKon) VALUES (1, 1, 'MNDA', 0),"
      " (1, 2, 'MNDB', 0);"
      "INSERT INTO Kvb113Sto (StoNum, StoKtx) VALUES ('100', 'NRD'), ('200', 'SUE');"
      "INSERT INTO Kvb301Asw (AswNum, AswGvo, AswPnr, AswBkl, AswGrp, AswAtp, ASWLIZ, ASWMND)"
      "  SELECT CONCAT('A', LPAD(seq, 5, '0')), CURDATE() - INTERVAL seq DAY, CONCAT('P', seq),"
      "  ELT(1 + seq % 4, '5', '12', '7', '0'), 'G1', 1, 1, 1 + seq % 2 FROM seq_1_to_3000;"
      "INSERT INTO Kvb113Awv (AwvNum, AwvSto) SELECT CONCAT('A', LPAD(seq, 5, '0')),"
      "  ELT(1 + seq % 2, '100', '200') FROM seq_1_to_3000;"
      "INSERT INTO MNDA.Kvb408Bzu (BzuZau, BzuBkl, BzuGvo) VALUES ('G1', '7', CURDATE());"
      "INSERT INTO MNDB.Kvb408Bzu (BzuZau, BzuBkl, BzuGvo) VALUES ('G1', '12', CURDATE());";
  for (int i = 1; i <= kTerminals; ++i) {
    const std::string name = terminal(i);
    const std::string t = "'" + name + "'";
    sql += "INSERT INTO Kvb114Tsm (TsmNam, TSMTYP, TSMSAL, TsmSpr) VALUES (" + t +
           ", '7744-010', NULL, 1);";
    sql += "INSERT INTO Kvb115Tfz (TfzTrm, TfzLiz, TfzMnd) VALUES (" + t + ", 1, " +
           std::to_string(1 + i % 2) + ");";
    if (i % 3 == 0) sql += "INSERT INTO Kvb115Tfz (TfzTrm, TfzLiz, TfzMnd) VALUES (" + t + ", 1, 1);";
    for (int reader = 1; reader <= 1 + i % 4; ++reader) {
      sql += "INSERT INTO Kvb401Zls (ZlsTrm, ZlsLes, ZlsZko) VALUES (" + t + ", " +
             std::to_string(reader) + ", 'Z" + std::to_string((i + reader) % 5) + "');";
    }
  }
  for (int zone = 0; zone < 5; ++zone) {
    const std::string z = "'Z" + std::to_string(zone) + "'";
    sql += "INSERT INTO Kvb404Zbr (ZbrZbk, ZbrZko, ZbrZtb) VALUES ('5', " + z + ", " +
           (zone == 1 ? "3" : "1") + ");";
    if (zone % 2 == 0) sql += "INSERT INTO Kvb404Zbr (ZbrZbk, ZbrZko, ZbrZtb) VALUES ('12', " + z + ", 1);";
    if (zone >= 3) sql += "INSERT INTO Kvb404Zbr (ZbrZbk, ZbrZko, ZbrZtb) VALUES ('7', " + z + ", 1);";
  }
  admin().exec(sql);
}

}  // namespace

TEST(ParallelRuns, TwentyRunsAtOnceWriteWhatEachWritesAlone) {
  reset_site();
  load_site();
  ProgramSite site;
  site.write_test_config("MNDA");
  auto run = [&](int i, const std::string& prefix) {
    return site.run({kFunctions[i % 5], terminal(i), site.file(prefix + terminal(i) + ".dat"), "1"});
  };

  std::vector<std::string> alone(kTerminals + 1);
  for (int i = 1; i <= kTerminals; ++i) {
    const RunResult r = run(i, "alone-");
    ASSERT_EQ(0, r.status) << r.out;
    alone[i] = read_file(site.file("alone-" + terminal(i) + ".dat"));
  }

  std::vector<std::future<RunResult>> runs;
  for (int i = 1; i <= kTerminals; ++i) {
    runs.push_back(std::async(std::launch::async, [&run, i] { return run(i, "together-"); }));
  }
  for (int i = 1; i <= kTerminals; ++i) {
    SCOPED_TRACE(terminal(i));
    const RunResult r = runs[i - 1].get();
    EXPECT_EQ(0, r.status) << r.out;
    EXPECT_FALSE(alone[i].empty());
    EXPECT_TRUE(alone[i] == read_file(site.file("together-" + terminal(i) + ".dat")))
        << "the file differs from the run made alone";
  }
}
