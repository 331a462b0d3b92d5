#include "site/job_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <tuple>

#include "base/encoding.h"
#include "base/text.h"
#include "db/staging.h"
#include "run/arguments.h"
#include "run/download_functions.h"

namespace {

constexpr std::size_t kTerminalMax = sizeof RunArguments{}.terminal_name - 1;

bool blank(char c) {
  return c == ' ' || c == '\t';
}

// The fields of one line, up to a comment. False, with why, for an unclosed or misplaced
// double quote.
bool split_fields(std::string_view line, std::vector<std::string>& fields, std::string& why) {
  std::size_t i = 0;
  for (;;) {
    while (i < line.size() && blank(line[i]))
      ++i;
    if (i == line.size() || line[i] == '#') return true;
    std::size_t end = i;
    if (line[i] == '"') {
      end = line.find('"', i + 1);
      if (end == std::string_view::npos) {
        why = "a double quote is not closed";
        return false;
      }
      fields.emplace_back(line.substr(i + 1, end - i - 1));
      ++end;
      if (end < line.size() && !blank(line[end])) {
        why = "a closing double quote must end its field";
        return false;
      }
    } else {
      while (end < line.size() && !blank(line[end]))
        ++end;
      fields.emplace_back(line.substr(i, end - i));
      if (fields.back().find('"') != std::string::npos) {
        why = "a double quote inside a field (quote the whole field)";
        return false;
      }
    }
    i = end;
  }
}

std::string known_codes() {
  std::string codes;
  for (const DownloadFunction& f : download_functions()) {
    codes += (codes.empty() ? "" : ", ") + std::string(f.code);
  }
  return codes;
}

bool known_function(const std::string& code) {
  for (const DownloadFunction& f : download_functions()) {
    if (code == f.code) return true;
  }
  return false;
}

// Checks one job line's fields; appends the line's first error and returns false.
bool parse_job(int line, const std::vector<std::string>& fields, Job& job,
               std::vector<JobFileError>& errors) {
  const auto fail = [&](const std::string& message) {
    errors.push_back({line, message});
    return false;
  };
  if (fields.size() < 3 || fields.size() > 4) {
    return fail("a job is FUNCTION TERMINAL PATH [NEWFILE], this line has " +
                std::to_string(fields.size()) + " field" + (fields.size() == 1 ? "" : "s"));
  }
  job.line = line;
  job.function = fields[0];
  to_upper(job.function.data());
  if (!known_function(job.function)) {
    return fail("unknown function code " + fields[0] + " (known: " + known_codes() + ")");
  }
  job.terminal = fields[1];
  job.path = fields[2];
  if (fields.size() == 4) {
    if (fields[3] != "0" && fields[3] != "1") {
      return fail("NEWFILE is 1 (a new file) or 0 (append), not " + fields[3]);
    }
    job.new_file = fields[3] == "1";
  }
  if (job.terminal.empty()) return fail("the terminal name is empty");
  if (job.path.empty()) return fail("the download path is empty");
  if (!utf8_to_cp1252(job.terminal, job.terminal_argument)) {
    return fail("the terminal name " + job.terminal + " has no Windows-1252 form");
  }
  if (!utf8_to_cp1252(job.path, job.path_argument)) {
    return fail("the download path " + job.path + " has no Windows-1252 form");
  }
  if (job.terminal_argument.size() > kTerminalMax) {
    return fail("the terminal name " + job.terminal + " is longer than " +
                std::to_string(kTerminalMax) + " characters");
  }
  if (job.path_argument.size() > kStagingKeyMax) {
    return fail("the download path is longer than " + std::to_string(kStagingKeyMax) +
                " characters");
  }
  return true;
}

std::string joined(const std::string& directory, const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  return directory == "/" ? "/" + path : directory + "/" + path;
}

// The canonical form of an existing path (links followed), or "" when there is none.
std::string canonical(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? resolved : "";
}

bool is_directory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Resolves the job's download file and checks it as vestragen will open it. Returns false
// after appending the error.
bool check_download_file(Job& job, std::vector<JobFileError>& errors) {
  const auto fail = [&](const std::string& message) {
    errors.push_back({job.line, message});
    return false;
  };
  const std::string full = joined(job.directory, job.path_argument);
  const std::size_t slash = full.rfind('/');
  const std::string name = full.substr(slash + 1);
  const std::string parent = slash == 0 ? "/" : full.substr(0, slash);
  const std::string shown_parent =
      cp1252_to_utf8(std::filesystem::path(parent).lexically_normal().string());
  if (name.empty() || name == "." || name == "..") {
    return fail("the download path " + job.path + " names a directory");
  }
  const std::string resolved_parent = canonical(parent);
  if (resolved_parent.empty() || !is_directory(resolved_parent)) {
    return fail("the download directory " + shown_parent + " does not exist");
  }
  if (::access(resolved_parent.c_str(), W_OK | X_OK) != 0) {
    return fail("the download directory " + shown_parent + " may not be written");
  }
  job.file = joined(resolved_parent, name);
  struct stat st;
  if (::stat(job.file.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return fail("the download path " + job.path + " is a directory");
    if (::access(job.file.c_str(), W_OK) != 0) {
      return fail("the download file " + job.path + " may not be written");
    }
    // A link is followed, as vestragen follows it: its target is the file written.
    job.file = canonical(job.file);
  }
  return true;
}

}  // namespace

std::vector<Job> job_file_parse(std::string_view text, std::vector<JobFileError>& errors) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<Job> jobs;
  int line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<std::string> fields;
    std::string why;
    if (!split_fields(line, fields, why)) {
      errors.push_back({line_number, why});
      continue;
    }
    if (fields.empty()) continue;
    if (fields[0] == "cd") {
      if (fields.size() != 2 || fields[1].empty()) {
        errors.push_back({line_number, "a cd line names one directory"});
        continue;
      }
      Job cd;
      cd.line = line_number;
      cd.function = "cd";
      cd.path = fields[1];
      jobs.push_back(cd);
      continue;
    }
    Job job;
    if (parse_job(line_number, fields, job, errors)) jobs.push_back(job);
  }
  return jobs;
}

