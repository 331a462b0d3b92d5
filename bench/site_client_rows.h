#pragma once
// What the client parts of the site generator share: the class each badge is meant to get,
// the client schema's table files, and the helpers for their columns.

#include <climits>
#include <string>

#include "site_plan.h"

// A day relative to the day of loading, or kNoDay for NULL.
using Day = int;
inline constexpr Day kNoDay = INT_MIN;

inline void write_day(TsvFile& file, Day day) {
  if (day == kNoDay)
    file.null();
  else
    file.number(day);
}

// A status column: 0 is written as NULL.
inline void write_status(TsvFile& file, int status) {
  if (status == 0)
    file.null();
  else
    file.number(status);
}

// Where a badge's class comes from.
enum class ClassKind {
  kOwn,         // a class of its own, 1 to 32
  kUnusable,    // a class of its own that no zone authorises, 33 to 40
  kNull,        // class column NULL
  kBadgeGroup,  // class 0, then the six sources in their order
  kCostCentre,
  kCostCentreGroup,
  kDepartment,
  kDepartmentList,
  kPersonEntry,
  kNoSource,  // class 0 and no source has a valid assignment
};

// The files of one client schema's tables.
struct ClientTables {
  std::unique_ptr<TsvFile> persons, assignments, organisation, cost_centres, department_lists,
      entries, day_accounts, vacation_days, vacation_entitlement;
};

// Opens the client schema's table files and notes them for the load script.
ClientTables site_open_client_tables(const SitePlan& plan, const std::string& schema,
                                     std::vector<LoadEntry>& loads);

// Cost centres, department lists and the class assignments of every kind of key.
void site_write_code_tables(ClientTables& t, SiteRandom& random);

// The person's rows in the client schema: person, organisation, entries, daily accounts and
// vacation figures, made so that a class-0 badge of this person gets its class from the
// source its kind names.
void site_write_person(ClientTables& t, SiteRandom& random, const std::string& person,
                       ClassKind kind);

// A class that some zone authorises.
std::string site_usable_class(SiteRandom& random);
// A valid-to day: mostly open, else up to 500 days ahead.
Day site_open_or_future_end(SiteRandom& random);
inline std::string site_cost_centre(int n) {
  return site_code("K", n, 4);
}
inline std::string site_department(int n) {
  return site_code("A", n, 4);
}
