#pragma once
// The run's settings: which configuration file, which four keys, and the rules by which a
// stored value becomes what the run uses. The program, vestragen-config and the companion
// programs take them from here, so that they agree on every entry.

#include <cstddef>
#include <string>
#include <string_view>

#include "base/exit_status.h"

// Relative to the working directory: a scheduler starts the run two levels below the
// directory that holds files/.
inline constexpr char kConfigPath[] = "../../files/korvandel.ini";

// The configuration file the programs read: the one VESTRAGEN_CONFIG names (an installed
// system keeps it under /etc), or kConfigPath when the variable is unset or empty.
const char* settings_config_path();

// The keys the run looks up, in this order, each with section "" and number 0.
inline constexpr const char* kSettingKeys[] = {"LOGIN", "PASS", "NET8", "SCHEMA"};
inline constexpr char kPasswordKey[] = "PASS";
inline constexpr char kSchemaKey[] = "SCHEMA";

// The longest value the run takes, and the longest database name.
inline constexpr std::size_t kSettingValueMax = 50;
inline constexpr std::size_t kSchemaNameMax = 20;

// What keeps the run from using a deciphered value.
enum class SettingProblem {
  kNone,
  kTooLong,        // over kSettingValueMax characters
  kSchemaEmpty,    // SCHEMA: nothing is left once its last character is dropped
  kSchemaTooLong,  // SCHEMA: the database name has over kSchemaNameMax characters
};
SettingProblem settings_check_value(std::string_view key, std::string_view value);

// The database a stored SCHEMA value names: all its characters but the last, upper-cased.
std::string settings_schema_name(std::string_view value);

// The stored SCHEMA value that names the database name: one blank appended, since the run
// drops the last character.
std::string settings_schema_value(std::string_view name);

struct DbSettings {
  char login[kSettingValueMax + 1] = {};
  char password[kSettingValueMax + 1] = {};
  char server[kSettingValueMax + 1] = {};
  char schema[kSchemaNameMax + 1] = {};  // settings_schema_name of the SCHEMA value
};

// Reads LOGIN, PASS, NET8 and SCHEMA from the file at path. Prints the complaint and returns
// kExitConfiguration when the file cannot be read, an entry is malformed, a value is too
// long or the schema is empty; otherwise kExitSuccess.
[[nodiscard]] ExitStatus settings_read(const char* path, DbSettings& out);

// Overwrites the settings, so that the login does not stay in memory.
void settings_wipe(DbSettings& settings);
