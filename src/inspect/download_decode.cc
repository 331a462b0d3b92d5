#include "inspect/download_decode.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

namespace {

// The file's characters as the program meant them (CR LF read as the line feed it wrote
// for one), each with the byte offset where it begins; raw_at has one entry more, the
// file's size.
struct FileText {
  std::string text;
  std::vector<std::size_t> raw_at;
  bool bare_line_feed = false;  // one without its carriage return, which the program never writes
};

constexpr char kBareLineFeed[] =
    "the file has line feeds without a carriage return, which the program does not write "
    "(was it converted?); each was read as a line feed";

FileText read_text_mode(std::string_view bytes) {
  FileText out;
  out.text.reserve(bytes.size());
  out.raw_at.reserve(bytes.size() + 1);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out.raw_at.push_back(i);
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      out.text += '\n';
      ++i;
    } else {
      if (bytes[i] == '\n') out.bare_line_feed = true;
      out.text += bytes[i];
    }
  }
  out.raw_at.push_back(bytes.size());
  return out;
}

FileText read_byte_mode(std::string_view bytes) {
  FileText out;
  out.text.assign(bytes);
  out.raw_at.resize(bytes.size() + 1);
  for (std::size_t i = 0; i <= bytes.size(); ++i)
    out.raw_at[i] = i;
  return out;
}

// Bytes as a problem message shows them: printable ASCII as it is, others as \xNN.
std::string shown(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F) {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    }
  }
  return out;
}

// Counts the file's lines up to an offset, moving forward only.
class LineCounter {
 public:
  explicit LineCounter(std::string_view bytes) : bytes_(bytes) {}
  std::size_t line_at(std::size_t offset) {
    if (offset < at_) {
      at_ = 0;
      line_ = 1;
    }
    for (; at_ < offset && at_ < bytes_.size(); ++at_) {
      if (bytes_[at_] == '\n') ++line_;
    }
    return line_;
  }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
  std::size_t line_ = 1;
};

void mark_bad(DecodedFile& file, std::size_t offset, std::size_t line, std::string problem) {
  if (file.bad) return;
  file.bad = true;
  file.bad_offset = offset;
  file.bad_line = line;
  file.problem = std::move(problem);
}

// ---- fixed-width records ----

