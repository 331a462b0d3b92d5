#pragma once
// Placing fields into a fixed-width record: what every record formatter shares.

#include <cstddef>
#include <string>
#include <string_view>

#include "lookup/badges.h"

// Copies text into record from pos on, with its own length and no terminator, so a shorter
// text leaves what stood behind it. Never writes past the record's end.
void record_put(std::string& record, std::size_t pos, std::string_view text);

// A field of a fixed-width record: text written with its own length, at most width
// characters of it.
void put_field(std::string& record, std::size_t pos, std::size_t width, std::string_view text);

// A date field the copy left all blank (8 places from pos) reads as eight zeros.
void zero_if_blank(std::string& record, std::size_t pos);

// The part that the records of readers with groups (ZKDNL17P, ZKDNL60P) share: the badge
// number (13 places) at 0, the valid-from date (8; left blank it reads "00000000") at 13,
// the time flag at 21 and the access flag at 22 ("1" or else "0"), the first 7 characters
// of value at 23, and from 30 on, with access flag "1", a group of 5 for each of the first
// readers slots that names its reader: the reader's number and the class. Every reader
// gets the class, whichever zone authorised it.
void put_badge_rights(std::string& record, const BadgeRecord& badge, std::string_view value,
                      std::size_t readers);

// Whether a reader slot names a reader: the access check wrote the reader's number there;
// the preset blanks, or nothing at all, name none.
bool slot_names_reader(const char* slot);
