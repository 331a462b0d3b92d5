#pragma once
// What every subcommand of vestragen-inspect shares: where its output goes, in which form,
// and the exit statuses.

#include <cstdio>
#include <string>
#include <string_view>

#include "inspect/text_out.h"

// 0: the answer is yes (decoded, equal, in the download, no error); 1: it is no (a bad
// record, a difference, left out, an error found); 2: no answer (command line, a file that
// cannot be read or is not of the function, the configuration, the connection).
inline constexpr int kInspectYes = 0;
inline constexpr int kInspectNo = 1;
inline constexpr int kInspectTrouble = 2;

struct InspectIo {
  OutputFormat format = OutputFormat::kText;
  std::FILE* out = stdout;
  std::FILE* err = stderr;
};

// Writes text to io.out.
void inspect_print(const InspectIo& io, std::string_view text);

// "vestragen-inspect: message" and a line end on io.err.
void inspect_complain(const InspectIo& io, std::string_view message);

// The whole file at path into bytes; false with why in problem.
bool inspect_read_file(const std::string& path, std::string& bytes, std::string& problem);
