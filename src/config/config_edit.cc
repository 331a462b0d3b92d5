#include "config/config_edit.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct FileClose {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileClose>;

std::string system_error_text(int error_number) {
  return std::strerror(error_number);
}

// The line as it was stored: config_read_line dropped at most the CR before the line feed.
std::string stored_line(const char* text, bool cr_dropped) {
  std::string line(text);
  if (cr_dropped) line.insert(line.size() - 1, 1, '\r');
  return line;
}

std::string line_problem(ConfigLineStatus status, std::size_t limit) {
  if (status == ConfigLineStatus::kHasNul) return "holds a NUL byte";
  return "is longer than " + std::to_string(limit) + " characters";
}

std::size_t line_end_length(const std::string& line) {
  if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) return 2;
  if (!line.empty() && line.back() == '\n') return 1;
  return 0;
}

}  // namespace

ConfigLoadStatus config_load_file(const char* path, ConfigFileContents& contents,
                                  std::string* error) {
  contents = ConfigFileContents{};
  FilePtr file(std::fopen(path, "rb"));
  if (!file) {
    if (errno == ENOENT) return ConfigLoadStatus::kMissing;
    *error = std::string("cannot open ") + path + ": " + system_error_text(errno);
    return ConfigLoadStatus::kFailed;
  }
  struct stat status_of_file {};
  if (fstat(fileno(file.get()), &status_of_file) != 0) {
    *error = std::string("cannot read ") + path + ": " + system_error_text(errno);
    return ConfigLoadStatus::kFailed;
  }
  if (!S_ISREG(status_of_file.st_mode)) {
    *error = std::string(path) + " is not a regular file";
    return ConfigLoadStatus::kFailed;
  }
  contents.exists = true;
  contents.mode = status_of_file.st_mode & 07777;

  char section_line[kConfigSectionLineMax + 1];
  char value_line[kConfigValueLineMax + 1];
  bool section_cr = false;
  bool value_cr = false;
  const auto set_problem = [&contents](int line, std::string problem) {
    contents.problem_line = line;
    contents.problem = std::move(problem);
  };
  for (int line = 1;; line += 2) {
    ConfigLineStatus status =
        config_read_line(file.get(), kConfigSectionLineMax, section_line, &section_cr);
    if (status == ConfigLineStatus::kEnd) break;
    if (status != ConfigLineStatus::kLine) {
      set_problem(line, line_problem(status, kConfigSectionLineMax));
      break;
    }
    status = config_read_line(file.get(), kConfigValueLineMax, value_line, &value_cr);
    if (status == ConfigLineStatus::kEnd) {
      // The run ignores such a line, but an entry appended behind it would be misread.
      set_problem(line, "is a section line without a value line after it");
      break;
    }
    if (status != ConfigLineStatus::kLine) {
      set_problem(line + 1, line_problem(status, kConfigValueLineMax));
      break;
    }
    ConfigFileEntry entry;
    const int bad_line = config_take_fields(section_line, value_line, entry.fields);
    if (bad_line == 1) {
      set_problem(line, "is not a section line \";SECTION;\"");
      break;
    }
    if (bad_line == 2) {
      set_problem(line + 1,
                  "is not a value line \"NUMBER;KEY;VALUE\" (number up to 11 characters, key "
                  "and value up to 200)");
      break;
    }
    entry.line = line;
    entry.number = config_number_from_text(entry.fields.number_text);
    contents.entries.push_back(entry);
    contents.lines.push_back(stored_line(section_line, section_cr));
    contents.lines.push_back(stored_line(value_line, value_cr));
  }
  if (std::ferror(file.get())) {
    *error = std::string("cannot read ") + path + ": " + system_error_text(errno);
    return ConfigLoadStatus::kFailed;
  }
  return ConfigLoadStatus::kLoaded;
}

bool config_set_value(ConfigFileContents& contents, std::string_view section, int number,
                      std::string_view key, std::string_view hex) {
  bool replaced = false;
  for (ConfigFileEntry& entry : contents.entries) {
    if (entry.fields.section != section || entry.number != number || entry.fields.key != key) {
      continue;
    }
    // The value line follows the section line: 0-based index entry.line.
    std::string& line = contents.lines[static_cast<std::size_t>(entry.line)];
    const std::size_t value_start = line.find(';', line.find(';') + 1) + 1;
    const std::size_t value_end = line.size() - line_end_length(line);
    line.replace(value_start, value_end - value_start, hex);
    entry.fields.value[hex.copy(entry.fields.value, kConfigFieldMax)] = '\0';
    replaced = true;
  }
  if (replaced) return true;

  if (!contents.lines.empty() && contents.lines.back().back() != '\n') {
    contents.lines.back() += '\n';
  }
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on ";" + std::string at -O2.
  std::string section_line = ";";
  section_line.append(section).append(";\n");
  std::string value_line = std::to_string(number);
  value_line.append(";").append(key).append(";").append(hex).append("\n");
  ConfigFileEntry entry;
  entry.line = static_cast<int>(contents.lines.size()) + 1;
  entry.number = number;
  config_take_fields(section_line.c_str(), value_line.c_str(), entry.fields);
  contents.entries.push_back(entry);
  contents.lines.push_back(std::move(section_line));
  contents.lines.push_back(std::move(value_line));
  return false;
}

bool config_write_file(const char* path, const ConfigFileContents& contents, std::string* error) {
  // Beside the target, so that the rename stays within one file system and is atomic.
  std::string temporary = std::string(path) + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    *error = std::string("cannot create a temporary file next to ") + path + ": " +
             system_error_text(errno);
    return false;
  }
  const auto fail = [&](const std::string& what, int error_number) {
    unlink(temporary.c_str());
    *error = what + ": " + system_error_text(error_number);
    return false;
  };
  FilePtr file(fdopen(fd, "wb"));
  if (!file) {
    const int error_number = errno;
    close(fd);
    return fail("cannot write " + temporary, error_number);
  }
  if (fchmod(fd, contents.exists ? contents.mode : 0600) != 0) {
    return fail("cannot set the mode of " + temporary, errno);
  }
  for (const std::string& line : contents.lines) {
    if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size()) {
      return fail("cannot write " + temporary, errno);
    }
  }
  if (std::fflush(file.get()) != 0 || fsync(fd) != 0) {
    return fail("cannot write " + temporary, errno);
  }
  if (std::fclose(file.release()) != 0) return fail("cannot write " + temporary, errno);
  if (std::rename(temporary.c_str(), path) != 0) {
    return fail("cannot rename " + temporary + " to " + path, errno);
  }
  return true;
}
