#pragma once
// Download function ZKDNL31P: one 48-character access record per badge with a valid access
// class that is authorised on one of the terminal's readers 1 to 32.

#include <string>

#include "lookup/badges.h"

// Stages the records of the client schema's badges under path. Returns 0, or non-zero after
// printing why when the badge list could not be read.
int zkdnl31p_generate(const char* path, const char* terminal, const char* schema);

// The record of a badge that passed the access check: number (13), valid from (8), valid
// to (8; a date left blank reads "00000000"), time flag from badge.time_flag ("1" or else
// "0"), access flag "1", "XXXX,XX-", "001", class (3), location text (3). A value wider than
// its field is cut to it (the generator refuses such badges before).
std::string zkdnl31p_format(const BadgeRecord& badge);
