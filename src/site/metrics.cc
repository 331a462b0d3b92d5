#include "site/metrics.h"

#include <cstdio>
#include <map>

namespace {

constexpr char kLastSuccess[] = "vestragen_site_job_last_success_timestamp_seconds";

std::string number_text(double value) {
  char text[48];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

std::string unix_seconds(std::chrono::system_clock::time_point time) {
  return number_text(std::chrono::duration<double>(time.time_since_epoch()).count());
}

std::string labels(const JobMetrics& job) {
  return "{function=\"" + metrics_label_value(job.function) + "\",terminal=\"" +
         metrics_label_value(job.terminal) + "\",path=\"" + metrics_label_value(job.path) + "\"}";
}

// The samples of the last-success family in the file being replaced, by name and labels.
std::map<std::string, std::string> previous_successes(std::string_view previous) {
  const std::string prefix = std::string(kLastSuccess) + "{";
  std::map<std::string, std::string> found;
  while (!previous.empty()) {
    const std::size_t end = previous.find('\n');
    const std::string_view line = previous.substr(0, end);
    previous.remove_prefix(end == std::string_view::npos ? previous.size() : end + 1);
    if (line.substr(0, prefix.size()) != prefix) continue;
    const std::size_t blank = line.rfind(' ');
    if (blank == std::string_view::npos) continue;
    found[std::string(line.substr(0, blank))] = line.substr(blank + 1);
  }
  return found;
}

// One family: its HELP and TYPE lines, then a sample per job that has the value.
template <typename Value>
void add_job_family(std::string& out, const char* name, const char* help,
                    const std::vector<JobMetrics>& jobs, Value value) {
  std::string samples;
  for (const JobMetrics& job : jobs) {
    const std::string text = value(job);
    if (!text.empty()) samples += name + labels(job) + " " + text + "\n";
  }
  out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n" + samples;
}

void add_site_gauge(std::string& out, const char* name, const char* help,
                    const std::string& samples) {
  out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n" + samples;
}

}  // namespace

std::string metrics_label_value(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string metrics_text(const std::vector<JobMetrics>& jobs, const SiteTotals& totals,
                         std::string_view previous) {
  const std::map<std::string, std::string> successes = previous_successes(previous);
  std::string out;
  add_job_family(out, "vestragen_site_job_exit_status",
                 "Exit status of the job's last run (128 + n: stopped by signal n).", jobs,
                 [](const JobMetrics& j) { return j.ran ? std::to_string(j.status) : ""; });
  add_job_family(out, "vestragen_site_job_duration_seconds", "Wall time of the job's last run.",
                 jobs, [](const JobMetrics& j) { return j.ran ? number_text(j.seconds) : ""; });
  add_job_family(
      out, "vestragen_site_job_badges_read",
      "Badges the job's last run read, over all client schemas.", jobs,
      [](const JobMetrics& j) { return j.reported ? std::to_string(j.report.badges) : ""; });
  add_job_family(
      out, "vestragen_site_job_records_written",
      "Records the job's last run wrote to the download file.", jobs,
      [](const JobMetrics& j) { return j.reported ? std::to_string(j.report.records) : ""; });
  add_job_family(
      out, "vestragen_site_job_badges_refused",
      "Badges the job's last run refused (left out of the download file).", jobs,
      [](const JobMetrics& j) { return j.reported ? std::to_string(j.report.refused) : ""; });
  add_job_family(out, kLastSuccess,
                 "Unix time at which a run of the job last ended with status 0 (0: never).", jobs,
                 [&successes](const JobMetrics& j) -> std::string {
                   if (j.ran && j.status == 0) return unix_seconds(j.ended);
                   const auto it = successes.find(kLastSuccess + labels(j));
                   return it == successes.end() ? "0" : it->second;
                 });
  add_site_gauge(out, "vestragen_site_jobs", "Jobs of the last site run, by result.",
                 "vestragen_site_jobs{result=\"ok\"} " + std::to_string(totals.ok) +
                     "\nvestragen_site_jobs{result=\"failed\"} " + std::to_string(totals.failed) +
                     "\nvestragen_site_jobs{result=\"not_run\"} " + std::to_string(totals.not_run) +
                     "\n");
  add_site_gauge(out, "vestragen_site_duration_seconds", "Wall time of the last site run.",
                 "vestragen_site_duration_seconds " + number_text(totals.seconds) + "\n");
  add_site_gauge(out, "vestragen_site_last_run_timestamp_seconds",
                 "Unix time at which the last site run ended.",
                 "vestragen_site_last_run_timestamp_seconds " + unix_seconds(totals.ended) + "\n");
  add_site_gauge(out, "vestragen_site_exit_status", "Exit status of the last site run.",
                 "vestragen_site_exit_status " + std::to_string(totals.exit_status) + "\n");
  return out;
}
