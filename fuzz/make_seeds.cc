// Writes the seed inputs of the fuzz targets into DIR/<target>/, values enciphered with the
// real cipher. Run by hand when the seeds must change: fuzz_make_seeds fuzz/corpus

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

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
  };
  for (const auto& seed : seeds) {
    if (!write_seed(seed.dir, seed.name, seed.bytes)) {
      std::fprintf(stderr, "fuzz_make_seeds: cannot write %s\n", seed.name);
      return 1;
    }
  }
  return 0;
}
