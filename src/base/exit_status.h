#pragma once
// The process's exit statuses: how a scheduler tells a written download file from a failure.

enum ExitStatus : int {
  kExitSuccess = 0,          // the run completed and the download file was written
  kExitQueryTooLong = 1,     // an SQL text did not fit the query buffer
  kExitUsage = 2,            // command line: too few arguments or one too long
  kExitConfiguration = 3,    // configuration file missing, malformed or holding unusable values
  kExitConnect = 4,          // the database connection could not be opened
  kExitDatabase = 5,         // a database failure that would make the download incomplete
  kExitDownloadFile = 6,     // the download file could not be opened or written
  kExitBusy = 7,             // another run for the same download file did not finish in time
};
