#include "site/site_main.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/encoding.h"
#include "base/timestamp.h"
#include "base/version.h"
#include "site/file_replace.h"
#include "site/job_file.h"
#include "site/job_report.h"
#include "site/job_runner.h"
#include "site/metrics.h"

namespace {

constexpr char kUsage[] =
    "Usage: vestragen-site [-j N] [--timeout SECONDS] [--log FILE] [--metrics FILE]\n"
    "                      [--report DIR] [--dry-run] JOBFILE\n"
    "Runs the vestragen jobs of JOBFILE, one per line: FUNCTION TERMINAL PATH [NEWFILE];\n"
    "a line \"cd DIR\" sets the working directory of the jobs below it.\n"
    "\n"
    "  -j N               run at most N jobs at once (default 2)\n"
    "  --timeout SECONDS  stop a job that runs longer (SIGTERM, SIGKILL 10 s later)\n"
    "  --log FILE         append what the jobs print (UTF-8, with times) to FILE instead of\n"
    "                     standard output\n"
    "  --metrics FILE     replace FILE with the site's metrics (Prometheus text format)\n"
    "  --report DIR       keep each job's run report in DIR\n"
    "  --dry-run          check the job file and show the plan; run nothing\n"
    "  --help, --version\n"
    "\n"
    "vestragen is the program beside vestragen-site, or the one VESTRAGEN_PROGRAM names.\n"
    "Exit status: 0 every job exited 0, 1 a job failed, 2 wrong command line or job file\n"
    "(nothing run), 128 + n stopped by signal n.\n"
    "\n"
    "See man vestragen-site.\n";

struct Options {
  int parallel = 2;
  double timeout_seconds = 0;
  std::string log;
  std::string metrics;
  std::string report;
  bool dry_run = false;
  std::string job_file;
};

int usage_error(const std::string& message) {
  std::fprintf(stderr, "vestragen-site: %s (see vestragen-site --help)\n", message.c_str());
  return kSiteUsage;
}

// A whole number from low to high, or false.
bool whole_number(const std::string& text, long low, long high, long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0' && errno == 0 && value >= low && value <= high;
}

// Fills options; returns -1 to go on, or the exit status.
int parse_options(int argc, char** argv, Options& options) {
  int i = 1;
  for (; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return kSiteOk;
    }
    if (arg == "--version") {
      std::printf("vestragen-site %s\n", kVestragenVersion);
      return kSiteOk;
    }
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg == "--dry-run") {
      options.dry_run = true;
      continue;
    }
    if (arg.empty() || arg[0] != '-' || arg == "-") break;
    // An option with a value: "-j N", "-jN", "--log FILE", "--log=FILE".
    std::string name = arg;
    std::string value;
    bool has_value = false;
    if (arg.rfind("-j", 0) == 0 && arg.size() > 2 && arg[1] != '-') {
      name = "-j";
      value = arg.substr(2);
      has_value = true;
    } else if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != arg.npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      has_value = true;
    }
    if (name != "-j" && name != "--jobs" && name != "--timeout" && name != "--log" &&
        name != "--metrics" && name != "--report") {
      return usage_error("unknown option " + arg);
    }
    if (!has_value) {
      if (i + 1 >= argc) return usage_error(name + " needs a value");
      value = argv[++i];
    }
    long number = 0;
    if (name == "-j" || name == "--jobs") {
      if (!whole_number(value, 1, 256, number))
        return usage_error("-j wants 1 to 256, not " + value);
      options.parallel = static_cast<int>(number);
    } else if (name == "--timeout") {
      char* end = nullptr;
      const double seconds = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || !(seconds > 0) || seconds > 7 * 86400) {
        return usage_error("--timeout wants seconds (more than 0, at most a week), not " + value);
      }
      options.timeout_seconds = seconds;
    } else if (value.empty()) {
      return usage_error(name + " needs a value");
    } else if (name == "--log") {
      options.log = value;
    } else if (name == "--metrics") {
      options.metrics = value;
    } else {
      options.report = value;
    }
  }
  if (argc - i != 1) return usage_error(i >= argc ? "no JOBFILE" : "one JOBFILE only");
  options.job_file = argv[i];
  return -1;
}

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool writable_directory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(path.c_str(), W_OK | X_OK) == 0;
}

