// config_read on arbitrary files: the run's four lookups and one by a section, key and
// number taken from the input, each held against what vestragen-config's loader makes of
// the same file; and the reader's pieces on the input's own lines.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/blowfish.h"
#include "config/config_edit.h"
#include "config/config_file.h"
#include "fuzz_support.h"

namespace {

constexpr const char* kRunKeys[] = {"LOGIN", "PASS", "NET8", "SCHEMA"};

// The loader's words for a last section line without its value line, which the reader
// passes over like the end of the file.
constexpr std::string_view kOddLastLine = "is a section line without a value line";

template <std::size_t N>
bool terminated_within(const char (&text)[N]) {
  return std::memchr(text, '\0', N) != nullptr;
}

template <std::size_t N>
bool wiped(const char (&text)[N]) {
  return std::all_of(text, text + N, [](char c) { return c == '\0'; });
}

bool results_wiped() {
  return config_number == 0 && wiped(config_section) && wiped(config_key) && wiped(config_value);
}

// What decrypt_hex_string gives for a stored value, up to its first NUL as the reader copies.
std::string deciphered(const char* hex) {
  std::vector<char> plain(std::strlen(hex) / 2 + 1);
  decrypt_hex_string(hex, plain.data(), kConfigCipherKey);
  return plain.data();
}

bool matches(const ConfigFileEntry& entry, const char* section, const char* key, int number) {
  return std::strcmp(entry.fields.section, section) == 0 ||
         std::strcmp(entry.fields.key, key) == 0 || entry.number == number;
}

// One lookup. The loader reads entries with the reader's own pieces, so the reader must
// stop exactly where the loader finds the first matching entry or the first bad line.
void check_lookup(const char* section, const char* key, int number, const std::string& path,
                  const ConfigFileContents& contents) {
  const ConfigReadResult result = config_read(section, key, number, path.c_str());
  FUZZ_CHECK(terminated_within(config_section));
  FUZZ_CHECK(terminated_within(config_key));
  FUZZ_CHECK(terminated_within(config_value));

  const auto match = std::find_if(
      contents.entries.begin(), contents.entries.end(),
      [&](const ConfigFileEntry& entry) { return matches(entry, section, key, number); });
  if (match != contents.entries.end()) {
    if (std::strlen(match->fields.value) % 16 != 0) {
      FUZZ_CHECK(result.status == ConfigStatus::kBadCipherText);
      FUZZ_CHECK(result.line == match->line + 1);
      FUZZ_CHECK(results_wiped());
      return;
    }
    FUZZ_CHECK(result.status == ConfigStatus::kOk);
    FUZZ_CHECK(result.line == match->line);
    FUZZ_CHECK(std::strcmp(config_section, match->fields.section) == 0);
    FUZZ_CHECK(std::strcmp(config_key, match->fields.key) == 0);
    FUZZ_CHECK(config_number == match->number);
    // Whole blocks of a value field of at most 200 hex digits.
    FUZZ_CHECK(std::strlen(config_value) <= kConfigFieldMax / 2);
    FUZZ_CHECK(deciphered(match->fields.value) == config_value);
    return;
  }
  if (contents.problem_line != 0 && !contents.problem.starts_with(kOddLastLine)) {
    FUZZ_CHECK(result.status == ConfigStatus::kMalformed);
    FUZZ_CHECK(result.line == contents.problem_line);
    FUZZ_CHECK(results_wiped());
    return;
  }
  FUZZ_CHECK(result.status == ConfigStatus::kOk);
  FUZZ_CHECK(result.line == 0);
  FUZZ_CHECK(results_wiped());
}

// A piece of the input as a lookup argument: the reader compares whole fields, so slices
// of the file's own text are what can match.
std::string slice(FuzzedDataProvider& choices, std::string_view text) {
  const std::size_t start = choices.ConsumeIntegralInRange<std::size_t>(0, text.size());
  const std::size_t length = choices.ConsumeIntegralInRange<std::size_t>(0, 40);
  const std::string piece(text.substr(start, length));
  return piece.substr(0, piece.find('\0'));
}

int reference_nth_char(std::string_view text, char c, int n) {
  int last = -1;
  int count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != c) continue;
    last = static_cast<int>(i);
    if (++count == n) break;
  }
  return last;
}

