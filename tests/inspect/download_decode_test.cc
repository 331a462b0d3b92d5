#include "inspect/download_decode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const RecordLayout& layout(const char* function) {
  return *record_layout(function);
}

// Two ZKDNL31P records as the program writes them, and the third one's place.
constexpr char kTwo31p[] =
    "4710         202403010000000011XXXX,XX-0015  SUE"
    "4711         202403012025123101XXXX,XX-00112    ";

}  // namespace

TEST(DownloadDecode, FixedWidthRecordsGiveTheirFieldsAndOffsets) {
  const DecodedFile file = download_decode(layout("zkdnl31p"), kTwo31p);
  EXPECT_FALSE(file.bad);
  ASSERT_EQ(2u, file.records.size());
  EXPECT_EQ(48u, file.records[1].offset);
  EXPECT_EQ((std::vector<std::string>{"4711         ", "20240301", "20251231", "0", "1", "XXXX,XX-",
                                      "001", "12 ", "   "}),
            file.records[1].fields);
  EXPECT_EQ("4711", decoded_badge_number(layout("ZKDNL31P"), file.records[1]));
}

TEST(DownloadDecode, ALineFeedInAValueIsReadFromItsCarriageReturnAndLineFeed) {
  // ZKDNL60P, 45 characters: the badge number "A\nB" and the value " 1\n2" hold a line feed
  // each, which the file holds as CR LF, so the first record has 47 bytes.
  const std::string bytes =
      "A\r\nB          "
      "20240301"
      "11"
      " 1\r\n2   "
      "015  025       "
      "C            "
      "00000000"
      "11"
      "  1,00 "
      "013            ";
  const DecodedFile file = download_decode(layout("ZKDNL60P"), bytes);
  EXPECT_FALSE(file.bad) << file.problem;
  EXPECT_EQ("", file.reading);
  ASSERT_EQ(2u, file.records.size());
  EXPECT_EQ("A\nB          ", file.records[0].fields[0]);
  EXPECT_EQ(" 1\n2   ", file.records[0].fields[4]);
  EXPECT_EQ(47u, file.records[1].offset);
  EXPECT_EQ(3u, file.records[1].line);
  EXPECT_EQ("013  ", file.records[1].fields[5]);
}

TEST(DownloadDecode, CarriageReturnAndLineFeedAreTwoCharactersWhenOnlySoTheLengthFits) {
  const std::string bytes = "A            2024030111 \r\n    015  025  035  ";
  const DecodedFile file = download_decode(layout("ZKDNL60P"), bytes);
  EXPECT_FALSE(file.bad);
  EXPECT_NE("", file.reading);
  ASSERT_EQ(1u, file.records.size());
  EXPECT_EQ(" \r\n    ", file.records[0].fields[4]);
}

TEST(DownloadDecode, TheFirstBadRecordIsNamedAndTheGoodOnesStay) {
  const struct {
    const char* function;
    std::string bytes;
    std::size_t records;
    std::size_t bad_offset;
    const char* problem;
  } cases[] = {
      // One byte too many: the rest from 96 is no record.
      {"ZKDNL31P", std::string(kTwo31p) + "4", 2, 96, "the last 1 characters from byte 96"},
      // A time flag that is neither 0 nor 1, in the middle.
      {"ZKDNL31P",
       std::string(kTwo31p, 48) + "4712         2024030100000000X1XXXX,XX-0015  SUE" +
           std::string(kTwo31p + 48),
       2, 48, "place 29 holds \"X\", not 0 or 1"},
      {"ZKDNL17P", std::string(85, ' '), 0, 0, "places 13 to 20 hold \"        \""},
      {"ZKDNL18P", std::string(172, ' '), 0, 0, "make no whole record of 173"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.problem);
    const DecodedFile file = download_decode(layout(c.function), c.bytes);
    EXPECT_TRUE(file.bad);
    EXPECT_EQ(c.records, file.records.size());
    EXPECT_EQ(c.bad_offset, file.bad_offset);
    EXPECT_NE(std::string::npos, file.problem.find(c.problem)) << file.problem;
  }
}

TEST(DownloadDecode, Zkdnl18pTodaysDateTakesTheLabelsLastPlace) {
  std::string record =
      "10001        "
      "Gleitzeit Vo "
      "  8,00 "
      "Datum       0"
      "8.12.26"
      "Urlaub genom "
      "  5,00 "
      "             "
      "       "
      " Resturlaub 2"
      "  3,00 ";  // slot 5, set in by one blank
  record.resize(173, ' ');
  const DecodedFile file = download_decode(layout("ZKDNL18P"), record);
  ASSERT_EQ(1u, file.records.size());
  const std::vector<std::string>& f = file.records[0].fields;
  EXPECT_EQ("Gleitzeit Vo ", f[1]);
  EXPECT_EQ("  8,00 ", f[2]);
  EXPECT_EQ("Datum       ", f[3]);
  EXPECT_EQ("08.12.26", f[4]);
  EXPECT_EQ(" Resturlaub 2", f[9]);
  EXPECT_EQ("  3,00 ", f[10]);
}

