#pragma once
// Files that readers must see whole: the metrics file, the kept run reports.

#include <sys/types.h>

#include <string>
#include <string_view>

// Writes content to a temporary file beside path, with mode's permission bits, flushes it
// to disk and renames it over path: a reader sees the old file or the new one. Returns false
// with why, leaving no temporary file behind.
[[nodiscard]] bool file_replace(const std::string& path, std::string_view content, mode_t mode,
                                std::string& why);

// The whole file into text; false when it cannot be read.
[[nodiscard]] bool file_read(const std::string& path, std::string& text);

// The permission bits a new file gets from the process's umask (0666 less the mask).
mode_t file_default_mode();
