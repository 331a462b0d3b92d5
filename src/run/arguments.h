#pragma once
// The command line: VESTRAGEN function terminal path new-file-flag.


#include "base/exit_status.h"

struct RunArguments {
  char function_code[20] = {};   // at most 19 characters
  char terminal_name[12] = {};   // at most 11
  char download_path[200] = {};  // at most 159: it is also the staging key
  bool new_file = false;         // argument 4 begins with "1"
};

// "--version" or "--help" as the only argument (a run takes four): prints the version or a
// short summary and returns true; otherwise false, having printed nothing.
bool arguments_ask_about_program(int argc, char** argv);

// Checks and copies the arguments. Prints the usage texts or the complaint and returns
// kExitUsage when there are fewer than four or one is too long; otherwise kExitSuccess.
[[nodiscard]] ExitStatus arguments_parse(int argc, char** argv, RunArguments& out);
