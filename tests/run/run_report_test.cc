// The run report (VESTRAGEN_REPORT) on the demo site: it tells what the console shows, one
// refusal for one, and changes nothing of the run.

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "base/version.h"
#include "support/report_check.h"
#include "support/run_program.h"
#include "support/test_db.h"

namespace {

class RunReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_site();
    load_demo_site();
    site_.write_test_config("MNDNORD");
    // The staging table refuses badge 10002's record in every download.
    admin().exec(
        "CREATE TRIGGER KvBasis.refuse BEFORE INSERT ON KvBasis.Kvb999Tmp FOR EACH ROW "
        "BEGIN IF NEW.TmpStr LIKE '10002 %' OR NEW.TmpStr LIKE '\"10002\"%' THEN "
        "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused'; END IF; END");
  }

  RunResult run(const std::vector<std::string>& args, const std::string& report = "") {
    RunOptions options;
    if (!report.empty()) options.env = {"VESTRAGEN_REPORT=" + report};
    return site_.run(args, options);
  }

  ProgramSite site_;
};

int record_width(const std::string& code) {
  return code == "ZKDNL17P"   ? 85
         : code == "ZKDNL18P" ? 173
         : code == "ZKDNL31P" ? 48
         : code == "ZKDNL60P" ? 45
                              : 0;
}

long records_in(const std::string& file, int width) {
  if (width > 0) return static_cast<long>(file.size()) / width;
  long lines = 0;
  for (std::size_t at = 0; (at = file.find("\r\n", at)) != std::string::npos; at += 2)
    ++lines;
  return lines;
}

}  // namespace

TEST_F(RunReportTest, TellsEveryRefusalTheConsoleShowsAndChangesNothing) {
  const std::string report = site_.file("report.jsonl");
  const std::string path = site_.file("t.dat");
  std::set<std::string> reasons;
  for (const char* terminal : {"TOR1", "KANTINE"}) {
    for (const char* code : {"ZKDNL17P", "ZKDNL18P", "ZKDNL31P", "ZKDNL60P", "IDSTAMM"}) {
      SCOPED_TRACE(std::string(code) + " " + terminal);
      const RunResult plain = run({code, terminal, path, "1"});
      const std::string plain_file = read_file(path);
      const RunResult reported = run({code, terminal, path, "1"}, report);
      EXPECT_EQ(0, reported.status);
      EXPECT_EQ(plain.status, reported.status);
      EXPECT_EQ(plain.out, reported.out);
      EXPECT_EQ("", reported.err);
      const std::string file = read_file(path);
      EXPECT_TRUE(plain_file == file) << "the files differ";

      const std::string text = read_file(report);
      expect_report_matches_console(text, reported.out, reported.status);
      const std::vector<ReportEvent> events = report_events(text);
      ASSERT_FALSE(events.empty());
      const ReportEvent& start = events.front();
      EXPECT_EQ(code, start.at("function"));
      EXPECT_EQ(terminal, start.at("terminal"));
      EXPECT_EQ(path, start.at("path"));
      EXPECT_EQ("new", start.at("mode"));
      EXPECT_EQ(kVestragenVersion, start.at("version"));
      EXPECT_TRUE(std::regex_match(
          start.at("started"),
          std::regex("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d")))
          << start.at("started");
      const ReportEvent& end = events.back();
      EXPECT_EQ(std::to_string(records_in(file, record_width(code))), end.at("records"));
      EXPECT_EQ(std::to_string(file.size()), end.at("bytes"));
      EXPECT_TRUE(std::regex_search(
          text, std::regex("\"seconds\":\\{\"connect\":[0-9.]+,\"badges\":[0-9.]+,\"lookups\":"
                           "[0-9.]+,\"staging\":[0-9.]+,\"writing\":[0-9.]+,\"total\":[0-9.]+\\}"
                           "\\}\n$")))
          << text;
      for (const ReportEvent& e : events) {
        if (e.at("event") == "refused") reasons.insert(e.at("reason"));
      }
    }
  }
  EXPECT_EQ((std::set<std::string>{"insert_refused", "no_access", "no_class", "not_permitted"}),
            reasons);
  EXPECT_EQ("files report.jsonl t.dat work", list_dir(site_.root())) << "a temporary file is left";
}

TEST_F(RunReportTest, FailedRunsReportTooAndAReportThatCannotBeWrittenStopsNothing) {
  const std::string report = site_.file("report.jsonl");
  // No such directory: status 6, the end tells it.
  const RunResult failed = run({"ZKDNL31P", "TOR1", site_.file("no/t.dat"), "1"}, report);
  EXPECT_EQ(6, failed.status);
  expect_report_matches_console(read_file(report), failed.out, 6);
  const std::vector<ReportEvent> events = report_events(read_file(report));
  EXPECT_EQ("0", events.back().at("records"));
  EXPECT_EQ("0", events.back().at("bytes"));
  // A command line cut short has only its end.
  const RunResult usage = run({"ZKDNL31P", "TOR1"}, report);
  EXPECT_EQ(2, usage.status);
  EXPECT_EQ(0u, read_file(report).find(
                    "{\"event\":\"end\",\"status\":2,\"records\":0,\"bytes\":0,\"seconds\":{"))
      << read_file(report);
  // Appending.
  write_file(site_.file("t.dat"), "OLD");
  const RunResult appended = run({"IDSTAMM", "KANTINE", site_.file("t.dat"), "0"}, report);
  EXPECT_EQ(0, appended.status);
  EXPECT_EQ("append", report_events(read_file(report)).front().at("mode"));
  EXPECT_EQ(std::to_string(read_file(site_.file("t.dat")).size()),
            report_events(read_file(report)).back().at("bytes"));
  // The report's place does not exist: the run is as without the report, and says so on
  // standard error only.
  const RunResult plain = run({"ZKDNL31P", "TOR1", site_.file("t.dat"), "1"});
  const RunResult lost =
      run({"ZKDNL31P", "TOR1", site_.file("t.dat"), "1"}, site_.file("no/report.jsonl"));
  EXPECT_EQ(0, lost.status);
  EXPECT_EQ(plain.out, lost.out);
  EXPECT_NE(std::string::npos, lost.err.find("run report")) << lost.err;
}
