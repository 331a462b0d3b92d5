// The whole run as a child process: exit status, console bytes, download file bytes.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/version.h"
#include "config/blowfish.h"
#include "support/run_program.h"
#include "support/test_db.h"

namespace {

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_site();
    site_.write_test_config("mnda");
  }

  // Runs with the download file in the site's root.
  RunResult run(const std::string& code, const std::string& terminal, const std::string& file,
                const std::string& flag = "1", const RunOptions& options = {}) {
    RunResult r = site_.run({code, terminal, site_.file(file), flag}, options);
    EXPECT_EQ("", r.err) << "nothing goes to standard error";
    return r;
  }

  // A configuration file written by hand: entries of (key, plain value).
  void write_raw_config(const std::string& text) { write_file(site_.config_path(), text); }
  static std::string entry(int number, const std::string& key, const std::string& plain) {
    return ";DB;\n" + std::to_string(number) + ";" + key + ";" +
           encrypt_to_hex_string(plain, kConfigCipherKey) + "\n";
  }

  ProgramSite site_;
};

const char kConnected[] = "Mit Datenbank verbunden! Schema: MNDA\n";

}  // namespace

TEST_F(RunTest, TooFewArgumentsPrintUsageAndTouchNothing) {
  const RunResult r = site_.run({"ZKDNL31P", "T1", site_.file("t1.dat")});
  EXPECT_EQ(2, r.status);
  EXPECT_EQ(
      "Anzahl Parameter(mind. 4) unterschritten! AnzParam: 3"
      "Aufruf: VESTRAGEN [Param1] [Param2] [Param3] [Param4]  \n"
      "Param1: DNL-Funktion\n"
      "Param2: Terminal-Name\n"
      "Param3: Pfad der DNL-Datei\n"
      "Param4: 1: neu 0: dran h\xE4ngen\n",
      r.out);
  EXPECT_FALSE(file_exists(site_.file("t1.dat")));
}

TEST_F(RunTest, VersionAndHelpAreAskedOnlyAsTheOneArgument) {
  const std::string usage_of_one =
      "Anzahl Parameter(mind. 4) unterschritten! AnzParam: 1"
      "Aufruf: VESTRAGEN [Param1] [Param2] [Param3] [Param4]  \n"
      "Param1: DNL-Funktion\n"
      "Param2: Terminal-Name\n"
      "Param3: Pfad der DNL-Datei\n"
      "Param4: 1: neu 0: dran h\xE4ngen\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;  // the whole output, or for --help a part of it
  } cases[] = {
      {{"--version"}, 0, std::string("vestragen ") + kVestragenVersion + "\n"},
      {{"--help"}, 0, "See man vestragen.\n"},
      {{"--VERSION"}, 2, usage_of_one},
      {{"-h"}, 2, usage_of_one},
      {{"--version", "T1"}, 2, "Anzahl Parameter(mind. 4) unterschritten! AnzParam: 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    const RunResult r = site_.run(c.args);
    EXPECT_EQ(c.status, r.status);
    EXPECT_NE(std::string::npos, r.out.find(c.out)) << r.out;
    if (c.args[0] != "--help") {
      EXPECT_EQ(0u, r.out.find(c.out));
    }
  }
  const RunResult config = run_program(built_program("vestragen-config"), {"--version"});
  EXPECT_EQ(0, config.status);
  EXPECT_EQ(std::string("vestragen-config ") + kVestragenVersion + "\n", config.out);
}

TEST_F(RunTest, ConfigurationVariableNamesTheFileForBothPrograms) {
  // An installed system: the file lives elsewhere, the run starts from any directory.
  const std::string etc = site_.file("etc-korvandel.ini");
  RunOptions written;
  written.env = {"VESTRAGEN_CONFIG=" + etc};
  written.input = std::string(kTestPassword) + "\n";
  const RunResult setup = run_program(
      built_program("vestragen-config"),
      {"setup", kTestUser, "-", "localhost", "MNDA"}, written);
  ASSERT_EQ(0, setup.status) << setup.err;
  EXPECT_NE(std::string::npos, setup.out.find(etc)) << setup.out;
  RunOptions options;
  options.cwd = "/";
  options.env = {"VESTRAGEN_CONFIG=" + etc};
  const RunResult r = site_.run({"X", "T1", site_.file("t.dat"), "1"}, options);
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_EQ(0u, r.out.find(kConnected));
  // Empty counts as unset: the default path, which does not exist from /.
  options.env = {"VESTRAGEN_CONFIG="};
  const RunResult unset = site_.run({"X", "T1", site_.file("t.dat"), "1"}, options);
  EXPECT_EQ(3, unset.status);
  EXPECT_EQ("Konfigurationsdatei ../../files/korvandel.ini konnte nicht geoeffnet werden!\n",
            unset.out);
}

