#pragma once
// The walk every generator makes over the badges of one client schema, and the staging of
// its records in batches.
//
// A walk is a pass (lookup/prefetch.h): the badge list is read once to note the keys of all
// its badges, so that each lookup reads its rows for all of them with one statement, and
// then again, badge by badge, for the records. Records go to the staging table in batches;
// the messages printed meanwhile are held, so that a record the table refuses gets its
// messages at the place where it was staged.

#include <chrono>
#include <functional>
#include <string>

#include "lookup/badges.h"

// Badges read and records staged in one client schema.
struct BadgeCounts {
  int read = 0;
  int staged = 0;
};

// What the walks of this run spent so far reading badge lists and sending staging
// statements (the run report's phase timings).
struct WalkTimes {
  std::chrono::steady_clock::duration badges{};
  std::chrono::steady_clock::duration staging{};
};
const WalkTimes& badge_walk_times();

// Stages record under path. Records are sent to the staging table in batches (one
// statement per batch, sized by time; VESTRAGEN_PER_BADGE=1 sends each on its own): true
// when the record was staged or queued. A record that the table refuses for a reason of its
// own gets the two insert messages at its place among the run's messages and does not count
// as staged. A failure of the staging as a whole stops the walk (for_each_badge).
bool record_stage(const char* path, const BadgeRecord& badge, const std::string& record);

// A dry walk stages nothing: each record goes only to the run's listener (as the inspector
// needs it, which only reads). Off by default.
void badge_walk_dry(bool on);

// The message of a run whose cluster lock another run took over (it ends with kExitBusy).
void print_lock_lost(const char* path);

// Clears the records staged under path by an earlier run (staging_clear). When batches are
// staged ahead, the clear goes first on the staging connection while the run goes on, and
// what the run prints meanwhile is held: walk_clear_settle waits for it (for_each_badge does
// before its first badge). Returns 0, or the exit status the run ends with after the
// message of the failed clear.
int walk_clear(const char* path);

// Waits for the clear sent ahead, if one is on its way: a clear the server refused is done
// again on the program's connection. Returns 0, or the exit status the run ends with after
// the message of the failed clear, what the run printed since the clear forgotten (it would
// not have gone on without the clear).
int walk_clear_settle();

// The badge list of schema could not be read: drops the queued records, prints why the run
// stops and returns the exit status it ends with.
int badge_list_failed(int rc, const char* schema);

// The walk over the badges of schema, whose records go under path: each badge, cleared
// before its fetch, goes to handle, which returns true when it staged the badge's record;
// then the records still queued are staged and the summary line is printed, the records
// the table refused taken off the count. Returns 0, or the exit status the run ends with,
// after a message, when the badge list could not be read or the staging failed as a whole
// (going on would leave valid badges out of the download; kExitDatabase), or when another
// run took the cluster lock over (kExitBusy). ask_ahead, when given, is called once the
// pass's keys are noted, before the first badge: it asks for the lookups the walk will need
// to be read ahead (prefetch_read_whole_now).
int for_each_badge(const char* path, const char* schema,
                   const std::function<bool(BadgeRecord&)>& handle,
                   const std::function<void()>& ask_ahead = nullptr);
