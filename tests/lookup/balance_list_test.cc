#include "lookup/balance_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/connection.h"
#include "db/cursor.h"
#include "support/test_db.h"

namespace {

class BalanceListTest : public DbTest {
 protected:
  // Empties the site again within a test. The program's connection reads in one
  // transaction (autocommit off): its snapshot must end to see the new rows.
  void restart() {
    reset_site();
    db_commit();
  }
  void terminal(const std::string& name, const std::string& sal, const std::string& spr = "1",
                const std::string& sta = "NULL") {
    admin().exec("INSERT INTO KvBasis.Kvb114Tsm (TsmNam, TSMSAL, TsmSpr, TsmSta) VALUES (" +
                 admin().quote(name) + ", " + sal + ", " + spr + ", " + sta + ")");
  }
  // A list line whose label is text anz and whose code is text aus.
  void line(const std::string& sal, const std::string& lfd, int anz, int aus,
            const std::string& spl = "NULL", const std::string& sta = "NULL") {
    admin().exec(
        "INSERT INTO KvBasis.G2101SalLst (TsaSal, TsaLfd, TsaSpl, TsaAnz, TsaAus, "
        "TsaSta) VALUES (" +
        admin().quote(sal) + ", " + lfd + ", " + spl + ", " + std::to_string(anz) + ", " +
        std::to_string(aus) + ", " + sta + ")");
  }
  void label(int whl, const std::string& text, int spr = 1) {
    this->text(220001, whl, spr, "FtxT50", text);
  }
  void code(int whl, const std::string& text, int spr = 1) {
    this->text(220002, whl, spr, "FTXT10", text);
  }
  void text(int num, int whl, int spr, const std::string& column, const std::string& value) {
    admin().exec("INSERT INTO KvBasis.Kvb102Whl (FtxNumSpr, FtxWhl, FtxSpr, " + column +
                 ") VALUES (" + std::to_string(num) + ", " + std::to_string(whl) + ", " +
                 std::to_string(spr) + ", " + (value == "NULL" ? value : admin().quote(value)) +
                 ")");
  }

  struct Fetched {
    std::vector<BalanceSlot> slots;  // the slot after each fetch that returned 0
    BalanceSlot last;                // the slot after the fetch that ended the list
    int end = 0;                     // that fetch's result
  };
  // Fetches the terminal's list into one slot, as the display generator does.
  static Fetched fetch_all(const char* terminal) {
    Fetched f;
    EXPECT_EQ(0, balance_list_open(terminal));
    BalanceSlot slot;
    while ((f.end = balance_list_fetch(slot)) == 0)
      f.slots.push_back(slot);
    f.last = slot;
    EXPECT_EQ(0, balance_list_close());
    return f;
  }
  static Fetched fetch_all_person(const char* person) {
    Fetched f;
    EXPECT_EQ(0, person_balance_list_open(person));
    BalanceSlot slot;
    while ((f.end = person_balance_list_fetch(slot)) == 0)
      f.slots.push_back(slot);
    f.last = slot;
    EXPECT_EQ(0, person_balance_list_close());
    return f;
  }
};

bool slot_is_empty(const BalanceSlot& slot) {
  return slot.TsaLfd == 0 && slot.TsaSpl == 0 && slot.label[0] == '\0' && slot.code[0] == '\0' &&
         slot.value.empty();
}

}  // namespace

TEST_F(BalanceListTest, LabelIsCutToTwelveAndPaddedWithBlanks) {
  terminal("T1", "'S1'");
  line("S1", "1", 11, 21);
  line("S1", "2", 12, 22, "2");
  line("S1", "3", 13, 23, "0");
  label(11, "Saldo");
  label(12, "Gleitzeitsaldo Vortag");
  label(13, "Urlaub \t\n");
  code(21, "#W2  ");
  code(22, "#W10");
  code(23, "#W3");

  const Fetched f = fetch_all("T1");
  EXPECT_EQ(RC_NO_ROW, f.end);
  ASSERT_EQ(3u, f.slots.size());
  const struct {
    int lfd;
    int spl;
    const char* label;
    const char* code;
  } expected[] = {{1, 1, "Saldo        ", "#W2"},
                  {2, 2, "Gleitzeitsal ", "#W10"},
                  {3, 0, "Urlaub       ", "#W3"}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(expected[i].lfd, f.slots[i].TsaLfd);
    EXPECT_EQ(expected[i].spl, f.slots[i].TsaSpl);
    EXPECT_STREQ(expected[i].label, f.slots[i].label);
    EXPECT_STREQ(expected[i].code, f.slots[i].code);
    EXPECT_EQ("       ", f.slots[i].value);
  }
}

