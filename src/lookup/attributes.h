#pragma once
// Single-row lookups that complete a badge or describe the terminal.

#include "lookup/badges.h"

struct TerminalAttributes {
  char TsmTyp[11] = {};  // terminal type
  char TsmSal[11] = {};  // the terminal's balance display list
};

// Each returns 0 when the row was read, RC_NO_ROW when there is none, -1 on a fetch error,
// or the open's code; a NULL column leaves its destination unchanged. Only the first row
// the server returns is read.

// RC_TOO_LONG when the row's type or balance list has more than 10 characters; that field
// is then left as it was (the other one is still written).
[[nodiscard]] int terminal_attributes(const char* terminal, TerminalAttributes& out);
// StoKtx: the first 3 characters of the location's text (read as its first 11, trailing
// blanks cut).
[[nodiscard]] int badge_location_text(BadgeRecord& badge);
// PnrSpr, PnrSal of the badge's person. A language of more than 4 characters or a list of
// more than 10 is cut and named in badge.too_long.
[[nodiscard]] int person_attributes(BadgeRecord& badge);

// In a pass, before its first badge: the location's and the person's rows are read ahead
// (prefetch_read_whole_now).
void badge_location_read_ahead();
void person_attributes_read_ahead();
