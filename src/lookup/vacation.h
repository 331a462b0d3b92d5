#pragma once
// The person's vacation figures, as decimal texts with a comma.

#include <string>

#include "lookup/badges.h"

// Fills badge.vacation_values[0..5] (URVGUR, UtgGut, UtgVtg, remaining, UtgRtg, URVVJR).
// Returns an open's failing code at once (texts not written); otherwise the sum of the two
// fetch results (0 both found, RC_NO_ROW one missing, 2 * RC_NO_ROW both), the texts
// written with missing figures as 0.
[[nodiscard]] int vacation_values_fill(BadgeRecord& badge);

// In a pass, before its first badge: the figures' rows are read ahead, the entitlement's
// first (prefetch_read_whole_now).
void vacation_values_read_ahead();

// x as lead, |x| with two decimals and a decimal comma, trailing sign ("-" or " "). The lead
// is chosen on x: "" from |x| >= 100, " " from 10, else "  ". The two decimals round the
// decimal figure that x stands for (its six-decimal text), ties up: 9.995 gives "  10,00 ",
// eight characters.
std::string format_decimal(double x);
