#pragma once
// The jobs of a job file as child processes of vestragen: at most N at once, the jobs of one
// download file one after another in file order, each within its time.
//
// A job runs in its directory with standard input from /dev/null, standard output and error
// into one pipe that the runner reads line by line, and VESTRAGEN_REPORT naming its report
// file in the runner's report directory. A job over the timeout gets SIGTERM, and SIGKILL
// when it has not ended after the grace period; it counts as failed. SIGTERM, SIGINT or
// SIGHUP to the runner starts no further job and stops the running ones the same way.
//
// An append job (NEWFILE 0) whose job before it for the same file did not end with status 0
// is not run: it would append its records to the file that job failed to replace.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "site/job_file.h"

struct JobOutcome {
  bool ran = false;  // the process was started (status is its end)
  int status = -1;   // exit status, or 128 + n when signal n ended it
  bool timed_out = false;
  bool killed = false;  // SIGKILL after the grace period
  std::string failure;  // why it could not start, or why it did not run
  std::chrono::steady_clock::duration took{};
  std::chrono::system_clock::time_point ended;

  bool ok() const { return ran && status == 0 && !timed_out; }
};

struct RunnerSettings {
  std::string program;  // vestragen
  int parallel = 2;
  std::chrono::milliseconds timeout{0};  // 0: none
  std::chrono::milliseconds grace{10000};
  std::string report_directory;  // each job's report: jobs_report_file
};

// What the runner tells as the jobs go.
class RunnerEvents {
 public:
  virtual ~RunnerEvents() = default;
  virtual void started(std::size_t /*job*/) {}
  // A line the job printed, without its line end, as printed (Windows-1252).
  virtual void output(std::size_t /*job*/, std::string_view /*line*/) {}
  // The job ended, or will not run.
  virtual void ended(std::size_t /*job*/, const JobOutcome& /*outcome*/) {}
  // What one wake-up of the runner brought has been handed on: a good moment to write it
  // out (the runner may now sleep).
  virtual void handed_on() {}
};

// Takes SIGTERM, SIGINT and SIGHUP (they stop the runner; see runner_stop_signal), SIGCHLD,
// and ignores SIGPIPE. Call once, first.
void runner_signals_start();

// The first of SIGTERM, SIGINT, SIGHUP that came, or 0.
int runner_stop_signal();

// The report file of job number job (its index).
std::string jobs_report_file(const RunnerSettings& settings, std::size_t job);

// Runs jobs, filling outcomes (one per job). Returns when every job has ended or will not
// run, or, after a stop signal, when the running jobs have ended.
void jobs_run(const std::vector<Job>& jobs, const RunnerSettings& settings, RunnerEvents& events,
              std::vector<JobOutcome>& outcomes);
