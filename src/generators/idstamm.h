#pragma once
// Download function IDSTAMM: one line of thirteen quoted badge master-data fields per badge
// with time-recording or access rights on the terminal.

#include <string>

#include "lookup/badges.h"

// Stages the lines of the client schema's badges under path. Returns 0, or non-zero after
// printing why when the badge list could not be read.
int idstamm_generate(const char* path, const char* terminal, const char* schema);

// The line of a badge, line feed included: number, valid from, valid to, the last five
// characters of the location number (empty when they are "00000"), time flag, access flag,
// language, balance list, fixed code, class, spare text, person number, badge type; each
// between double quotes as it stands, separated by commas.
std::string idstamm_format(const BadgeRecord& badge);
