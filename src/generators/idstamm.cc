#include "generators/idstamm.h"

#include <cstring>
#include <string_view>

#include "db/staging.h"
#include "generators/badge_walk.h"
#include "generators/refusals.h"
#include "lookup/access_class.h"
#include "lookup/attributes.h"
#include "lookup/readers.h"

namespace {

constexpr long kHighestReader = 32;
constexpr std::size_t kNumberWidth = sizeof BadgeRecord{}.AswNum - 1;

// Field 4: the location number without its first three of eight places; a location 0 or
// none at all gives an empty field.
std::string_view location_field(const BadgeRecord& badge) {
  const std::string_view location = badge.AwvSto;
  if (location.size() < 3) return {};
  const std::string_view last_five = location.substr(3);
  return last_five == "00000" ? std::string_view{} : last_five;
}

// Handles one fetched badge; true when its line was staged.
bool handle_badge(BadgeRecord& badge, const char* path, const char* terminal) {
  std::memset(record_buffer, 0, sizeof record_buffer);
  const bool has_class = access_class_resolve(badge) == 1;
  if (!has_class) std::strcpy(badge.AswBkl, "0");
  // Unlike the access records, the export asks about access also for a badge without class.
  const bool access = terminal_access_check(badge, terminal, kHighestReader, false);
  if (refuse_without_time_or_access(badge, terminal, access)) return false;
  std::strcpy(badge.fixed_code, "001");
  // A person that is not found leaves language and balance list empty.
  (void)person_attributes(badge);
  if (refuse_unfit(badge, kNumberWidth, false, false)) return false;
  const std::string line = idstamm_format(badge);
  if (line.size() > kRecordBufferSize - 1) {
    print_refusal(badge, "Zeile (max. 512 Zeichen)");
    return false;
  }
  return record_stage(path, badge, line);
}

}  // namespace

std::string idstamm_format(const BadgeRecord& badge) {
  const std::string_view fields[] = {
      badge.AswNum,      badge.AswGvo, badge.AswGbi, location_field(badge), badge.time_flag,
      badge.access_flag, badge.PnrSpr, badge.PnrSal, badge.fixed_code,      badge.AswBkl,
      badge.spare_text,  badge.AswPnr, badge.AswAtp};
  std::string line;
  for (const std::string_view field : fields) {
    if (!line.empty()) line += ',';
    line += '"';
    line += field;
    line += '"';
  }
  line += '\n';
  return line;
}

int idstamm_generate(const char* path, const char* terminal, const char* schema) {
  return for_each_badge(
      path, schema, [&](BadgeRecord& badge) { return handle_badge(badge, path, terminal); },
      person_attributes_read_ahead);
}
