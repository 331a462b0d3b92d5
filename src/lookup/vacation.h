#pragma once
// The person's vacation figures, as decimal texts with a comma.

#include <string>

#include "lookup/badges.h"

// Fills badge.vacation_values[0..5] (URVGUR, UtgGut, UtgVtg, remaining, UtgRtg, URVVJR).
// Returns an open's failing code at once (texts not written); otherwise the sum of the two
// fetch results (0 both found, RC_NO_ROW one missing, 2 * RC_NO_ROW both), the texts
// written with missing figures as 0.
int vacation_values_fill(BadgeRecord& badge);

// x as "%s%.2f%s" with a decimal comma: lead ("" from |x| >= 100, " " from 10, else "  "),
// |x| with two decimals, trailing sign ("-" or " ").
std::string format_decimal(double x);
