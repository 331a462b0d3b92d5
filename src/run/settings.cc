#include "run/settings.h"

#include <cstdio>
#include <cstring>

#include "config/blowfish.h"
#include "config/config_file.h"
#include "db/text.h"

namespace {

constexpr std::size_t kValueMax = 50;

// Looks key up and leaves its deciphered value in config_value. Prints and returns false
// when the file cannot be used.
bool read_value(const char* path, const char* key) {
  const ConfigReadResult result = config_read("", key, 0, path);
  switch (result.status) {
    case ConfigStatus::kOk:
      break;
    case ConfigStatus::kCannotOpen:
      std::printf("Konfigurationsdatei %s konnte nicht geoeffnet werden!\n", path);
      return false;
    case ConfigStatus::kMalformed:
      std::printf("Konfigurationsdatei %s: Zeile %d ungueltig!\n", path, result.line);
      return false;
    case ConfigStatus::kBadCipherText:
      std::printf("Konfigurationsdatei %s: Wert %s in Zeile %d ungueltig verschluesselt!\n",
                  path, key, result.line);
      return false;
  }
  if (std::strlen(config_value) > kValueMax) {
    std::printf("Konfigurationswert %s zu lang! (max. %zu Zeichen)\n", key, kValueMax);
    return false;
  }
  return true;
}

bool read_into(const char* path, const char* key, char (&buffer)[51]) {
  const bool ok = read_value(path, key);
  if (ok) std::memcpy(buffer, config_value, std::strlen(config_value) + 1);
  secure_wipe(config_value, sizeof config_value);
  return ok;
}

bool read_schema(const char* path, char (&schema)[kSchemaNameSize]) {
  if (!read_value(path, "SCHEMA")) {
    secure_wipe(config_value, sizeof config_value);
    return false;
  }
  // The stored value carries one character more than the schema's name.
  const std::size_t n = std::strlen(config_value);
  const std::size_t name_length = n == 0 ? 0 : n - 1;
  bool ok = true;
  if (name_length == 0) {
    std::printf("Konfigurationswert SCHEMA fehlt oder ist leer!\n");
    ok = false;
  } else if (name_length > kSchemaNameSize - 1) {
    std::printf("Konfigurationswert SCHEMA zu lang! (max. %zu Zeichen)\n", kSchemaNameSize - 1);
    ok = false;
  } else {
    std::memcpy(schema, config_value, name_length);
    schema[name_length] = '\0';
    to_upper(schema);
  }
  secure_wipe(config_value, sizeof config_value);
  return ok;
}

}  // namespace

ExitStatus settings_read(const char* path, DbSettings& out) {
  if (!read_into(path, "LOGIN", out.login) || !read_into(path, "PASS", out.password) ||
      !read_into(path, "NET8", out.server) || !read_schema(path, out.schema)) {
    settings_wipe(out);
    return kExitConfiguration;
  }
  return kExitSuccess;
}

void settings_wipe(DbSettings& settings) { secure_wipe(&settings, sizeof settings); }
