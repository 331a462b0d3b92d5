#pragma once
// The record layouts of the five download files, field by field under the names the README's
// tables give them: what the inspector decodes, shows and compares. They describe what the
// generators write; the inspector never writes a record.

#include <cstddef>
#include <span>
#include <string_view>

struct RecordField {
  const char* name;   // for people: "valid from"
  const char* key;    // for scripts: "valid_from"
  std::size_t pos;    // fixed-width records: the first place, counted from 0
  std::size_t width;  // and the number of places; both 0 for IDSTAMM's fields
};

struct RecordLayout {
  const char* function;  // "ZKDNL17P"
  std::size_t width;     // characters per record; 0: lines of quoted fields (IDSTAMM)
  std::span<const RecordField> fields;
};

// The layouts in the order of the README.
std::span<const RecordLayout> record_layouts();

// The layout of function, any letter case, or nullptr for a code that is none of the five.
const RecordLayout* record_layout(std::string_view function);

// The highest reader a function's access check asks (readers 1 to 11 for ZKDNL17P, 1 to 3
// for ZKDNL60P, 1 to 32 for ZKDNL31P and IDSTAMM; readers numbered below 1 count too), or 0
// for ZKDNL18P, which checks no access.
long record_layout_highest_reader(const RecordLayout& layout);
