#pragma once
// Download function ZKDNL18P: one 173-character display record per badge: the badge number
// and the eight labelled slots of the terminal's balance display list, filled with the
// person's previous-day values, vacation figures and today's date.

#include <string>
#include <string_view>

#include "lookup/badges.h"
#include "lookup/balance_list.h"

// Stages the records of the client schema's badges under path. Returns 0, or non-zero after
// printing why when the badge list could not be read.
int zkdnl18p_generate(const char* path, const char* terminal, const char* schema);

// The value text that a slot's display code selects: "#W1" today's date, "#W2" and "#W9" to
// "#W16" the previous-day values, "#W3" to "#W8" the vacation figures; any other code, the
// empty one included, 7 blanks. Codes compare case-sensitively. A lookup that did not fill
// its text gives the empty text.
std::string zkdnl18p_slot_value(std::string_view code, const BadgeRecord& badge,
                                std::string_view today);

// The record: the badge number (13), then per slot n at 13 + 20 (n - 1) its label (13; for
// slots 5 to 8 with TsaSpl 2 a blank and the label's first 12) and the first 7 characters
// of its value (7 blanks when empty). The lowest "#W1" slot holds all of today's date from
// its label's last place on; terminal type "7598-002" shows only slots 1 to 4. A value
// wider than its area is cut to it (the generator refuses longer badge numbers before).
std::string zkdnl18p_format(std::string_view badge_number, const BalanceList& slots,
                            std::string_view today, std::string_view terminal_type);
