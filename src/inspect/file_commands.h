#pragma once
// vestragen-inspect show and diff: download files decoded and compared, no database.

#include <string>

#include "inspect/inspect_io.h"
#include "inspect/record_layout.h"

// Prints the records of the file at path (only badge's, when given). Returns kInspectYes,
// kInspectNo when part of the file is no record of the function (the good records are still
// shown; the first bad one is named on io.err), kInspectTrouble when it cannot be read.
int show_command(const InspectIo& io, const RecordLayout& layout, const std::string& path,
                 const std::string* badge);

// Prints what changed from the file old_path to new_path. Returns kInspectYes when they hold
// the same records, kInspectNo when they differ, kInspectTrouble when one cannot be read or
// is not a file of the function.
int diff_command(const InspectIo& io, const RecordLayout& layout, const std::string& old_path,
                 const std::string& new_path);
