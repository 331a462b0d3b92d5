#pragma once
// Logging in as a run does: the configuration file the run reads (settings_config_path), its
// four settings, the connection options of VESTRAGEN_DEFAULTS_FILE, the connection with them,
// and current_schema set to the connection's database as the run sets it.

#include <string>

#include "base/exit_status.h"

// What the run uses, the password left out.
struct InspectLogin {
  std::string config_path;
  std::string login;
  std::string server;
  std::string schema;
  int error = 0;  // of a failed connection
};

// Reads the configuration and connects. Returns kExitSuccess, kExitConfiguration with the
// run's complaint about a file in problem (UTF-8), or kExitConnect with the server's.
[[nodiscard]] ExitStatus inspect_login(InspectLogin& login, std::string& problem);
