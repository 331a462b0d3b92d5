#include "generators/record_fields.h"

#include <algorithm>
#include <cctype>

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

const char* flag_text(bool set) {
  return set ? "1" : "0";
}

bool slot_names_reader(const char* slot) {
  return std::isdigit(static_cast<unsigned char>(slot[0])) != 0;
}
