// Faults injected in the middle of real runs: each ends with its exit status, and the
// download file from before stays byte for byte as it was.

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "support/own_server.h"
#include "support/run_program.h"
#include "support/test_db.h"

namespace {

constexpr int kBadges = 6000;

void load_site(AdminDb& db) { load_numbered_badges(db, kBadges); }

// Makes the insert of badge 005900's record wait, so that the run stands still in the middle
// with the records before it staged.
void stall_at_badge_5900(AdminDb& db) {
  db.exec(
      "CREATE TRIGGER KvBasis.stall BEFORE INSERT ON KvBasis.Kvb999Tmp FOR EACH ROW "
      "BEGIN IF NEW.TmpStr LIKE '005900 %' THEN DO SLEEP(120); END IF; END");
}

// The program's connection while it waits in the trigger (which runs as its definer, so the
// connection is found by what it does); "0" when it did not get there.
std::string wait_for_stalled_run(AdminDb& db) {
  for (int i = 0; i < 600; ++i) {
    const std::string id = db.scalar(
        "SELECT ID FROM information_schema.PROCESSLIST WHERE STATE = 'User sleep' AND "
        "INFO LIKE 'DO SLEEP%'");
    if (id != "<none>") return id;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return "0";
}

RunOptions with_env(std::vector<std::string> env) {
  RunOptions options;
  options.env = std::move(env);
  return options;
}

const char kOld[] = "THE FILE OF YESTERDAY";

// Badges 000001 to 000030; 000005 has no access at T1, so its message is among the held ones
// while the run's only batch is staged.
void load_small_site(AdminDb& db) { load_numbered_badges(db, 30, "IF(seq = 5, '6', '5')"); }

// Polls until the query gives a row; its first column, or "<none>" after about 30 s.
std::string wait_for_row(AdminDb& db, const std::string& query) {
  std::string found = "<none>";
  for (int i = 0; i < 600 && found == "<none>"; ++i) {
    found = db.scalar(query);
    if (found == "<none>") std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return found;
}

// Ends every connection that a stopped run left on the server, and waits until they are
// gone. One that waits in a trigger shows the trigger's definer as its user.
void end_program_connections(AdminDb& db) {
  const std::string query =
      "SELECT ID FROM information_schema.PROCESSLIST WHERE ID <> CONNECTION_ID() AND "
      "(USER = 'vestragen' OR INFO LIKE 'DO SLEEP%')";
  for (int i = 0; i < 600; ++i) {
    const std::vector<SqlRow> left = db.rows(query);
    if (left.empty()) return;
    for (const SqlRow& row : left) db.try_exec("KILL CONNECTION " + *row[0]);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace

class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_site();
    site_.write_test_config("MNDA");
  }
  std::string path() const { return site_.file("t1.dat"); }
  ProgramSite site_;
};

TEST_F(FaultsTest, ServerKilledMidRunLeavesTheOldFileAndTheNextRunIsComplete) {
  OwnServer server;
  AdminDb db(server.socket());
  load_site(db);
  const RunOptions options = with_env(server.env());
  ASSERT_EQ(0, site_.run({"ZKDNL31P", "T1", path(), "1"}, options).status);
  const std::string complete = read_file(path());
  ASSERT_EQ(48u * kBadges, complete.size());

  write_file(path(), kOld);
  stall_at_badge_5900(db);
  auto run = std::async(std::launch::async, [&] {
    return site_.run({"ZKDNL31P", "T1", path(), "1"}, options);
  });
  ASSERT_NE("0", wait_for_stalled_run(db));
  EXPECT_NE("0", db.scalar("SELECT COUNT(*) FROM KvBasis.Kvb999Tmp"));
  server.kill_hard();
  const RunResult killed = run.get();
  EXPECT_EQ(5, killed.status);
  EXPECT_NE(std::string::npos, killed.out.find("Verbindung zur Datenbank verloren! ErrNr: 2013\n"))
      << killed.out;
  EXPECT_EQ(kOld, read_file(path()));
  EXPECT_EQ("files t1.dat work", list_dir(site_.root()));  // no temporary file left

  server.restart();
  AdminDb after(server.socket());
  after.exec("DROP TRIGGER KvBasis.stall");
  EXPECT_EQ(0, site_.run({"ZKDNL31P", "T1", path(), "1"}, options).status);
  EXPECT_TRUE(complete == read_file(path())) << "the file differs from a complete run's";
}

TEST_F(FaultsTest, ConnectionKilledMidRunLeavesTheOldFileAndTheNextRunIsComplete) {
  load_site(admin());
  ASSERT_EQ(0, site_.run({"ZKDNL31P", "T1", path(), "1"}).status);
  const std::string complete = read_file(path());

  write_file(path(), kOld);
  stall_at_badge_5900(admin());
  auto run = std::async(std::launch::async,
                        [&] { return site_.run({"ZKDNL31P", "T1", path(), "1"}); });
  const std::string id = wait_for_stalled_run(admin());
  ASSERT_NE("0", id);
  AdminDb killer;
  killer.exec("KILL CONNECTION " + id);
  const RunResult killed = run.get();
  EXPECT_EQ(5, killed.status);
  EXPECT_NE(std::string::npos, killed.out.find("Verbindung zur Datenbank verloren!")) << killed.out;
  EXPECT_EQ(kOld, read_file(path()));

  admin().exec("DROP TRIGGER KvBasis.stall");
  EXPECT_EQ(0, site_.run({"ZKDNL31P", "T1", path(), "1"}).status);
  EXPECT_TRUE(complete == read_file(path())) << "the file differs from a complete run's";
}

TEST_F(FaultsTest, RefusedInsertsAreReportedPerRecordAndTheOthersWritten) {
  load_site(admin());
  admin().exec(
      "CREATE TRIGGER KvBasis.refuse BEFORE INSERT ON KvBasis.Kvb999Tmp FOR EACH ROW "
      "BEGIN IF NEW.TmpStr LIKE '0000_7 %' THEN "
      "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused'; END IF; END");
  const RunResult r = site_.run({"ZKDNL31P", "T1", path(), "1"});
  EXPECT_EQ(0, r.status);
  // Badges 000007, 000017, ..., 000097: ten refused records, each with its two messages.
  for (int n = 7; n < 100; n += 10) {
    char record[64];
    std::snprintf(record, sizeof record, "%06d       ", n);
    const std::string expected = "Insert-Error Kvb999Tmp! ErrNr: 1644User: " + path() +
                                 "  String: " + record;
    EXPECT_NE(std::string::npos, r.out.find(expected)) << n;
  }
  EXPECT_NE(std::string::npos,
            r.out.find("Ausweise gesamt: " + std::to_string(kBadges) +
                       " davon in Datei gestellt: " + std::to_string(kBadges - 10) + "\n"));
  const std::string file = read_file(path());
  EXPECT_EQ(48u * (kBadges - 10), file.size());
  EXPECT_EQ(std::string::npos, file.find("000007 "));
  EXPECT_NE(std::string::npos, file.find("000008 "));
}

TEST_F(FaultsTest, RefusedInsertsAreReportedWhereTheirBadgeIs) {
  load_site(admin());
  // Refused inserts in the first and the second batch, each followed by a badge without
  // access, whose message must come after the insert messages as with one insert per badge.
  admin().exec(
      "UPDATE KvBasis.Kvb301Asw SET AswBkl = '6' WHERE AswNum LIKE '0000_8' OR "
      "AswNum LIKE '0059_8';"
      "CREATE TRIGGER KvBasis.refuse BEFORE INSERT ON KvBasis.Kvb999Tmp FOR EACH ROW "
      "BEGIN IF NEW.TmpStr LIKE '0000_7 %' OR NEW.TmpStr LIKE '0059_7 %' THEN "
      "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused'; END IF; END");
  const RunResult per_badge =
      site_.run({"ZKDNL31P", "T1", path(), "1"}, with_env({"VESTRAGEN_PER_BADGE=1"}));
  ASSERT_EQ(0, per_badge.status) << per_badge.out;
  const std::string per_badge_file = read_file(path());
  const RunResult r = site_.run({"ZKDNL31P", "T1", path(), "1"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(per_badge.out, r.out);
  const std::size_t refused_7 = r.out.find("String: 000007 ");
  const std::size_t no_access_8 = r.out.find("Ausweis 000008 ohne Zutrittsberechtigung");
  const std::size_t refused_17 = r.out.find("String: 000017 ");
  EXPECT_LT(refused_7, no_access_8);
  EXPECT_LT(no_access_8, refused_17);
  EXPECT_NE(std::string::npos, refused_17);
  EXPECT_NE(std::string::npos, r.out.find("davon in Datei gestellt: " +
                                          std::to_string(kBadges - 40) + "\n"));
  EXPECT_TRUE(per_badge_file == read_file(path()));
}

TEST_F(FaultsTest, FileSystemFullLeavesTheOldFileAndNoTemporaryFile) {
  load_site(admin());
  write_file(path(), kOld);
  RunOptions options;
  // A file-size limit of a few blocks: the records do not fit.
  options.prefix = {"bash", "-c", "ulimit -f 4 && exec \"$0\" \"$@\""};
  const RunResult r = site_.run({"ZKDNL31P", "T1", path(), "1"}, options);
  EXPECT_EQ(6, r.status);
  EXPECT_NE(std::string::npos,
            r.out.find("Downloadfile " + path() + " konnte nicht geschrieben werden!\n"));
  EXPECT_EQ(kOld, read_file(path()));
  EXPECT_EQ("files t1.dat work", list_dir(site_.root()));

  const RunResult appended = site_.run({"ZKDNL31P", "T1", path(), "0"}, options);
  EXPECT_EQ(6, appended.status);
  EXPECT_EQ(kOld, read_file(path()));
}

TEST_F(FaultsTest, SignalsWhileStagingOrWritingLeaveTheOldFileNothingBesideItAndTheLog) {
  load_small_site(admin());
  const std::string connected = "Mit Datenbank verbunden! Schema: MNDA\nSchema: MNDA\n";
  const std::string refused = "Ausweis 000005 ohne Zutrittsberechtigung auf Terminal T1\n";
  const struct {
    const char* phase;
    // Makes the run stand still in its phase; the second trigger lets the batch go on after
    // a second, by which time the staging table is locked against the run's read-back.
    const char* trigger;
    std::string log;
  } phases[] = {
      {"staging", "IF NEW.TmpStr LIKE '000020 %' THEN DO SLEEP(60); END IF;", connected + refused},
      {"writing", "IF NEW.TmpStr LIKE '000030 %' THEN DO SLEEP(1); END IF;",
       connected + refused + "Ausweise gesamt: 30 davon in Datei gestellt: 29\n"},
  };
  for (const auto& phase : phases) {
    admin().exec("DROP TRIGGER IF EXISTS KvBasis.stall;"
                 "CREATE TRIGGER KvBasis.stall BEFORE INSERT ON KvBasis.Kvb999Tmp FOR EACH ROW "
                 "BEGIN " + std::string(phase.trigger) + " END");
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
      for (const char* new_file : {"1", "0"}) {
        SCOPED_TRACE(std::string(phase.phase) + " signal " + std::to_string(signal_number) +
                     " new file " + new_file);
        write_file(path(), kOld);
        const auto run = site_.start({"ZKDNL31P", "T1", path(), new_file});
        ASSERT_NE("<none>", wait_for_row(admin(), "SELECT ID FROM information_schema.PROCESSLIST "
                                                  "WHERE STATE = 'User sleep'"));
        AdminDb locker;
        std::future<void> locked;
        if (std::string(phase.phase) == "writing") {
          locked = std::async(std::launch::async,
                              [&] { locker.exec("LOCK TABLES KvBasis.Kvb999Tmp WRITE"); });
          ASSERT_NE("<none>",
                    wait_for_row(admin(), "SELECT ID FROM information_schema.PROCESSLIST WHERE "
                                          "STATE = 'Waiting for table metadata lock' AND "
                                          "INFO LIKE 'SELECT TmpStr%'"));
        }
        run->signal(signal_number);
        const RunResult r = run->wait();
        EXPECT_EQ(128 + signal_number, r.status);
        EXPECT_EQ(phase.log, r.out);
        EXPECT_EQ(kOld, read_file(path()));
        EXPECT_EQ("files t1.dat work", list_dir(site_.root()));
        if (locked.valid()) {
          locked.get();
          locker.exec("UNLOCK TABLES");
        }
        end_program_connections(admin());
      }
    }
  }
}

TEST_F(FaultsTest, TransientErrorsAreSentAgainAndNeverTurnedIntoRefusals) {
  load_small_site(admin());
  ASSERT_EQ(0, site_.run({"ZKDNL31P", "T1", path(), "1"}).status);
  const std::string complete = read_file(path());
  ASSERT_EQ(48u * 29, complete.size());
  // The insert of 000020's record waits for a row that another session holds.
  admin().exec(
      "DROP TABLE IF EXISTS KvBasis.gate, KvBasis.ballast;"
      "CREATE TABLE KvBasis.gate (id INT PRIMARY KEY); INSERT INTO KvBasis.gate VALUES (1);"
      "CREATE TABLE KvBasis.ballast (n INT);"
      "CREATE TRIGGER KvBasis.wait_at_gate BEFORE INSERT ON KvBasis.Kvb999Tmp FOR EACH ROW "
      "BEGIN IF NEW.TmpStr LIKE '000020 %' THEN "
      "SELECT id INTO @gate FROM KvBasis.gate WHERE id = 1 FOR UPDATE; END IF; END");
  const auto waiting_at_gate = [] {
    // The run's connection, inside the trigger, shows the trigger's statement.
    return wait_for_row(admin(), "SELECT ID FROM information_schema.PROCESSLIST WHERE "
                                 "INFO LIKE 'SELECT id INTO @gate%'");
  };

  // A deadlock: the holder, heavier by its ballast, asks for the rows the run's batch has
  // inserted so far, and the server makes the run its victim. The run sends its batch again.
  const std::string deadlocks = "SHOW GLOBAL STATUS LIKE 'Innodb_deadlocks'";
  const std::string deadlocks_before = admin().rows(deadlocks).at(0).at(1).value();
  {
    AdminDb holder;
    holder.exec(
        "USE KvBasis; BEGIN; INSERT INTO KvBasis.ballast SELECT seq FROM seq_1_to_2000;"
        "SELECT id INTO @gate FROM KvBasis.gate WHERE id = 1 FOR UPDATE");
    write_file(path(), kOld);
    const auto run = site_.start({"ZKDNL31P", "T1", path(), "1"});
    ASSERT_NE("<none>", waiting_at_gate());
    holder.exec("SELECT COUNT(*) INTO @n FROM KvBasis.Kvb999Tmp WHERE TmpUsr = " +
                admin().quote(path()) + " FOR UPDATE; COMMIT");
    const RunResult r = run->wait();
    EXPECT_EQ(0, r.status) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("Insert-Error")) << r.out;
    EXPECT_TRUE(complete == read_file(path())) << "the file differs from a complete run's";
    EXPECT_NE(deadlocks_before, admin().rows(deadlocks).at(0).at(1).value());
  }

  // A lock wait that outlasts every attempt: the run ends with status 5 and the old file.
  {
    admin().exec("SET GLOBAL innodb_lock_wait_timeout = 1");
    AdminDb holder;
    holder.exec("BEGIN; SELECT id INTO @gate FROM KvBasis.gate WHERE id = 1 FOR UPDATE");
    write_file(path(), kOld);
    const RunResult r = site_.run({"ZKDNL31P", "T1", path(), "1"});
    holder.exec("COMMIT");
    EXPECT_EQ(5, r.status);
    EXPECT_EQ(
        "Mit Datenbank verbunden! Schema: MNDA\nSchema: MNDA\n"
        "Ausweis 000005 ohne Zutrittsberechtigung auf Terminal T1\n"
        "Fehler beim Schreiben Tab. Kvb999Tmp! ErrNr: 1205 User: " + path() + "\n",
        r.out);
    EXPECT_EQ(kOld, read_file(path()));
  }
  admin().exec("DROP TABLE KvBasis.gate, KvBasis.ballast");
}