// The places the runner writes to, checked before anything runs. Prints each problem.
bool check_outputs(const Options& options) {
  bool ok = true;
  const auto fail = [&ok](const std::string& message) {
    std::fprintf(stderr, "vestragen-site: %s\n", message.c_str());
    ok = false;
  };
  struct stat st;
  if (!options.log.empty()) {
    if (::stat(options.log.c_str(), &st) == 0) {
      if (!S_ISREG(st.st_mode) || ::access(options.log.c_str(), W_OK) != 0) {
        fail("the log " + options.log + " may not be written");
      }
    } else if (!writable_directory(directory_of(options.log))) {
      fail("the directory of the log " + options.log + " is missing or may not be written");
    }
  }
  if (!options.metrics.empty() && !writable_directory(directory_of(options.metrics))) {
    fail("the directory of the metrics file " + options.metrics +
         " is missing or may not be written");
  }
  if (!options.report.empty() && !writable_directory(options.report)) {
    fail("the report directory " + options.report + " is missing or may not be written");
  }
  return ok;
}

// vestragen: VESTRAGEN_PROGRAM, or the program beside this one.
std::string find_program() {
  if (const char* named = std::getenv("VESTRAGEN_PROGRAM"); named != nullptr && *named != '\0') {
    return named;
  }
  char self[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "vestragen";
  self[n] = '\0';
  return directory_of(self) + "/vestragen";
}

std::string current_directory() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "/";
}

std::string signal_name(int number) {
  switch (number) {
    case SIGHUP:
      return "SIGHUP";
    case SIGINT:
      return "SIGINT";
    case SIGQUIT:
      return "SIGQUIT";
    case SIGABRT:
      return "SIGABRT";
    case SIGKILL:
      return "SIGKILL";
    case SIGSEGV:
      return "SIGSEGV";
    case SIGPIPE:
      return "SIGPIPE";
    case SIGTERM:
      return "SIGTERM";
    default:
      return "signal " + std::to_string(number);
  }
}

// Lines with the time in front, into the log file or standard output. The lines of one
// wake-up of the runner share its time and go out with one write, at flush (or when many
// wait): whole lines only, so that nothing another writer appends comes between a line's
// parts.
class SiteLog {
 public:
  explicit SiteLog(int fd) : fd_(fd) {}
  ~SiteLog() { flush(); }
  SiteLog(const SiteLog&) = delete;
  SiteLog& operator=(const SiteLog&) = delete;

  void line(std::string_view text) {
    if (stamp_.empty()) stamp_ = iso8601_time(std::chrono::system_clock::now());
    pending_ += stamp_;
    pending_ += ' ';
    pending_ += text;
    pending_ += '\n';
    if (pending_.size() >= 64 * 1024) write_pending();
  }

  // Writes the lines that wait; the next line takes a new time.
  void flush() {
    write_pending();
    stamp_.clear();
  }

 private:
  void write_pending() {
    std::string_view rest = pending_;
    while (!rest.empty() && !failed_) {
      const ssize_t n = ::write(fd_, rest.data(), rest.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        std::fprintf(stderr, "vestragen-site: the log cannot be written: %s\n",
                     std::strerror(errno));
        failed_ = true;
        break;
      }
      rest.remove_prefix(static_cast<std::size_t>(n));
    }
    pending_.clear();
  }

  int fd_;
  bool failed_ = false;
  std::string stamp_;
  std::string pending_;
};

std::string job_label(const Job& job) {
  return job.function + " " + job.terminal;
}

std::string outcome_text(const JobOutcome& outcome, double timeout_seconds) {
  if (!outcome.ran) return "not run: " + outcome.failure;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", timeout_seconds);
  std::string text = "status " + std::to_string(outcome.status) + " (";
  if (outcome.timed_out) text += std::string("timed out after ") + seconds + " s: ";
  text += outcome.killed ? "killed with SIGKILL after the grace period"
                         : site_status_meaning(outcome.status);
  text += ")";
  if (!outcome.failure.empty()) text += ": " + outcome.failure;
  return text;
}

// Logs what the jobs print and end with; keeps each job's report.
class SiteEvents final : public RunnerEvents {
 public:
  SiteEvents(const std::vector<Job>& jobs, const Options& options, const RunnerSettings& settings,
             SiteLog& log)
      : jobs_(jobs),
        options_(options),
        settings_(settings),
        log_(log),
        reports_(jobs.size()),
        reported_(jobs.size(), false) {}

  void output(std::size_t job, std::string_view line) override {
    log_.line(job_label(jobs_[job]) + " | " + cp1252_to_utf8(line));
  }

