// What vestragen-site reads that others wrote: the job file (the first byte of the input
// even) and the run reports of its jobs (odd); and the Windows-1252 conversion both go
// through. A job that passes the parser must be one vestragen accepts as it is meant.

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/encoding.h"
#include "fuzz_support.h"
#include "run/download_functions.h"
#include "site/job_file.h"
#include "site/job_report.h"

namespace {

bool known(const std::string& code) {
  for (const DownloadFunction& f : download_functions()) {
    if (code == f.code) return true;
  }
  return false;
}

void check_job_file(std::string_view text) {
  std::vector<JobFileError> errors;
  const std::vector<Job> jobs = job_file_parse(text, errors);
  int last_line = 0;
  for (const Job& job : jobs) {
    FUZZ_CHECK(job.line > last_line);
    last_line = job.line;
    if (job.function == "cd") continue;
    FUZZ_CHECK(known(job.function));
    FUZZ_CHECK(!job.terminal_argument.empty() && job.terminal_argument.size() <= 11);
    FUZZ_CHECK(!job.path_argument.empty() && job.path_argument.size() <= 159);
    // The arguments are the written fields in Windows-1252, and nothing else.
    FUZZ_CHECK(cp1252_to_utf8(job.terminal_argument) == job.terminal);
    FUZZ_CHECK(cp1252_to_utf8(job.path_argument) == job.path);
    FUZZ_CHECK(job.terminal.find_first_of("\"\n") == std::string::npos);
  }
  for (const JobFileError& e : errors)
    FUZZ_CHECK(e.line >= 1 && !e.message.empty());
}

void check_report(std::string_view text) {
  std::map<std::string, std::string> values;
  const std::size_t end = text.find('\n');
  (void)job_report_line(text.substr(0, end), values);
  const JobReport report = job_report_read(text);
  FUZZ_CHECK(report.refused >= 0);
  // Every byte string survives the conversion both ways.
  std::string back;
  FUZZ_CHECK(utf8_to_cp1252(cp1252_to_utf8(text), back));
  FUZZ_CHECK(back == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 2 == 0) {
    check_job_file(text);
  } else {
    check_report(text);
  }
  return 0;
}
