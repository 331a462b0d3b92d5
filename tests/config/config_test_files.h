#pragma once
// The configuration file's entries as the tests write them.

#include <string>
#include <string_view>

#include "config/blowfish.h"

// The two lines of an entry whose value enciphers plain, line feeds as given.
inline std::string config_entry(std::string_view section, std::string_view number,
                                std::string_view key, std::string_view plain,
                                std::string_view line_end = "\n") {
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on ";" + std::string at -O2.
  std::string entry = ";";
  entry.append(section).append(";").append(line_end).append(number).append(";").append(key);
  return entry.append(";").append(encrypt_to_hex_string(plain, kConfigCipherKey)).append(line_end);
}
