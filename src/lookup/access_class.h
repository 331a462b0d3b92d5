#pragma once
// The access class of a badge without one of its own (class "0"), from the six assignment
// sources of the client schema, asked in this order.

#include "lookup/badges.h"

// 1 when the badge has a class to work with (its own, or the first source's that has a
// valid assignment), 0 when it has none (AswBkl stays "0  ").
[[nodiscard]] int access_class_resolve(BadgeRecord& badge);

// Each: 0 when a valid assignment was found and written into the badge (class, dates, and
// the extra column named), RC_NO_ROW when there is none, else the failed query's code.
[[nodiscard]] int access_class_by_badge_group(BadgeRecord& badge);          // writes AswGrp
[[nodiscard]] int access_class_by_cost_centre(BadgeRecord& badge);          // writes ZuoKst
[[nodiscard]] int access_class_by_cost_centre_group(BadgeRecord& badge);
[[nodiscard]] int access_class_by_department(BadgeRecord& badge);           // writes ZuoAbt
[[nodiscard]] int access_class_by_department_list(BadgeRecord& badge);
[[nodiscard]] int access_class_by_person(BadgeRecord& badge);               // class without blank padding
