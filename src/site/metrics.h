#pragma once
// The metrics file of vestragen-site (--metrics): the Prometheus text exposition format, as
// the node exporter's textfile collector reads it.
//
// Per job, labelled function, terminal and path (the download file resolved, so that every
// series is unique): the last exit status, duration, badges read, records written, badges
// refused, and the time of the last successful run; then the runner's totals. Every family
// is a gauge. The time of the last success is carried over from the file being replaced for
// a job that failed this time (0 when no run of the job ever succeeded, as far as the file
// remembers); the other values of a job that did not run, or left no report, are left out.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "site/job_report.h"

struct JobMetrics {
  std::string function;
  std::string terminal;  // UTF-8
  std::string path;      // UTF-8
  bool ran = false;
  int status = -1;
  double seconds = 0;
  bool reported = false;  // report holds the job's run report
  JobReport report;
  std::chrono::system_clock::time_point ended;
};

struct SiteTotals {
  int ok = 0;
  int failed = 0;
  int not_run = 0;
  double seconds = 0;
  std::chrono::system_clock::time_point ended;
  int exit_status = 0;
};

// The file's text; previous is the text of the file it replaces ("" when none).
std::string metrics_text(const std::vector<JobMetrics>& jobs, const SiteTotals& totals,
                         std::string_view previous);

// A label value as the format writes it between double quotes: backslash, double quote and
// line feed escaped.
std::string metrics_label_value(std::string_view text);
