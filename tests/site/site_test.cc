// vestragen-site on the demo site, through the built programs: the job file checked whole
// before anything runs, the whole site run with its log, metrics and reports, a job that
// fails on the way, a job over its time, and a stop signal to the runner.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "base/encoding.h"
#include "site/exposition_format.h"
#include "support/report_check.h"
#include "support/run_program.h"
#include "support/test_db.h"

namespace {

const char* const kFunctions[] = {"ZKDNL17P", "ZKDNL18P", "ZKDNL31P", "ZKDNL60P", "IDSTAMM"};

// Every function for both terminals of the demo site, lines 3 to 12.
std::string demo_jobs() {
  std::string text = "# the demo site\ncd work/run\n";
  for (const char* terminal : {"TOR1", "KANTINE"}) {
    for (const char* code : kFunctions) {
      text += std::string(code) + " " + terminal + " ../../out/" + terminal + "-" + code + ".dat\n";
    }
  }
  return text;
}

// The held lock of a download path, as a run of that path takes it.
std::string lock_of(AdminDb& db, const std::string& path) {
  return "GET_LOCK(CONCAT('vestragen.', SHA1(" + db.quote(path) + ")), 0)";
}

class SiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_site();
    load_demo_site();
    site_.write_test_config("MNDNORD");
    for (const char* dir : {"out", "reports", "tmp", "metrics"}) {
      std::filesystem::create_directories(site_.file(dir));
    }
  }

  RunOptions options(const std::string& jobs) const {
    write_file(site_.file("jobs"), jobs);
    RunOptions o;
    o.cwd = site_.root();
    o.env = {"TMPDIR=" + site_.file("tmp")};
    return o;
  }

  RunResult run_site(const std::string& jobs, std::vector<std::string> args) const {
    args.push_back("jobs");
    return site_.run_tool("vestragen-site", args, options(jobs));
  }

  std::unique_ptr<ChildRun> start_site(const std::string& jobs,
                                       std::vector<std::string> args) const {
    args.push_back("jobs");
    return site_.start_tool("vestragen-site", args, options(jobs));
  }

  // Waits until the log holds text (the jobs have got that far); false when the runner
  // ended first.
  bool wait_for_log(ChildRun& runner, const std::string& text) const {
    for (int i = 0; i < 1200; ++i) {
      if (read_file(site_.file("site.log")).find(text) != std::string::npos) return true;
      if (runner.ended()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  // The download file of a direct run in the site's working directory.
  std::string direct(const std::string& code, const std::string& terminal) const {
    const RunResult r = site_.run({code, terminal, site_.file("direct.dat"), "1"});
    EXPECT_EQ(0, r.status) << r.out;
    return read_file(site_.file("direct.dat"));
  }

  ProgramSite site_;
};

}  // namespace

TEST_F(SiteTest, AFaultyJobFileRunsNothing) {
  const std::vector<std::string> args = {"--log",    "site.log", "--metrics", "metrics/site.prom",
                                         "--report", "reports"};
  // A typo'd function code would write an empty download file; line 13 names it.
  const RunResult typo = run_site(demo_jobs() + "ZKDNL71P TOR1 ../../out/typo.dat\n", args);
  EXPECT_EQ(2, typo.status);
  EXPECT_NE(std::string::npos, typo.err.find("jobs:13: unknown function code ZKDNL71P"))
      << typo.err;
  EXPECT_EQ(std::string::npos, typo.err.find("jobs:12")) << typo.err;
  for (const char* dir : {"out", "reports", "tmp", "metrics"}) {
    EXPECT_EQ("", list_dir(site_.file(dir))) << dir;
  }
  EXPECT_FALSE(file_exists(site_.file("site.log")));

  // Missing places: a report directory, the program.
  const RunResult no_reports = run_site(demo_jobs(), {"--report", "nowhere"});
  EXPECT_EQ(2, no_reports.status);
  EXPECT_NE(std::string::npos, no_reports.err.find("report directory nowhere")) << no_reports.err;
  RunOptions no_program = options(demo_jobs());
  no_program.env.push_back("VESTRAGEN_PROGRAM=" + site_.file("none"));
  const RunResult without = site_.run_tool("vestragen-site", {"jobs"}, no_program);
  EXPECT_EQ(2, without.status);
  EXPECT_NE(std::string::npos, without.err.find("vestragen is not at")) << without.err;

  const RunResult plan = run_site(demo_jobs(), {"--dry-run"});
  EXPECT_EQ(0, plan.status) << plan.err;
  EXPECT_NE(std::string::npos,
            plan.out.find("line 3: ZKDNL17P TOR1 ../../out/TOR1-ZKDNL17P.dat (new file) in " +
                          site_.file("work/run") + "\n"))
      << plan.out;
  EXPECT_NE(std::string::npos, plan.out.find("10 jobs, at most 2 at once; nothing run"));
  EXPECT_EQ("", list_dir(site_.file("out")));
}

TEST_F(SiteTest, TheDemoSiteRunsWholeWithItsLogMetricsAndReports) {
  // A terminal whose name is not ASCII; its job appends to TOR1's ZKDNL31P file, after it.
  admin().exec(
      "INSERT INTO KvBasis.Kvb114Tsm (TsmNam, TSMTYP, TSMSAL, TsmSpr) VALUES "
      "('T\xDCR', '7744-010', NULL, 1);"
      "INSERT INTO KvBasis.Kvb115Tfz (TfzTrm, TfzLiz, TfzMnd) VALUES ('T\xDCR', 1, 2);"
      "INSERT INTO KvBasis.Kvb401Zls (ZlsTrm, ZlsLes, ZlsZko) VALUES ('T\xDCR', 1, 'EINGANG')");
  const std::string jobs = demo_jobs() +
                           "ZKDNL31P T\xC3\x9CR ../../out/TOR1-ZKDNL31P.dat 0\n"  // line 13
                           "IDSTAMM \"../x y\" ../../out/odd.txt\n";              // line 14
  const RunResult r = run_site(jobs, {"-j", "2", "--log", "site.log", "--metrics",
                                      "metrics/site.prom", "--report", "reports"});
  EXPECT_EQ(0, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.out.find("vestragen-site: 12 jobs: 12 ok, 0 failed, 0 not run"))
      << r.out;

  for (const char* terminal : {"TOR1", "KANTINE"}) {
    for (const char* code : kFunctions) {
      SCOPED_TRACE(std::string(code) + " " + terminal);
      std::string expected = direct(code, terminal);
      if (std::string(code) == "ZKDNL31P" && std::string(terminal) == "TOR1") {
        expected += direct(code, "T\xDCR");
      }
      const std::string file = read_file(site_.file("out/") + terminal + "-" + code + ".dat");
      EXPECT_TRUE(expected == file) << "the file differs from a direct run's";
    }
  }

  const std::string log = read_file(site_.file("site.log"));
  std::string cp1252;
  EXPECT_TRUE(utf8_to_cp1252(log, cp1252)) << "the log is not UTF-8 of the console's texts";
  EXPECT_NE(std::string::npos, log.find("ZKDNL31P TOR1 | Ausweis 10007 ohne g\xC3\xBCltige"));
  const std::regex line_form(
      "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d "
      "(vestragen-site: .*|\\S+ \\S+ \\| .*|\\S+ \\S+ ended: status 0 \\(the download file was "
      "written\\) after [0-9.]+ s \\(line \\d+\\)|IDSTAMM \\.\\./x y .*)");
  int ended = 0;
  std::size_t from = 0;
  while (from < log.size()) {
    const std::size_t end = log.find('\n', from);
    const std::string line = log.substr(from, end - from);
    from = end + 1;
    EXPECT_TRUE(std::regex_match(line, line_form)) << line;
    ended += line.find(" ended: ") != std::string::npos ? 1 : 0;
  }
  EXPECT_EQ(12, ended);
  // The append job started after the new-file job of its file had ended.
  EXPECT_LT(log.find("ZKDNL31P TOR1 ended: "), log.find("ZKDNL31P T\xC3\x9CR | "));

  const std::string metrics = read_file(site_.file("metrics/site.prom"));
  EXPECT_EQ("", exposition_problem(metrics)) << metrics;
  EXPECT_EQ("", promtool_problem(site_.file("metrics/site.prom")));
  const std::string labels = "{function=\"ZKDNL31P\",terminal=\"KANTINE\",path=\"" +
                             site_.file("out/KANTINE-ZKDNL31P.dat") + "\"} ";
  EXPECT_NE(std::string::npos, metrics.find("vestragen_site_job_exit_status" + labels + "0\n"));
  EXPECT_NE(std::string::npos, metrics.find("vestragen_site_job_badges_read" + labels + "12\n"));
  EXPECT_NE(std::string::npos, metrics.find("vestragen_site_job_records_written" + labels + "8\n"));
  EXPECT_NE(std::string::npos, metrics.find("vestragen_site_job_badges_refused" + labels + "4\n"))
      << metrics;

  std::string names;
  for (const char* name :
       {"0003-ZKDNL17P-TOR1", "0004-ZKDNL18P-TOR1", "0005-ZKDNL31P-TOR1", "0006-ZKDNL60P-TOR1",
        "0007-IDSTAMM-TOR1", "0008-ZKDNL17P-KANTINE", "0009-ZKDNL18P-KANTINE",
        "0010-ZKDNL31P-KANTINE", "0011-ZKDNL60P-KANTINE", "0012-IDSTAMM-KANTINE",
        "0013-ZKDNL31P-T_R", "0014-IDSTAMM-___x_y"}) {
    names += (names.empty() ? "" : " ") + std::string(name) + ".jsonl";
  }
  EXPECT_EQ(names, list_dir(site_.file("reports")));
  const std::vector<ReportEvent> events =
      report_events(read_file(site_.file("reports/0013-ZKDNL31P-T_R.jsonl")));
  EXPECT_EQ("T\xC3\x9CR", events.front().at("terminal"));
  EXPECT_EQ("append", events.front().at("mode"));
  EXPECT_EQ("", list_dir(site_.file("tmp")));
}

TEST_F(SiteTest, AJobWhoseDirectoryWentAfterTheCheckFailsWithStatusSix) {
  std::filesystem::create_directories(site_.file("gone"));
  const std::string jobs =
      "cd work/run\n"
      "ZKDNL31P TOR1 ../../out/held.dat\n"
      "ZKDNL31P TOR1 ../../gone/t.dat\n"
      "ZKDNL31P KANTINE ../../gone/t.dat 0\n"
      "IDSTAMM KANTINE ../../out/k.txt\n";
  AdminDb other_run;
  ASSERT_EQ("1", other_run.scalar("SELECT " + lock_of(other_run, "../../out/held.dat")));
  const auto runner = start_site(jobs, {"-j", "1", "--log", "site.log"});
  ASSERT_TRUE(wait_for_log(*runner, "ZKDNL31P TOR1 | Mit Datenbank verbunden!"));
  std::filesystem::remove_all(site_.file("gone"));
  other_run.exec("DO RELEASE_ALL_LOCKS()");
  const RunResult r = runner->wait();
  EXPECT_EQ(1, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos,
            r.out.find("vestragen-site: failed: line 3 ZKDNL31P TOR1 ../../gone/t.dat: status 6 "
                       "(the download file could not be opened or written)\n"))
      << r.out;
  // Appending to the file the job before it left as it was would double its records.
  EXPECT_NE(std::string::npos,
            r.out.find("vestragen-site: not run: line 4 ZKDNL31P KANTINE ../../gone/t.dat: the "
                       "job of line 3 for the same file did not succeed\n"));
  EXPECT_NE(std::string::npos, r.out.find("4 jobs: 2 ok, 1 failed, 1 not run"));
  EXPECT_EQ("held.dat k.txt", list_dir(site_.file("out")));
}

TEST_F(SiteTest, AJobOverItsTimeIsStoppedAndCountsAsFailed) {
  const std::string jobs =
      "cd work/run\n"
      "ZKDNL31P TOR1 ../../out/held.dat\n"
      "IDSTAMM KANTINE ../../out/k.txt\n";
  AdminDb other_run;
  ASSERT_EQ("1", other_run.scalar("SELECT " + lock_of(other_run, "../../out/held.dat")));
  const RunResult r = run_site(jobs, {"--timeout", "1"});
  EXPECT_EQ(1, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos,
            r.out.find("failed: line 2 ZKDNL31P TOR1 ../../out/held.dat: status 143 (timed out "
                       "after 1 s: stopped by SIGTERM)"))
      << r.out;
  EXPECT_NE(std::string::npos, r.out.find("2 jobs: 1 ok, 1 failed, 0 not run"));
  EXPECT_EQ("k.txt", list_dir(site_.file("out")));
}

TEST_F(SiteTest, SigtermStopsTheJobsAndLeavesNoTemporaryFile) {
  const std::string jobs =
      "cd work/run\n"
      "ZKDNL31P TOR1 ../../out/a.dat\n"
      "ZKDNL31P KANTINE ../../out/b.dat\n"
      "IDSTAMM KANTINE ../../out/c.txt\n";
  write_file(site_.file("out/a.dat"), "OLD A");
  write_file(site_.file("out/b.dat"), "OLD B");
  AdminDb other_run;
  ASSERT_EQ("1", other_run.scalar("SELECT " + lock_of(other_run, "../../out/a.dat")));
  ASSERT_EQ("1", other_run.scalar("SELECT " + lock_of(other_run, "../../out/b.dat")));
  const auto runner = start_site(
      jobs, {"--log", "site.log", "--metrics", "metrics/site.prom", "--report", "reports"});
  ASSERT_TRUE(wait_for_log(*runner, "ZKDNL31P TOR1 | Mit Datenbank verbunden!"));
  ASSERT_TRUE(wait_for_log(*runner, "ZKDNL31P KANTINE | Mit Datenbank verbunden!"));
  runner->signal(SIGTERM);
  const RunResult r = runner->wait();
  EXPECT_EQ(143, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.out.find("3 jobs: 0 ok, 2 failed, 1 not run")) << r.out;
  EXPECT_NE(std::string::npos,
            r.out.find("not run: line 4 IDSTAMM KANTINE ../../out/c.txt: the runner was stopped"));
  EXPECT_EQ("a.dat b.dat", list_dir(site_.file("out")));
  EXPECT_EQ("OLD A", read_file(site_.file("out/a.dat")));
  EXPECT_EQ("0002-ZKDNL31P-TOR1.jsonl 0003-ZKDNL31P-KANTINE.jsonl",
            list_dir(site_.file("reports")));
  EXPECT_EQ("site.prom", list_dir(site_.file("metrics")));
  EXPECT_EQ("", list_dir(site_.file("tmp")));
  EXPECT_EQ("files jobs metrics out reports site.log tmp work", list_dir(site_.root()));
  EXPECT_EQ(
      "143",
      report_events(read_file(site_.file("reports/0002-ZKDNL31P-TOR1.jsonl"))).back().at("status"));
  const std::string metrics = read_file(site_.file("metrics/site.prom"));
  EXPECT_EQ("", exposition_problem(metrics)) << metrics;
  EXPECT_NE(std::string::npos, metrics.find("vestragen_site_exit_status 143\n"));
}
