#pragma once
// The person's daily account of the previous day: nine sums as hours-and-minutes texts.

#include <string>

#include "lookup/badges.h"

// Fills badge.day_values[0..8]. Returns 0, RC_NO_ROW when the person has no such row (or
// is hidden by status 4/8), else the failed query's code; on non-zero the texts stay.
[[nodiscard]] int day_values_fill(BadgeRecord& badge);

// In a pass, before its first badge: the accounts' rows are read ahead
// (prefetch_read_whole_now).
void day_values_read_ahead();

// minutes as "%s%d,%02d%s": lead ("  " below 10 hours, " " below 100, "" from 100 on),
// hours, two-digit minutes, trailing sign ("-" or " "). 7 characters below 1000 hours.
std::string format_hours_minutes(long minutes);