bool all_digits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// What the generators always write at a place: dates of eight digits ("00000000" for
// none), flags 0 or 1, the constant texts. Empty when the record has them all.
std::string fixed_record_problem(const RecordLayout& layout, std::string_view text) {
  const std::string_view function = layout.function;
  auto date = [&](std::size_t pos) -> std::string {
    const std::string_view field = text.substr(pos, 8);
    if (all_digits(field)) return {};
    return "places " + std::to_string(pos) + " to " + std::to_string(pos + 7) + " hold \"" +
           shown(field) + "\", not a date of eight digits";
  };
  auto flag = [&](std::size_t pos, std::string_view allowed) -> std::string {
    if (allowed.find(text[pos]) != std::string_view::npos) return {};
    return "place " + std::to_string(pos) + " holds \"" + shown(text.substr(pos, 1)) + "\", not " +
           (allowed.size() == 1 ? std::string(allowed) : "0 or 1");
  };
  auto constant = [&](std::size_t pos, std::string_view expected) -> std::string {
    if (text.substr(pos, expected.size()) == expected) return {};
    return "places " + std::to_string(pos) + " to " + std::to_string(pos + expected.size() - 1) +
           " hold \"" + shown(text.substr(pos, expected.size())) + "\", not \"" +
           std::string(expected) + "\"";
  };
  std::string problem;
  auto first = [&](std::string found) {
    if (problem.empty()) problem = std::move(found);
  };
  if (function == "ZKDNL17P" || function == "ZKDNL60P") {
    first(date(13));
    first(flag(21, "01"));
    first(flag(22, "01"));
  } else if (function == "ZKDNL31P") {
    first(date(13));
    first(date(21));
    first(flag(29, "01"));
    first(flag(30, "1"));
    first(constant(31, "XXXX,XX-"));
    first(constant(39, "001"));
  }
  return problem;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// The seven places of a value that hold the last seven characters of today's date
// ("d.mm.yy"): the lowest "#W1" slot writes its eight from the label's last place on.
bool date_tail(std::string_view value) {
  return value.size() == 7 && is_digit(value[0]) && value[1] == '.' && is_digit(value[2]) &&
         is_digit(value[3]) && value[4] == '.' && is_digit(value[5]) && is_digit(value[6]);
}

std::vector<std::string> fixed_fields(const RecordLayout& layout, std::string_view text) {
  std::vector<std::string> fields;
  for (const RecordField& field : layout.fields) {
    fields.emplace_back(text.substr(std::min(field.pos, text.size()), field.width));
  }
  if (std::string_view(layout.function) == "ZKDNL18P") {
    for (std::size_t label = 1; label + 1 < fields.size(); label += 2) {
      std::string& name = fields[label];
      std::string& value = fields[label + 1];
      if (name.size() == 13 && is_digit(name.back()) && date_tail(value)) {
        value.insert(value.begin(), name.back());
        name.pop_back();
      }
    }
  }
  return fields;
}

DecodedFile decode_fixed(const RecordLayout& layout, std::string_view bytes) {
  DecodedFile file;
  const std::size_t width = layout.width;
  FileText text = read_text_mode(bytes);
  // When neither reading makes whole records, the one the program writes shows where.
  if (text.text.size() % width != 0 && bytes.size() % width == 0) {
    text = read_byte_mode(bytes);
    file.reading =
        "read byte for byte: only so does the file's length make whole records, so its CR LF "
        "pairs were not written by the program for line feeds";
  } else if (text.bare_line_feed) {
    file.reading = kBareLineFeed;
  }
  LineCounter lines(bytes);
  const std::size_t whole = text.text.size() / width;
  for (std::size_t i = 0; i < whole; ++i) {
    const std::size_t begin = text.raw_at[i * width];
    const std::size_t end = text.raw_at[(i + 1) * width];
    const std::string_view record = std::string_view(text.text).substr(i * width, width);
    const std::size_t line = lines.line_at(begin);
    if (std::string problem = fixed_record_problem(layout, record); !problem.empty()) {
      mark_bad(
          file, begin, line,
          "record " + std::to_string(i + 1) + " at byte " + std::to_string(begin) + ": " + problem);
      continue;
    }
    DecodedRecord decoded;
    decoded.offset = begin;
    decoded.line = line;
    decoded.raw.assign(bytes.substr(begin, end - begin));
    decoded.text.assign(record);
    decoded.fields = fixed_fields(layout, record);
    file.records.push_back(std::move(decoded));
  }
  if (text.text.size() % width != 0) {
    const std::size_t begin = text.raw_at[whole * width];
    mark_bad(file, begin, lines.line_at(begin),
             "the last " + std::to_string(text.text.size() - whole * width) +
                 " characters from byte " + std::to_string(begin) + " make no whole record of " +
                 std::to_string(width) + " (the file has " + std::to_string(bytes.size()) +
                 " bytes)");
  }
  return file;
}

// ---- IDSTAMM lines ----

// What each of the thirteen fields can hold, as the generator fills it.
enum class Holds {
  kText,      // anything up to max characters
  kDigits,    // up to max digits (a date)
  kFlag,      // "0" or "1"
  kLocation,  // nothing, or exactly five characters
  kNumber,    // a whole number of up to max characters, or nothing when may_be_empty
  kExact,     // exactly the text given
};

struct FieldRule {
  Holds holds;
  std::size_t max;
  const char* exact;
  bool may_be_empty;
};

constexpr FieldRule kLineRules[13] = {
    {Holds::kText, 50, nullptr, true},     // badge number
    {Holds::kDigits, 14, nullptr, true},   // valid from
    {Holds::kDigits, 14, nullptr, true},   // valid to
    {Holds::kLocation, 5, nullptr, true},  // last five places of the location number
    {Holds::kFlag, 1, nullptr, false},     // time recording
    {Holds::kFlag, 1, nullptr, false},     // access
    {Holds::kNumber, 4, nullptr, true},    // language
    {Holds::kText, 10, nullptr, true},     // balance list
    {Holds::kExact, 3, "001", false},      // fixed code
    {Holds::kText, 5, nullptr, true},      // class
    {Holds::kExact, 0, "", true},          // spare: nothing fills it
    {Holds::kText, 8, nullptr, true},      // person
    {Holds::kNumber, 2, nullptr, false},   // badge type
};
constexpr std::size_t kLineFields = 13;

bool fits(const FieldRule& rule, std::string_view value) {
  if (value.size() > rule.max) return false;
  switch (rule.holds) {
    case Holds::kText:
      return true;
    case Holds::kDigits:
      return all_digits(value);
    case Holds::kFlag:
      return value == "0" || value == "1";
    case Holds::kLocation:
      return value.empty() || value.size() == 5;
    case Holds::kNumber: {
      if (value.empty()) return rule.may_be_empty;
      const std::string_view digits = value[0] == '-' ? value.substr(1) : value;
      return !digits.empty() && all_digits(digits);
    }
    case Holds::kExact:
      return value == rule.exact;
  }
  return false;
}

// Where a line may end: in a file, after its closing quote comes CR LF, or, when its values
// hold a line feed, nothing (the next line's quote or the file's end); a record text alone
// ends with its closing quote.
enum class LineEnd { kFile, kText };

// The splits of one line starting at its opening quote, counted up to two by the fields
// they leave to the right of a place; memoised, so that a line of many quotes costs a few
// thousand steps at most.
class LineSplitter {
 public:
  // look_ahead: a line ends only where the file ends or the next line can be split too
  // (asked without looking further), so that a quote and a line feed inside a value do not
  // end the line early and leave the rest of it as a bad line.
  LineSplitter(std::string_view text, std::size_t start, LineEnd mode, bool look_ahead)
      : text_(text), start_(start), mode_(mode), look_ahead_(look_ahead) {
    // No line the generator writes is longer than its fields and their quotes and commas.
    span_ = std::min<std::size_t>(text.size() - start, 256) + 1;
    memo_.assign(kLineFields * span_, -1);
  }

  // 0, 1, or 2 for two or more.
  int count() { return count_from(0, start_ + 1); }

  // The first split: the fields and the place after the line (its line end included).
  std::vector<std::string> first(std::size_t& end) {
    std::vector<std::string> fields;
    std::size_t pos = start_ + 1;
    for (std::size_t k = 0; k < kLineFields; ++k) {
      for (std::size_t e = pos; e < limit(pos, k); ++e) {
        if (!closes(k, pos, e)) continue;
        if (k + 1 < kLineFields ? count_from(k + 1, e + 3) > 0 : line_end(e, end)) {
          fields.emplace_back(text_.substr(pos, e - pos));
          pos = e + 3;
          break;
        }
      }
    }
    return fields;
  }

 private:
  std::size_t limit(std::size_t pos, std::size_t k) const {
    return std::min(text_.size(), pos + kLineRules[k].max + 1);
  }

  // Whether field k may run from pos to a closing quote at e, followed by the separator
  // when another field comes.
  bool closes(std::size_t k, std::size_t pos, std::size_t e) const {
    if (text_[e] != '"' || !fits(kLineRules[k], text_.substr(pos, e - pos))) return false;
    return k + 1 == kLineFields || text_.compare(e, 3, "\",\"") == 0;
  }

  bool line_end(std::size_t quote, std::size_t& end) const {
    const std::size_t after = quote + 1;
    if (mode_ == LineEnd::kText) {
      end = after;
      return after == text_.size();
    }
    const bool holds_line_feed =
        text_.substr(start_, after - start_).find('\n') != std::string_view::npos;
    if (holds_line_feed) {
      end = after;
      if (after < text_.size() && text_[after] != '"') return false;
    } else {
      end = after + 1;
      if (after >= text_.size() || text_[after] != '\n') return false;
    }
    if (!look_ahead_ || end >= text_.size()) return true;
    // Asked once per place: a line of many quotes has many ways to its last field.
    const auto known = next_splits_.find(end);
    if (known != next_splits_.end()) return known->second;
    const bool splits = LineSplitter(text_, end, LineEnd::kFile, false).count() > 0;
    next_splits_.emplace(end, splits);
    return splits;
  }

  int count_from(std::size_t k, std::size_t pos) {
    if (pos - start_ >= span_) return 0;
    int8_t& memo = memo_[k * span_ + (pos - start_)];
    if (memo >= 0) return memo;
    int found = 0;
    for (std::size_t e = pos; e < limit(pos, k) && found < 2; ++e) {
      if (!closes(k, pos, e)) continue;
      std::size_t end = 0;
      found += k + 1 < kLineFields ? count_from(k + 1, e + 3) : (line_end(e, end) ? 1 : 0);
    }
    memo = static_cast<int8_t>(std::min(found, 2));
    return memo;
  }

  std::string_view text_;
  std::size_t start_;
  LineEnd mode_;
  bool look_ahead_;
  mutable std::map<std::size_t, bool> next_splits_;  // by the next line's start
  std::size_t span_ = 0;
  std::vector<int8_t> memo_;
};

DecodedFile decode_lines(std::string_view bytes) {
  DecodedFile file;
  const FileText text = read_text_mode(bytes);
  if (text.bare_line_feed) file.reading = kBareLineFeed;
  const std::string_view all = text.text;
  LineCounter lines(bytes);
  std::size_t pos = 0;
  while (pos < all.size()) {
    const std::size_t begin = text.raw_at[pos];
    const std::size_t line = lines.line_at(begin);
    int readings = 0;
    std::size_t end = 0;
    std::vector<std::string> fields;
    if (all[pos] == '"') {
      // The readings after which the next line can be read too; else any (the next line is
      // then the bad one).
      LineSplitter splitter(all, pos, LineEnd::kFile, true);
      readings = splitter.count();
      if (readings == 0) {
        splitter = LineSplitter(all, pos, LineEnd::kFile, false);
        readings = splitter.count();
      }
      if (readings > 0) fields = splitter.first(end);
    }
    if (readings == 0) {
      const std::size_t next = all.find('\n', pos);
      const bool last = next == std::string_view::npos;
      std::string problem = "line " + std::to_string(line) + " (byte " + std::to_string(begin) +
                            ") is no IDSTAMM line of thirteen quoted fields";
      if (last && all[pos] == '"' && LineSplitter(all, pos, LineEnd::kText, false).count() > 0) {
        problem = "line " + std::to_string(line) + " (byte " + std::to_string(begin) +
                  ") has no line end: the file ends inside it";
      }
      mark_bad(file, begin, line, problem);
      pos = last ? all.size() : next + 1;
      continue;
    }
    DecodedRecord record;
    record.offset = begin;
    record.line = line;
    record.raw.assign(bytes.substr(begin, text.raw_at[end] - begin));
    record.text.assign(all.substr(pos, end - pos));
    if (!record.text.empty() && record.text.back() == '\n') record.text.pop_back();
    record.fields = std::move(fields);
    if (readings > 1) {
      record.note =
          "its values hold quotes and commas so that more than one split into thirteen fields "
          "fits; the first is shown";
    }
    file.records.push_back(std::move(record));
    pos = end;
  }
  return file;
}

}  // namespace

DecodedFile download_decode(const RecordLayout& layout, std::string_view bytes) {
  return layout.width > 0 ? decode_fixed(layout, bytes) : decode_lines(bytes);
}

std::string decoded_badge_number(const RecordLayout& layout, const DecodedRecord& record) {
  if (record.fields.empty()) return {};
  std::string number = record.fields[0];
  if (layout.width > 0) {
    while (!number.empty() && number.back() == ' ')
      number.pop_back();
  }
  return number;
}

std::vector<std::string> decode_record_fields(const RecordLayout& layout, std::string_view text,
                                              int& readings) {
  if (layout.width > 0) {
    readings = text.size() == layout.width ? 1 : 0;
    return readings == 1 ? fixed_fields(layout, text) : std::vector<std::string>{};
  }
  readings = 0;
  if (text.empty() || text[0] != '"') return {};
  LineSplitter splitter(text, 0, LineEnd::kText, false);
  readings = splitter.count();
  if (readings == 0) return {};
  std::size_t end = 0;
  return splitter.first(end);
}