// copy_substring into a heap buffer of exactly the size it is documented to need, so
// that AddressSanitizer sees a byte written past it.
std::string copied(const char* text, int start, int count) {
  const std::size_t rest = std::strlen(text) - static_cast<std::size_t>(start);
  const std::size_t size = count == 0 ? rest + 1 : static_cast<std::size_t>(count) + 1;
  const std::unique_ptr<char[]> destination(new char[size]);
  copy_substring(text, start, count, destination.get());
  FUZZ_CHECK(std::memchr(destination.get(), '\0', size) != nullptr);
  return destination.get();
}

// The pieces on one line (a terminated text without NUL bytes inside).
void check_pieces(FuzzedDataProvider& choices, const std::string& line) {
  const char* text = line.c_str();
  const int length = static_cast<int>(line.size());

  // As config_take_fields uses them: the field between the first two separators.
  const int first = find_nth_char(text, ';', 1);
  const int second = find_nth_char(text, ';', 2);
  FUZZ_CHECK(first == reference_nth_char(line, ';', 1));
  FUZZ_CHECK(second == reference_nth_char(line, ';', 2));
  if (first >= 0 && second > first + 1) {
    const int count = second - first - 1;
    FUZZ_CHECK(copied(text, first + 1, count) == line.substr(first + 1, count));
  }

  const char c = choices.ConsumeIntegral<char>();
  const int n = choices.ConsumeIntegralInRange<int>(-1, 8);
  FUZZ_CHECK(find_nth_char(text, c, n) == reference_nth_char(line, c, n));

  // Any start within the text and any count that stays within it; 0 copies to the end.
  const int start = choices.ConsumeIntegralInRange<int>(0, length);
  const int count = choices.ConsumeIntegralInRange<int>(0, length - start);
  const std::string expected = line.substr(start, count == 0 ? std::string::npos : count);
  FUZZ_CHECK(copied(text, start, count) == expected);

  // A start behind the text or a negative start or count copies nothing.
  const int bad_start = choices.ConsumeBool() ? length + choices.ConsumeIntegralInRange<int>(1, 3)
                                              : choices.ConsumeIntegralInRange<int>(-3, -1);
  char nothing[1] = {'x'};
  copy_substring(text, bad_start, 0, nothing);
  FUZZ_CHECK(nothing[0] == '\0');
  nothing[0] = 'x';
  copy_substring(text, start, choices.ConsumeIntegralInRange<int>(-3, -1), nothing);
  FUZZ_CHECK(nothing[0] == '\0');

  // config_number_from_text reads like atoi, clamped instead of overflowing.
  errno = 0;
  const long long wide = std::strtoll(text, nullptr, 10);
  const long long clamped = std::clamp<long long>(wide, INT_MIN, INT_MAX);
  FUZZ_CHECK(config_number_from_text(text) == static_cast<int>(clamped));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static const std::string path = fuzz_temp_path("korvandel.ini");
  fuzz_write_file(path, text);

  ConfigFileContents contents;
  std::string error;
  FUZZ_CHECK(config_load_file(path.c_str(), contents, &error) == ConfigLoadStatus::kLoaded);

  for (const char* key : kRunKeys) {
    check_lookup("", key, 0, path, contents);
  }
  // The choices come from the end of the input, the file is all of it: a mutation of the
  // end steers both, which libFuzzer copes with.
  FuzzedDataProvider choices(data, size);
  const int number = choices.ConsumeBool() ? choices.ConsumeIntegral<int>()
                                           : choices.ConsumeIntegralInRange<int>(-1, 5);
  const std::string section = slice(choices, text);
  const std::string key = slice(choices, text);
  check_lookup(section.c_str(), key.c_str(), number, path, contents);

  std::size_t begin = 0;
  for (int lines = 0; begin < text.size() && lines < 64; ++lines) {
    const std::size_t end = std::min(text.find('\n', begin), text.size());
    const std::string_view line = text.substr(begin, end - begin);
    check_pieces(choices, std::string(line.substr(0, line.find('\0'))));
    begin = end + 1;
  }
  return 0;
}
