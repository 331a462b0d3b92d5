#pragma once
// A configuration file held as its lines, so that vestragen-config can list it, change
// values and write it back with every other byte as it was. Lines are taken with the
// reader's own pieces, so an entry here is an entry for the run.

#include <string>
#include <string_view>
#include <vector>

#include "config/config_file.h"

struct ConfigFileEntry {
  int line = 0;    // 1-based line of the section line; the value line follows it
  int number = 0;  // the number field as the reader converts it
  ConfigEntryFields fields;
};

struct ConfigFileContents {
  std::vector<std::string> lines;        // each line as stored, its line end included
  std::vector<ConfigFileEntry> entries;  // every entry before problem_line
  int problem_line = 0;                  // first line that is not part of an entry; 0: none
  std::string problem;                   // what is wrong there
  bool exists = false;                   // the file was there when loaded
  unsigned mode = 0;                     // its permission bits
};

enum class ConfigLoadStatus { kLoaded, kMissing, kFailed };

// Reads the file at path. kMissing: there is no such file (contents stay empty); kFailed:
// it cannot be opened or read, *error says why. A file that is not entries throughout
// is still kLoaded, with problem_line set and the lines from there on left out.
ConfigLoadStatus config_load_file(const char* path, ConfigFileContents& contents,
                                  std::string* error);

// Gives every entry with exactly this section, number and key the value hex, keeping
// the rest of its value line; without such an entry appends one. Returns whether an entry
// was replaced. contents must have no problem, section and key must fit their fields and
// hold no ";", CR or LF, and hex must be whole 16-digit blocks that fit the value field.
bool config_set_value(ConfigFileContents& contents, std::string_view section, int number,
                      std::string_view key, std::string_view hex);

// Writes the lines to path through a temporary file in the same directory, renamed over
// it at the end. A new file gets mode 0600; one that existed keeps contents.mode.
// False with *error when anything fails; path is then unchanged.
bool config_write_file(const char* path, const ConfigFileContents& contents, std::string* error);
