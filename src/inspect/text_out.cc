#include "inspect/text_out.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

// The byte as the code point of the same number, in UTF-8 (0x80 to 0xFF).
void append_latin1(std::string& out, unsigned char byte) {
  out += static_cast<char>(0xC0 | (byte >> 6));
  out += static_cast<char>(0x80 | (byte & 0x3F));
}

// Converts with iconv; on a byte the source code page lacks, calls skip(out, byte) and goes
// on after it. False when iconv is not available for the pair.
template <typename Skip>
bool convert(const char* to, const char* from, std::string_view in, std::string& out, Skip skip) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string buffer(4 * in.size() + 16, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  bool ok = true;
  while (src_left > 0) {
    char* dst = buffer.data();
    std::size_t dst_left = buffer.size();
    const std::size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buffer.data(), buffer.size() - dst_left);
    if (rc != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    if (!skip(out, static_cast<unsigned char>(*src))) {
      ok = false;
      break;
    }
    ++src;
    --src_left;
  }
  iconv_close(cd);
  return ok;
}

// Escapes for one-line output, on UTF-8 text: control characters and the backslash.
std::string escaped_line(std::string_view utf8) {
  std::string out;
  for (const char c : utf8) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", u);
          out += hex;
        } else {
          out += c;
        }
    }
  }
  return out;
}

// Characters in a UTF-8 text: bytes that begin one.
std::size_t characters(std::string_view utf8) {
  std::size_t n = 0;
  for (const char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  }
  return n;
}

bool ascii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string text_utf8(std::string_view cp1252) {
  // Most texts need no conversion, and opening the converter costs more than the text.
  if (ascii(cp1252)) return std::string(cp1252);
  std::string out;
  out.reserve(cp1252.size());
  const bool converted =
      convert("UTF-8", "WINDOWS-1252", cp1252, out, [](std::string& o, unsigned char b) {
        append_latin1(o, b);
        return true;
      });
  if (converted) return out;
  // Without iconv's tables every byte reads as Latin-1, which differs only in 0x80 to 0x9F.
  out.clear();
  for (const char c : cp1252) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      out += c;
    } else {
      append_latin1(out, u);
    }
  }
  return out;
}

std::string text_windows_1252(std::string_view utf8) {
  if (ascii(utf8)) return std::string(utf8);
  std::string out;
  const bool converted = convert("WINDOWS-1252", "UTF-8", utf8, out,
                                 [](std::string&, unsigned char) { return false; });
  return converted ? out : std::string(utf8);
}

std::string text_shown(std::string_view cp1252) {
  return escaped_line(text_utf8(cp1252));
}

std::string tsv_field(std::string_view cp1252) {
  return text_shown(cp1252);
}

std::string tsv_plain(std::string_view utf8) {
  return escaped_line(utf8);
}

std::string json_plain(std::string_view utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\u%04x", u);
          out += hex;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string json_string(std::string_view cp1252) {
  return json_plain(text_utf8(cp1252));
}

std::string text_table(const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (std::size_t i = 0; i < row.size(); ++i) {
      widths[i] = std::max(widths[i], characters(row[i]));
    }
  }
  std::string out;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) line += "  ";
      line += row[i];
      if (i + 1 < row.size()) line.append(widths[i] - characters(row[i]), ' ');
    }
    while (!line.empty() && line.back() == ' ')
      line.pop_back();
    out += line + "\n";
  }
  return out;
}

std::string tsv_line(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += '\t';
    line += fields[i];
  }
  return line + "\n";
}
