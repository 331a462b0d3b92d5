#pragma once
// Reader of the configuration file: two-line entries of ";"-separated fields whose values
// are enciphered hex texts.
//
//   section line:  anything;SECTION;anything
//   value line:    NUMBER;KEY;HEXVALUE

#include <cstddef>
#include <cstdio>

// Results of the latest config_read, cleared at the start of every call and after every
// entry that does not match. config_value holds the deciphered value of the match.
extern int config_number;
extern char config_section[201];
extern char config_key[201];
extern char config_value[201];

enum class ConfigStatus {
  kOk,             // read; config_value is the match's value, or empty when none matched
  kCannotOpen,     // the file cannot be opened (or a read from it fails)
  kMalformed,      // an entry the reader reached is not of the form above (see line)
  kBadCipherText,  // the matching entry's value is not whole 16-digit blocks (see line)
};

struct ConfigReadResult {
  ConfigStatus status = ConfigStatus::kOk;
  // 1-based line of the problem for kMalformed and kBadCipherText; for kOk the section line
  // of the matching entry, 0 when none matched.
  int line = 0;
};

// Reads the file at path from its start and finds the first entry whose section equals
// section, or whose key equals key, or whose number equals number. Any one of the three is
// enough, so an entry with an empty section or number 0 answers a lookup by key with
// section "" and number 0; stored files rely on that.
[[nodiscard]] ConfigReadResult config_read(const char* section, const char* key, int number, const char* path);

// Index of the n-th occurrence of c in text; of the last one when there are fewer than n;
// -1 when c does not occur or text is empty. text must be terminated; n counts from 1.
int find_nth_char(const char* text, char c, int n);

// count characters of text from start into destination, terminated. A count of 0 copies
// up to the end of text. Copying stops at the end of text, and a start behind it or a
// negative start or count copies nothing, but destination must hold count + 1 bytes (for
// a count of 0, the rest of text and its terminator).
void copy_substring(const char* text, int start, int count, char* destination);

// The pieces below are what config_read is made of; vestragen-config reads files with them
// so that it takes entries exactly as the run does.

// Longest lines, line feed included. A last line without line feed counts as if it had
// one, because the reader appends one to it.
inline constexpr std::size_t kConfigSectionLineMax = 199;
inline constexpr std::size_t kConfigValueLineMax = 399;
inline constexpr std::size_t kConfigFieldMax = 200;
inline constexpr std::size_t kConfigNumberFieldMax = 11;

enum class ConfigLineStatus { kLine, kEnd, kTooLong, kHasNul };

// Reads the next line of file in text mode: a carriage return directly before the line
// feed is dropped (*cr_dropped tells), the line feed is kept when there is one. text must
// hold limit + 1 bytes; a line over limit or one holding a NUL byte is not read to its
// end. A read error ends the file like its real end; callers that must tell check ferror.
ConfigLineStatus config_read_line(std::FILE* file, std::size_t limit, char* text, bool* cr_dropped);

// The fields of one entry. value is the hex text as stored; an empty value field gives
// "\n" (the reader's count of 0 means "to the end of the line"), which no match can
// decipher.
struct ConfigEntryFields {
  char section[kConfigFieldMax + 1];
  char number_text[kConfigNumberFieldMax + 1];
  char key[kConfigFieldMax + 1];
  char value[kConfigFieldMax + 1];
};

// Takes the fields of an entry from its two lines as config_read_line gave them. Returns 0,
// or 1 when the section line and 2 when the value line is not of the entry form.
int config_take_fields(const char* section_line, const char* value_line, ConfigEntryFields& fields);

// The number of a number field, as C's atoi reads it but clamped to the range of int:
// leading white space, a sign, digits up to the first other character; no digits give 0.
int config_number_from_text(const char* text);
