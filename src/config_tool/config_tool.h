#pragma once
// vestragen-config: writes and lists the configuration file. The whole tool, so that tests
// can run it in-process; main() only hands over argv.

#include <cstdio>

// Runs the tool with its command line. Normal output goes to out, errors to err.
// Returns the process exit status.
int config_tool_main(int argc, char** argv, std::FILE* out, std::FILE* err);

// The same with standard input taken from in, where a VALUE or PASSWORD of "-" is read.
int config_tool_main(int argc, char** argv, std::FILE* in, std::FILE* out, std::FILE* err);
