#pragma once
// Download function ZKDNL60P: one 45-character record per badge with time-recording or
// access rights on the terminal: the two flags, the previous-day value that the terminal's
// balance display list names first, and readers 1 to 3 with the badge's access class.

#include <string>
#include <string_view>

#include "lookup/badges.h"

// Stages the records of the client schema's badges under path. Returns 0, or non-zero after
// printing why when the badge list could not be read.
int zkdnl60p_generate(const char* path, const char* terminal, const char* schema);

// The record of a badge: number (13), valid from (8; left blank it reads "00000000"), time
// flag from badge.time_flag and access flag from badge.access_flag ("1" or else "0"), the
// first 7 characters of the day value that display_code chooses ("#W2": day_values[0],
// "#W9" to "#W16": day_values[1] to [8]; blank for any other code or an empty value), then
// three entries of 5 for readers 1 to 3: with access flag "1", each reader whose slot holds
// its number gets the number and the class. A value wider than its field is cut to it (the
// generator refuses such badges before).
std::string zkdnl60p_format(const BadgeRecord& badge, std::string_view display_code);
