#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "generators/zkdnl18p.h"

namespace {

std::string blanks(std::size_t n) {
  return std::string(n, ' ');
}

// A list line as the fetch leaves it: the label already in its 13-character form.
struct Line {
  int lfd;
  int spl;
  const char* label;
  const char* code;
  const char* value;
};

BalanceList list_of(std::initializer_list<Line> lines) {
  BalanceList list;
  for (const Line& line : lines) {
    BalanceSlot& slot = list.slot(line.lfd);
    slot.TsaLfd = line.lfd;
    slot.TsaSpl = line.spl;
    std::strcpy(slot.label, line.label);
    std::strcpy(slot.code, line.code);
    slot.value = line.value;
  }
  return list;
}

constexpr char kToday[] = "05.03.27";

// Eight filled slots, labels A to H, values 1 to 8.
const BalanceList kFullList = list_of({{1, 1, "A            ", "#W2", "      1"},
                                       {2, 1, "B            ", "#W2", "      2"},
                                       {3, 1, "C            ", "#W2", "      3"},
                                       {4, 1, "D            ", "#W2", "      4"},
                                       {5, 1, "E            ", "#W2", "      5"},
                                       {6, 1, "F            ", "#W2", "      6"},
                                       {7, 1, "G            ", "#W2", "      7"},
                                       {8, 1, "H            ", "#W2", "      8"}});
const std::string kFullLeftHalf =
    "A            "
    "      1"
    "B            "
    "      2"
    "C            "
    "      3"
    "D            "
    "      4";
const std::string kFullRightHalf =
    "E            "
    "      5"
    "F            "
    "      6"
    "G            "
    "      7"
    "H            "
    "      8";

}  // namespace

TEST(Zkdnl18pFormat, DateStartsOnTheLastPlaceOfItsSlotsLabel) {
  const BalanceList slots =
      list_of({{1, 1, "Saldo        ", "#W2", "  1,30 "}, {3, 1, "Datum        ", "#W1", kToday}});
  const std::string record = zkdnl18p_format("4711", slots, kToday, "");
  EXPECT_EQ(
      "4711         "
      "Saldo        "
      "  1,30 " +
          blanks(20) +
          "Datum       "
          "05.03.27" +
          blanks(100),
      record);
  EXPECT_EQ("05.03.27", record.substr(65, 8));
}

TEST(Zkdnl18pFormat, RightHalfLabelsWithMarkTwoAreSetInByOneBlank) {
  const BalanceList slots = list_of({{2, 2, "Gleitzeit    ", "#W9", " 10,00 "},
                                     {5, 2, "Heutiges Dat ", "#W1", kToday},
                                     {6, 2, "Resturlaub   ", "#W4", " 24,50 "},
                                     {7, 1, "Datum        ", "#W1", kToday},
                                     {8, 2, "Urlaubsansp  ", "#W8", " 30,00 "}});
  const std::string record = zkdnl18p_format("4711", slots, kToday, "");
  EXPECT_EQ("4711         " + blanks(20) +
                // Slots 1 to 4 ignore the mark.
                "Gleitzeit    "
                " 10,00 " +
                blanks(40) +
                // The first date slot: 11 label characters, then the whole date.
                " Heutiges Da"
                "05.03.27"
                " Resturlaub  "
                " 24,50 "
                // The second one keeps the date's first 7 characters.
                "Datum        "
                "05.03.2"
                " Urlaubsansp "
                " 30,00 ",
            record);
  ASSERT_EQ(173u, record.size());
  EXPECT_EQ(' ', record[113]);
  EXPECT_EQ("Resturlaub  ", record.substr(114, 12));
  EXPECT_EQ("Heutiges Da", record.substr(94, 11));
  EXPECT_EQ("05.03.27", record.substr(105, 8));
}

TEST(Zkdnl18pFormat, OnlyTheLeftHalfShowsOnModel7598002) {
  const struct {
    const char* type;
    std::string right_half;
  } cases[] = {
      {"7598-002", blanks(80)},      {"7744-010", kFullRightHalf}, {"7598-001", kFullRightHalf},
      {"7598-002 ", kFullRightHalf}, {"", kFullRightHalf},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    EXPECT_EQ("4711         " + kFullLeftHalf + c.right_half,
              zkdnl18p_format("4711", kFullList, kToday, c.type));
  }
}

