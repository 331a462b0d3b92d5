#include "run/run_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "base/encoding.h"
#include "base/stop.h"
#include "base/text.h"
#include "base/timestamp.h"
#include "base/version.h"
#include "generators/badge_walk.h"
#include "lookup/run_listener.h"

namespace {

using Clock = std::chrono::steady_clock;

// The lines waiting in memory are written once they reach this size, and at the end.
constexpr std::size_t kWriteAt = 64 * 1024;

// Windows-1252 text as a JSON string in UTF-8. Besides quotes and backslashes, every control
// character (C0, DEL and C1) is escaped, so that a report line is one line and plain to read.
void append_string(std::string& out, std::string_view text) {
  const std::string utf8 = cp1252_to_utf8(text);
  out += '"';
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    unsigned escaped = 0x100;  // none
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      escaped = c;
    } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
      escaped = static_cast<unsigned char>(utf8[++i]);  // U+0080 to U+009F
    } else {
      out += static_cast<char>(c);
    }
    if (escaped != 0x100) out += format_text("\\u%04X", escaped);
  }
  out += '"';
}

void append_key(std::string& out, const char* key) {
  out += ",\"";
  out += key;
  out += "\":";
}

void append_text(std::string& out, const char* key, std::string_view text) {
  append_key(out, key);
  append_string(out, text);
}

void append_number(std::string& out, const char* key, long long number) {
  append_key(out, key);
  out += std::to_string(number);
}

std::string event(const char* name) {
  return std::string("{\"event\":\"") + name + "\"";
}

std::string_view without_line_end(const std::string& message) {
  std::string_view text = message;
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  return text;
}

