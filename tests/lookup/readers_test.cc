#include "lookup/readers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "db/connection.h"
#include "db/cursor.h"
#include "support/site_rows.h"
#include "support/test_db.h"

namespace {

class ReadersTest : public DbTest {
 protected:
  // A badge of class 5, every reader slot preset to "xx" as a generator would.
  static BadgeRecord badge_of_class(const char* access_class = "5  ") {
    BadgeRecord badge;
    std::strcpy(badge.AswBkl, access_class);
    for (auto& slot : badge.reader_slots)
      std::strcpy(slot, "xx");
    return badge;
  }

  // The check's result and the number of SELECT statements it ran (the reader query
  // included).
  struct Checked {
    int result;
    long selects;
  };
  Checked access_check(BadgeRecord& badge, const char* terminal, long highest, bool fill) {
    const long before = session_selects();
    const int result = terminal_access_check(badge, terminal, highest, fill);
    return {result, session_selects() - before};
  }

  // Terminal T1 with readers 1, 2 and 5 in zones Z1, Z2, Z5.
  static void three_readers() {
    add_reader("T1", 1, "Z1");
    add_reader("T1", 2, "Z2");
    add_reader("T1", 5, "Z5");
  }

  static std::string slots(const BadgeRecord& badge) {
    std::string out;
    for (const auto& slot : badge.reader_slots)
      out += std::string(slot) + "|";
    return out;
  }
};

}  // namespace

TEST_F(ReadersTest, ReadersComeAscendingUpToTheHighestWithTheirZoneWhole) {
  add_reader("T1", 3, "ZONE-LONG-3  ");
  add_reader("T1", 1, "Z1");
  add_reader("T1", 2, "Z2", "4");
  add_reader("T1", 4, "Z4", "8");
  add_reader("T1", 6, "Z6");
  add_reader("T2", 0, "Z0");
  ASSERT_EQ(0, readers_open("T1", 5));
  int reader = 0;
  std::string zone;
  ASSERT_EQ(0, readers_fetch(reader, zone));
  EXPECT_EQ(1, reader);
  EXPECT_EQ("Z1", zone);
  ASSERT_EQ(0, readers_fetch(reader, zone));
  EXPECT_EQ(3, reader);
  EXPECT_EQ("ZONE-LONG-3", zone);
  EXPECT_EQ(RC_NO_ROW, readers_fetch(reader, zone));
  EXPECT_EQ(0, readers_close());
}

TEST_F(ReadersTest, ZoneCountsOnlyActiveRightsOfTheClassAndType) {
  add_zone_right("5", "Z1", 1, "NULL");
  add_zone_right("5", "Z1", 3, "0");
  add_zone_right("5", "Z1", 3, "4");
  add_zone_right("5", "Z1", 1, "8");
  add_zone_right("6", "Z1", 3);
  add_zone_right("5", "Z1X", 3);
  int count = -1;
  EXPECT_EQ(0, zone_class_count("Z1", "5  ", count));
  EXPECT_EQ(2, count);
  EXPECT_EQ(0, zone_class_count_ztb3("Z1", "5", count));
  EXPECT_EQ(1, count);
  EXPECT_EQ(0, zone_class_count("Z'1", "5", count));
  EXPECT_EQ(0, count);
}

TEST_F(ReadersTest, AuthorisedOnlyInTheThirdReadersZone) {
  three_readers();
  add_zone_right("5", "Z5");
  BadgeRecord badge = badge_of_class();
  const Checked checked = access_check(badge, "T1", 32, false);
  EXPECT_EQ(1, checked.result);
  EXPECT_EQ(1 + 3, checked.selects);
  EXPECT_EQ("xx|xx|xx|xx|xx|xx|xx|xx|xx|xx|xx|", slots(badge));
}

TEST_F(ReadersTest, HighestReaderBoundsTheWalkAndTheSlots) {
  three_readers();
  add_zone_right("5", "Z5");
  BadgeRecord badge = badge_of_class();
  EXPECT_EQ(0, access_check(badge, "T1", 3, true).result);
  EXPECT_EQ("01|02|xx|xx|xx|xx|xx|xx|xx|xx|xx|", slots(badge));
}

TEST_F(ReadersTest, FirstAuthorisedZoneEndsTheCountingButSlotsAreStillFilled) {
  three_readers();
  add_zone_right("5", "Z1");
  BadgeRecord badge = badge_of_class();
  const Checked checked = access_check(badge, "T1", 11, true);
  EXPECT_EQ(1, checked.result);
  EXPECT_EQ(1 + 1, checked.selects);
  EXPECT_EQ("01|02|xx|xx|05|xx|xx|xx|xx|xx|xx|", slots(badge));
}

