#pragma once
// vestragen-site: runs the jobs of a job file (site/job_file.h) as vestragen processes
// (site/job_runner.h), logs what they print, sums them up, and keeps their run reports and
// the site's metrics.
//
//   vestragen-site [-j N] [--timeout SECONDS] [--log FILE] [--metrics FILE] [--report DIR]
//                  [--dry-run] JOBFILE
//
// vestragen is the program beside vestragen-site (the directory of /proc/self/exe), or the
// one VESTRAGEN_PROGRAM names. Exit status: 0 every job exited 0; 1 a job failed or did not
// run, or the metrics could not be written; 2 the command line, the job file or an output
// place is wrong (nothing was run); 128 + n stopped by signal n.

#include <string>

enum SiteExit : int { kSiteOk = 0, kSiteJobFailed = 1, kSiteUsage = 2 };

// The meaning of a job's exit status, as the summary prints it: "the download file could not
// be opened or written".
std::string site_status_meaning(int status);

int site_main(int argc, char** argv);
