#pragma once
// Placing fields into a fixed-width record: what every record formatter shares.

#include <cstddef>
#include <string>
#include <string_view>

// Copies text into record from pos on, with its own length and no terminator, so a shorter
// text leaves what stood behind it. Never writes past the record's end.
void record_put(std::string& record, std::size_t pos, std::string_view text);

// A field of a fixed-width record: text written with its own length, at most width
// characters of it.
void put_field(std::string& record, std::size_t pos, std::size_t width, std::string_view text);

// A date field the copy left all blank (8 places from pos) reads as eight zeros.
void zero_if_blank(std::string& record, std::size_t pos);

// "1" or "0" for a flag field.
const char* flag_text(bool set);

// Whether a reader slot names a reader: the access check wrote the reader's number there;
// the preset blanks, or nothing at all, name none.
bool slot_names_reader(const char* slot);
