// The program against a three-node Galera cluster on loopback (scripts/test-cluster.sh starts
// it, loads the demo site on it and runs these tests): the same files as on a single server
// from every node, one run per download file across the nodes, a lock taken over from a run
// that hung, and a node killed in the middle of a run.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <sstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/own_server.h"
#include "support/run_program.h"
#include "support/test_db.h"

namespace {

const char* const kFunctions[] = {"ZKDNL17P", "ZKDNL18P", "ZKDNL31P", "ZKDNL60P", "IDSTAMM"};
const char kOld[] = "THE FILE OF YESTERDAY";

std::string cluster_dir() {
  const char* dir = std::getenv("VESTRAGEN_CLUSTER_DIR");
  return dir == nullptr ? "" : dir;
}

// A value of the cluster's env file (VESTRAGEN_CLUSTER_SOCKET_2, ...).
std::string cluster_value(const std::string& name) {
  std::ifstream in(cluster_dir() + "/env");
  std::string line;
  const std::string prefix = "export " + name + "='";
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size(), line.size() - prefix.size() - 1);
  }
  return "";
}

std::string node_socket(int node) { return cluster_value("VESTRAGEN_CLUSTER_SOCKET_" + std::to_string(node)); }

RunOptions on_node(int node, std::vector<std::string> more = {}) {
  RunOptions options;
  options.env = {"MYSQL_UNIX_PORT=" + node_socket(node)};
  options.env.insert(options.env.end(), more.begin(), more.end());
  return options;
}

void cluster_script(const std::vector<std::string>& args) {
  const RunResult r = run_program(std::string(VESTRAGEN_SOURCE_DIR) + "/scripts/db-cluster.sh", args);
  ASSERT_EQ(0, r.status) << r.out << r.err;
}

// Waits until the cluster has n nodes again and node 1 reads what the others wrote.
void sync(AdminDb& db) { db.exec("SET SESSION wsrep_sync_wait = 15"); }

class ClusterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_FALSE(cluster_dir().empty()) << "run through scripts/test-cluster.sh";
    // The demo site on a single server, for the files every node must write alike.
    single_ = new OwnServer;
    RunOptions options;
    options.env = single_->env();
    const std::string scripts = std::string(VESTRAGEN_SOURCE_DIR) + "/scripts/";
    ASSERT_EQ(0, run_program(scripts + "site.sh", {"client", "MNDNORD", "MNDSUED", "MNDWEST"},
                             options).status);
    std::ifstream in(scripts + "demo-site.sql");
    std::stringstream sql;
    sql << in.rdbuf();
    options.input = sql.str();
    ASSERT_EQ(0, run_program("mariadb", {"--no-defaults", "-uroot"}, options).status);
    site_ = new ProgramSite;
    site_->write_test_config("MNDNORD");
    for (const char* function : kFunctions) {
      RunOptions single;
      single.env = single_->env();
      const RunResult r = site_->run({function, "TOR1", site_->file("single.dat"), "1"}, single);
      ASSERT_EQ(0, r.status) << r.out;
      single_files_.push_back(read_file(site_->file("single.dat")));
      ASSERT_FALSE(single_files_.back().empty());
    }
  }
  static void TearDownTestSuite() {
    delete site_;
    delete single_;
  }
  void SetUp() override {
    AdminDb db(node_socket(1));
    db.exec("DROP TRIGGER IF EXISTS KvBasis.slow; DELETE FROM KvBasis.Kvb999Lck;");
  }

  // A trigger that makes every staged row wait (on node name, or on every node).
  static void slow_staging(const std::string& seconds, const std::string& only_node = "") {
    AdminDb db(node_socket(1));
    const std::string condition =
        only_node.empty() ? "TRUE" : "@@wsrep_node_name = '" + only_node + "'";
    db.exec("DROP TRIGGER IF EXISTS KvBasis.slow;"
            "CREATE TRIGGER KvBasis.slow BEFORE INSERT ON KvBasis.Kvb999Tmp FOR EACH ROW "
            "BEGIN IF " + condition + " THEN DO SLEEP(" + seconds + "); END IF; END");
  }

  static OwnServer* single_;
  static ProgramSite* site_;
  static std::vector<std::string> single_files_;  // by function, terminal TOR1
};

OwnServer* ClusterTest::single_ = nullptr;
ProgramSite* ClusterTest::site_ = nullptr;
std::vector<std::string> ClusterTest::single_files_;

}  // namespace

TEST_F(ClusterTest, EveryNodeWritesWhatASingleServerWrites) {
  for (int node = 1; node <= 3; ++node) {
    for (std::size_t f = 0; f < std::size(kFunctions); ++f) {
      SCOPED_TRACE(std::string(kFunctions[f]) + " on node " + std::to_string(node));
      const std::string path = site_->file("n" + std::to_string(node) + ".dat");
      const RunResult r = site_->run({kFunctions[f], "TOR1", path, "1"}, on_node(node));
      EXPECT_EQ(0, r.status) << r.out;
      EXPECT_TRUE(single_files_[f] == read_file(path)) << "differs from the single server's";
    }
  }
}

