#include "config_tool/config_tool.h"

#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "config/blowfish.h"
#include "config/config_edit.h"
#include "config/config_file.h"
#include "base/version.h"
#include "config/settings.h"

namespace {

// The section setup writes the run's entries in.
constexpr char kRunSection[] = "VESTRAGEN";
// ";SECTION;" and its line feed must fit the section line.
constexpr std::size_t kSectionNameMax = kConfigSectionLineMax - 3;

// The tool's own exit statuses; they are not the run's.
enum ToolExit : int { kToolDone = 0, kToolFailed = 1, kToolUsage = 2 };

constexpr char kUsage[] =
    "Usage: vestragen-config [--file PATH] COMMAND ...\n"
    "Writes and lists the configuration file that holds the database login of vestragen.\n"
    "\n"
    "Commands:\n"
    "  set SECTION NUMBER KEY VALUE      set one value: replaces the value of the entry with\n"
    "                                    the same section, number and key, or adds an entry\n"
    "  setup LOGIN PASSWORD HOST SCHEMA  set the four values the run reads, as LOGIN, PASS,\n"
    "                                    NET8 and SCHEMA in section VESTRAGEN, numbers 1 to 4\n"
    "  list [--show-password]            show every entry and what the run will use\n"
    "\n"
    "Options:\n"
    "  --file PATH  the configuration file; default the file VESTRAGEN_CONFIG names, or\n"
    "               ../../files/korvandel.ini relative to the working directory, like\n"
    "               the run's\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "\n"
    "A VALUE or PASSWORD of \"-\" is read as one line from standard input. Values are at\n"
    "most 50 characters, a SCHEMA name at most 20; it is stored with one blank behind it,\n"
    "because the run drops the last character. NUMBER is a whole number from 1 to\n"
    "2147483647. SECTION and KEY must not be empty nor hold \";\" or line ends.\n"
    "\n"
    "Exit status: 0 done, 1 failed, 2 wrong command line.\n";

// A value the user gave or the file held, wiped when it goes out of scope.
struct SecretText {
  std::string text;
  SecretText() = default;
  explicit SecretText(std::string_view t) : text(t) {}
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;
  ~SecretText() { secure_wipe(text.data(), text.size()); }
};

// Kept in a deque: it never moves an element, so no copy of a value is left behind.
struct Setting {
  std::string section;
  int number = 0;
  std::string key;
  SecretText value;  // as stored, a schema name with its blank
};

struct Tool {
  std::FILE* in;
  std::FILE* out;
  std::FILE* err;
  std::string path = settings_config_path();