TEST_F(RunTest, OverlongArgumentEndsWithUsageStatusBeforeConnecting) {
  admin().exec("INSERT INTO KvBasis.Kvb999Tmp VALUES (" + admin().quote(site_.file("t.dat")) +
               ", 'KEEP')");
  const RunResult r = run("ZKDNL31P", std::string(12, 'T'), "t.dat");
  EXPECT_EQ(2, r.status);
  EXPECT_EQ("Param2 zu lang! (max. 11 Zeichen)\n", r.out);
  EXPECT_EQ("1", admin().scalar("SELECT COUNT(*) FROM KvBasis.Kvb999Tmp"));
}

TEST_F(RunTest, UnknownCodeVisitsTheSchemasAndWritesAnEmptyFile) {
  add_client(1, "MNDA");
  link_terminal("T1", 1);
  write_file(site_.file("t1.dat"), "OLD CONTENT");
  const RunResult r = run("nosuchfn", "T1", "t1.dat");
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(std::string(kConnected) + "Schema: MNDA\n", r.out);
  EXPECT_EQ("", read_file(site_.file("t1.dat")));
}

TEST_F(RunTest, AppendModeLeavesTheFileAsItWasWhenNothingIsStaged) {
  add_client(1, "MNDA");
  link_terminal("T1", 1);
  write_file(site_.file("t1.dat"), "OLD CONTENT");
  EXPECT_EQ(0, run("ZKDNL99P", "T1", "t1.dat", "0").status);
  EXPECT_EQ("OLD CONTENT", read_file(site_.file("t1.dat")));
  EXPECT_EQ(0, run("ZKDNL99P", "T1", "created.dat", "x").status);
  EXPECT_EQ("", read_file(site_.file("created.dat")));
}

TEST_F(RunTest, TerminalWithoutClientsVisitsEveryClient) {
  add_client(1, "MNDA");
  add_client(2, "MNDB");
  admin().exec("INSERT INTO KvBasis.Kvb112Mnd (MndLiz, MndNum, MndSch, MndKon) VALUES (1, 3, 'MNDX', 1)");
  const RunResult r = run("X", "T9", "t.dat");
  EXPECT_EQ(0, r.status) << r.out;
  // All clients, in the server's order, with the second wording of the switch message.
  EXPECT_NE(std::string::npos, r.out.find("Schema: MNDA\n"));
  EXPECT_NE(std::string::npos, r.out.find("Schema: MNDB\n"));
  EXPECT_EQ(std::string::npos, r.out.find("MNDX"));
}

TEST_F(RunTest, TerminalNameWithQuoteFindsOnlyItsOwnClients) {
  add_client(1, "MNDA");
  add_client(2, "MNDB");
  link_terminal("T'1", 2);
  const RunResult r = run("X", "T'1", "t.dat");
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(std::string(kConnected) + "Schema: MNDB\n", r.out);
}

TEST_F(RunTest, SchemaWithDashIsVisited) {
  create_client_schema("mnd-b");
  add_client(1, "mnd-b");
  link_terminal("T1", 1);
  const RunResult r = run("X", "T1", "t.dat");
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(std::string(kConnected) + "Schema: mnd-b\n", r.out);
}

TEST_F(RunTest, PathWithQuotesAndBackslashesIsAnOrdinaryKey) {
  add_client(1, "MNDA");
  link_terminal("T1", 1);
  const std::string name = "it's a \\\"file\\\".dat";
  admin().exec("INSERT INTO KvBasis.Kvb999Tmp VALUES (" + admin().quote(site_.file(name)) +
               ", 'EARLIER RUN')");
  EXPECT_EQ(0, run("X", "T1", name).status);
  EXPECT_EQ("", read_file(site_.file(name)));
  EXPECT_EQ("0", admin().scalar("SELECT COUNT(*) FROM KvBasis.Kvb999Tmp"));
}

