#pragma once
// The run report: with VESTRAGEN_REPORT=FILE in the environment, the run also writes a JSON
// Lines account of itself to FILE for a scheduler to read (vestragen-site does). Without the
// variable nothing here does anything, and with it the console, the download file and the
// exit status stay as they are.
//
// One JSON object per line, each with the key "event"; texts converted from Windows-1252 to
// UTF-8 (base/encoding.h), times ISO 8601 with offset, durations seconds as numbers:
//   run      function, terminal, path, mode ("new"/"append"), started, version
//   schema   schema, badges, staged (the two numbers of the schema's summary line)
//   refused  schema, badge, reason, message (the console message without its line end);
//            reason: no_class, no_access, no_time_or_access, not_permitted, value_too_long,
//            insert_refused
//   missing  schema, badge, person, what (accounts, vacation, location), code
//   end      status, records (written to the file), bytes (the file's size afterwards, 0
//            when there is none), seconds {connect, badges, lookups, staging, writing, total}
// A run whose command line is wrong has no run event, only its end.
//
// The events go to a temporary file beside FILE as they happen, each under the stop guard;
// at the end of the run the end event is added and the file renamed to FILE. A stop (a
// signal, a failure that ends the process) does the same from its handler with the stop's
// status, so a run stopped on the way still leaves its report. A report that cannot be
// written is left out, with one line on standard error; the run goes on.

#include <chrono>

#include "run/arguments.h"

// The steps of the run whose time the end event shows. kGenerators is the generators' whole
// time; the report takes the badge lists and the staging statements (generators/badge_walk.h)
// off it to show the lookups.
enum class ReportPhase { kConnect, kStaging, kGenerators, kWriting };

// Starts the report when VESTRAGEN_REPORT names a file: creates its temporary file, makes it
// the run's listener and registers its stop handler. The total time counts from here.
void run_report_start();

// The run event, once the command line is known.
void run_report_run(const RunArguments& args);

// Adds took to phase.
void run_report_time(ReportPhase phase, std::chrono::steady_clock::duration took);

// Runs step and adds its time to phase; returns what step returns.
template <typename Step>
auto run_report_timed(ReportPhase phase, Step step) {
  const auto start = std::chrono::steady_clock::now();
  auto result = step();
  run_report_time(phase, std::chrono::steady_clock::now() - start);
  return result;
}

// The number of records the download file received.
void run_report_written(long records);

// The end event with status; the report is renamed to its name. Later calls do nothing.
void run_report_end(int status);