// One run's report. Everything the stop handler reads is changed only under the stop guard.
class RunReport final : public RunListener {
 public:
  RunReport(std::string name, std::string temp, int fd)
      : name_(std::move(name)), temp_(std::move(temp)), fd_(fd) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode_ = 0666 & ~mask;
  }

  void schema_begin(const char* schema) override {
    const StopGuard guard;
    schema_ = schema;
  }

  void refused(const char* badge, RefusalReason reason, const std::string& message) override {
    std::string line = event("refused");
    append_text(line, "schema", schema_);
    append_text(line, "badge", badge);
    append_text(line, "reason", refusal_reason_name(reason));
    append_text(line, "message", without_line_end(message));
    add_line(line);
  }

  void missing(const BadgeRecord& badge, MissingValues what, int code,
               const std::string&) override {
    std::string line = event("missing");
    append_text(line, "schema", schema_);
    append_text(line, "badge", badge.AswNum);
    append_text(line, "person", badge.AswPnr);
    append_text(line, "what", missing_values_name(what));
    append_number(line, "code", code);
    add_line(line);
  }

  void fallback(const char* schema, const char* lookup, int error) override {
    std::string line = event("fallback");
    append_text(line, "schema", schema);
    append_text(line, "lookup", lookup);
    append_number(line, "error", error);
    add_line(line);
  }

  void schema_end(const char* schema, int badges, int staged) override {
    std::string line = event("schema");
    append_text(line, "schema", schema);
    append_number(line, "badges", badges);
    append_number(line, "staged", staged);
    const WalkTimes walk = badge_walk_times();
    const StopGuard guard;
    walk_ = walk;
    add_line_guarded(line);
  }

  void run(const RunArguments& args) {
    std::string function = args.function_code;
    to_upper(function.data());
    std::string line = event("run");
    append_text(line, "function", function);
    append_text(line, "terminal", args.terminal_name);
    append_text(line, "path", args.download_path);
    append_text(line, "mode", args.new_file ? "new" : "append");
    append_text(line, "started", iso8601_time(started_));
    append_text(line, "version", kVestragenVersion);
    const StopGuard guard;
    download_path_ = args.download_path;
    add_line_guarded(line);
  }

  void time(ReportPhase phase, Clock::duration took) {
    const StopGuard guard;
    phases_[static_cast<int>(phase)] += took;
  }

  void written(long records) {
    const StopGuard guard;
    records_ = records;
  }

  // The run is over: the walks' times are final.
  void end(int status) {
    const WalkTimes walk = badge_walk_times();
    const StopGuard guard;
    walk_ = walk;
    finish(status);
  }

  // Adds the end event, writes what waits and renames the report. Under the guard.
  void finish(int status) {
    if (fd_ < 0) return;
    std::string line = event("end");
    append_number(line, "status", status);
    append_number(line, "records", records_);
    struct stat st;
    const bool file =
        !download_path_.empty() && ::stat(download_path_.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    append_number(line, "bytes", file ? static_cast<long long>(st.st_size) : 0);
    const auto phase = [this](ReportPhase p) { return phases_[static_cast<int>(p)]; };
    const auto seconds = [](Clock::duration d) {
      return seconds_text(std::max(d, Clock::duration::zero()));
    };
    append_key(line, "seconds");
    line += "{\"connect\":" + seconds(phase(ReportPhase::kConnect));
    line += ",\"badges\":" + seconds(walk_.badges);
    line +=
        ",\"lookups\":" + seconds(phase(ReportPhase::kGenerators) - walk_.badges - walk_.staging);
    line += ",\"staging\":" + seconds(phase(ReportPhase::kStaging) + walk_.staging);
    line += ",\"writing\":" + seconds(phase(ReportPhase::kWriting));
    line += ",\"total\":" + seconds(Clock::now() - start_);
    line += "}";
    add_line_guarded(line);
    write_pending();
    bool ok = !failed_;
    ok = ok && ::fchmod(fd_, mode_) == 0 && ::fsync(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    ok = ok && ::rename(temp_.c_str(), name_.c_str()) == 0;
    if (!ok) {
      if (!failed_) complain("cannot be written");
      ::unlink(temp_.c_str());
    }
  }

 private:
  void add_line(const std::string& line) {
    const StopGuard guard;
    add_line_guarded(line);
  }

  void add_line_guarded(const std::string& line) {
    pending_ += line;
    pending_ += "}\n";
    if (pending_.size() >= kWriteAt) write_pending();
  }

  void write_pending() {
    std::string_view data = pending_;
    while (!failed_ && !data.empty()) {
      const ssize_t n = ::write(fd_, data.data(), data.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        complain("cannot be written");
        failed_ = true;
        break;
      }
      data.remove_prefix(static_cast<std::size_t>(n));
    }
    pending_.clear();
  }

  void complain(const char* what) const {
    std::fprintf(stderr, "vestragen: run report %s %s: %s\n", name_.c_str(), what,
                 std::strerror(errno));
  }

  std::string name_;
  std::string temp_;
  int fd_;
  mode_t mode_ = 0644;
  std::string pending_;
  bool failed_ = false;
  std::string schema_;
  std::string download_path_;
  long records_ = 0;
  const std::chrono::system_clock::time_point started_ = std::chrono::system_clock::now();
  const Clock::time_point start_ = Clock::now();
  Clock::duration phases_[4] = {};
  WalkTimes walk_;
};

// The run's report, or nullptr; set once, under the stop guard.
RunReport* report = nullptr;

void finish_on_stop() {
  if (report != nullptr) report->finish(stop_status());
}

}  // namespace

void run_report_start() {
  const char* name = std::getenv("VESTRAGEN_REPORT");
  if (name == nullptr || *name == '\0' || report != nullptr) return;
  const std::string file = name;
  const std::size_t slash = file.rfind('/');
  std::string temp = slash == std::string::npos
                         ? "." + file + ".XXXXXX"
                         : file.substr(0, slash + 1) + "." + file.substr(slash + 1) + ".XXXXXX";
  // Registered first: a stop from the moment the file exists finishes it.
  stop_on(finish_on_stop);
  int fd = -1;
  {
    const StopGuard guard;
    fd = ::mkstemp(temp.data());
    if (fd >= 0) {
      static RunReport the_report(file, temp, fd);
      report = &the_report;
    }
  }
  if (fd < 0) {
    std::fprintf(stderr, "vestragen: run report %s cannot be created: %s\n", name,
                 std::strerror(errno));
    return;
  }
  run_listen(report);
}

void run_report_run(const RunArguments& args) {
  if (report != nullptr) report->run(args);
}

void run_report_time(ReportPhase phase, std::chrono::steady_clock::duration took) {
  if (report != nullptr) report->time(phase, took);
}

void run_report_written(long records) {
  if (report != nullptr) report->written(records);
}

void run_report_end(int status) {
  if (report != nullptr) report->end(status);
}
