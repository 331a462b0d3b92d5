#pragma once
// What vestragen-site takes from a job's run report (VESTRAGEN_REPORT, run/run_report.h),
// and the name under which --report keeps it.

#include <map>
#include <string>
#include <string_view>

struct JobReport {
  bool ended = false;  // the report has its end event
  long badges = 0;     // badges read, over every schema event
  long refused = 0;    // refused events
  long records = 0;    // records written to the file (end event)
  int status = -1;     // the end event's status
};

// One line of a report: the JSON object's top-level strings (decoded, UTF-8) and numbers
// (as written), by key. False when the line is not one JSON object.
bool job_report_line(std::string_view line, std::map<std::string, std::string>& values);

// Reads the JSON Lines of a run report. Lines that are not JSON objects, and events or keys
// it does not know, are passed over: the report may gain keys.
JobReport job_report_read(std::string_view text);

// The name of a job's kept report: its line number, function and terminal, each character
// that is not an ASCII letter, digit, '-' or '_' replaced by '_', and ".jsonl":
// "0012-ZKDNL31P-TOR_1.jsonl". The line number, which ends at the first '-', keeps the names
// of two jobs apart; no name can leave the directory or be hidden.
std::string job_report_name(int line, const std::string& function, const std::string& terminal);
