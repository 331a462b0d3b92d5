#pragma once
// The four database settings of the configuration file.

#include "db/schemas.h"
#include "run/exit_status.h"

// Relative to the working directory.
inline constexpr char kConfigPath[] = "../../files/korvandel.ini";

struct DbSettings {
  char login[51] = {};
  char password[51] = {};
  char server[51] = {};
  char schema[kSchemaNameSize] = {};  // the SCHEMA value but its last character, upper-cased
};

// Reads LOGIN, PASS, NET8 and SCHEMA from the file at path. Prints the complaint and returns
// kExitConfiguration when the file cannot be read, an entry is malformed, a value is too
// long or the schema is empty; otherwise kExitSuccess.
ExitStatus settings_read(const char* path, DbSettings& out);

// Overwrites the settings, so that the login does not stay in memory.
void settings_wipe(DbSettings& settings);
