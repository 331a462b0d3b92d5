#include "site/job_report.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

TEST(JobReportName, StaysInItsDirectoryAndApartFromEveryOther) {
  const struct {
    int line;
    const char* terminal;
    const char* name;
  } cases[] = {
      {12, "TOR1", "0012-ZKDNL31P-TOR1.jsonl"},
      {3, "../..", "0003-ZKDNL31P-_____.jsonl"},
      {4, "T\xC3\x9CR 1", "0004-ZKDNL31P-T_R_1.jsonl"},
      {5, ".hidden/x", "0005-ZKDNL31P-_hidden_x.jsonl"},
      {12345, "a-b_c", "12345-ZKDNL31P-a-b_c.jsonl"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.terminal);
    EXPECT_EQ(c.name, job_report_name(c.line, "ZKDNL31P", c.terminal));
  }
}

TEST(JobReportRead, SumsSchemasAndRefusalsAndTakesTheEnd) {
  const std::string report =
      "{\"event\":\"run\",\"function\":\"ZKDNL31P\",\"terminal\":\"T\\u00dcR\"}\n"
      "{\"event\":\"refused\",\"badge\":\"1\",\"message\":\"a \\\"b\\\" \\\\ \\ud83d\\ude00\"}\n"
      "{\"event\":\"schema\",\"schema\":\"A\",\"badges\":12,\"staged\":10}\n"
      "not json\n"
      "{\"event\":\"later\",\"list\":[1,{\"x\":\"}\"}],\"n\":null}\n"
      "{\"event\":\"schema\",\"schema\":\"B\",\"badges\":3,\"staged\":3}\n"
      "{\"event\":\"refused\",\"badge\":\"2\"}\n"
      "{\"event\":\"end\",\"status\":0,\"records\":13,\"bytes\":624,"
      "\"seconds\":{\"connect\":0.1,\"total\":1.5}}\n";
  const JobReport r = job_report_read(report);
  EXPECT_TRUE(r.ended);
  EXPECT_EQ(15, r.badges);
  EXPECT_EQ(2, r.refused);
  EXPECT_EQ(13, r.records);
  EXPECT_EQ(0, r.status);
  std::map<std::string, std::string> values;
  ASSERT_TRUE(job_report_line(
      "{\"event\":\"refused\",\"message\":\"a \\\"b\\\" \\\\ \\u00fc\\ud83d\\ude00\\n\"}", values));
  EXPECT_EQ("a \"b\" \\ \xC3\xBC\xF0\x9F\x98\x80\n", values["message"]);
  EXPECT_FALSE(job_report_line("{\"event\":\"end\"", values));
  EXPECT_FALSE(job_report_line("{\"event\":\"x\\q\"}", values));
  // Cut off by a kill: no end.
  EXPECT_FALSE(job_report_read("{\"event\":\"run\"}\n{\"event\":\"schema\",\"bad").ended);
}
