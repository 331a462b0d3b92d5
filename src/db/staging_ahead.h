#pragma once
// Staging ahead: a batch of records is inserted and committed on a connection of its own
// (side_connection.h) by a thread of its own, while the program walks the next badges on its
// connection. One batch is on its way at a time; the program waits for it before it sends the
// next, and before it reads the staged records back.
//
// Only on a single server: on a cluster node every staging transaction renews the run's lock
// in the same transaction on the program's connection (path_lock.h). Not with
// VESTRAGEN_CONNECTIONS below 3, and not when the server refuses the connection: batches are
// then staged on the program's connection as they fill (staging_insert_batch).
//
// A batch the server refused (a record's own reason, a deadlock, a missing right) is undone
// by the server and is staged again by staging_insert_batch on the program's connection,
// which retries, finds the records refused for their own reason, and tells a failure of the
// staging as a whole; so every outcome is the one staging on the program's connection gives.
// A broken connection ends the run as on the program's connection (status 5).

#include <string>
#include <vector>

// Whether batches are staged ahead in this run (the connection is asked for at the first
// call for each connection of the program).
bool staging_ahead_available();

// Sends the INSERT of records under key and its COMMIT (the thread makes its text). Call
// only when staging_ahead_available and no batch is on its way.
void staging_ahead_send(const char* key, std::vector<std::string> records);

// Sends the DELETE of the records under key and its COMMIT, as staging_clear does, before any
// batch; waited for as a batch.
void staging_ahead_send_clear(const char* key);

// Whether a batch was sent and not yet waited for.
bool staging_ahead_outstanding();

struct StagingAheadResult {
  int rc = 0;           // 0: every record is staged and committed; else the error number
  bool undone = false;  // rc is the server's: nothing of the batch is staged
  double seconds = 0;   // how long the INSERT and its COMMIT took
  std::vector<std::string> records;  // the batch's records, handed back
};

// Waits for the batch on its way. A lost connection ends the process (status 5).
StagingAheadResult staging_ahead_wait();

// Whether a batch was staged ahead since the program connected.
bool staging_ahead_used();

// Ends the thread and closes its connection, once the records are all staged (before they
// are read back): the thread's state in the client library goes while that is still whole.
// A later batch opens them again.
void staging_ahead_close();
