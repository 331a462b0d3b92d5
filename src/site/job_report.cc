#include "site/job_report.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

// A small reader for the JSON objects of report lines: the top-level keys with their string
// or number values (true, false and null as their words); nested objects and arrays are read
// over.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  // The line's top-level strings and numbers (as their text); false when it is no object.
  bool read(std::map<std::string, std::string>& values) {
    skip_blanks();
    if (!take('{')) return false;
    skip_blanks();
    if (take('}')) return at_end();
    for (;;) {
      std::string key;
      skip_blanks();
      if (!string(key)) return false;
      skip_blanks();
      if (!take(':')) return false;
      skip_blanks();
      std::string value;
      if (peek() == '"') {
        if (!string(value)) return false;
        values[key] = value;
      } else if (peek() == '{' || peek() == '[') {
        if (!nested()) return false;
      } else {
        while (!done() && peek() != ',' && peek() != '}' && peek() != ' ')
          value += text_[at_++];
        if (value.empty()) return false;
        values[key] = value;
      }
      skip_blanks();
      if (take('}')) return at_end();
      if (!take(',')) return false;
    }
  }

 private:
  bool done() const { return at_ >= text_.size(); }
  char peek() const { return done() ? '\0' : text_[at_]; }
  bool take(char c) {
    if (peek() != c || done()) return false;
    ++at_;
    return true;
  }
  void skip_blanks() {
    while (!done() && (peek() == ' ' || peek() == '\t' || peek() == '\r'))
      ++at_;
  }
  bool at_end() {
    skip_blanks();
    return done();
  }

  // A string, its escapes decoded (\uXXXX into UTF-8, a surrogate pair into one character).
  bool string(std::string& out) {
    if (!take('"')) return false;
    while (!done()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (done()) return false;
      const char e = text_[at_++];
      switch (e) {
        case 'n':
          out += '\n';
          break;
        case 't':
          out += '\t';
          break;
        case 'r':
          out += '\r';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'u': {
          unsigned code = 0;
          if (!hex4(code)) return false;
          if (code >= 0xD800 && code < 0xDC00) {
            unsigned low = 0;
            if (!take('\\') || !take('u') || !hex4(low) || low < 0xDC00 || low >= 0xE000) {
              return false;
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          }
          append_utf8(out, code);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }

  bool hex4(unsigned& code) {
    if (text_.size() - at_ < 4) return false;
    for (int i = 0; i < 4; ++i) {
      const char h = text_[at_++];
      const int digit = h >= '0' && h <= '9'   ? h - '0'
                        : h >= 'a' && h <= 'f' ? h - 'a' + 10
                        : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                               : -1;
      if (digit < 0) return false;
      code = code * 16 + static_cast<unsigned>(digit);
    }
    return true;
  }

  static void append_utf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  // An object or array, read over with its strings.
  bool nested() {
    int depth = 0;
    while (!done()) {
      const char c = peek();
      if (c == '"') {
        std::string ignored;
        if (!string(ignored)) return false;
        continue;
      }
      ++at_;
      if (c == '{' || c == '[') ++depth;
      if ((c == '}' || c == ']') && --depth == 0) return true;
    }
    return false;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

long number(const std::map<std::string, std::string>& values, const char* key) {
  const auto it = values.find(key);
  return it == values.end() ? 0 : std::strtol(it->second.c_str(), nullptr, 10);
}

bool plain(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

// Each character of UTF-8 text as itself when plain, else as one '_'.
void append_safe(std::string& out, const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (plain(static_cast<char>(c))) {
      out += static_cast<char>(c);
      continue;
    }
    out += '_';
    // The continuation bytes of a character belong to the one '_'.
    while (c >= 0xC0 && i + 1 < text.size() &&
           (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
      ++i;
    }
  }
}

}  // namespace

bool job_report_line(std::string_view line, std::map<std::string, std::string>& values) {
  values.clear();
  return LineReader(line).read(values);
}

JobReport job_report_read(std::string_view text) {
  JobReport report;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    std::map<std::string, std::string> values;
    if (!job_report_line(line, values)) continue;
    const std::string& event = values["event"];
    if (event == "schema") {
      report.badges += number(values, "badges");
    } else if (event == "refused") {
      ++report.refused;
    } else if (event == "end") {
      report.ended = true;
      report.records = number(values, "records");
      report.status = static_cast<int>(number(values, "status"));
    }
  }
  return report;
}

std::string job_report_name(int line, const std::string& function, const std::string& terminal) {
  char number[16];
  std::snprintf(number, sizeof number, "%04d", line);
  std::string name = number;
  name += '-';
  append_safe(name, function);
  name += '-';
  append_safe(name, terminal);
  return name + ".jsonl";
}
