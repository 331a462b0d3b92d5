#pragma once
// Text helpers of every layer: what the query functions apply to what they read, and a
// bounded copy.

#include <string>

// Cuts trailing blanks, tabs and line feeds in place (a carriage return stops the cut).
char* trim_trailing_blanks(char* text);
void trim_trailing_blanks(std::string& text);

// ASCII letters a to z to capitals, in place; every other byte stays.
char* to_upper(char* text);

// The whole number the environment variable name holds, from lowest to highest; fallback
// when it is unset, empty, or holds anything else.
int env_number(const char* name, int fallback, int lowest, int highest);

// The printf-formatted text.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Copies text into a buffer of capacity bytes, terminated. Returns false, leaving the
// buffer untouched, when text does not fit.
[[nodiscard]] bool copy_text(char* buffer, std::size_t capacity, const char* text);
