#pragma once
// The terminal's readers and the zone authorisations of an access class.

#include <string>

#include "lookup/badges.h"

// The terminal's active readers up to number highest, ascending. Returns the open's code.
[[nodiscard]] int readers_open(const char* terminal, long highest);
// The next reader. Returns 0, RC_NO_ROW after the last, -1 on error. A NULL column leaves
// its destination unchanged. The zone code is held whole (no 7-character cut), trailing
// blanks cut.
[[nodiscard]] int readers_fetch(int& reader, std::string& zone);
int readers_close();

// Active authorisations of access_class in zone (any type / type 3 only) into count.
// Returns the fetch's code, or the open's code with count untouched.
[[nodiscard]] int zone_class_count(const std::string& zone, const char* access_class, int& count);
[[nodiscard]] int zone_class_count_ztb3(const std::string& zone, const char* access_class, int& count);

// Whether the badge's class is authorised in the zone of one of the terminal's readers up to
// highest: the badge may pass the terminal's doors. After the first authorised zone no
// further count query runs. With fill_slots, every reader 1 to 11 up to highest gets its
// number ("%02d") in badge.reader_slots. Readers below 1 and above 11 count like any other
// but never touch reader_slots, so every download decides alike.
[[nodiscard]] bool terminal_access_check(BadgeRecord& badge, const char* terminal, long highest,
                                         bool fill_slots);

// Whether the badge may record time on the terminal: false only when the terminal has a
// reader 1 whose zone holds an active type-3 authorisation of the badge's class.
[[nodiscard]] bool terminal_time_check(const BadgeRecord& badge, const char* terminal);
