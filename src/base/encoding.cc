#include "base/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace {

bool undefined_in_cp1252(unsigned char byte) {
  return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

// One conversion descriptor, closed with the object.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) ::iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts in onto the end of out up to the first sequence iconv refuses (an invalid or
  // unconvertible character, or an incomplete one at the end); in then begins with it.
  // Returns true when all of in was converted.
  bool convert(std::string_view& in, std::string& out) {
    char* in_at = const_cast<char*>(in.data());
    std::size_t in_left = in.size();
    while (in_left > 0) {
      char buffer[4096];
      char* out_at = buffer;
      std::size_t out_left = sizeof buffer;
      const std::size_t rc = ::iconv(cd_, &in_at, &in_left, &out_at, &out_left);
      out.append(buffer, static_cast<std::size_t>(out_at - buffer));
      if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) break;
    }
    in.remove_prefix(in.size() - in_left);
    return in_left == 0;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string cp1252_to_utf8(std::string_view text) {
  // Most texts are ASCII, the same in both; a report converts several per refused badge.
  if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) {
    return std::string(text);
  }
  std::string out;
  out.reserve(text.size());
  Converter converter("UTF-8", "WINDOWS-1252");
  while (!text.empty()) {
    if (converter.ok() && converter.convert(text, out)) break;
    const auto byte = static_cast<unsigned char>(text.front());
    text.remove_prefix(1);
    if (byte < 0x80) {
      out += static_cast<char>(byte);
    } else if (converter.ok() && undefined_in_cp1252(byte)) {
      out += '\xC2';
      out += static_cast<char>(byte);
    } else {
      out += "\xEF\xBF\xBD";
    }
  }
  return out;
}

bool utf8_to_cp1252(std::string_view text, std::string& out) {
  out.clear();
  Converter converter("WINDOWS-1252", "UTF-8");
  if (!converter.ok()) return false;
  while (!converter.convert(text, out)) {
    // The C1 controls that stand for the undefined bytes go back to those bytes.
    if (text.size() < 2 || text[0] != '\xC2' || !undefined_in_cp1252(text[1])) return false;
    out += text[1];
    text.remove_prefix(2);
  }
  return true;
}