  void ended(std::size_t job, const JobOutcome& outcome) override {
    const Job& j = jobs_[job];
    if (outcome.ran) {
      char seconds[32];
      std::snprintf(seconds, sizeof seconds, "%.3f",
                    std::chrono::duration<double>(outcome.took).count());
      log_.line(job_label(j) + " ended: " + outcome_text(outcome, options_.timeout_seconds) +
                " after " + seconds + " s (line " + std::to_string(j.line) + ")");
    } else {
      log_.line(job_label(j) + " not run: " + outcome.failure + " (line " + std::to_string(j.line) +
                ")");
    }
    keep_report(job);
  }

  void handed_on() override { log_.flush(); }

  bool reported(std::size_t job) const { return reported_[job]; }
  const JobReport& report(std::size_t job) const { return reports_[job]; }

 private:
  void keep_report(std::size_t job) {
    const std::string file = jobs_report_file(settings_, job);
    std::string text;
    const bool present = file_read(file, text);
    ::unlink(file.c_str());
    if (present) {
      reports_[job] = job_report_read(text);
      reported_[job] = true;
    }
    if (options_.report.empty()) return;
    const Job& j = jobs_[job];
    const std::string kept =
        options_.report + "/" + job_report_name(j.line, j.function, j.terminal);
    std::string why;
    if (!present) {
      // A report of an earlier run must not pass for this one's.
      ::unlink(kept.c_str());
    } else if (!file_replace(kept, text, file_default_mode(), why)) {
      log_.line("vestragen-site: the report " + kept + " cannot be written: " + why);
    }
  }

  const std::vector<Job>& jobs_;
  const Options& options_;
  const RunnerSettings& settings_;
  SiteLog& log_;
  std::vector<JobReport> reports_;
  std::vector<bool> reported_;
};

// Removes the runner's report directory with what a killed job left in it.
void remove_directory(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(path.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(path + "/" + name);
    }
    ::closedir(dir);
  }
  for (const std::string& name : names)
    ::unlink(name.c_str());
  ::rmdir(path.c_str());
}

void print_plan(const std::vector<Job>& jobs, const Options& options) {
  for (const Job& job : jobs) {
    std::string text = "line " + std::to_string(job.line) + ": " + job.function + " " +
                       job.terminal + " " + job.path +
                       (job.new_file ? " (new file)" : " (append)") + " in " + job.directory;
    if (job.after >= 0) {
      text += ", after line " + std::to_string(jobs[static_cast<std::size_t>(job.after)].line);
    }
    std::printf("%s\n", text.c_str());
  }
  std::printf("vestragen-site: %zu job%s, at most %d at once; nothing run (--dry-run)\n",
              jobs.size(), jobs.size() == 1 ? "" : "s", options.parallel);
}

// The summary's lines, and the metrics file written; returns the exit status.
int sum_up(const std::vector<Job>& jobs, const std::vector<JobOutcome>& outcomes,
           const SiteEvents& events, const Options& options, int stopped, double seconds,
           std::vector<std::string>& lines) {
  SiteTotals totals;
  totals.seconds = seconds;
  totals.ended = std::chrono::system_clock::now();
  std::vector<std::string> failures;
  std::vector<JobMetrics> metrics;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const JobOutcome& o = outcomes[i];
    if (o.ok()) {
      ++totals.ok;
    } else if (o.ran) {
      ++totals.failed;
    } else {
      ++totals.not_run;
    }
    if (!o.ok()) {
      failures.push_back(std::string(o.ran ? "failed: " : "not run: ") + "line " +
                         std::to_string(jobs[i].line) + " " + job_label(jobs[i]) + " " +
                         jobs[i].path + ": " +
                         (o.ran ? outcome_text(o, options.timeout_seconds) : o.failure));
    }
    JobMetrics m;
    m.function = jobs[i].function;
    m.terminal = jobs[i].terminal;
    m.path = cp1252_to_utf8(jobs[i].file);
    m.ran = o.ran;
    m.status = o.status;
    m.seconds = std::chrono::duration<double>(o.took).count();
    m.reported = events.reported(i);
    m.report = events.report(i);
    m.ended = o.ended;
    metrics.push_back(m);
  }
  int status = stopped != 0 ? 128 + stopped : failures.empty() ? kSiteOk : kSiteJobFailed;
  totals.exit_status = status;

  char counts[160];
  std::snprintf(counts, sizeof counts, "%zu job%s: %d ok, %d failed, %d not run; %.3f s",
                jobs.size(), jobs.size() == 1 ? "" : "s", totals.ok, totals.failed, totals.not_run,
                totals.seconds);
  lines.push_back(std::string("vestragen-site: ") + counts);
  if (stopped != 0) lines.back() += "; stopped by " + signal_name(stopped);
  for (const std::string& f : failures)
    lines.push_back("vestragen-site: " + f);
  if (!options.metrics.empty()) {
    std::string previous;
    (void)file_read(options.metrics, previous);
    std::string why;
    // The node exporter reads the file as another user; it holds nothing secret.
    if (!file_replace(options.metrics, metrics_text(metrics, totals, previous), 0644, why)) {
      lines.push_back("vestragen-site: the metrics file " + options.metrics +
                      " cannot be written: " + why);
      if (status == kSiteOk) status = kSiteJobFailed;
    }
  }
  return status;
}

}  // namespace

