// Writes the seed inputs of the fuzz targets into DIR/<target>/, values enciphered with the
// real cipher. Run by hand when the seeds must change: fuzz_make_seeds fuzz/corpus

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "config/blowfish.h"

namespace {

std::string hex(std::string_view plain) {
  return encrypt_to_hex_string(plain, kConfigCipherKey);
}

std::string entry(std::string_view section, std::string_view number, std::string_view key,
                  std::string_view value_field, std::string_view line_end = "\n") {
  std::string text = ";";
  text.append(section).append(";").append(line_end);
  return text.append(number)
      .append(";")
      .append(key)
      .append(";")
      .append(value_field)
      .append(line_end);
}

// What vestragen-config setup writes: the run's four values, the SCHEMA name with its blank.
std::string setup_file(std::string_view line_end = "\n") {
  return entry("VESTRAGEN", "1", "LOGIN", hex("scott"), line_end) +
         entry("VESTRAGEN", "2", "PASS", hex("tiger"), line_end) +
         entry("VESTRAGEN", "3", "NET8", hex("dbhost"), line_end) +
         entry("VESTRAGEN", "4", "SCHEMA", hex("MNDA "), line_end);
}

// An input of fuzz_record_formats as FuzzedDataProvider takes it apart: after the byte
// that chooses the formatter, texts are read from the front and the numbers (lengths,
// choices) from the back, the first number from the last byte.
class FormatSeed {
 public:
  explicit FormatSeed(std::uint8_t formatter) : formatter_(formatter) {}

  // A text of fuzz_fill_field or of a length taken by one byte.
  FormatSeed& text(std::string_view value) {
    number(static_cast<std::uint8_t>(value.size()));
    front_.append(value);
    return *this;
  }
  FormatSeed& number(std::uint8_t byte) {
    back_.push_back(byte);
    return *this;
  }
  FormatSeed& flag(bool set) { return number(set ? 1 : 0); }
  FormatSeed& bytes(std::string_view value) {
    front_.append(value);
    return *this;
  }

  // fuzz_fill_badge's fields in its order; the rest of the badge empty.
  FormatSeed& badge(const std::vector<std::string>& fields, const std::vector<std::string>& slots) {
    for (std::size_t i = 0; i < 17; ++i)
      text(i < fields.size() ? fields[i] : "");
    for (int i = 0; i < 9; ++i)
      text(i < 2 ? "  1,30 " : "");
    for (int i = 0; i < 6; ++i)
      text(" 12,50 ");
    for (std::size_t i = 0; i < 11; ++i)
      text(i < slots.size() ? slots[i] : "");
    return number(15);  // no value too long
  }

  std::string bytes() const {
    std::string input(1, static_cast<char>(formatter_));
    input += front_;
    input.append(back_.rbegin(), back_.rend());
    return input;
  }

