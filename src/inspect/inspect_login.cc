#include "inspect/inspect_login.h"

#include <cstring>

#include "base/console.h"
#include "config/connection_options.h"
#include "config/settings.h"
#include "db/connection.h"
#include "db/schemas.h"
#include "inspect/text_out.h"

namespace {

std::string without_line_end(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  return text;
}

}  // namespace

ExitStatus inspect_login(InspectLogin& login, std::string& problem) {
  login.config_path = settings_config_path();
  DbSettings settings;
  std::string complaint;
  console_divert(&complaint);
  const ExitStatus read = settings_read(login.config_path.c_str(), settings);
  console_divert(nullptr);
  if (read != kExitSuccess) {
    problem = without_line_end(text_utf8(complaint));
    return read;
  }
  ConnectionOptions options;
  console_divert(&complaint);
  const ExitStatus optioned = connection_options_read(options);
  console_divert(nullptr);
  if (optioned != kExitSuccess) {
    settings_wipe(settings);
    problem = without_line_end(text_utf8(complaint));
    return optioned;
  }
  db_connection_options(options);
  login.login = settings.login;
  login.server = settings.server;
  login.schema = settings.schema;
  static_assert(sizeof settings.schema == sizeof current_schema);
  std::memcpy(current_schema, settings.schema, sizeof current_schema);
  login.error = db_connect(settings.login, settings.password, settings.server, settings.schema);
  settings_wipe(settings);
  if (login.error != 0) {
    problem = "cannot log in as " + text_utf8(login.login) + " on " + text_utf8(login.server) +
              " (database " + text_utf8(login.schema) + "): error " + std::to_string(login.error) +
              ": " + text_utf8(last_db_error);
    return kExitConnect;
  }
  return kExitSuccess;
}
