#pragma once
// The job file of vestragen-site: one vestragen run per line, checked whole before anything
// runs.
//
// UTF-8 text. A job line is FUNCTION TERMINAL PATH [NEWFILE] (NEWFILE 1 when left out: a new
// file; 0: append), fields separated by blanks or tabs; a field with blanks is written in
// double quotes ("Tor Nord"), which it cannot itself hold. A field that begins with # starts
// a comment up to the line's end; blank lines and comment lines are skipped. A line
// `cd DIR` sets the working directory of the job lines below it, up to the next cd line
// (DIR relative to the runner's own working directory, in which the jobs before the first
// cd line run), so that vestragen finds ../../files/korvandel.ini from there; a relative
// PATH is relative to that directory.
//
// TERMINAL and PATH go to vestragen in Windows-1252, the database's text; a field that has
// no Windows-1252 form is an error of its line. The download file's directory is looked up
// in that form too, since that is the name vestragen opens.

#include <string>
#include <string_view>
#include <vector>

struct Job {
  int line = 0;
  std::string function;  // upper-cased, one of the download functions
  std::string terminal;  // as written (UTF-8)
  std::string path;      // as written (UTF-8)
  bool new_file = true;
  std::string terminal_argument;  // Windows-1252, as vestragen gets it
  std::string path_argument;      // Windows-1252
  std::string directory;          // absolute working directory
  std::string file;               // the download file, resolved against directory
  int after = -1;                 // index of the job before it for the same file, or -1
};

struct JobFileError {
  int line = 0;
  std::string message;
};

// The job lines of text, parsed and checked on their own: fields, function codes, the
// argument limits of vestragen, the Windows-1252 form. directory and file are left empty;
// cd lines are returned as jobs with function "cd" and the directory in path. Appends an
// error per faulty line.
std::vector<Job> job_file_parse(std::string_view text, std::vector<JobFileError>& errors);

// Resolves each job's directory against runner_directory (absolute) and its download file
// against its directory, and checks what vestragen will need: a working directory that
// exists, a download directory that exists and may be written, a download file that is not
// a directory and may be written when it exists, no job twice. Sets after for jobs of the
// same file. Takes the cd lines out. Appends an error per faulty line.
std::vector<Job> job_file_check(const std::vector<Job>& parsed, const std::string& runner_directory,
                                std::vector<JobFileError>& errors);
