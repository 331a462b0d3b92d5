#pragma once
// The last step of a run: this run's staged records, sorted, into the download file.

#include <string>
#include <string_view>

#include "base/exit_status.h"

// One staged record as the file holds it: padded with blanks to record_width (when above
// 0), a line end added when fixed_width is cleared and the record has none, and every line
// feed written as carriage return + line feed.
void download_record_append(std::string& out, std::string_view record, int record_width,
                            bool fixed_width);

// Reads the records staged under path and writes them: with new_file into a temporary file
// beside the target that replaces it only when everything was read and written; otherwise
// appended in one go, the file cut back to its old length when the append fails. Prints
// the complaint and returns kExitDatabase when the records cannot be read, kExitDownloadFile
// when the file cannot be opened or written (an existing file the user may not write counts
// as one that cannot be opened, also with new_file); the file is then as it was. records,
// when given, receives the number of records written (0 unless the file was written).
[[nodiscard]] ExitStatus download_file_write(const char* path, bool new_file, int record_width,
                                             bool fixed_width, long* records = nullptr);