std::string site_status_meaning(int status) {
  switch (status) {
    case 0:
      return "the download file was written";
    case 1:
      return "an SQL text did not fit the query buffer";
    case 2:
      return "the command line was wrong";
    case 3:
      return "the configuration file is missing or unusable";
    case 4:
      return "the database connection failed";
    case 5:
      return "a database failure; the download file was left as it was";
    case 6:
      return "the download file could not be opened or written";
    case 7:
      return "another run held the download file longer than the wait";
    case 126:
      return "the working directory could not be entered";
    case 127:
      return "vestragen could not be started";
    default:
      break;
  }
  if (status > 128 && status < 128 + 65) return "stopped by " + signal_name(status - 128);
  return "unknown status";
}

int site_main(int argc, char** argv) {
  runner_signals_start();
  Options options;
  if (const int status = parse_options(argc, argv, options); status >= 0) return status;

  std::string text;
  if (!file_read(options.job_file, text)) {
    std::fprintf(stderr, "vestragen-site: the job file %s cannot be read: %s\n",
                 options.job_file.c_str(), std::strerror(errno));
    return kSiteUsage;
  }
  std::vector<JobFileError> errors;
  const std::vector<Job> jobs =
      job_file_check(job_file_parse(text, errors), current_directory(), errors);
  std::stable_sort(errors.begin(), errors.end(),
                   [](const JobFileError& a, const JobFileError& b) { return a.line < b.line; });
  for (const JobFileError& e : errors) {
    std::fprintf(stderr, "%s:%d: %s\n", options.job_file.c_str(), e.line, e.message.c_str());
  }
  bool usable = check_outputs(options);
  RunnerSettings settings;
  settings.program = find_program();
  settings.parallel = options.parallel;
  settings.timeout =
      std::chrono::milliseconds(static_cast<long long>(options.timeout_seconds * 1000));
  if (::access(settings.program.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "vestragen-site: vestragen is not at %s (VESTRAGEN_PROGRAM names it)\n",
                 settings.program.c_str());
    usable = false;
  }
  if (!errors.empty() || !usable) {
    std::fprintf(stderr, "vestragen-site: nothing run\n");
    return kSiteUsage;
  }
  if (options.dry_run) {
    print_plan(jobs, options);
    return kSiteOk;
  }

  int log_fd = STDOUT_FILENO;
  if (!options.log.empty()) {
    log_fd = ::open(options.log.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (log_fd < 0) {
      std::fprintf(stderr, "vestragen-site: the log %s cannot be opened: %s; nothing run\n",
                   options.log.c_str(), std::strerror(errno));
      return kSiteUsage;
    }
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string work =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/vestragen-site-XXXXXX";
  if (::mkdtemp(work.data()) == nullptr) {
    std::fprintf(stderr, "vestragen-site: no directory for the run reports (%s): %s\n",
                 work.c_str(), std::strerror(errno));
    return kSiteUsage;
  }
  settings.report_directory = work;
  if (runner_stop_signal() != 0) {
    remove_directory(work);
    return 128 + runner_stop_signal();
  }

  SiteLog log(log_fd);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  log.line("vestragen-site: " + std::to_string(jobs.size()) + " jobs of " + options.job_file +
           ", at most " + std::to_string(options.parallel) + " at once");
  log.flush();
  const auto start = std::chrono::steady_clock::now();
  SiteEvents events(jobs, options, settings, log);
  std::vector<JobOutcome> outcomes;
  jobs_run(jobs, settings, events, outcomes);
  remove_directory(work);

  const int stopped = runner_stop_signal();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::vector<std::string> lines;
  const int status = sum_up(jobs, outcomes, events, options, stopped, took.count(), lines);
  for (const std::string& line : lines) {
    if (log_fd != STDOUT_FILENO) log.line(line);
    std::printf("%s\n", line.c_str());
  }
  log.flush();
  if (log_fd != STDOUT_FILENO) ::close(log_fd);
  std::fflush(stdout);
  return status;
}
