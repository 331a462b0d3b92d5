#pragma once
// Download function ZKDNL17P: one 85-character record per badge with time-recording or
// access rights on the terminal: the two flags, the person's first previous-day value and
// the terminal's readers 1 to 11 with the badge's access class.

#include <string>

#include "lookup/badges.h"

// Stages the records of the client schema's badges under path. Returns 0, or non-zero after
// printing why when the badge list could not be read.
int zkdnl17p_generate(const char* path, const char* terminal, const char* schema);

// The record of a badge: number (13), valid from (8; left blank it reads "00000000"), time
// flag from badge.time_flag and access flag from badge.access_flag ("1" or else "0"), the
// first 7 characters of day_values[0] (blank when it is empty), then eleven groups of 5 at
// 30 + 5*(n-1) for reader n: with access flag "1", each reader whose slot holds its number
// gets the number and the class. With location_found, reader 7's group reads "07" and the
// location text from 62 on, over the class. A value wider than its field is cut to it (the
// generator refuses such badges before).
std::string zkdnl17p_format(const BadgeRecord& badge, bool location_found);
