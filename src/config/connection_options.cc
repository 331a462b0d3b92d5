#include "config/connection_options.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

#include "base/console.h"

namespace {

constexpr char kGroup[] = "vestragen";

std::string trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t\r");
  return std::string(text.substr(first, last - first + 1));
}

// A value as the option files write it: in single or double quotes, or bare.
std::string unquoted(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

bool parse_bool(const std::string& value, bool bare, bool& out) {
  if (bare) {
    out = true;
    return true;
  }
  std::string lower;
  for (char c : value) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (lower == "1" || lower == "on" || lower == "true" || lower == "yes") {
    out = true;
    return true;
  }
  if (lower == "0" || lower == "off" || lower == "false" || lower == "no") {
    out = false;
    return true;
  }
  return false;
}

bool parse_number(const std::string& value, unsigned long highest, unsigned& out) {
  if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos ||
      value.size() > 9) {
    return false;
  }
  const unsigned long number = std::strtoul(value.c_str(), nullptr, 10);
  if (number < 1 || number > highest) return false;
  out = static_cast<unsigned>(number);
  return true;
}

// A file or directory the connection must read.
bool readable(const std::string& value) { return !value.empty() && ::access(value.c_str(), R_OK) == 0; }

// Takes one key of the group; false when the key is unknown or its value unusable.
bool take(const std::string& key, const std::string& value, bool bare, ConnectionOptions& out,
          bool& known) {
  known = true;
  const std::string* file_value = nullptr;
  if (key == "ssl-ca") {
    out.ssl_ca = value;
    file_value = &out.ssl_ca;
  } else if (key == "ssl-capath") {
    out.ssl_capath = value;
    file_value = &out.ssl_capath;
  } else if (key == "ssl-cert") {
    out.ssl_cert = value;
    file_value = &out.ssl_cert;
  } else if (key == "ssl-key") {
    out.ssl_key = value;
    file_value = &out.ssl_key;
  } else if (key == "ssl-crl") {
    out.ssl_crl = value;
    file_value = &out.ssl_crl;
  } else if (key == "ssl-cipher") {
    out.ssl_cipher = value;
    return !bare && !value.empty();
  } else if (key == "tls-version") {
    out.tls_version = value;
    return !bare && !value.empty();
  } else if (key == "ssl") {
    return parse_bool(value, bare, out.ssl);
  } else if (key == "ssl-verify-server-cert") {
    bool verify = false;
    if (!parse_bool(value, bare, verify)) return false;
    out.verify_server_cert = verify;
    return true;
  } else if (key == "port") {
    return !bare && parse_number(value, 65535, out.port);
  } else if (key == "socket") {
    out.socket = value;
    return !bare && !value.empty();
  } else if (key == "connect-timeout") {
    return !bare && parse_number(value, 31536000, out.connect_timeout);
  } else if (key == "read-timeout") {
    return !bare && parse_number(value, 31536000, out.read_timeout);
  } else if (key == "write-timeout") {
    return !bare && parse_number(value, 31536000, out.write_timeout);
  } else {
    known = false;
    return false;
  }
  return !bare && readable(*file_value);
}

}  // namespace

ExitStatus connection_options_parse(const std::string& path, const std::string& text,
                                    ConnectionOptions& out) {
  out = ConnectionOptions{};
  out.file = path;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  bool in_group = false;
  while (std::getline(lines, line)) {
    ++number;
    const std::string content = trimmed(line);
    if (content.empty() || content[0] == '#' || content[0] == ';') continue;
    if (content[0] == '[') {
      if (content.back() != ']') {
        console_printf("Optionsdatei %s: Zeile %d ungueltig!\n", path.c_str(), number);
        return kExitConfiguration;
      }
      in_group = trimmed(std::string_view(content).substr(1, content.size() - 2)) == kGroup;
      continue;
    }
    if (!in_group) continue;
    const std::size_t equals = content.find('=');
    const bool bare = equals == std::string::npos;
    std::string key = trimmed(std::string_view(content).substr(0, equals));
    for (char& c : key) {
      if (c == '_') c = '-';
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    const std::string value = bare ? "" : unquoted(trimmed(std::string_view(content).substr(equals + 1)));
    bool known = false;
    if (!take(key, value, bare, out, known)) {
      if (!known) {
        console_printf("Optionsdatei %s: Option %s in Zeile %d unbekannt!\n", path.c_str(),
                       key.c_str(), number);
      } else {
        console_printf("Optionsdatei %s: Wert von %s in Zeile %d ungueltig!\n", path.c_str(),
                       key.c_str(), number);
      }
      return kExitConfiguration;
    }
  }
  return kExitSuccess;
}

ExitStatus connection_options_read(ConnectionOptions& out) {
  out = ConnectionOptions{};
  const char* named = std::getenv("VESTRAGEN_DEFAULTS_FILE");
  if (named == nullptr || named[0] == '\0') return kExitSuccess;
  struct stat st;
  std::ifstream in;
  if (::stat(named, &st) == 0 && S_ISREG(st.st_mode)) in.open(named, std::ios::binary);
  std::stringstream text;
  if (in.is_open()) text << in.rdbuf();
  if (!in.is_open() || in.bad()) {
    console_printf("Optionsdatei %s konnte nicht gelesen werden!\n", named);
    return kExitConfiguration;
  }
  return connection_options_parse(named, text.str(), out);
}
