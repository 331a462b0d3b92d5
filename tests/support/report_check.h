#pragma once
// A run report (VESTRAGEN_REPORT) held against the console text of the same run.

#include <map>
#include <string>
#include <vector>

using ReportEvent = std::map<std::string, std::string>;

// The report's lines as events (every line must be one JSON object with an event).
std::vector<ReportEvent> report_events(const std::string& report);

// Every refusal the console shows is a refused event with the same reason and message, one
// for one and in the console's order (a refusal by the staging table, which the report tells
// when its batch is staged, anywhere); likewise the missing values and the schemas' summary
// lines. The run event comes first, the end event last with status.
void expect_report_matches_console(const std::string& report, const std::string& console,
                                   int status);
