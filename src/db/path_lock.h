#pragma once
// One run per download file at a time. From deleting the file's earlier rows in the staging
// table to writing the file, a run holds a lock derived from the path: two runs for one file
// would delete and read each other's rows.
//
// On a single server the lock is the server's named lock (GET_LOCK), held by the connection
// and dropped with it. On a node of a Galera cluster a named lock holds on that node only, so
// the run holds a row of KvBasis.Kvb999Lck instead, keyed like the named lock, with a holder
// token of its own and an expiry. An INSERT takes a free key (certification lets one of two
// runs on two nodes commit it); a row whose expiry has passed is taken over by an UPDATE (a
// crashed run holds its file up no longer than that). Every staging transaction renews the
// expiry and checks, in the same transaction, that the run still holds the row
// (path_lock_fence): a run whose lock was taken over while it hung stages nothing more, and
// its read-back fails. The row is removed when the run ends, also on a stop.
//
// Limits of the cluster lock: the expiry is compared with the clock of the node a run talks
// to, so the nodes' clocks must agree to well within it; a run that spends longer than the
// expiry between two staging transactions (a hung server, a stopped process) loses its lock
// and ends with status 7 at its next one.

// path_lock_take: another run held the lock for the whole wait.
inline constexpr int RC_LOCK_TIMEOUT = -3;
// path_lock_fence: another run has taken the cluster lock over.
inline constexpr int RC_LOCK_LOST = -5;
// path_lock_take: the server is a cluster node, and its lock table KvBasis.Kvb999Lck is
// missing.
inline constexpr int RC_NO_LOCK_TABLE = -6;

// Takes the lock of key for this run, waiting up to wait_seconds for another run of the
// same download file to end. Returns 0 when held, RC_LOCK_TIMEOUT, RC_NO_LOCK_TABLE, or the
// failed statement's code. The key counts as the staging table compares keys: trailing
// blanks do not.
[[nodiscard]] int path_lock_take(const char* key, int wait_seconds);

// Within a staging transaction, before its statement: renews the cluster lock and checks that
// the run still holds it. Returns 0 (also on a single server, where it sends nothing),
// RC_LOCK_LOST, or the statement's error number.
[[nodiscard]] int path_lock_fence();

// The run is over: gives the cluster lock up (the named lock goes with the connection).
void path_lock_release();
