#pragma once
// Reader of the configuration file: two-line entries of ";"-separated fields whose values
// are enciphered hex texts.
//
//   section line:  anything;SECTION;anything
//   value line:    NUMBER;KEY;HEXVALUE

// Results of the latest config_read, cleared at the start of every call and after every
// entry that does not match. config_value holds the deciphered value of the match.
extern int config_number;
extern char config_section[201];
extern char config_key[201];
extern char config_value[201];

enum class ConfigStatus {
  kOk,              // read; config_value is the match's value, or empty when none matched
  kCannotOpen,      // the file cannot be opened
  kMalformed,       // an entry the reader reached is not of the form above (see line)
  kBadCipherText,   // the matching entry's value is not whole 16-digit blocks (see line)
};

struct ConfigReadResult {
  ConfigStatus status = ConfigStatus::kOk;
  int line = 0;  // 1-based line of the problem for kMalformed and kBadCipherText
};

// Reads the file at path from its start and finds the first entry whose section equals
// section, or whose key equals key, or whose number equals number.
ConfigReadResult config_read(const char* section, const char* key, int number, const char* path);

// Index of the n-th occurrence of c in text; of the last one when there are fewer than n;
// -1 when c does not occur or text is empty.
int find_nth_char(const char* text, char c, int n);

// count characters of text from start into destination, terminated. A count of 0 copies
// up to the end of text.
void copy_substring(const char* text, int start, int count, char* destination);
