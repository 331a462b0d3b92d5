// Runs for different download files at the same time against one server: each file is byte
// for byte what the same run writes alone, and no run waits long for another's staging.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "support/own_server.h"
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
void load_site(AdminDb& db) {
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
  db.exec(sql);
}

}  // namespace

TEST(ParallelRuns, TwentyRunsAtOnceWriteWhatEachWritesAlone) {
  // A server that flushes every COMMIT, and a staging table without any index, as a
  // production table may be: the runs' clears and batches meet, deadlocks among them
  // included, and are sent again.
  OwnServer server;
  AdminDb db(server.socket());
  db.exec("ALTER TABLE KvBasis.Kvb999Tmp DROP INDEX TmpUsr");
  load_site(db);
  ProgramSite site;
  site.write_test_config("MNDA");
  RunOptions options;
  options.env = server.env();
  auto run = [&](int i, const std::string& prefix) {
    return site.run(
        {kFunctions[i % 5], terminal(i), site.file(prefix + terminal(i) + ".dat"), "1"}, options);
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
    EXPECT_EQ(std::string::npos, r.out.find("Insert-Error")) << r.out;
    EXPECT_FALSE(alone[i].empty());
    EXPECT_TRUE(alone[i] == read_file(site.file("together-" + terminal(i) + ".dat")))
        << "the file differs from the run made alone";
  }
}

TEST(ParallelRuns, ARunForAnotherFileDoesNotWaitForAnotherRunsStaging) {
  reset_site();
  // A: 2000 badges of client MNDA at terminal TA, each staged row of A's file slowed down,
  // so that its staging lasts 20 s. B: 20 badges of client MNDB at terminal TB.
  ProgramSite site;
  site.write_test_config("MNDA");
  const std::string path_a = site.file("a.dat");
  const std::string path_b = site.file("b.dat");
  admin().exec(
      "ALTER TABLE KvBasis.Kvb999Tmp DROP INDEX TmpUsr;"
      "USE KvBasis;"
      "INSERT INTO Kvb112Mnd (MndLiz, MndNum, MndSch, MndKon) VALUES (1, 1, 'MNDA', 0),"
      " (1, 2, 'MNDB', 0);"
      "INSERT INTO Kvb115Tfz (TfzTrm, TfzLiz, TfzMnd) VALUES ('TA', 1, 1), ('TB', 1, 2);"
      "INSERT INTO Kvb401Zls (ZlsTrm, ZlsLes, ZlsZko) VALUES ('TA', 1, 'Z1'), ('TB', 1, 'Z1');"
      "INSERT INTO Kvb404Zbr (ZbrZbk, ZbrZko, ZbrZtb) VALUES ('5', 'Z1', 1);"
      "INSERT INTO Kvb301Asw (AswNum, AswGvo, AswPnr, AswBkl, AswAtp, ASWLIZ, ASWMND)"
      "  SELECT LPAD(seq, 6, '0'), CURDATE(), CONCAT('P', seq), '5', 1, 1, IF(seq > 2000, 2, 1)"
      "  FROM seq_1_to_2020;"
      "INSERT INTO Kvb113Awv (AwvNum, AwvSto) SELECT LPAD(seq, 6, '0'), '1' FROM seq_1_to_2020;"
      "CREATE TRIGGER KvBasis.slow BEFORE INSERT ON KvBasis.Kvb999Tmp FOR EACH ROW "
      "BEGIN IF NEW.TmpUsr = " + admin().quote(path_a) + " THEN DO SLEEP(0.01); END IF; END");
  const auto a = site.start({"ZKDNL31P", "TA", path_a, "1"});
  ASSERT_NE("<none>", [] {
    for (int i = 0; i < 600; ++i) {
      const std::string id = admin().scalar(
          "SELECT ID FROM information_schema.PROCESSLIST WHERE STATE = 'User sleep'");
      if (id != "<none>") return id;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::string("<none>");
  }());
  const RunResult b = site.run({"ZKDNL31P", "TB", path_b, "1"});
  EXPECT_FALSE(a->ended()) << "B ended after A";
  EXPECT_EQ(0, b.status) << b.out;
  EXPECT_EQ(48u * 20, read_file(path_b).size());
  const RunResult a_result = a->wait();
  EXPECT_EQ(0, a_result.status) << a_result.out;
  EXPECT_EQ(48u * 2000, read_file(path_a).size());
}