TEST(Zkdnl18pFormat, DateSlotOnTheRightHalfIsBlankedOn7598002Too) {
  const BalanceList slots = list_of({{6, 1, "Datum        ", "#W1", kToday}});
  EXPECT_EQ("4711" + blanks(169), zkdnl18p_format("4711", slots, kToday, "7598-002"));
}

TEST(Zkdnl18pFormat, EmptyListLeavesTheNumberAndBlanks) {
  EXPECT_EQ("4711" + blanks(169), zkdnl18p_format("4711", BalanceList{}, kToday, ""));
  EXPECT_EQ("1234567890123" + blanks(160),
            zkdnl18p_format("1234567890123", BalanceList{}, kToday, "7744-010"));
}

TEST(Zkdnl18pFormat, ValueAreaTakesAtMostSevenCharacters) {
  const struct {
    const char* value;
    const char* area;
  } cases[] = {
      {"1000,00 ", "1000,00"},  // 1000 hours and more lose the sign
      {"  10,00 ", "  10,00"},  // a rounding case of the vacation figures
      {" 100,00 ", " 100,00"}, {"12345,00-", "12345,0"},
      {"", "       "},  // a lookup that did not fill its text
      {"  1,30 ", "  1,30 "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    const BalanceList slots = list_of(
        {{1, 1, "Saldo        ", "#W2", c.value}, {2, 1, "Danach       ", "#W9", "  2,00 "}});
    const std::string record = zkdnl18p_format("4711", slots, kToday, "");
    EXPECT_EQ(std::string("4711         "
                          "Saldo        ") +
                  c.area +
                  "Danach       "
                  "  2,00 " +
                  blanks(120),
              record);
  }
}

TEST(Zkdnl18pFormat, EmptyLabelWithMarkTwoStaysBlank) {
  const BalanceList slots = list_of({{5, 2, "", "#W2", "  1,00 "}});
  EXPECT_EQ("4711" + blanks(89) + blanks(13) + "  1,00 " + blanks(60),
            zkdnl18p_format("4711", slots, kToday, ""));
}

TEST(Zkdnl18pFormat, OverlongBadgeNumberStaysInItsArea) {
  EXPECT_EQ(
      "1234567890123Saldo        " + blanks(147),
      zkdnl18p_format("12345678901234", list_of({{1, 1, "Saldo        ", "", ""}}), kToday, ""));
}

TEST(Zkdnl18pSlotValue, EachCodeShowsItsSource) {
  BadgeRecord badge;
  for (int i = 0; i < 9; ++i)
    badge.day_values[i] = "day " + std::to_string(i);
  for (int i = 0; i < 6; ++i)
    badge.vacation_values[i] = "vac " + std::to_string(i);
  const struct {
    const char* code;
    const char* value;
  } cases[] = {
      {"#W1", kToday},
      {"#W2", "day 0"},
      {"#W3", "vac 5"},
      {"#W4", "vac 3"},
      {"#W5", "vac 1"},
      {"#W6", "vac 2"},
      {"#W7", "vac 4"},
      {"#W8", "vac 0"},
      {"#W9", "day 1"},
      {"#W10", "day 2"},
      {"#W11", "day 3"},
      {"#W12", "day 4"},
      {"#W13", "day 5"},
      {"#W14", "day 6"},
      {"#W15", "day 7"},
      {"#W16", "day 8"},
      // Anything else shows blanks: the comparison is exact.
      {"", "       "},
      {"#w2", "       "},
      {"#W17", "       "},
      {"#W0", "       "},
      {"W2", "       "},
      {"#W2 ", "       "},
      {"#W1X", "       "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(c.value, zkdnl18p_slot_value(c.code, badge, kToday));
  }
}

TEST(Zkdnl18pSlotValue, UnfilledLookupGivesTheEmptyText) {
  const BadgeRecord badge;
  for (const char* code : {"#W2", "#W3", "#W8", "#W16"}) {
    SCOPED_TRACE(code);
    EXPECT_EQ("", zkdnl18p_slot_value(code, badge, kToday));
  }
}
