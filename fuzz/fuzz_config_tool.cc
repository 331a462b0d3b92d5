// vestragen-config in-process on arbitrary files and command lines.
//
// Input: COMMAND-LINE NUL STANDARD-INPUT NUL FILE. The command line is split at line feeds
// into the command and at most kMaxArguments arguments of at most kMaxArgumentLength bytes
// each; they follow "--file PATH". Without the second NUL the file does not exist.
//
// What must hold: the tool ends with 0, 1 or 2 and leaves no file of its own behind; it
// changes the file only when it succeeds, and then keeps every line but the values it set
// byte for byte, stores each value so that it deciphers to exactly what was given (a
// SCHEMA name with the one character the run drops), and the run's lookup of a key it set
// returns that value unless the tool warned that the lookup gets another entry or fails.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "config/blowfish.h"
#include "config/config_edit.h"
#include "config/config_file.h"
#include "config_tool/config_tool.h"
#include "fuzz_support.h"

namespace {

constexpr std::size_t kMaxArguments = 6;
constexpr std::size_t kMaxArgumentLength = 256;
constexpr const char* kRunKeys[] = {"LOGIN", "PASS", "NET8", "SCHEMA"};

struct ToolInput {
  std::vector<std::string> words;  // the command and its arguments
  std::string standard_input;
  bool file_exists = false;
  std::string file;
};

ToolInput split_input(std::string_view data) {
  ToolInput input;
  const std::size_t first_nul = std::min(data.find('\0'), data.size());
  const std::string_view command_line = data.substr(0, first_nul);
  std::size_t begin = 0;
  while (input.words.size() <= kMaxArguments) {
    const std::size_t end = std::min(command_line.find('\n', begin), command_line.size());
    input.words.emplace_back(command_line.substr(begin, std::min(end - begin, kMaxArgumentLength)));
    if (end == command_line.size()) break;
    begin = end + 1;
  }
  // A leading "-" would make the command an option, and "--file" could then name any path.
  if (input.words[0].starts_with('-')) input.words[0].insert(0, "x");
  if (first_nul == data.size()) return input;
  const std::string_view rest = data.substr(first_nul + 1);
  const std::size_t second_nul = rest.find('\0');
  input.standard_input = rest.substr(0, second_nul);
  if (second_nul != std::string_view::npos) {
    input.file_exists = true;
    input.file = rest.substr(second_nul + 1);
  }
  return input;
}

struct ToolRun {
  int status = -1;
  std::string err;
};

ToolRun run_tool(const std::string& path, const ToolInput& input) {
  static std::FILE* const out = std::fopen("/dev/null", "w");
  FUZZ_CHECK(out != nullptr);
  const std::string input_path = fuzz_temp_path("standard-input");
  fuzz_write_file(input_path, input.standard_input);
  std::FILE* in = std::fopen(input_path.c_str(), "rb");
  FUZZ_CHECK(in != nullptr);
  char* err_text = nullptr;
  std::size_t err_size = 0;
  std::FILE* err = open_memstream(&err_text, &err_size);
  FUZZ_CHECK(err != nullptr);

  std::vector<std::string> args = {"vestragen-config", "--file", path};
  args.insert(args.end(), input.words.begin(), input.words.end());
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);

  ToolRun run;
  run.status = config_tool_main(static_cast<int>(args.size()), argv.data(), in, out, err);
  std::fclose(in);
  std::fclose(err);
  run.err.assign(err_text, err_size);
  std::free(err_text);
  std::remove(input_path.c_str());
  return run;
}

// A value the tool was asked to set, as it must be stored.
struct Setting {
  std::string section;
  int number = 0;
  std::string key;
  std::string stored;
};

