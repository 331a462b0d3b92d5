#include "config/config_file.h"

#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "config/blowfish.h"

// Results of config_read. The run reads them right after each call; one thread.
int config_number = 0;
char config_section[201];
char config_key[201];
char config_value[201];

namespace {

struct FileClose {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileClose>;

// Line buffers and fields hold the hex text of values, which anyone with the fixed key
// can decipher, so they are wiped like the plain values.
struct WipeOnExit {
  void* p;
  std::size_t n;
  ~WipeOnExit() { secure_wipe(p, n); }
};

void clear_results() {
  config_number = 0;
  secure_wipe(config_section, sizeof config_section);
  secure_wipe(config_key, sizeof config_key);
  secure_wipe(config_value, sizeof config_value);
}

// A count of 0 means an empty field here, unlike copy_substring's "to the end".
bool take_field(const char* line, int start, int count, char* destination, std::size_t max) {
  if (static_cast<std::size_t>(count) > max) return false;
  if (count > 0) {
    copy_substring(line, start, count, destination);
  } else {
    destination[0] = '\0';
  }
  return true;
}

bool has_two_separators(int first, int second) {
  return first >= 0 && second != first;
}

bool is_c_space(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

int find_nth_char(const char* text, char c, int n) {
  int last = -1;
  int count = 0;
  for (int i = 0; text[i] != '\0'; ++i) {
    if (text[i] == c) {
      last = i;
      if (++count == n) return i;
    }
  }
  return last;
}

void copy_substring(const char* text, int start, int count, char* destination) {
  const std::size_t length = std::strlen(text);
  if (start < 0 || count < 0 || static_cast<std::size_t>(start) > length) {
    destination[0] = '\0';
    return;
  }
  const std::size_t available = length - static_cast<std::size_t>(start);
  const std::size_t n = count == 0 || static_cast<std::size_t>(count) > available
                            ? available
                            : static_cast<std::size_t>(count);
  std::memcpy(destination, text + start, n);
  destination[n] = '\0';
}

ConfigLineStatus config_read_line(std::FILE* file, std::size_t limit, char* text,
                                  bool* cr_dropped) {
  std::size_t length = 0;
  *cr_dropped = false;
  for (;;) {
    int c = std::getc(file);
    if (c == EOF) break;
    if (c == '\r') {
      const int next = std::getc(file);
      if (next == '\n') {
        c = '\n';
        *cr_dropped = true;
      } else if (next != EOF) {
        std::ungetc(next, file);
      }
    }
    if (c == '\0') return ConfigLineStatus::kHasNul;
    if (length == limit) return ConfigLineStatus::kTooLong;
    text[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  text[length] = '\0';
  if (length == 0) return ConfigLineStatus::kEnd;
  // Without its line feed the line needs room for the one the reader appends.
  if (text[length - 1] != '\n' && length == limit) return ConfigLineStatus::kTooLong;
  return ConfigLineStatus::kLine;
}

int config_take_fields(const char* section_line, const char* value_line,
                       ConfigEntryFields& fields) {
  fields.section[0] = fields.number_text[0] = fields.key[0] = fields.value[0] = '\0';

  int first = find_nth_char(section_line, ';', 1);
  int second = find_nth_char(section_line, ';', 2);
  if (!has_two_separators(first, second) ||
      !take_field(section_line, first + 1, second - first - 1, fields.section, kConfigFieldMax)) {
    return 1;
  }

  char line[kConfigValueLineMax + 1];
  WipeOnExit wipe_line{line, sizeof line};
  std::size_t length = std::strlen(value_line);
  if (length > kConfigValueLineMax) return 2;
  std::memcpy(line, value_line, length + 1);
  // The last line of a file may lack its line feed; with one appended the value ends at
  // the same place as on every other line.
  if (length == 0 || line[length - 1] != '\n') {
    if (length == kConfigValueLineMax) return 2;
    line[length++] = '\n';
    line[length] = '\0';
  }
  first = find_nth_char(line, ';', 1);
  second = find_nth_char(line, ';', 2);
  if (!has_two_separators(first, second) ||
      !take_field(line, 0, first, fields.number_text, kConfigNumberFieldMax) ||
      !take_field(line, first + 1, second - first - 1, fields.key, kConfigFieldMax)) {
    return 2;
  }
  // Everything behind the second ";" up to the line feed; further ";" belong to the value.
  // An empty value gives a count of 0, which copies the line feed too: kept, so that such
  // an entry fails as a bad cipher text the way it always has.
  const int value_count = static_cast<int>(length) - second - 2;
  if (static_cast<std::size_t>(value_count) > kConfigFieldMax) return 2;
  copy_substring(line, second + 1, value_count, fields.value);
  return 0;
}

int config_number_from_text(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (is_c_space(*p)) {
    ++p;
  }
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long magnitude = 0;
  const long long cap = static_cast<long long>(INT_MAX) + 1;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > cap) magnitude = cap;
  }
  if (negative) return static_cast<int>(-magnitude);
  return static_cast<int>(magnitude > INT_MAX ? INT_MAX : magnitude);
}

ConfigReadResult config_read(const char* section, const char* key, int number, const char* path) {
  clear_results();
  // Binary, because the carriage returns are dropped by config_read_line on every system.
  FilePtr file(std::fopen(path, "rb"));
  if (!file) return {ConfigStatus::kCannotOpen, 0};

  char section_line[kConfigSectionLineMax + 1];
  char value_line[kConfigValueLineMax + 1];
  ConfigEntryFields fields;
  WipeOnExit wipe_value_line{value_line, sizeof value_line};
  WipeOnExit wipe_fields{&fields, sizeof fields};
  bool cr_dropped = false;
  // An odd last line has no value line and is ignored like the end of the file.
  const auto end_of_file = [&file]() -> ConfigReadResult {
    if (std::ferror(file.get())) return {ConfigStatus::kCannotOpen, 0};
    return {};
  };
  for (int line = 1;; line += 2) {
    ConfigLineStatus status =
        config_read_line(file.get(), kConfigSectionLineMax, section_line, &cr_dropped);
    if (status == ConfigLineStatus::kEnd) return end_of_file();
    if (status != ConfigLineStatus::kLine) return {ConfigStatus::kMalformed, line};
    status = config_read_line(file.get(), kConfigValueLineMax, value_line, &cr_dropped);
    if (status == ConfigLineStatus::kEnd) return end_of_file();
    if (status != ConfigLineStatus::kLine) return {ConfigStatus::kMalformed, line + 1};

    const int bad_line = config_take_fields(section_line, value_line, fields);
    if (bad_line != 0) return {ConfigStatus::kMalformed, line + bad_line - 1};
    const int entry_number = config_number_from_text(fields.number_text);
    // Any one of the three is enough; stored files rely on the wide matches.
    if (std::strcmp(fields.section, section) != 0 && std::strcmp(fields.key, key) != 0 &&
        entry_number != number) {
      continue;
    }
    const std::size_t hex_length = std::strlen(fields.value);
    if (hex_length % 16 != 0) return {ConfigStatus::kBadCipherText, line + 1};
    std::vector<char> plain(hex_length + 1);
    decrypt_hex_string(fields.value, plain.data(), kConfigCipherKey);
    // At most hex_length / 2 <= 100 characters: fits config_value.
    std::strcpy(config_value, plain.data());
    secure_wipe(plain.data(), plain.size());
    std::strcpy(config_section, fields.section);
    std::strcpy(config_key, fields.key);
    config_number = entry_number;
    return {ConfigStatus::kOk, line};
  }
}
