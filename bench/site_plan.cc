#include "site_plan.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

std::string site_code(const char* prefix, int number, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%0*d", prefix, digits, number);
  return text;
}

std::string site_schema_name(int client) {
  return site_code("BMND", client, 2);
}
std::string site_zone(int zone) {
  return site_code("ZONE", zone, 2);
}

// Location numbers of three to five digits, so that the program's zero padding to eight
// places has different amounts to add.
std::string site_location(int index) {
  return std::to_string(100 + index * 797 % 30000);
}

std::unique_ptr<TsvFile> site_open_table(const SitePlan& plan, const std::string& schema,
                                         const TableSpec& table, std::vector<LoadEntry>& loads) {
  const std::filesystem::path dir = std::filesystem::path(plan.out_dir) / schema;
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) site_fail(dir.string() + ": " + error.message());
  loads.push_back(LoadEntry{schema, table});
  return std::make_unique<TsvFile>((dir / (std::string(table.table) + ".tsv")).string());
}
