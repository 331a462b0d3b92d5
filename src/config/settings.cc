#include "config/settings.h"

#include <cstdlib>
#include <cstring>

#include "base/console.h"
#include "base/text.h"
#include "config/blowfish.h"
#include "config/config_file.h"

namespace {

// Looks key up and leaves its deciphered value in config_value. Prints and returns false
// when the file cannot be used or the value cannot be.
bool read_value(const char* path, const char* key) {
  const ConfigReadResult result = config_read("", key, 0, path);
  switch (result.status) {
    case ConfigStatus::kOk:
      break;
    case ConfigStatus::kCannotOpen:
      console_printf("Konfigurationsdatei %s konnte nicht geoeffnet werden!\n", path);
      return false;
    case ConfigStatus::kMalformed:
      console_printf("Konfigurationsdatei %s: Zeile %d ungueltig!\n", path, result.line);
      return false;
    case ConfigStatus::kBadCipherText:
      console_printf("Konfigurationsdatei %s: Wert %s in Zeile %d ungueltig verschluesselt!\n",
                  path, key, result.line);
      return false;
  }
  switch (settings_check_value(key, config_value)) {
    case SettingProblem::kNone:
      return true;
    case SettingProblem::kTooLong:
      console_printf("Konfigurationswert %s zu lang! (max. %zu Zeichen)\n", key, kSettingValueMax);
      return false;
    case SettingProblem::kSchemaEmpty:
      console_printf("Konfigurationswert SCHEMA fehlt oder ist leer!\n");
      return false;
    case SettingProblem::kSchemaTooLong:
      console_printf("Konfigurationswert SCHEMA zu lang! (max. %zu Zeichen)\n", kSchemaNameMax);
      return false;
  }
  return false;
}

template <std::size_t N>
bool read_into(const char* path, const char* key, char (&buffer)[N]) {
  const bool ok = read_value(path, key);
  // settings_check_value has made sure that the value fits. The password is copied
  // straight from config_value, so that no other copy of it is left behind.
  if (ok && std::strcmp(key, kSchemaKey) == 0) {
    (void)copy_text(buffer, N, settings_schema_name(config_value).c_str());
  } else if (ok) {
    (void)copy_text(buffer, N, config_value);
  }
  secure_wipe(config_value, sizeof config_value);
  return ok;
}

}  // namespace

const char* settings_config_path() {
  const char* named = std::getenv("VESTRAGEN_CONFIG");
  return named != nullptr && named[0] != '\0' ? named : kConfigPath;
}

SettingProblem settings_check_value(std::string_view key, std::string_view value) {
  if (value.size() > kSettingValueMax) return SettingProblem::kTooLong;
  if (key != kSchemaKey) return SettingProblem::kNone;
  if (value.size() <= 1) return SettingProblem::kSchemaEmpty;
  if (value.size() - 1 > kSchemaNameMax) return SettingProblem::kSchemaTooLong;
  return SettingProblem::kNone;
}

std::string settings_schema_name(std::string_view value) {
  std::string name(value.substr(0, value.empty() ? 0 : value.size() - 1));
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return name;
}

std::string settings_schema_value(std::string_view name) { return std::string(name) + " "; }

ExitStatus settings_read(const char* path, DbSettings& out) {
  if (!read_into(path, "LOGIN", out.login) || !read_into(path, "PASS", out.password) ||
      !read_into(path, "NET8", out.server) || !read_into(path, kSchemaKey, out.schema)) {
    settings_wipe(out);
    return kExitConfiguration;
  }
  return kExitSuccess;
}

void settings_wipe(DbSettings& settings) { secure_wipe(&settings, sizeof settings); }