 private:
  std::uint8_t formatter_;
  std::string front_;
  std::vector<std::uint8_t> back_;
};

// The formatters' numbers in fuzz_record_formats.
enum : std::uint8_t { kZkdnl17p, kZkdnl60p, kZkdnl31p, kZkdnl18p, kIdstamm, kDownload, kValues };

// A badge as the generators leave it: number, from, to, time flag, access flag, balance
// list, language, fixed code, class, location text, location number, group, person.
const std::vector<std::string> kBadge = {"4711",     "20240301", "20991231", "1",   "1",
                                         "SAL1",     "2",        "001",      "5  ", "HAL",
                                         "00000123", "G1",       "P1"};
const std::vector<std::string> kWideBadge = {std::string(50, 'N'),
                                             std::string(14, '9'),
                                             std::string(14, '8'),
                                             "1",
                                             "1",
                                             std::string(10, 'S'),
                                             "9999",
                                             std::string(9, 'F'),
                                             "12345",
                                             "ABC",
                                             "12345678",
                                             "GGGGG",
                                             "PPPPPPPP",
                                             std::string(50, 'x'),
                                             "99"};
const std::vector<std::string> kSlots = {"01", "02", "  ", "04", "05", "06",
                                         "07", "08", "09", "10", "11"};

template <typename T>
std::string raw(T value) {
  std::string bytes(sizeof value, '\0');
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

std::string values_seed(long minutes, double figure) {
  return std::string(1, static_cast<char>(kValues)) + raw(minutes) + raw(figure);
}

// A ZKDNL18P list: eight slots with label, mark, code; today's date and the model given.
std::string balance_seed(bool left_half_only, int mark) {
  const char* codes[] = {"#W2", "#W1", "#W3", "#W9", "#W16", "#W8", "#W1", "#W17"};
  FormatSeed seed(kZkdnl18p);
  seed.badge(kBadge, kSlots).flag(true);  // today "05.03.27"
  for (int n = 0; n < 8; ++n) {
    seed.number(static_cast<std::uint8_t>(mark))
        .text(std::string("Saldo ") + static_cast<char>('A' + n) + "      ")
        .flag(false)
        .text(codes[n])
        .flag(true);  // the value the code selects
  }
  return seed.flag(true).flag(left_half_only).bytes();
}

std::string download_seed(int width, bool fixed, std::string_view record) {
  const int value = width + 2;
  return FormatSeed(kDownload)
      .number(static_cast<std::uint8_t>(value >> 8))
      .number(static_cast<std::uint8_t>(value & 0xFF))
      .flag(fixed)
      .text("")
      .bytes(record)
      .bytes();
}

bool write_seed(const std::filesystem::path& dir, const char* name, std::string_view bytes) {
  std::filesystem::create_directories(dir);
  const std::string path = (dir / name).string();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds DIR\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  using namespace std::string_literals;
  const std::string setup = setup_file();
  const std::string setup_crlf = setup_file("\r\n");
  const std::string without_last_lf = setup.substr(0, setup.size() - 1);
  const std::string odd_last_line = setup + ";VESTRAGEN;\n";
  const std::string wide_match = entry("", "0", "OTHER", hex("wide")) + setup;
  const std::string with_nul = entry("VEST\0RAGEN"s, "1", "LOGIN", hex("scott")) + setup;
  // Section line at its limit of 199 with the line feed; value line at 399.
  // (11 + 1 + 193 + 1 + 192 + 1), the longest value that fits its field.
  const std::string long_lines = entry(std::string(196, 'S'), "00000000001", std::string(193, 'K'),
                                       hex(std::string(90, 'v'))) +
                                 setup;
  const std::string too_long = ";" + std::string(200, 'S') + ";\n1;LOGIN;" + hex("scott") + "\n";
  const std::string odd_fields = entry("VESTRAGEN", " +0012", "LOGIN", hex("a") + ";more") +
                                 entry("VESTRAGEN", "-5", "PASS", "ABCDEF") +
                                 entry("VESTRAGEN", "99999999999", "NET8", "") + setup;
  std::string lower_case = setup;
  for (char& c : lower_case) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  }

  const std::filesystem::path read = root / "fuzz_config_read";
  const std::filesystem::path hex_dir = root / "fuzz_hex_decrypt";
  const std::filesystem::path tool = root / "fuzz_config_tool";
  const std::string fifty(50, 'v');
  const std::filesystem::path formats = root / "fuzz_record_formats";
  std::string no_location = FormatSeed(kIdstamm).badge(kBadge, kSlots).bytes();
  std::vector<std::string> zero_location_badge = kBadge;
  zero_location_badge[10] = "00000000";
  const struct {
    const std::filesystem::path& dir;
    const char* name;
    std::string bytes;
  } seeds[] = {
      {read, "setup-lf", setup},
      {read, "setup-crlf", setup_crlf},
      {read, "no-last-line-feed", without_last_lf},
      {read, "odd-line-count", odd_last_line},
      {read, "wide-match-first", wide_match},
      {read, "nul-byte", with_nul},
      {read, "lines-at-limit", long_lines},
      {read, "line-too-long", too_long},
      {read, "odd-fields", odd_fields},
      {read, "lower-case-hex", lower_case},
      {hex_dir, "one-block", hex("scott")},
      {hex_dir, "empty-value", hex("")},
      {hex_dir, "fifty", hex(fifty)},
      {hex_dir, "lower-case", "8d1e3f0a9b7c6d5e"},
      {hex_dir, "partial-block", hex("scott").substr(0, 15)},
      {hex_dir, "block-and-a-half", hex("scott") + "01234567"},
      {hex_dir, "not-hex", "GHIJKLMNOPQRSTUV"},
      {hex_dir, "plain-nul-key", "password\0QELMARV\0"s},
      {tool, "set-login", "set\nVESTRAGEN\n1\nLOGIN\nscott\0\0"s + setup},
      {tool, "setup-new-file", "setup\nscott\n-\ndbhost\nMNDA\0tiger\n"s},
      {tool, "list-crlf", "list\0\0"s + setup_crlf},
      {tool, "list-wide", "list\n--show-password\0\0"s + wide_match},
      {tool, "set-pass-input", "set\nVESTRAGEN\n2\nPASS\n-\0secret\r\n\0"s + without_last_lf},
      {tool, "set-odd-lines", "set\nOTHER\n7\nSCHEMA\nMNDB\0\0"s + odd_last_line},
      {tool, "setup-nul-file", "setup\na\nb\nc\nd\0\0"s + with_nul},
      {tool, "set-number-zero", "set\nVESTRAGEN\n0\nLOGIN\nx\0\0"s + setup},
      {tool, "set-max", "set\nS\n2147483647\nK\n"s + fifty + "\0\0"s},
      {tool, "set-behind-wide", "set\nVESTRAGEN\n1\nLOGIN\nnew\0\0"s + wide_match},
      {tool, "setup-last-line-open", "setup\na\nb\nc\nd\0\0;VESTRAGEN;\n1;LOGIN;ABCD"s},
      {tool, "setup-behind-bad-cipher", "setup\na\nb\nc\nd\0\0;X;\n0;Y;ABCD\n"s},
      {formats, "zkdnl17p-location",
       FormatSeed(kZkdnl17p).badge(kBadge, kSlots).flag(true).bytes()},
      {formats, "zkdnl17p-wide",
       FormatSeed(kZkdnl17p).badge(kWideBadge, kSlots).flag(false).bytes()},
      {formats, "zkdnl60p-w9",
       FormatSeed(kZkdnl60p).badge(kBadge, kSlots).flag(true).number(8).bytes()},
      {formats, "zkdnl60p-odd-code",
       FormatSeed(kZkdnl60p).badge(kWideBadge, kSlots).flag(false).text("#W2 ").bytes()},
      {formats, "zkdnl31p", FormatSeed(kZkdnl31p).badge(kBadge, {}).bytes()},
      {formats, "zkdnl31p-wide", FormatSeed(kZkdnl31p).badge(kWideBadge, {}).bytes()},
      {formats, "zkdnl18p", balance_seed(false, 1)},
      {formats, "zkdnl18p-shifted-7598", balance_seed(true, 2)},
      {formats, "idstamm", no_location},
      {formats, "idstamm-location-zero",
       FormatSeed(kIdstamm).badge(zero_location_badge, {}).bytes()},
      {formats, "idstamm-wide", FormatSeed(kIdstamm).badge(kWideBadge, {}).bytes()},
      {formats, "download-fixed", download_seed(48, true, std::string(45, 'R'))},
      {formats, "download-line", download_seed(0, false, "\"4711\",\"\"\na\nb")},
      {formats, "values-extremes", values_seed(LONG_MIN, std::numeric_limits<double>::quiet_NaN())},
      {formats, "values-max", values_seed(LONG_MAX, std::numeric_limits<double>::infinity())},
      {formats, "values-edges", values_seed(59999, 1e308)},
      {formats, "values-lead", values_seed(-600, std::numeric_limits<double>::denorm_min())},
      {formats, "values-rounding", values_seed(9995, 9.995)},
  };
  for (const auto& seed : seeds) {
    if (!write_seed(seed.dir, seed.name, seed.bytes)) {
      std::fprintf(stderr, "fuzz_make_seeds: cannot write %s\n", seed.name);
      return 1;
    }
  }
  return 0;
}
