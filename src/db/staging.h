#pragma once
// The staging table KvBasis.Kvb999Tmp: one row per record of a run, keyed by the download
// file's path, read back sorted by the record text when every client schema is done.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A staging key (the download file's path) has at most 159 characters, a record 512.
inline constexpr std::size_t kStagingKeyMax = 159;
inline constexpr std::size_t kRecordBufferSize = 513;

// The one record text: the generators hand their records to the staging table in it, the
// output step fetches each staged record into it.
extern char record_buffer[kRecordBufferSize];

// Every staging statement below is sent with its COMMIT as one transaction, and sent again
// (a few times, after a short pause) while it fails transiently (db_transient_error): a
// deadlock (also a cluster's certification conflict), a lock wait that ran out, a cluster
// node not ready. The code returned is that of the last attempt. On a cluster each
// transaction first renews the run's lock and checks it still holds it
// (db/path_lock.h): RC_LOCK_LOST when another run has taken it over.

// Inserts one record under key and commits it at once. Returns 0, or the code of the failed
// INSERT or COMMIT (the record is then not staged); *refused, when given, tells whether the
// failure is the record's own (db_error_of_row: a trigger refused it, a value does not fit)
// rather than one of the staging as a whole.
[[nodiscard]] int staging_insert(const char* key, const char* record, bool* refused = nullptr);

// Inserts several records under key with one statement, committed at once. When the server
// refuses the statement for a record's own reason, every record is inserted on its own, so
// that each record the table refuses gets its code in codes and the others are staged.
// Returns 0 when every record is staged or refused for a reason of its own (codes[i] 0 or
// its code); otherwise the code of a failure of the staging as a whole (a transient one
// that outlasted the attempts, a missing right or table): the records are then not all
// staged, and the caller must not write the download.
[[nodiscard]] int staging_insert_batch(const char* key, const std::vector<std::string>& records,
                                       std::vector<int>& codes);

// The INSERT that staging_insert_batch sends first: one row of values per record, each text
// escaped by escape (as db_escape escapes it; on another thread, that thread's connection's).
std::string staging_batch_statement(
    std::string_view key, const std::vector<std::string>& records,
    const std::function<std::string(std::string_view)>& escape);

// Deletes every record under key and commits. Returns 0 or the failed statement's code.
[[nodiscard]] int staging_clear(const char* key);

// The DELETE that staging_clear sends, its key escaped by escape.
std::string staging_clear_statement(std::string_view key,
                                    const std::function<std::string(std::string_view)>& escape);

// Reads the records under key, ascending by their text. Returns the open's code, or
// RC_LOCK_LOST. The read-back is one transaction with the lock's check on a cluster:
// staging_confirm ends it.
[[nodiscard]] int staging_open(const char* key);

// The next record into buffer, trailing blanks, tabs and line feeds cut. Returns 0,
// RC_NO_ROW after the last, -1 without result set, RC_TOO_LONG for a text over 512.
// Rows whose record is NULL are passed over.
[[nodiscard]] int staging_fetch(char (&buffer)[kRecordBufferSize]);

int staging_close();

// After staging_close: ends the read-back's transaction. Returns 0 when the records read are
// this run's (on a single server always), RC_LOCK_LOST when another run took the lock over
// meanwhile (the records read may be its: they must not be written), or an error number.
[[nodiscard]] int staging_confirm();
