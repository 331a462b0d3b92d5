#pragma once
// vestragen-inspect: decodes and compares download files, explains one badge, checks a
// site's database. The whole program, so that tests can run it in-process; main() only
// hands over argv.

#include <cstdio>

// Runs the program with its command line; output to out, complaints to err. Returns the
// exit status (inspect/inspect_io.h).
int inspect_main(int argc, char** argv, std::FILE* out, std::FILE* err);
