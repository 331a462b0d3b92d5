#pragma once
// vestragen-inspect check [TERMINAL]: whether a run can work on this site, judged as the run
// would meet it (its configuration file, its login, its server, the tables and rights it
// needs, and with TERMINAL what the terminal's downloads are made of). Reads only.

#include <string>
#include <vector>

#include "inspect/inspect_io.h"

enum class CheckLevel {
  kOk,       // as a run needs it
  kNote,     // told, not judged
  kWarning,  // a run works, but not as it should (slower, less safe, a terminal that gets little)
  kError,    // runs fail or leave badges out
};

struct CheckLine {
  CheckLevel level = CheckLevel::kOk;
  std::string item;     // what was checked, UTF-8
  std::string message;  // one line of explanation, UTF-8
};

// Every check in order (terminal in Windows-1252, nullptr for none). Connects with the
// run's login and disconnects again; stops after the configuration or the login fails.
std::vector<CheckLine> site_check(const std::string* terminal);

// Prints the checks. Returns kInspectYes when none is an error, else kInspectNo.
int check_command(const InspectIo& io, const std::string* terminal);