TEST_F(RunTest, ConnectionFailureMasksThePasswordAndTouchesNothing) {
  site_.write_config(kTestUser, "wrong-password", "localhost", "mnda");
  write_file(site_.file("t.dat"), "OLD");
  const RunResult r = run("ZKDNL31P", "T1", "t.dat");
  EXPECT_EQ(4, r.status);
  EXPECT_EQ("DB-Connect-Error: 1045!Name:vestragen Pwd:**** Net:localhost Schema:MNDA\n", r.out);
  EXPECT_EQ("OLD", read_file(site_.file("t.dat")));
}

TEST_F(RunTest, EmptyPasswordPrintsAsEmpty) {
  site_.write_config(kTestUser, "", "localhost", "mnda");
  const RunResult r = run("ZKDNL31P", "T1", "t.dat");
  EXPECT_EQ(4, r.status);
  EXPECT_EQ("DB-Connect-Error: 1045!Name:vestragen Pwd: Net:localhost Schema:MNDA\n", r.out);
}

TEST_F(RunTest, ConfigurationProblemsEndWithStatusThreeBeforeConnecting) {
  const std::string good = entry(1, "LOGIN", kTestUser) + entry(2, "PASS", kTestPassword) +
                           entry(3, "NET8", "localhost");
  const struct {
    const char* name;
    std::string config;
    const char* message;
  } cases[] = {
      {"schema missing", good, "Konfigurationswert SCHEMA fehlt oder ist leer!\n"},
      {"schema of one character", good + entry(4, "SCHEMA", "M"),
       "Konfigurationswert SCHEMA fehlt oder ist leer!\n"},
      {"schema over 20", good + entry(4, "SCHEMA", std::string(21, 'M') + " "),
       "Konfigurationswert SCHEMA zu lang! (max. 20 Zeichen)\n"},
      {"value over 50", entry(1, "LOGIN", std::string(51, 'u')) + good,
       "Konfigurationswert LOGIN zu lang! (max. 50 Zeichen)\n"},
      {"hex not whole blocks", ";DB;\n1;LOGIN;0123456789ABCDEF0\n",
       "Konfigurationsdatei ../../files/korvandel.ini: Wert LOGIN in Zeile 2 ungueltig "
       "verschluesselt!\n"},
      {"malformed", "no separators here\nnone here either\n",
       "Konfigurationsdatei ../../files/korvandel.ini: Zeile 1 ungueltig!\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    write_raw_config(c.config);
    const RunResult r = run("ZKDNL31P", "T1", "t.dat");
    EXPECT_EQ(3, r.status);
    EXPECT_EQ(c.message, r.out);
  }
  std::remove(site_.config_path().c_str());
  const RunResult r = run("ZKDNL31P", "T1", "t.dat");
  EXPECT_EQ(3, r.status);
  EXPECT_EQ("Konfigurationsdatei ../../files/korvandel.ini konnte nicht geoeffnet werden!\n",
            r.out);
}

TEST_F(RunTest, SchemaSettingLosesItsLastCharacterAndIsUpperCased) {
  // Written by hand: "mndaX" names the database MNDA.
  write_raw_config(entry(1, "LOGIN", kTestUser) + entry(2, "PASS", kTestPassword) +
                   entry(3, "NET8", "localhost") + entry(4, "SCHEMA", "mndaX"));
  const RunResult r = run("X", "T1", "t.dat");
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(0u, r.out.find(kConnected));
}

TEST_F(RunTest, FailedStagingClearStopsBeforeTheFileIsTouched) {
  add_client(1, "MNDA");
  link_terminal("T1", 1);
  write_file(site_.file("t.dat"), "OLD");
  admin().exec("REVOKE DELETE ON KvBasis.Kvb999Tmp FROM 'vestragen'@'%'");
  // The clear goes ahead on the staging connection while the schema is visited: what the
  // run printed meanwhile is dropped, before a function's walk and without one.
  for (const char* code : {"X", "ZKDNL31P"}) {
    SCOPED_TRACE(code);
    const RunResult r = run(code, "T1", "t.dat");
    EXPECT_EQ(5, r.status);
    EXPECT_EQ(std::string(kConnected) + "Error Tab. Kvb999Tmp loeschen! ErrNr: 1142 User: " +
                  site_.file("t.dat"),
              r.out);
    EXPECT_EQ("OLD", read_file(site_.file("t.dat")));
  }
}

TEST_F(RunTest, FailedSchemaListStopsInsteadOfWideningTheDownload) {
  add_client(1, "MNDA");
  write_file(site_.file("t.dat"), "OLD");
  admin().exec("REVOKE SELECT ON KvBasis.Kvb115Tfz FROM 'vestragen'@'%'");
  const RunResult r = run("X", "T1", "t.dat");
  EXPECT_EQ(5, r.status);
  EXPECT_EQ(std::string(kConnected) + "Fehler beim Lesen der Mandanten-Schemata! ErrNr: 1142\n",
            r.out);
  EXPECT_EQ("OLD", read_file(site_.file("t.dat")));
}

TEST_F(RunTest, UnwritableDownloadFileEndsWithStatusSix) {
  add_client(1, "MNDA");
  link_terminal("T1", 1);
  const RunResult r = run("X", "T1", "no/such/dir/t.dat");
  EXPECT_EQ(6, r.status);
  EXPECT_EQ(std::string(kConnected) + "Schema: MNDA\nDownloadfile " +
                site_.file("no/such/dir/t.dat") + " konnte nicht geoeffnet werden!\n",
            r.out);
}

namespace {
RunOptions lock_wait(int seconds) {
  RunOptions options;
  options.env = {"VESTRAGEN_LOCK_WAIT=" + std::to_string(seconds)};
  return options;
}

// The lock a run holds for its download file, taken by another connection.
std::string lock_expression(AdminDb& db, const std::string& path) {
  return "CONCAT('vestragen.', SHA1(TRIM(TRAILING ' ' FROM " + db.quote(path) + ")))";
}
}  // namespace

TEST_F(RunTest, SecondRunForTheSameFileGivesUpAfterItsWaitAndTouchesNothing) {
  add_client(1, "MNDA");
  link_terminal("T1", 1);
  const std::string path = site_.file("t.dat");
  write_file(path, "OLD");
  admin().exec("INSERT INTO KvBasis.Kvb999Tmp VALUES (" + admin().quote(path) + ", 'FIRST RUN')");
  AdminDb first_run;
  ASSERT_EQ("1", first_run.scalar("SELECT GET_LOCK(" + lock_expression(first_run, path) + ", 0)"));
  const RunResult r = run("X", "T1", "t.dat", "1", lock_wait(1));
  EXPECT_EQ(7, r.status);
  EXPECT_EQ(std::string(kConnected) + "Downloadfile " + path +
                " wird von einem anderen Lauf erzeugt! Abbruch nach 1 Sekunden.\n",
            r.out);
  EXPECT_EQ("OLD", read_file(path));
  EXPECT_EQ("FIRST RUN", admin().scalar("SELECT TmpStr FROM KvBasis.Kvb999Tmp"));
}

TEST_F(RunTest, SecondRunWaitsForTheFirstAndThenRuns) {
  add_client(1, "MNDA");
  link_terminal("T1", 1);
  const std::string path = site_.file("t.dat");
  AdminDb first_run;
  // Trailing blanks do not make another file: the staging table compares keys without them.
  ASSERT_EQ("1", first_run.scalar("SELECT GET_LOCK(" + lock_expression(first_run, path + "  ") +
                                  ", 0)"));
  std::thread release([&first_run] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    first_run.exec("DO RELEASE_ALL_LOCKS()");
  });
  const auto start = std::chrono::steady_clock::now();
  const RunResult r = run("X", "T1", "t.dat", "1", lock_wait(60));
  release.join();
  EXPECT_EQ(0, r.status) << r.out;
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_EQ("", read_file(path));
}

TEST_F(RunTest, RunsForDifferentFilesDoNotWaitForEachOther) {
  add_client(1, "MNDA");
  link_terminal("T1", 1);
  AdminDb other_run;
  ASSERT_EQ("1", other_run.scalar("SELECT GET_LOCK(" +
                                  lock_expression(other_run, site_.file("a.dat")) + ", 0)"));
  EXPECT_EQ(0, run("X", "T1", "b.dat", "1", lock_wait(0)).status);
  EXPECT_EQ(0, run("X", "T1", "A.DAT", "1", lock_wait(0)).status);
}