  int fail(const std::string& message) const {
    std::fprintf(err, "vestragen-config: error: %s\n", message.c_str());
    return kToolFailed;
  }
  int usage_error(const std::string& message) const {
    std::fprintf(err, "vestragen-config: error: %s (see vestragen-config --help)\n",
                 message.c_str());
    return kToolUsage;
  }
  void warn(const std::string& message) const {
    std::fprintf(err, "vestragen-config: warning: %s\n", message.c_str());
  }
};

// Values may hold any byte; shown in quotes with escapes, so that blanks, quotes and
// non-ASCII bytes can be told apart.
std::string quoted(std::string_view text) {
  std::string shown = "\"";
  for (const unsigned char c : text) {
    if (c == '"' || c == '\\') {
      shown += '\\';
      shown += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      shown += escape;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown + "\"";
}

bool decipher(const char* hex, SecretText& plain) {
  std::vector<char> buffer(std::strlen(hex) / 2 + 1);
  const bool whole_blocks = decrypt_hex_string(hex, buffer.data(), kConfigCipherKey) == 1;
  plain.text = buffer.data();
  secure_wipe(buffer.data(), buffer.size());
  return whole_blocks;
}

std::string name_problem(const char* what, std::string_view name, std::size_t max) {
  if (name.empty()) return std::string(what) + " must not be empty";
  if (name.find_first_of(";\r\n") != std::string_view::npos) {
    return std::string(what) + " must not hold \";\", CR or line feed";
  }
  if (name.size() > max) {
    return std::string(what) + " is " + std::to_string(name.size()) + " characters long, at most " +
           std::to_string(max) + " fit";
  }
  return {};
}

std::string section_problem(std::string_view section) {
  if (section.empty()) {
    return "SECTION must not be empty: an entry with an empty section answers every lookup "
           "of the run";
  }
  return name_problem("SECTION", section, kSectionNameMax);
}

bool parse_number(std::string_view text, int& number) {
  if (text.empty()) return false;
  long long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > 2147483647) return false;
  }
  number = static_cast<int>(value);
  return number >= 1;
}

// Checks value (as given) for key and turns it into what is stored.
std::string take_value(std::string_view key, std::string_view value, SecretText& stored) {
  if (value.find('\0') != std::string_view::npos) return "the value must not hold a NUL byte";
  if (key == kSchemaKey) {
    if (value.empty()) return "the SCHEMA name must not be empty";
    if (value.size() > kSchemaNameMax) {
      return "the SCHEMA name is " + std::to_string(value.size()) + " characters long, at most " +
             std::to_string(kSchemaNameMax) + " are allowed";
    }
    stored.text = settings_schema_value(value);
    return {};
  }
  if (settings_check_value(key, value) == SettingProblem::kTooLong) {
    return "the value of " + std::string(key) + " is " + std::to_string(value.size()) +
           " characters long, at most " + std::to_string(kSettingValueMax) + " are allowed";
  }
  stored.text = value;
  return {};
}

// One line from in, without its line feed and a CR before it.
bool read_input_line(std::FILE* in, SecretText& line, std::string* error) {
  line.text.reserve(256);
  bool any = false;
  bool line_feed = false;
  for (int c = std::getc(in); c != EOF; c = std::getc(in)) {
    any = true;
    if (c == '\n') {
      line_feed = true;
      break;
    }
    line.text += static_cast<char>(c);
  }
  if (std::ferror(in)) {
    *error = "cannot read the value from standard input";
    return false;
  }
  if (!any) {
    *error = "standard input holds no value";
    return false;
  }
  if (line_feed && !line.text.empty() && line.text.back() == '\r') line.text.pop_back();
  return true;
}

// A value of "-" is read from standard input when dash_reads_input.
bool add_setting(const Tool& tool, std::deque<Setting>& settings, std::string_view section,
                 int number, std::string_view key, const char* value, bool dash_reads_input,
                 std::string* error) {
  Setting& setting = settings.emplace_back();
  setting.section = section;
  setting.number = number;
  setting.key = key;
  SecretText given;
  if (dash_reads_input && std::strcmp(value, "-") == 0) {
    if (!read_input_line(tool.in, given, error)) return false;
  } else {
    given.text = value;
  }
  *error = take_value(key, given.text, setting.value);
  return error->empty();
}

void warn_if_readable(const Tool& tool, const ConfigFileContents& contents) {
  if (contents.exists && (contents.mode & 044) != 0) {
    tool.warn(tool.path +
              " can be read by group or others; it holds the database login and should be "
              "mode 0600");
  }
}

// Tells when the run's own lookup of a key just written does not get the new entry.
void check_run_lookup(const Tool& tool, const Setting& setting) {
  bool run_key = false;
  for (const char* key : kSettingKeys) {
    run_key = run_key || setting.key == key;
  }
  if (!run_key) return;
  const ConfigReadResult result = config_read("", setting.key.c_str(), 0, tool.path.c_str());
  if (result.status == ConfigStatus::kCannotOpen) {
    tool.warn("cannot read " + tool.path + " back to check the run's lookup of " + setting.key);
  } else if (result.status != ConfigStatus::kOk) {
    tool.warn("the run's lookup of " + setting.key + " fails at line " +
              std::to_string(result.line) + "; see vestragen-config list");
  } else if (setting.section != config_section || setting.number != config_number ||
             setting.key != config_key) {
    tool.warn("the run's lookup of " + setting.key + " gets the entry at line " +
              std::to_string(result.line) + " (section " + quoted(config_section) + ", number " +
              std::to_string(config_number) + ", key " + quoted(config_key) +
              "), not this one; see vestragen-config list");
  }
  secure_wipe(config_value, sizeof config_value);
}

int write_settings(const Tool& tool, const std::deque<Setting>& settings) {
  ConfigFileContents contents;
  std::string error;
  if (config_load_file(tool.path.c_str(), contents, &error) == ConfigLoadStatus::kFailed) {
    return tool.fail(error);
  }
  warn_if_readable(tool, contents);
  if (contents.problem_line != 0) {
    return tool.fail(tool.path + " line " + std::to_string(contents.problem_line) + " " +
                     contents.problem + "; the file was not changed");
  }
  std::vector<bool> replaced;
  for (const Setting& setting : settings) {
    const std::string hex = encrypt_to_hex_string(setting.value.text, kConfigCipherKey);
    replaced.push_back(
        config_set_value(contents, setting.section, setting.number, setting.key, hex));
  }
  if (!config_write_file(tool.path.c_str(), contents, &error)) return tool.fail(error);
  for (std::size_t i = 0; i < settings.size(); ++i) {
    const Setting& setting = settings[i];
    std::string database;
    if (setting.key == kSchemaKey) database = ": database " + settings_schema_name(setting.value.text);
    std::fprintf(tool.out, "%s %s (section %s, number %d) %s %s%s.\n",
                 replaced[i] ? "Replaced" : "Added", setting.key.c_str(), setting.section.c_str(),
                 setting.number, replaced[i] ? "in" : "to", tool.path.c_str(), database.c_str());
  }
  for (const Setting& setting : settings) {
    check_run_lookup(tool, setting);
  }
  return kToolDone;
}

int run_set(const Tool& tool, char** args) {
  std::string problem = section_problem(args[0]);
  if (problem.empty()) problem = name_problem("KEY", args[2], kConfigFieldMax);
  if (!problem.empty()) return tool.fail(problem);
  int number = 0;
  if (!parse_number(args[1], number)) {
    return tool.fail(
        "NUMBER must be a whole number from 1 to 2147483647 (an entry with number 0 answers "
        "every lookup of the run), not " +
        quoted(args[1]));
  }
  std::deque<Setting> settings;
  if (!add_setting(tool, settings, args[0], number, args[2], args[3], true, &problem)) {
    return tool.fail(problem);
  }
  return write_settings(tool, settings);
}

int run_setup(const Tool& tool, char** args) {
  std::deque<Setting> settings;
  std::string problem;
  for (int i = 0; i < 4; ++i) {
    // Only the password may come from standard input; "-" is a login or host like any other.
    if (!add_setting(tool, settings, kRunSection, i + 1, kSettingKeys[i], args[i], i == 1, &problem)) {
      return tool.fail(problem);
    }
  }
  return write_settings(tool, settings);
}

void list_entry(const Tool& tool, const ConfigFileEntry& entry, bool show_password) {
  const ConfigEntryFields& fields = entry.fields;
  std::string number = std::to_string(entry.number);
  if (number != fields.number_text) number += " (stored as " + quoted(fields.number_text) + ")";
  SecretText value;
  std::string shown;
  if (!decipher(fields.value, value)) {
    shown = "(not a valid cipher text)";
  } else if (!show_password && std::strcmp(fields.key, kPasswordKey) == 0) {
    shown = "****";
  } else {
    shown = quoted(value.text);
  }
  std::fprintf(tool.out, "  line %d: section %s, number %s, key %s, value %s\n", entry.line,
               quoted(fields.section).c_str(), number.c_str(), quoted(fields.key).c_str(),
               shown.c_str());
  secure_wipe(shown.data(), shown.size());
}

// What the run's lookup of key gets: config_read itself, so wide matches count as there.
void list_run_lookup(const Tool& tool, const char* key, bool show_password) {
  const ConfigReadResult result = config_read("", key, 0, tool.path.c_str());
  const SecretText value(config_value);
  secure_wipe(config_value, sizeof config_value);
  const bool is_schema = std::strcmp(key, kSchemaKey) == 0;
  std::string shown;
  if (result.status == ConfigStatus::kCannotOpen) {
    shown = "the lookup fails: the file cannot be read";
  } else if (result.status == ConfigStatus::kMalformed) {
    shown = "the lookup fails: line " + std::to_string(result.line) + " is not a proper entry";
  } else if (result.status == ConfigStatus::kBadCipherText) {
    shown = "the lookup fails: the value at line " + std::to_string(result.line) +
            " is not a valid cipher text";
  } else if (result.line == 0) {
    shown = is_schema ? "missing: no entry answers this lookup, so the run stops"
                      : "missing: no entry answers this lookup, so the run gets an empty value";
  } else if (const SettingProblem problem = settings_check_value(key, value.text);
             problem == SettingProblem::kTooLong) {
    shown = "the run stops: the value is " + std::to_string(value.text.size()) +
            " characters long, at most " + std::to_string(kSettingValueMax) + " are allowed";
  } else if (problem == SettingProblem::kSchemaEmpty && value.text.empty()) {
    shown = "the run stops: the value is empty";
  } else if (problem == SettingProblem::kSchemaTooLong) {
    shown = "the run stops: the database name is " +
            std::to_string(settings_schema_name(value.text).size()) + " characters long, at most " +
            std::to_string(kSchemaNameMax) + " are allowed";
  } else if (!show_password &&
             (std::strcmp(key, kPasswordKey) == 0 || std::strcmp(config_key, kPasswordKey) == 0)) {
    // Also when a wide match hands the password to another key's lookup.
    shown = "****";
  } else if (problem == SettingProblem::kSchemaEmpty) {
    shown = "the database name is empty: the run drops the last character of the value " +
            quoted(value.text);
  } else if (is_schema) {
    shown = "database " + settings_schema_name(value.text) + " (value " + quoted(value.text) + ")";
  } else {
    shown = quoted(value.text);
  }
  std::fprintf(tool.out, "  %-7s %s\n", key, shown.c_str());
  secure_wipe(shown.data(), shown.size());
  if (result.status == ConfigStatus::kOk && result.line != 0 && std::strcmp(config_key, key) != 0) {
    std::fprintf(tool.out,
                 "          answered by the entry at line %d (section %s, number %d, key %s): "
                 "an entry with an empty section or number 0 answers every lookup\n",
                 result.line, quoted(config_section).c_str(), config_number,
                 quoted(config_key).c_str());
  }
}

int run_list(const Tool& tool, bool show_password) {
  ConfigFileContents contents;
  std::string error;
  const ConfigLoadStatus status = config_load_file(tool.path.c_str(), contents, &error);
  if (status == ConfigLoadStatus::kMissing) {
    return tool.fail("cannot open " + tool.path + ": there is no such file");
  }
  if (status == ConfigLoadStatus::kFailed) return tool.fail(error);
  warn_if_readable(tool, contents);
  std::fprintf(tool.out, "Entries in %s:\n", tool.path.c_str());
  for (const ConfigFileEntry& entry : contents.entries) {
    list_entry(tool, entry, show_password);
  }
  if (contents.problem_line != 0) {
    std::fprintf(tool.out, "  line %d %s; the rest of the file is not shown\n",
                 contents.problem_line, contents.problem.c_str());
  } else if (contents.entries.empty()) {
    std::fprintf(tool.out, "  (none)\n");
  }
  std::fprintf(tool.out, "The run will use:\n");
  for (const char* key : kSettingKeys) {
    list_run_lookup(tool, key, show_password);
  }
  if (contents.problem_line != 0) {
    return tool.fail(tool.path + " line " + std::to_string(contents.problem_line) + " " +
                     contents.problem);
  }
  return kToolDone;
}

int run_command(Tool& tool, int argc, char** argv) {
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    const std::string_view option = argv[i];
    if (option == "--help" || option == "-h") {
      std::fputs(kUsage, tool.out);
      return kToolDone;
    }
    if (option == "--version") {
      std::fprintf(tool.out, "vestragen-config %s\n", kVestragenVersion);
      return kToolDone;
    }
    if (option != "--file") return tool.usage_error("unknown option " + quoted(option));
    if (++i == argc) return tool.usage_error("--file needs a PATH");
    tool.path = argv[i];
  }
  if (i == argc) return tool.usage_error("no command given");
  const std::string_view command = argv[i];
  char** args = argv + i + 1;
  const int count = argc - i - 1;
  if (command == "set") {
    if (count != 4) return tool.usage_error("set needs SECTION NUMBER KEY VALUE");
    return run_set(tool, args);
  }
  if (command == "setup") {
    if (count != 4) return tool.usage_error("setup needs LOGIN PASSWORD HOST SCHEMA");
    return run_setup(tool, args);
  }
  if (command == "list") {
    if (count > 1 || (count == 1 && std::strcmp(args[0], "--show-password") != 0)) {
      return tool.usage_error("list takes no argument but --show-password");
    }
    return run_list(tool, count == 1);
  }
  return tool.usage_error("unknown command " + quoted(command));
}

}  // namespace

int config_tool_main(int argc, char** argv, std::FILE* out, std::FILE* err) {
  return config_tool_main(argc, argv, stdin, out, err);
}

int config_tool_main(int argc, char** argv, std::FILE* in, std::FILE* out, std::FILE* err) {
  Tool tool{in, out, err};
  const int status = run_command(tool, argc, argv);
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(err, "vestragen-config: error: cannot write the output\n");
    return status == kToolDone ? kToolFailed : status;
  }
  return status;
}
