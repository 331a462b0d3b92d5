#include "inspect/record_layout.h"

#include <strings.h>

#include <string>

namespace {

constexpr RecordField kZkdnl17p[] = {
    {"badge number", "badge_number", 0, 13},
    {"valid from", "valid_from", 13, 8},
    {"time recording", "time_recording", 21, 1},
    {"access", "access", 22, 1},
    {"value", "value", 23, 7},
    {"reader 1", "reader_1", 30, 5},
    {"reader 2", "reader_2", 35, 5},
    {"reader 3", "reader_3", 40, 5},
    {"reader 4", "reader_4", 45, 5},
    {"reader 5", "reader_5", 50, 5},
    {"reader 6", "reader_6", 55, 5},
    {"reader 7", "reader_7", 60, 5},
    {"reader 8", "reader_8", 65, 5},
    {"reader 9", "reader_9", 70, 5},
    {"reader 10", "reader_10", 75, 5},
    {"reader 11", "reader_11", 80, 5},
};

// A slot is a label of 13 places and a value of 7; the date of "#W1" is 8 places from the
// label's last one on (download_decode moves that place over).
constexpr RecordField kZkdnl18p[] = {
    {"badge number", "badge_number", 0, 13},  {"slot 1 label", "slot_1_label", 13, 13},
    {"slot 1 value", "slot_1_value", 26, 7},  {"slot 2 label", "slot_2_label", 33, 13},
    {"slot 2 value", "slot_2_value", 46, 7},  {"slot 3 label", "slot_3_label", 53, 13},
    {"slot 3 value", "slot_3_value", 66, 7},  {"slot 4 label", "slot_4_label", 73, 13},
    {"slot 4 value", "slot_4_value", 86, 7},  {"slot 5 label", "slot_5_label", 93, 13},
    {"slot 5 value", "slot_5_value", 106, 7}, {"slot 6 label", "slot_6_label", 113, 13},
    {"slot 6 value", "slot_6_value", 126, 7}, {"slot 7 label", "slot_7_label", 133, 13},
    {"slot 7 value", "slot_7_value", 146, 7}, {"slot 8 label", "slot_8_label", 153, 13},
    {"slot 8 value", "slot_8_value", 166, 7},
};

constexpr RecordField kZkdnl31p[] = {
    {"badge number", "badge_number", 0, 13},
    {"valid from", "valid_from", 13, 8},
    {"valid to", "valid_to", 21, 8},
    {"time recording", "time_recording", 29, 1},
    {"access", "access", 30, 1},
    {"fixed text", "fixed_text", 31, 8},
    {"fixed code", "fixed_code", 39, 3},
    {"class", "class", 42, 3},
    {"location", "location", 45, 3},
};

constexpr RecordField kZkdnl60p[] = {
    {"badge number", "badge_number", 0, 13},
    {"valid from", "valid_from", 13, 8},
    {"time recording", "time_recording", 21, 1},
    {"access", "access", 22, 1},
    {"value", "value", 23, 7},
    {"reader 1", "reader_1", 30, 5},
    {"reader 2", "reader_2", 35, 5},
    {"reader 3", "reader_3", 40, 5},
};

constexpr RecordField kIdstamm[] = {
    {"badge number", "badge_number", 0, 0},
    {"valid from", "valid_from", 0, 0},
    {"valid to", "valid_to", 0, 0},
    {"location", "location", 0, 0},
    {"time recording", "time_recording", 0, 0},
    {"access", "access", 0, 0},
    {"language", "language", 0, 0},
    {"balance list", "balance_list", 0, 0},
    {"fixed code", "fixed_code", 0, 0},
    {"class", "class", 0, 0},
    {"spare", "spare", 0, 0},
    {"person", "person", 0, 0},
    {"badge type", "badge_type", 0, 0},
};

constexpr RecordLayout kLayouts[] = {
    {"ZKDNL17P", 85, kZkdnl17p}, {"ZKDNL18P", 173, kZkdnl18p}, {"ZKDNL31P", 48, kZkdnl31p},
    {"ZKDNL60P", 45, kZkdnl60p}, {"IDSTAMM", 0, kIdstamm},
};

}  // namespace

std::span<const RecordLayout> record_layouts() {
  return kLayouts;
}

const RecordLayout* record_layout(std::string_view function) {
  const std::string code(function);
  for (const RecordLayout& layout : kLayouts) {
    if (strcasecmp(code.c_str(), layout.function) == 0) return &layout;
  }
  return nullptr;
}

long record_layout_highest_reader(const RecordLayout& layout) {
  const std::string_view function = layout.function;
  if (function == "ZKDNL17P") return 11;
  if (function == "ZKDNL60P") return 3;
  if (function == "ZKDNL18P") return 0;
  return 32;
}
