#include "generators/record_fields.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>

void record_put(std::string& record, std::size_t pos, std::string_view text) {
  if (pos >= record.size()) return;
  record.replace(pos, std::min(text.size(), record.size() - pos),
                 text.substr(0, record.size() - pos));
}

void put_field(std::string& record, std::size_t pos, std::size_t width, std::string_view text) {
  record_put(record, pos, text.substr(0, width));
}

void zero_if_blank(std::string& record, std::size_t pos) {
  if (record.compare(pos, 8, "        ") == 0) record.replace(pos, 8, "00000000");
}

bool slot_names_reader(const char* slot) {
  return std::isdigit(static_cast<unsigned char>(slot[0])) != 0;
}

void put_badge_rights(std::string& record, const BadgeRecord& badge, std::string_view value,
                      std::size_t readers) {
  constexpr std::size_t kNumberWidth = 13;
  constexpr std::size_t kFirstGroup = 30;
  constexpr std::size_t kGroupWidth = 5;
  put_field(record, 0, kNumberWidth, badge.AswNum);
  put_field(record, 13, 8, badge.AswGvo);
  zero_if_blank(record, 13);
  const bool access = std::strcmp(badge.access_flag, "1") == 0;
  record[21] = std::strcmp(badge.time_flag, "1") == 0 ? '1' : '0';
  record[22] = access ? '1' : '0';
  put_field(record, 23, 7, value);
  if (!access) return;
  for (std::size_t i = 0; i < readers && i < std::size(badge.reader_slots); ++i) {
    if (!slot_names_reader(badge.reader_slots[i])) continue;
    const std::size_t group = kFirstGroup + i * kGroupWidth;
    put_field(record, group, 2, badge.reader_slots[i]);
    put_field(record, group + 2, 3, badge.AswBkl);
  }
}
