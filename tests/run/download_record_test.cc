#include <gtest/gtest.h>

#include <string>

#include "run/download_file.h"

TEST(DownloadRecordAppend, FixedWidthRecordsArePaddedWithoutLineEnds) {
  const struct {
    const char* record;
    int width;
    const char* out;
  } cases[] = {
      {"ABC", 5, "ABC  "},
      {"ABCDE", 5, "ABCDE"},
      {"", 3, "   "},
      {"ABCDEFG", 5, "ABCDEFG"},  // longer records are written as they are
      {"AB", 0, "AB"},           // an unknown function has no width
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.record);
    std::string out;
    download_record_append(out, c.record, c.width, true);
    EXPECT_EQ(c.out, out);
  }
}

TEST(DownloadRecordAppend, LinesEndInCarriageReturnAndLineFeed) {
  std::string out;
  download_record_append(out, "\"4711\",\"\"", 0, false);
  download_record_append(out, "a\nb", 0, false);  // holds a line feed: none added
  EXPECT_EQ("\"4711\",\"\"\r\na\r\nb", out);
}

TEST(DownloadRecordAppend, EveryLineFeedOfAFixedRecordBecomesCarriageReturnLineFeed) {
  std::string out;
  download_record_append(out, "A\nB", 4, true);
  EXPECT_EQ("A\r\nB ", out);
}
