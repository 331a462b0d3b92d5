// The connection's options from VESTRAGEN_DEFAULTS_FILE, through the built program: an
// encrypted connection to a server that requires one, a server that stops answering, a lock
// wait longer than the read timeout.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "support/own_server.h"
#include "support/run_program.h"
#include "support/test_db.h"

namespace {

const char kOld[] = "THE FILE OF YESTERDAY";

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_site(); }

  // A file of the site with [vestragen] and the given lines; its path.
  std::string option_file(const std::string& lines) {
    const std::string path = site_.file("vestragen.cnf");
    write_file(path, "[client]\nuser=someone-else\n\n[vestragen]\n" + lines);
    return path;
  }

  ProgramSite site_;
};

// Polls until the query gives a row, or with present false until it gives none; false
// after about 30 s.
bool wait_for_row(AdminDb& db, const std::string& query, bool present = true) {
  for (int i = 0; i < 600; ++i) {
    if ((db.scalar(query) != "<none>") == present) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

}  // namespace

TEST_F(ConnectionTest, AServerThatRequiresEncryptionIsReachedWithTheCaOfTheOptionFile) {
  const std::string certs = site_.file("certs");
  ASSERT_EQ(0, run_program(std::string(VESTRAGEN_SOURCE_DIR) + "/scripts/make-test-certs.sh",
                           {certs})
                   .status);
  OwnServer server({"--ssl-ca=" + certs + "/ca.pem", "--ssl-cert=" + certs + "/server.pem",
                    "--ssl-key=" + certs + "/server-key.pem", "--require-secure-transport=ON"});
  AdminDb db(server.socket());
  load_numbered_badges(db, 30);
  // Over TCP, where encryption counts.
  site_.write_config(kTestUser, kTestPassword, "127.0.0.1", "MNDA");
  const auto accepts = [&] {
    return std::stol(db.rows("SHOW GLOBAL STATUS LIKE 'Ssl_accepts'").at(0).at(1).value());
  };
  const struct {
    const char* name;
    std::string lines;  // empty: no option file
    int status;
    std::string out;  // the beginning of the output
  } cases[] = {
      {"the CA that signed the server's certificate",
       "ssl-ca=" + certs + "/ca.pem\nssl-verify-server-cert\nconnect_timeout = 10\n", 0,
       "Mit Datenbank verbunden! Schema: MNDA\n"},
      {"no option file: not encrypted, refused", "", 4, "DB-Connect-Error: "},
      {"a CA that did not sign it", "ssl-ca=" + certs + "/other-ca.pem\nssl-verify-server-cert\n",
       4, "DB-Connect-Error: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RunOptions options;
    options.env = server.env();
    if (!c.lines.empty()) options.env.push_back("VESTRAGEN_DEFAULTS_FILE=" + option_file(c.lines));
    // Chunks of a few badges, so that the run reads ahead on a second connection.
    options.env.push_back("VESTRAGEN_TEST_PASS_CHUNK=7");
    const long before = accepts();
    const RunResult r = site_.run({"ZKDNL31P", "T1", site_.file("t.dat"), "1"}, options);
    EXPECT_EQ(c.status, r.status) << r.out << r.err;
    EXPECT_EQ(0u, r.out.find(c.out)) << r.out;
    if (c.status == 0) {
      // The program's connection, the one reading ahead and the one staging ahead, all
      // encrypted; with fewer allowed, as many.
      EXPECT_EQ(before + 3, accepts());
      for (const int allowed : {2, 1}) {
        RunOptions fewer = options;
        fewer.env.push_back("VESTRAGEN_CONNECTIONS=" + std::to_string(allowed));
        const long start = accepts();
        const RunResult limited = site_.run({"ZKDNL31P", "T1", site_.file("few.dat"), "1"}, fewer);
        EXPECT_EQ(r.out, limited.out);
        EXPECT_EQ(start + allowed, accepts());
        EXPECT_EQ(read_file(site_.file("t.dat")), read_file(site_.file("few.dat")));
      }
    } else {
      EXPECT_NE(std::string::npos, r.out.find("Pwd:**** Net:127.0.0.1")) << r.out;
    }
  }
}

TEST_F(ConnectionTest, AnOptionFileThatCannotBeUsedIsAConfigurationError) {
  site_.write_test_config("MNDA");
  const std::string missing = site_.file("missing.cnf");
  const std::string file = site_.file("vestragen.cnf");
  const struct {
    std::string lines;  // empty: the variable names a file that is not there
    std::string out;
  } cases[] = {
      {"", "Optionsdatei " + missing + " konnte nicht gelesen werden!\n"},
      {"sll-ca=/etc/ssl/certs/ca.pem\n",
       "Optionsdatei " + file + ": Option sll-ca in Zeile 5 unbekannt!\n"},
      {"read-timeout=soon\n",
       "Optionsdatei " + file + ": Wert von read-timeout in Zeile 5 ungueltig!\n"},
      {"ssl_ca=" + missing + "\n", "Optionsdatei " + file + ": Wert von ssl-ca in Zeile 5 ungueltig!\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out);
    RunOptions options;
    options.env = {"VESTRAGEN_DEFAULTS_FILE=" + (c.lines.empty() ? missing : option_file(c.lines))};
    const RunResult r = site_.run({"X", "T1", site_.file("t.dat"), "1"}, options);
    EXPECT_EQ(3, r.status);
    EXPECT_EQ(c.out, r.out);
  }
}

TEST_F(ConnectionTest, AServerThatStopsAnsweringEndsTheRunWithFiveAndTheOldFile) {
  OwnServer server;
  AdminDb db(server.socket());
  load_numbered_badges(db, 30);
  db.exec(
      "CREATE TRIGGER KvBasis.stall BEFORE INSERT ON KvBasis.Kvb999Tmp FOR EACH ROW "
      "BEGIN IF NEW.TmpStr LIKE '000020 %' THEN DO SLEEP(1); END IF; END");
  site_.write_test_config("MNDA");
  const std::string path = site_.file("t1.dat");
  for (const char* new_file : {"1", "0"}) {
    SCOPED_TRACE(std::string("new file ") + new_file);
    write_file(path, kOld);
    // The last run's connections outlive it on the stopped server; one still sleeping in
    // the trigger must not be taken for this run's.
    ASSERT_TRUE(wait_for_row(db, "SELECT ID FROM information_schema.PROCESSLIST WHERE USER = " +
                                     db.quote(kTestUser), false));
    RunOptions options;
    options.env = server.env();
    options.env.push_back("VESTRAGEN_DEFAULTS_FILE=" + option_file("read-timeout=3\n"));
    const auto run = site_.start({"ZKDNL31P", "T1", path, new_file}, options);
    ASSERT_TRUE(wait_for_row(db, "SELECT ID FROM information_schema.PROCESSLIST WHERE "
                                 "STATE = 'User sleep'"));
    server.signal(SIGSTOP);
    // Bounded generously: the run must end by itself, not by the test's end.
    auto ended = std::async(std::launch::async, [&] { return run->wait(); });
    const bool in_time = ended.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    server.signal(SIGCONT);
    ASSERT_TRUE(in_time) << "the run hung on the stopped server";
    const RunResult r = ended.get();
    EXPECT_EQ(5, r.status) << r.out;
    EXPECT_EQ(kOld, read_file(path));
    EXPECT_EQ("files t1.dat vestragen.cnf work", list_dir(site_.root()));
  }
}

TEST_F(ConnectionTest, ALockWaitLongerThanTheReadTimeoutStillEndsWithSeven) {
  site_.write_test_config("MNDA");
  const std::string path = site_.file("t1.dat");
  AdminDb holder;
  ASSERT_EQ("1", holder.scalar("SELECT GET_LOCK(CONCAT('vestragen.', SHA1(" +
                               holder.quote(path) + ")), 0)"));
  RunOptions options;
  options.env = {"VESTRAGEN_LOCK_WAIT=5",
                 "VESTRAGEN_DEFAULTS_FILE=" + option_file("read-timeout=2\n")};
  const RunResult r = site_.run({"ZKDNL31P", "T1", path, "1"}, options);
  EXPECT_EQ(7, r.status) << r.out;
  EXPECT_EQ("Mit Datenbank verbunden! Schema: MNDA\n"
            "Downloadfile " + path + " wird von einem anderen Lauf erzeugt! Abbruch nach 5 "
            "Sekunden.\n",
            r.out);
}
