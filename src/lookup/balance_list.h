#pragma once
// A balance display list: up to eight labelled slots, each with the display code that
// chooses its value. By terminal (its list and language) or by person.

#include <string>

struct BalanceSlot {
  int TsaLfd = 0;       // the slot number, 1 to 8
  int TsaSpl = 0;       // layout mark; 2 shifts the label of slots 5 to 8
  char label[14] = {};  // the first 12 characters of the label, "%-12s "
  char code[11] = {};   // display code, such as "#W2"
  std::string value;    // set to 7 blanks by a fetch; the generator puts the shown value here
};

// Slots 1 to 8 at index 0 to 7; a slot no line fills stays empty.
struct BalanceList {
  BalanceSlot slots[8];
  BalanceSlot& slot(int number) { return slots[number - 1]; }
  const BalanceSlot& slot(int number) const { return slots[number - 1]; }
};

// Terminal form. open: 0 or the open's code. fetch: 0 with the slot filled and its code
// found; RC_NO_ROW at the end of the list or when the line's code text is missing (the
// slot is then filled but for its code); RC_TOO_LONG for a code text over 10 characters;
// else the failed query's code. Lines without a number or with one outside 1 to 8 are
// passed over (they have no slot). A NULL label leaves the slot's label as it was.
[[nodiscard]] int balance_list_open(const char* terminal);
[[nodiscard]] int balance_list_fetch(BalanceSlot& slot);
int balance_list_close();

// Person form: the list named by the person's PnrSal, read from the connection's database,
// with the texts in the person's language (PnrSpr).
[[nodiscard]] int person_balance_list_open(const char* person);
[[nodiscard]] int person_balance_list_fetch(BalanceSlot& slot);
int person_balance_list_close();

// Reads the terminal's list into list, cleared first, each line at its number: open,
// fetch while 0, close. A later line with the same number replaces an earlier one.
void balance_list_read(const char* terminal, BalanceList& list);
