#include "inspect/download_diff.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A ZKDNL31P record of number with valid-from date and class.
std::string record(const std::string& number, const std::string& from, const std::string& cls) {
  std::string r = number;
  r.resize(13, ' ');
  r += from + "0000000011XXXX,XX-001" + cls;
  r.resize(48, ' ');
  return r;
}

}  // namespace

TEST(DownloadDiff, RecordsInBothFilesStayAndTheRestPairInFileOrder) {
  const RecordLayout& layout = *record_layout("ZKDNL31P");
  // 4711 has two rows; the one of 20240101 stays, the one of 20230101 becomes 20250101.
  const DecodedFile old_file =
      download_decode(layout, record("4711", "20230101", "5") + record("4711", "20240101", "5") +
                                  record("4712", "20240101", "5"));
  const DecodedFile new_file =
      download_decode(layout, record("4711", "20240101", "5") + record("4711", "20250101", "12") +
                                  record("4713", "20240101", "5"));
  const std::vector<BadgeChange> changes = download_diff(layout, old_file, new_file);
  ASSERT_EQ(3u, changes.size());

  EXPECT_EQ("4711", changes[0].badge);
  EXPECT_EQ(ChangeKind::kChanged, changes[0].kind);
  ASSERT_EQ(1u, changes[0].records.size());
  const RecordChange& changed = changes[0].records[0];
  EXPECT_EQ(0u, changed.old_record->offset);
  EXPECT_EQ(48u, changed.new_record->offset);
  ASSERT_EQ(2u, changed.fields.size());
  EXPECT_STREQ("valid_from", layout.fields[changed.fields[0].field].key);
  EXPECT_EQ("20230101", changed.fields[0].old_value);
  EXPECT_EQ("20250101", changed.fields[0].new_value);
  EXPECT_STREQ("class", layout.fields[changed.fields[1].field].key);

  EXPECT_EQ("4712", changes[1].badge);
  EXPECT_EQ(ChangeKind::kRemoved, changes[1].kind);
  EXPECT_EQ("4713", changes[2].badge);
  EXPECT_EQ(ChangeKind::kAdded, changes[2].kind);

  EXPECT_TRUE(download_diff(layout, old_file, old_file).empty());
}