TEST_F(BalanceListTest, TextsComeInTheTerminalsLanguage) {
  terminal("T1", "'S1'", "2");
  terminal("T2", "'S1'", "3");
  line("S1", "1", 11, 21);
  label(11, "Saldo", 1);
  label(11, "Balance", 2);
  label(11, "Solde", 3);
  code(21, "#W2", 1);
  code(21, "#W9", 2);

  const Fetched t1 = fetch_all("T1");
  ASSERT_EQ(1u, t1.slots.size());
  EXPECT_STREQ("Balance      ", t1.slots[0].label);
  EXPECT_STREQ("#W9", t1.slots[0].code);

  // No code text in the third language: the line ends the list with its label filled.
  const Fetched t2 = fetch_all("T2");
  EXPECT_TRUE(t2.slots.empty());
  EXPECT_EQ(RC_NO_ROW, t2.end);
  EXPECT_STREQ("Solde        ", t2.last.label);
  EXPECT_STREQ("", t2.last.code);
}

TEST_F(BalanceListTest, LineWithoutCodeTextEndsTheList) {
  terminal("T1", "'S1'");
  line("S1", "1", 11, 21);
  line("S1", "2", 12, 22, "2");
  line("S1", "3", 13, 23);
  label(11, "Eins");
  label(12, "Zwei");
  label(13, "Drei");
  code(21, "#W2");
  code(23, "#W3");

  const Fetched f = fetch_all("T1");
  ASSERT_EQ(1u, f.slots.size());
  EXPECT_EQ(RC_NO_ROW, f.end);
  // Everything of line 2 but its code, which is still line 1's.
  EXPECT_EQ(2, f.last.TsaLfd);
  EXPECT_EQ(2, f.last.TsaSpl);
  EXPECT_STREQ("Zwei         ", f.last.label);
  EXPECT_STREQ("#W2", f.last.code);
  EXPECT_EQ("       ", f.last.value);

  BalanceList list;
  balance_list_read("T1", list);
  EXPECT_STREQ("Eins         ", list.slot(1).label);
  for (int n = 2; n <= 8; ++n)
    EXPECT_TRUE(slot_is_empty(list.slot(n))) << n;
}

TEST_F(BalanceListTest, NullLabelOrCodeKeepsTheSlotsText) {
  terminal("T1", "'S1'");
  line("S1", "1", 11, 21);
  line("S1", "2", 12, 22);
  label(11, "Eins");
  text(220001, 12, 1, "FtxT50", "NULL");
  code(21, "#W2");
  text(220002, 22, 1, "FTXT10", "NULL");

  const Fetched f = fetch_all("T1");
  ASSERT_EQ(2u, f.slots.size());
  EXPECT_EQ(2, f.slots[1].TsaLfd);
  EXPECT_STREQ("Eins         ", f.slots[1].label);
  EXPECT_STREQ("#W2", f.slots[1].code);
}

TEST_F(BalanceListTest, LinesWithoutASlotNumberAreLeftOut) {
  // None of these has a code text: had its code been asked for, it would end the list.
  terminal("T1", "'S1'");
  line("S1", "NULL", 10, 20);
  line("S1", "-1", 10, 20);
  line("S1", "0", 10, 20);
  line("S1", "3", 13, 23);
  line("S1", "9", 10, 20);
  line("S1", "12", 10, 20);
  label(10, "Ohne Platz");
  label(13, "Drei");
  code(23, "#W3");

  const Fetched f = fetch_all("T1");
  EXPECT_EQ(RC_NO_ROW, f.end);
  ASSERT_EQ(1u, f.slots.size());
  EXPECT_EQ(3, f.slots[0].TsaLfd);
  EXPECT_STREQ("Drei         ", f.slots[0].label);
  EXPECT_STREQ("#W3", f.slots[0].code);

  BalanceList list;
  balance_list_read("T1", list);
  EXPECT_STREQ("#W3", list.slot(3).code);
  for (int n : {1, 2, 4, 5, 6, 7, 8})
    EXPECT_TRUE(slot_is_empty(list.slot(n))) << n;
}

TEST_F(BalanceListTest, HiddenOrUnknownTerminalGivesAnEmptyList) {
  terminal("T4", "'S1'", "1", "4");
  terminal("T8", "'S1'", "1", "8");
  terminal("TNOLIST", "NULL");
  terminal("TOK", "'S1'", "1", "0");
  line("S1", "1", 11, 21);
  label(11, "Eins");
  code(21, "#W2");
  for (const char* name : {"T4", "T8", "TNOLIST", "T?"}) {
    SCOPED_TRACE(name);
    const Fetched f = fetch_all(name);
    EXPECT_TRUE(f.slots.empty());
    EXPECT_EQ(RC_NO_ROW, f.end);
    EXPECT_TRUE(slot_is_empty(f.last));
  }
  EXPECT_EQ(1u, fetch_all("TOK").slots.size());
}