std::vector<Job> job_file_check(const std::vector<Job>& parsed, const std::string& runner_directory,
                                std::vector<JobFileError>& errors) {
  std::vector<Job> jobs;
  std::string directory = runner_directory;
  bool directory_ok = true;
  // The latest job of each download file, and each job by what it does.
  std::map<std::string, int> latest_of_file;
  std::map<std::tuple<std::string, std::string, std::string>, int> seen;
  for (Job job : parsed) {
    if (job.function == "cd") {
      directory = canonical(joined(runner_directory, job.path));
      directory_ok = !directory.empty() && is_directory(directory);
      if (!directory_ok) {
        errors.push_back({job.line, "the directory " + job.path + " does not exist"});
      } else if (::access(directory.c_str(), X_OK) != 0) {
        directory_ok = false;
        errors.push_back({job.line, "the directory " + job.path + " may not be entered"});
      }
      continue;
    }
    // The jobs below a cd line that failed have no directory to resolve against; that one
    // error is enough.
    if (!directory_ok) continue;
    job.directory = directory;
    if (!check_download_file(job, errors)) continue;
    const auto key = std::make_tuple(job.function, job.terminal_argument, job.file);
    if (const auto it = seen.find(key); it != seen.end()) {
      errors.push_back({job.line, "the same job as line " + std::to_string(it->second) +
                                      " (function, terminal and download file)"});
      continue;
    }
    seen.emplace(key, job.line);
    const auto [latest, fresh] = latest_of_file.try_emplace(job.file, 0);
    job.after = fresh ? -1 : latest->second;
    latest->second = static_cast<int>(jobs.size());
    jobs.push_back(job);
  }
  return jobs;
}