TEST_F(ClusterTest, TwoRunsForOneFileOnTwoNodesNeverMix) {
  // Each staged row waits a little, so that the runs overlap.
  slow_staging("0.05");
  const std::string path = site_->file("same.dat");
  const std::string& expected = single_files_[0];
  for (const char* wait : {"0", "60"}) {
    for (int round = 0; round < 3; ++round) {
      SCOPED_TRACE(std::string("wait ") + wait + " round " + std::to_string(round));
      write_file(path, kOld);
      auto first = site_->start({"ZKDNL17P", "TOR1", path, "1"},
                                on_node(1, {std::string("VESTRAGEN_LOCK_WAIT=") + wait}));
      auto second = site_->start({"ZKDNL17P", "TOR1", path, "1"},
                                 on_node(2, {std::string("VESTRAGEN_LOCK_WAIT=") + wait}));
      const RunResult a = first->wait();
      const RunResult b = second->wait();
      if (std::string(wait) == "0") {
        // One holds the file, the other gives up at once.
        EXPECT_EQ((std::multiset<int>{0, 7}), (std::multiset<int>{a.status, b.status}))
            << a.out << b.out;
      } else {
        EXPECT_EQ(0, a.status) << a.out;
        EXPECT_EQ(0, b.status) << b.out;
      }
      EXPECT_TRUE(expected == read_file(path)) << "each record once, as on a single server";
    }
  }
}

TEST_F(ClusterTest, RunsForDifferentFilesOnDifferentNodesBothComplete) {
  slow_staging("0.05");
  auto a = site_->start({"ZKDNL31P", "TOR1", site_->file("a.dat"), "1"},
                        on_node(1, {"VESTRAGEN_LOCK_WAIT=0"}));
  auto b = site_->start({"IDSTAMM", "TOR1", site_->file("b.dat"), "1"},
                        on_node(3, {"VESTRAGEN_LOCK_WAIT=0"}));
  const RunResult ra = a->wait();
  const RunResult rb = b->wait();
  EXPECT_EQ(0, ra.status) << ra.out;
  EXPECT_EQ(0, rb.status) << rb.out;
  EXPECT_TRUE(single_files_[2] == read_file(site_->file("a.dat")));
  EXPECT_TRUE(single_files_[4] == read_file(site_->file("b.dat")));
}

TEST_F(ClusterTest, ARunWhoseLockWasTakenOverStagesNothingMoreAndEndsWithSeven) {
  // The first run hangs on node 1 beyond its lock's expiry; the second, on node 2, takes the
  // lock over and writes the file. The first must not write it.
  slow_staging("8", "node1");
  const std::string path = site_->file("taken.dat");
  write_file(path, kOld);
  auto hung = site_->start({"ZKDNL60P", "TOR1", path, "1"},
                           on_node(1, {"VESTRAGEN_LOCK_EXPIRY=2"}));
  AdminDb db(node_socket(2));
  sync(db);
  for (int i = 0; i < 200 && db.scalar("SELECT COUNT(*) FROM KvBasis.Kvb999Lck") == "0"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const RunResult taker = site_->run({"ZKDNL60P", "TOR1", path, "1"},
                                     on_node(2, {"VESTRAGEN_LOCK_WAIT=60"}));
  EXPECT_EQ(0, taker.status) << taker.out;
  const RunResult stale = hung->wait();
  EXPECT_EQ(7, stale.status) << stale.out;
  EXPECT_NE(std::string::npos,
            stale.out.find("Sperre fuer Downloadfile " + path +
                           " von einem anderen Lauf uebernommen! Abbruch.\n"))
      << stale.out;
  EXPECT_TRUE(single_files_[3] == read_file(path));
  EXPECT_EQ(std::string::npos, list_dir(site_->root()).find(".taken.dat."));
}

TEST_F(ClusterTest, ANodeKilledMidRunLeavesTheOldFileAndTheOthersGoOn) {
  slow_staging("30", "node2");
  const std::string path = site_->file("killed.dat");
  write_file(path, kOld);
  auto run = site_->start({"IDSTAMM", "TOR1", path, "1"}, on_node(2, {"VESTRAGEN_LOCK_EXPIRY=3"}));
  {
    AdminDb db(node_socket(2));
    for (int i = 0; i < 200 && db.scalar("SELECT COUNT(*) FROM information_schema.PROCESSLIST "
                                         "WHERE STATE = 'User sleep'") == "0";
         ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  cluster_script({"kill", cluster_dir(), "2"});
  const RunResult killed = run->wait();
  EXPECT_EQ(5, killed.status) << killed.out;
  EXPECT_EQ(kOld, read_file(path));

  // The next run, on a surviving node, takes the dead run's lock over once it expired.
  const RunResult next = site_->run({"IDSTAMM", "TOR1", path, "1"},
                                    on_node(1, {"VESTRAGEN_LOCK_WAIT=60"}));
  EXPECT_EQ(0, next.status) << next.out;
  EXPECT_TRUE(single_files_[4] == read_file(path));

  // The killed node rejoins and serves runs again.
  cluster_script({"restart", cluster_dir(), "2"});
  AdminDb db(node_socket(1));
  db.exec("DROP TRIGGER IF EXISTS KvBasis.slow");
  const RunResult again = site_->run({"IDSTAMM", "TOR1", path, "1"}, on_node(2));
  EXPECT_EQ(0, again.status) << again.out;
  EXPECT_TRUE(single_files_[4] == read_file(path));
}
