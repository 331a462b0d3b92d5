#include "site/metrics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "site/exposition_format.h"

namespace {

JobMetrics job(const std::string& terminal, const std::string& path, int status,
               std::int64_t ended_seconds) {
  JobMetrics m;
  m.function = "ZKDNL31P";
  m.terminal = terminal;
  m.path = path;
  m.ran = status >= 0;
  m.status = status;
  m.seconds = 1.25;
  m.reported = status >= 0;
  m.report.badges = 15;
  m.report.records = 13;
  m.report.refused = 2;
  m.ended = std::chrono::system_clock::time_point(std::chrono::seconds(ended_seconds));
  return m;
}

std::string sample(const std::string& text, const std::string& series) {
  const std::size_t at = text.find("\n" + series + " ");
  if (at == std::string::npos) return "<none>";
  const std::size_t from = at + series.size() + 2;
  return text.substr(from, text.find('\n', from) - from);
}

}  // namespace

TEST(MetricsText, KeepsTheFormatWithAnyLabelAndCarriesTheLastSuccessOver) {
  const std::vector<JobMetrics> first = {
      job("T\"1\\", "/srv/a\nb.dat", 0, 1000),  // quote, backslash, line feed
      job("T\xC3\x9CR", "/srv/t\xC3\xBCr.dat", 0, 1000),
      job("T3", "/srv/c.dat", -1, 1000),  // did not run
  };
  SiteTotals totals;
  totals.ok = 2;
  totals.not_run = 1;
  totals.ended = std::chrono::system_clock::time_point(std::chrono::seconds(1001));
  const std::string text = metrics_text(first, totals, "");
  EXPECT_EQ("", exposition_problem(text)) << text;
  const std::string quoted =
      "{function=\"ZKDNL31P\",terminal=\"T\\\"1\\\\\",path=\"/srv/a\\nb.dat\"}";
  EXPECT_EQ("0", sample(text, "vestragen_site_job_exit_status" + quoted));
  EXPECT_EQ("1000.000", sample(text, "vestragen_site_job_last_success_timestamp_seconds" + quoted));
  const std::string third = "{function=\"ZKDNL31P\",terminal=\"T3\",path=\"/srv/c.dat\"}";
  EXPECT_EQ("<none>", sample(text, "vestragen_site_job_exit_status" + third));
  EXPECT_EQ("0", sample(text, "vestragen_site_job_last_success_timestamp_seconds" + third));

  // The next run: the first job fails and keeps its last success, the third succeeds.
  std::vector<JobMetrics> second = {job("T\"1\\", "/srv/a\nb.dat", 5, 2000),
                                    job("T3", "/srv/c.dat", 0, 2000)};
  second[0].reported = false;
  const std::string next = metrics_text(second, totals, text);
  EXPECT_EQ("", exposition_problem(next)) << next;
  EXPECT_EQ("5", sample(next, "vestragen_site_job_exit_status" + quoted));
  EXPECT_EQ("<none>", sample(next, "vestragen_site_job_badges_read" + quoted));
  EXPECT_EQ("1000.000", sample(next, "vestragen_site_job_last_success_timestamp_seconds" + quoted));
  EXPECT_EQ("2000.000", sample(next, "vestragen_site_job_last_success_timestamp_seconds" + third));
  EXPECT_EQ(std::string::npos, next.find("T\xC3\x9CR")) << "a job no longer in the file";
}
