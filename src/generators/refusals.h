#pragma once
// Refusing a badge whose values do not fit its record: the badge is left out of the
// download with a message that names it and the value, instead of a record with a cut value.

#include <cstddef>

#include <string>

#include "lookup/badges.h"
#include "lookup/run_listener.h"

// Refuses, with a message naming the badge and the value, a badge whose values do not fit
// the record: a value that did not fit its BadgeRecord field, a badge number longer than
// number_width, with check_class a class longer than 3 characters, with check_dates a date
// longer than 8. Returns true when the badge is refused.
[[nodiscard]] bool refuse_unfit(const BadgeRecord& badge, std::size_t number_width,
                                bool check_class, bool check_dates);

// As refuse_unfit with the class checked, for records that carry the valid-from date but
// not the valid-to date: only the valid-from date must fit its 8 places.
[[nodiscard]] bool refuse_unfit_valid_from(const BadgeRecord& badge, std::size_t number_width);

// Prints the message that refuses the badge and tells the run's listener.
void refuse(const BadgeRecord& badge, RefusalReason reason, const std::string& message);

// Prints the message of values the badge's record shows without and tells the listener.
void print_missing(const BadgeRecord& badge, MissingValues what, int code,
                   const std::string& message);

// The refusal message of a badge whose value named by reason does not fit:
// "Ausweis %s mit zu langem Wert: %s\n".
void print_refusal(const BadgeRecord& badge, const char* reason);

// Sets the badge's access flag from access and its time flag from terminal_time_check.
// Refuses, with "Ausweis %s ohne Zeit-/Zutrittsberechtigung auf Terminal %s\n", a badge that
// has neither right; returns true then.
[[nodiscard]] bool refuse_without_time_or_access(BadgeRecord& badge, const char* terminal,
                                                 bool access);

// The messages of the other refusals, each naming the badge.
void print_without_class(const BadgeRecord& badge);                         // no usable class
void print_without_access(const BadgeRecord& badge, const char* terminal);  // no authorised zone
void print_not_permitted(const BadgeRecord& badge, const char* terminal);   // no time recording