// The line the tool takes from standard input for a value of "-".
std::string first_input_line(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  if (line.size() < text.size() && !line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string stored_value(const std::string& key, const std::string& given) {
  // The run drops the last character of a SCHEMA value.
  return key == "SCHEMA" ? given + " " : given;
}

std::vector<Setting> settings_of(const ToolInput& input) {
  const std::vector<std::string>& w = input.words;
  const auto given = [&input](const std::string& value) {
    return value == "-" ? first_input_line(input.standard_input) : value;
  };
  if (w[0] == "set") {
    return {{w[1], std::atoi(w[2].c_str()), w[3], stored_value(w[3], given(w[4]))}};
  }
  // setup: only the password may come from standard input.
  return {{"VESTRAGEN", 1, "LOGIN", w[1]},
          {"VESTRAGEN", 2, "PASS", given(w[2])},
          {"VESTRAGEN", 3, "NET8", w[3]},
          {"VESTRAGEN", 4, "SCHEMA", stored_value("SCHEMA", w[4])}};
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
  }
  return text;
}

ConfigFileContents loaded(const std::string& path) {
  ConfigFileContents contents;
  std::string error;
  FUZZ_CHECK(config_load_file(path.c_str(), contents, &error) == ConfigLoadStatus::kLoaded);
  return contents;
}

bool is_setting(const ConfigFileEntry& entry, const Setting& setting) {
  return entry.fields.section == setting.section && entry.number == setting.number &&
         entry.fields.key == setting.key;
}

std::string deciphered(const char* hex) {
  std::vector<char> plain(std::strlen(hex) / 2 + 1);
  FUZZ_CHECK(decrypt_hex_string(hex, plain.data(), kConfigCipherKey) == 1);
  return plain.data();
}

// Offset behind the second ";" of a value line: where its value starts.
std::size_t value_start(const std::string& line) {
  return line.find(';', line.find(';') + 1) + 1;
}

std::size_t line_end_length(const std::string& line) {
  if (line.ends_with("\r\n")) return 2;
  return line.ends_with('\n') ? 1 : 0;
}

// The new file against the old one: the old lines are all there and unchanged but for the
// values of the entries set (and a line feed added to a last line that lacked one when
// entries are appended); what follows them are appended entries of the settings.
void check_other_bytes_kept(const ConfigFileContents& before, const ConfigFileContents& after,
                            const std::vector<Setting>& settings) {
  FUZZ_CHECK(after.lines.size() >= before.lines.size());
  const bool appended = after.lines.size() > before.lines.size();
  std::vector<bool> value_set(before.lines.size(), false);
  for (const ConfigFileEntry& entry : before.entries) {
    for (const Setting& setting : settings) {
      if (is_setting(entry, setting)) value_set[static_cast<std::size_t>(entry.line)] = true;
    }
  }
  for (std::size_t i = 0; i < before.lines.size(); ++i) {
    const std::string& old_line = before.lines[i];
    const std::string& new_line = after.lines[i];
    std::string line_end = old_line.substr(old_line.size() - line_end_length(old_line));
    if (appended && i + 1 == before.lines.size() && line_end.empty()) line_end = "\n";
    if (value_set[i]) {
      const std::size_t start = value_start(old_line);
      FUZZ_CHECK(new_line.compare(0, start, old_line, 0, start) == 0);
      FUZZ_CHECK(new_line.ends_with(line_end));
      // A last line ending in a lone carriage return (part of its value) that got its line
      // feed before its value was set ends in CR LF, which the run reads as a line feed.
      const bool lone_cr_closed = appended && i + 1 == before.lines.size() &&
                                  old_line.ends_with('\r') && new_line.ends_with("\r\n");
      FUZZ_CHECK(line_end_length(new_line) == line_end.size() + (lone_cr_closed ? 1 : 0));
    } else {
      FUZZ_CHECK(new_line ==
                 old_line.substr(0, old_line.size() - line_end_length(old_line)) + line_end);
    }
  }
  for (const ConfigFileEntry& entry : after.entries) {
    if (static_cast<std::size_t>(entry.line) <= before.lines.size()) continue;
    FUZZ_CHECK(std::any_of(settings.begin(), settings.end(),
                           [&entry](const Setting& s) { return is_setting(entry, s); }));
  }
}

bool is_run_key(const std::string& key) {
  return std::any_of(std::begin(kRunKeys), std::end(kRunKeys),
                     [&key](const char* run_key) { return key == run_key; });
}

// Every entry of a setting holds its value, and the run's lookup of the key gets it unless
// the tool said otherwise.
void check_setting(const std::string& path, const ConfigFileContents& after, const Setting& setting,
                   const std::string& err) {
  FUZZ_CHECK(std::any_of(after.entries.begin(), after.entries.end(),
                         [&setting](const ConfigFileEntry& e) { return is_setting(e, setting); }));
  for (const ConfigFileEntry& entry : after.entries) {
    if (is_setting(entry, setting)) FUZZ_CHECK(deciphered(entry.fields.value) == setting.stored);
  }
  const ConfigReadResult result = config_read("", setting.key.c_str(), 0, path.c_str());
  if (result.status == ConfigStatus::kOk && setting.section == config_section &&
      setting.number == config_number && setting.key == config_key) {
    FUZZ_CHECK(setting.stored == config_value);
    return;
  }
  // The entry set matches the lookup by its key, so the lookup cannot come back empty.
  FUZZ_CHECK(result.status != ConfigStatus::kOk || result.line != 0);
  if (is_run_key(setting.key)) {
    FUZZ_CHECK(err.find("warning: the run's lookup of " + setting.key) != std::string::npos);
  }
}

// Only what the tool writes itself may stay behind in the directory.
void check_no_litter(const std::string& path) {
  for (const auto& item : std::filesystem::directory_iterator(fuzz_temp_dir())) {
    FUZZ_CHECK(item.path() == path);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ToolInput input = split_input(std::string_view(reinterpret_cast<const char*>(data), size));
  static const std::string path = fuzz_temp_path("korvandel.ini");
  std::remove(path.c_str());
  if (input.file_exists) fuzz_write_file(path, input.file);

  const ToolRun run = run_tool(path, input);
  FUZZ_CHECK(run.status == 0 || run.status == 1 || run.status == 2);
  check_no_litter(path);

  std::string file;
  const bool file_exists = fuzz_read_file(path, file);
  const std::string& command = input.words[0];
  const bool writes = run.status == 0 && (command == "set" || command == "setup");
  if (!writes) {
    FUZZ_CHECK(file_exists == input.file_exists);
    FUZZ_CHECK(file == input.file);
    return 0;
  }

  // The tool writes only a file that is entries throughout, and keeps it so.
  FUZZ_CHECK(file_exists);
  ConfigFileContents before;
  if (input.file_exists) {
    fuzz_write_file(path, input.file);
    before = loaded(path);
    FUZZ_CHECK(before.problem_line == 0);
    FUZZ_CHECK(joined(before.lines) == input.file);
    fuzz_write_file(path, file);
  }
  const ConfigFileContents after = loaded(path);
  FUZZ_CHECK(after.problem_line == 0);
  FUZZ_CHECK(joined(after.lines) == file);

  const std::vector<Setting> settings = settings_of(input);
  check_other_bytes_kept(before, after, settings);
  for (const Setting& setting : settings) {
    check_setting(path, after, setting, run.err);
  }
  return 0;
}
