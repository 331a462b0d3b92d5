#pragma once
// A temporary directory per test and whole-file reads and writes, for the configuration
// tests.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "config/blowfish.h"

class ScopedTempDir {
 public:
  ScopedTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vestragen-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScopedTempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

inline void write_file(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

inline std::string read_file(const std::string& path) {
  std::ostringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

// The two lines of an entry whose value enciphers plain, line feeds as given.
inline std::string config_entry(std::string_view section, std::string_view number,
                                std::string_view key, std::string_view plain,
                                std::string_view line_end = "\n") {
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on ";" + std::string at -O2.
  std::string entry = ";";
  entry.append(section).append(";").append(line_end).append(number).append(";").append(key);
  return entry.append(";").append(encrypt_to_hex_string(plain, kConfigCipherKey)).append(line_end);
}
