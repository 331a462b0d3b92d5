#pragma once
// Single-row lookups that complete a badge or describe the terminal.

#include "lookup/badges.h"

struct TerminalAttributes {
  char TsmTyp[11] = {};  // terminal type
  char TsmSal[11] = {};  // the terminal's balance display list
};

// Each returns 0 when the row was read, RC_NO_ROW when there is none, -1 on a fetch error,
// or the open's code; a NULL column leaves its destination unchanged.
int terminal_attributes(const char* terminal, TerminalAttributes& out);
int badge_location_text(BadgeRecord& badge);   // StoKtx: first 3 characters of the text
int person_attributes(BadgeRecord& badge);     // PnrSpr, PnrSal of the badge's person