TEST_F(ReadersTest, AuthorisationStatusDecides) {
  const struct {
    const char* status;
    int want;
  } cases[] = {{"NULL", 1}, {"0", 1}, {"4", 0}, {"8", 0}};
  add_reader("T1", 1, "Z1");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    admin().exec("DELETE FROM KvBasis.Kvb404Zbr");
    add_zone_right("5", "Z1", 1, c.status);
    ASSERT_EQ(1, db_commit());  // a fresh snapshot for the program's connection
    BadgeRecord badge = badge_of_class();
    EXPECT_EQ(c.want, terminal_access_check(badge, "T1", 32, false));
  }
}

TEST_F(ReadersTest, ReaderBelowOneCountsButHasNoSlot) {
  add_reader("T1", 0, "Z0");
  add_reader("T1", -3, "Z0");
  add_reader("T1", 2, "Z2");
  add_zone_right("5", "Z0");
  BadgeRecord badge = badge_of_class();
  const Checked filled = access_check(badge, "T1", 11, true);
  EXPECT_EQ(1, filled.result);
  EXPECT_EQ(1 + 1, filled.selects);  // the first reader's zone authorises
  EXPECT_EQ("xx|02|xx|xx|xx|xx|xx|xx|xx|xx|xx|", slots(badge));
  badge = badge_of_class();
  EXPECT_EQ(1, terminal_access_check(badge, "T1", 32, false));
}

TEST_F(ReadersTest, ReaderAboveElevenCountsButHasNoSlot) {
  add_reader("T1", 12, "Z12");
  add_reader("T1", 32, "Z32");
  add_reader("T1", 33, "Z33");
  add_zone_right("5", "Z12");
  BadgeRecord badge = badge_of_class();
  EXPECT_EQ(1, terminal_access_check(badge, "T1", 32, true));
  EXPECT_EQ("xx|xx|xx|xx|xx|xx|xx|xx|xx|xx|xx|", slots(badge));
  admin().exec("DELETE FROM KvBasis.Kvb404Zbr");
  add_zone_right("5", "Z33");
  ASSERT_EQ(1, db_commit());
  EXPECT_EQ(0, terminal_access_check(badge, "T1", 32, true));
}

TEST_F(ReadersTest, ZoneCodesAreComparedWhole) {
  add_reader("T1", 1, "ZONE-LONG-1");
  add_zone_right("5", "ZONE-LO");
  BadgeRecord badge = badge_of_class();
  EXPECT_EQ(0, terminal_access_check(badge, "T1", 32, false));
  add_zone_right("5", "ZONE-LONG-1");
  ASSERT_EQ(1, db_commit());
  EXPECT_EQ(1, terminal_access_check(badge, "T1", 32, false));
}

TEST_F(ReadersTest, QuotesInTerminalZoneAndClassAreJustCharacters) {
  add_reader("T'1", 1, "Z'1");
  add_zone_right("5'", "Z'1", 3);
  BadgeRecord badge = badge_of_class("5'");
  EXPECT_EQ(1, terminal_access_check(badge, "T'1", 32, false));
  EXPECT_EQ(0, terminal_time_check(badge, "T'1"));
}

TEST_F(ReadersTest, TimeCheckLooksForTypeThreeInReaderOnesZoneOnly) {
  const struct {
    const char* name;
    int lowest_reader;
    int ztb;
    const char* status;
    int want;
  } cases[] = {
      {"type 3 in reader 1's zone", 1, 3, "NULL", 0},
      {"another type there", 1, 1, "NULL", 1},
      {"type 3 with status 4", 1, 3, "4", 1},
      {"type 3 with status 8", 1, 3, "8", 1},
      {"terminal whose lowest reader is 2", 2, 3, "NULL", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    admin().exec("DELETE FROM KvBasis.Kvb401Zls; DELETE FROM KvBasis.Kvb404Zbr");
    add_reader("T1", 0, "Z0");
    add_reader("T1", c.lowest_reader, "Z");
    add_reader("T1", c.lowest_reader + 1, "Z0");
    add_zone_right("5", "Z", c.ztb, c.status);
    add_zone_right("5", "Z0", 3);
    ASSERT_EQ(1, db_commit());
    EXPECT_EQ(c.want, terminal_time_check(badge_of_class(), "T1"));
  }
}

TEST_F(ReadersTest, TerminalWithoutReadersGivesNoAccessAndTime) {
  BadgeRecord badge = badge_of_class();
  EXPECT_EQ(0, terminal_access_check(badge, "T9", 32, true));
  EXPECT_EQ(1, terminal_time_check(badge, "T9"));
}