TEST(DownloadDecode, IdstammLinesAreSplitByWhatEachFieldHolds) {
  const std::string plain =
      "\"4711\",\"20240301\",\"\",\"00100\",\"1\",\"1\",\"1\",\"SAL1\",\"001\",\"5  \",\"\","
      "\"P4711\",\"1\"\r\n";
  // Quotes and commas in the badge number: only one split gives dates where dates stand.
  const std::string quoted =
      "\"4\",\"7\",\"20240301\",\"\",\"\",\"0\",\"1\",\"\",\"\",\"001\",\"0\",\"\",\"P\","
      "\"12\"\r\n";
  // A line feed in the person: the line has CR LF inside and none at its end.
  const std::string line_feed =
      "\"9\",\"\",\"\",\"\",\"1\",\"0\",\"\",\"\",\"001\",\"0\",\"\",\"P\r\nQ\",\"-1\"";
  // A line feed and quotes in the person: the line would also end after the person "P\nQ"
  // and the type "1", before a quote, but what follows there is no line.
  const std::string quote_after_line_feed =
      "\"9\",\"\",\"\",\"\",\"1\",\"0\",\"\",\"\",\"001\",\"0\",\"\",\"P\r\nQ\",\"1\"\",\"4\"";
  // Likewise where that shorter line would end at a line end of its own.
  const std::string line_end_in_person =
      "\"9\",\"\",\"\",\"\",\"1\",\"0\",\"\",\"\",\"001\",\"0\",\"\",\"P\",\"1\"\r\n\"\",\"4\"";
  const DecodedFile file = download_decode(
      layout("IDSTAMM"), plain + quoted + line_feed + plain + quote_after_line_feed);
  EXPECT_FALSE(file.bad) << file.problem;
  ASSERT_EQ(5u, file.records.size());
  EXPECT_EQ("P\nQ\",\"1\"", file.records[4].fields[11]);
  EXPECT_EQ("4", file.records[4].fields[12]);
  const DecodedFile ends = download_decode(layout("IDSTAMM"), plain + line_end_in_person);
  EXPECT_FALSE(ends.bad) << ends.problem;
  ASSERT_EQ(2u, ends.records.size());
  EXPECT_EQ("P\",\"1\"\n\"", ends.records[1].fields[11]);
  EXPECT_EQ((std::vector<std::string>{"4711", "20240301", "", "00100", "1", "1", "1", "SAL1", "001",
                                      "5  ", "", "P4711", "1"}),
            file.records[0].fields);
  EXPECT_EQ("4\",\"7", file.records[1].fields[0]);
  EXPECT_EQ("", file.records[1].note);
  EXPECT_EQ("P\nQ", file.records[2].fields[11]);
  EXPECT_EQ("-1", file.records[2].fields[12]);
  EXPECT_EQ(3u, file.records[2].line);
  EXPECT_EQ(4u, file.records[3].line);
  EXPECT_EQ(plain.size() + quoted.size() + line_feed.size(), file.records[3].offset);
}

TEST(DownloadDecode, AnIdstammLineThatSplitsTwoWaysSaysSo) {
  // Class `C","` and person `P`, or class `C` and person `","P`.
  const std::string line =
      "\"1\",\"\",\"\",\"\",\"1\",\"1\",\"\",\"\",\"001\",\"C\",\"\",\"\",\"P\",\"1\"\r\n";
  const DecodedFile file = download_decode(layout("IDSTAMM"), line);
  ASSERT_EQ(1u, file.records.size());
  EXPECT_NE("", file.records[0].note);
}

TEST(DownloadDecode, AnIdstammLineOfTwelveFieldsOrWithoutLineEndIsBad) {
  const std::string good =
      "\"4711\",\"\",\"\",\"\",\"1\",\"1\",\"\",\"\",\"001\",\"5  \",\"\",\"P\",\"1\"\r\n";
  const std::string twelve =
      "\"4712\",\"\",\"\",\"\",\"1\",\"1\",\"\",\"\",\"001\",\"5  \",\"\",\"P\"\r\n";
  DecodedFile file = download_decode(layout("IDSTAMM"), good + twelve + good);
  EXPECT_TRUE(file.bad);
  EXPECT_EQ(2u, file.bad_line);
  EXPECT_EQ(good.size(), file.bad_offset);
  EXPECT_EQ(2u, file.records.size());

  file = download_decode(layout("IDSTAMM"), good + good.substr(0, good.size() - 2));
  EXPECT_TRUE(file.bad);
  EXPECT_EQ(2u, file.bad_line);
  EXPECT_NE(std::string::npos, file.problem.find("no line end")) << file.problem;
  EXPECT_EQ(1u, file.records.size());
}
