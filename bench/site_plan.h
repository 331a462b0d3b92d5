#pragma once
// What the benchmark site consists of: its size, and the names and code tables that the
// central and the client parts of the generator must agree on.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "site_random.h"
#include "tsv_file.h"

struct SitePlan {
  std::vector<long long> badges;  // badge count of each client schema, client 1 first
  std::uint64_t seed = 1;
  std::string out_dir;
};

// How a table's file is loaded: its columns in file order, and the SET part that turns the
// day offsets the files hold (user variables such as @gvo) into dates relative to the day of
// loading, so that the site is valid on the day it is loaded whenever it was generated.
struct TableSpec {
  const char* table;
  const char* columns;
  const char* set_clause;  // empty: none
};

struct LoadEntry {
  std::string schema;
  TableSpec table;
};

// Opens DIR/SCHEMA/TABLE.tsv and notes it for the load script.
std::unique_ptr<TsvFile> site_open_table(const SitePlan& plan, const std::string& schema,
                                         const TableSpec& table, std::vector<LoadEntry>& loads);

inline constexpr const char* kCentralSchema = "KvBasis";
inline constexpr const char* kBenchTerminal = "BENCH1";
inline constexpr const char* kSecondTerminal = "BENCH2";
inline constexpr int kLicence = 1;  // MndLiz of every client

// Access classes "1" to "40": 1 to 32 are authorised in some zone, 33 to 36 only by withdrawn
// rows (status 4 or 8), 37 to 40 nowhere.
inline constexpr int kClassCount = 40;
inline constexpr int kAuthorisedClasses = 32;
inline constexpr int kZoneCount = 8;
inline constexpr int kBenchReaders = 16;  // readers 2z-1 and 2z in zone z
inline constexpr int kLocationCount = 50;

std::string site_schema_name(int client);  // "BMND01"
std::string site_zone(int zone);           // "ZONE01" (a zone code holds at most 7 characters)
std::string site_location(int index);      // location number of index 0 .. kLocationCount-1

// The per-client code tables the class sources work on. "Live" keys have a valid assignment
// in Kvb408Bzu, "dead" keys none (or only an expired, future or withdrawn one).
inline constexpr int kLiveGroups = 20, kDeadGroups = 20;             // GZnn, GNnn
inline constexpr int kCostCentres = 200;                             // Knnnn
inline constexpr int kLiveCostCentres = 40;                          // K0001..K0040
inline constexpr int kGroupedCostCentres = 40;                       // K0041..K0080 in VKnn
inline constexpr int kDepartments = 200;                             // Annnn
inline constexpr int kLiveDepartments = 40;                          // A0001..A0040
inline constexpr int kListedDepartments = 40;                        // A0041..A0080 in VAnn
inline constexpr int kLiveEntryKeys = 20, kDeadEntryKeys = 5;        // AKRnn, AKNnn
inline constexpr int kCostCentreGroups = 10, kDepartmentLists = 10;  // VKnn, VAnn
// A cost centre in a live group and a department in a live list, both withdrawn (status 8):
// some persons without a class point at them.
inline constexpr const char* kWithdrawnCostCentre = "K0201";
inline constexpr const char* kWithdrawnDepartment = "A0201";

std::string site_code(const char* prefix, int number, int digits);  // ("K", 7, 4) gives K0007

// Writes the central schema's small tables (clients, terminals, readers, zones, balance
// lists, texts, locations).
void site_write_central(const SitePlan& plan, std::vector<LoadEntry>& loads);

// Writes the badges and locations of every client into the central schema and each client
// schema's own tables.
void site_write_clients(const SitePlan& plan, SiteRandom& random, std::vector<LoadEntry>& loads);

// Writes DIR/load-SCHEMA.sql for each schema and DIR/load.sh.
void site_write_load_script(const SitePlan& plan, const std::vector<LoadEntry>& loads);