TEST_F(BalanceListTest, LineStatusFourOrEightHidesTheLine) {
  terminal("T1", "'S1'");
  line("S1", "1", 11, 21, "NULL", "4");
  line("S1", "2", 11, 21, "NULL", "8");
  line("S1", "3", 11, 21, "NULL", "0");
  line("S2", "1", 11, 21);
  label(11, "Eins");
  code(21, "#W2");
  const Fetched f = fetch_all("T1");
  ASSERT_EQ(1u, f.slots.size());
  EXPECT_EQ(3, f.slots[0].TsaLfd);

  // Only the hidden line carries a code for its number: the code query hides it too.
  restart();
  terminal("T1", "'S1'");
  line("S1", "1", 11, 21);
  line("S1", "1", 11, 22, "NULL", "8");
  label(11, "Eins");
  code(22, "#W2");
  EXPECT_TRUE(fetch_all("T1").slots.empty());
}

TEST_F(BalanceListTest, SameNumberTwiceKeepsTheLaterLine) {
  terminal("T1", "'S1'");
  line("S1", "2", 11, 21);
  line("S1", "2", 12, 21);
  label(11, "Erste");
  label(12, "Zweite");
  code(21, "#W2");

  const Fetched f = fetch_all("T1");
  ASSERT_EQ(2u, f.slots.size());
  EXPECT_EQ(2, f.slots[0].TsaLfd);
  EXPECT_EQ(2, f.slots[1].TsaLfd);
  EXPECT_STRNE(f.slots[0].label, f.slots[1].label);

  BalanceList list;
  list.slot(5).TsaLfd = 5;  // left from an earlier read
  balance_list_read("T1", list);
  EXPECT_STREQ(f.slots[1].label, list.slot(2).label);
  EXPECT_STREQ("#W2", list.slot(2).code);
  EXPECT_TRUE(slot_is_empty(list.slot(5)));
}

TEST_F(BalanceListTest, PersonFormReadsThePersonsListInThePersonsLanguage) {
  admin().exec(
      "INSERT INTO MNDA.Kvb300Pnr (PNRNUM, PnrSpr, PnrSal, PnrSta) VALUES "
      "('P1', 2, 'S2', NULL), ('P4', 2, 'S2', 4), ('P8', 2, 'S2', 8)");
  terminal("T1", "'S1'", "1");
  line("S1", "1", 11, 21);
  line("S2", "1", 12, 22);
  line("S2", "5", 13, 23, "2");
  label(12, "Saldo", 1);
  label(12, "Balance", 2);
  label(13, "Vacation remaining", 2);
  code(22, "#W2", 1);
  code(22, "#W9", 2);
  code(23, "#W4", 2);

  const Fetched f = fetch_all_person("P1");
  EXPECT_EQ(RC_NO_ROW, f.end);
  ASSERT_EQ(2u, f.slots.size());
  EXPECT_EQ(1, f.slots[0].TsaLfd);
  EXPECT_STREQ("Balance      ", f.slots[0].label);
  EXPECT_STREQ("#W9", f.slots[0].code);
  EXPECT_EQ(5, f.slots[1].TsaLfd);
  EXPECT_EQ(2, f.slots[1].TsaSpl);
  EXPECT_STREQ("Vacation rem ", f.slots[1].label);
  EXPECT_STREQ("#W4", f.slots[1].code);
  EXPECT_EQ("       ", f.slots[1].value);

  for (const char* hidden : {"P4", "P8", "P?"}) {
    SCOPED_TRACE(hidden);
    EXPECT_TRUE(fetch_all_person(hidden).slots.empty());
  }
}

TEST_F(BalanceListTest, TheTwoFormsKeepTheirOwnCursorsAndKeys) {
  admin().exec("INSERT INTO MNDA.Kvb300Pnr (PNRNUM, PnrSpr, PnrSal) VALUES ('P1', 1, 'S2')");
  terminal("T1", "'S1'");
  line("S1", "1", 11, 21);
  line("S1", "2", 11, 21);
  line("S2", "1", 12, 22);
  line("S2", "2", 12, 22);
  label(11, "Terminal");
  label(12, "Person");
  code(21, "#W2");
  code(22, "#W9");

  ASSERT_EQ(0, balance_list_open("T1"));
  ASSERT_EQ(0, person_balance_list_open("P1"));
  BalanceSlot terminal_slot;
  BalanceSlot person_slot;
  for (int n = 1; n <= 2; ++n) {
    ASSERT_EQ(0, balance_list_fetch(terminal_slot));
    ASSERT_EQ(0, person_balance_list_fetch(person_slot));
    EXPECT_EQ(n, terminal_slot.TsaLfd);
    EXPECT_STREQ("#W2", terminal_slot.code);
    EXPECT_EQ(n, person_slot.TsaLfd);
    EXPECT_STREQ("#W9", person_slot.code);
  }
  EXPECT_EQ(RC_NO_ROW, balance_list_fetch(terminal_slot));
  EXPECT_EQ(RC_NO_ROW, person_balance_list_fetch(person_slot));
  EXPECT_EQ(0, balance_list_close());
  EXPECT_EQ(0, person_balance_list_close());
  EXPECT_EQ(-1, balance_list_close());
}
