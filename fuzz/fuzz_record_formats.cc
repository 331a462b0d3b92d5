// The pure formatters of the download records and of the values they carry, on arbitrary
// badges, balance lists and numbers. The first byte of the input chooses the formatter,
// the rest feeds it.
//
// What must hold: every fixed-width record has exactly its width and each field stands at
// its place as the formatter's header describes it (cut to its width, blanks where a field
// leaves places open); the IDSTAMM line is the thirteen quoted fields and a line feed and
// stays within the staging table's 512 characters; a staged record goes into the file
// padded, each line feed preceded by a carriage return; the value texts keep their lead,
// comma and trailing sign for any long and any double, and a vacation figure's two decimals
// round its decimal value with ties up, worked out here on whole thousandths.
//
// The expected records are built here field by field from the described layouts, so a
// field put at a wrong place, one cut to a wrong width or one reaching into the next shows.
//
// The inspector's decoder reads each record back as the download file holds it: a decoded
// record is the staged one, its bytes the file's; an IDSTAMM line whose fields hold what the
// generator writes there is found, and split as written when only one split fits. On any
// bytes, the records it finds are pieces of the file that the program's writing gives back.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>

#include "badge_fill.h"
#include "base/text.h"
#include "fuzz_support.h"
#include "generators/idstamm.h"
#include "generators/zkdnl17p.h"
#include "generators/zkdnl18p.h"
#include "generators/zkdnl31p.h"
#include "generators/zkdnl60p.h"
#include "inspect/download_decode.h"
#include "lookup/balance_list.h"
#include "lookup/day_values.h"
#include "lookup/vacation.h"
#include "run/download_file.h"

namespace {

// The display codes the records know, and neighbours of them that must select nothing.
constexpr const char* kCodes[] = {"#W1",  "#W2",  "#W3",  "#W4",  "#W5",  "#W6",  "#W7",
                                  "#W8",  "#W9",  "#W10", "#W11", "#W12", "#W13", "#W14",
                                  "#W15", "#W16", "#W17", "#W0",  "#W02", "#w2",  "#W2 ",
                                  " #W2", "W2",   "#W",   ""};

// text cut to width and filled up with blanks to it.
std::string fit(std::string_view text, std::size_t width) {
  std::string field(text.substr(0, width));
  field.resize(width, ' ');
  return field;
}

// Writes text at pos with its own length, as the records' fields are written: a shorter
// text leaves what stood behind it.
void place(std::string& record, std::size_t pos, std::string_view text) {
  record.replace(pos, text.size(), text);
}

std::string escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F && c != '\\') {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    }
  }
  return out;
}

// A record that differs from the expected one is a finding; both are shown.
void check_record(const std::string& got, const std::string& want, const char* what) {
  if (got == want) return;
  std::fprintf(stderr, "\nfuzz: %s\n  got  [%s]\n  want [%s]\n", what, escaped(got).c_str(),
               escaped(want).c_str());
  fuzz_check_failed("got == want", __FILE__, __LINE__);
}

// The record as the file holds it, read back by the inspector's decoder: a record it takes
// is the staged one, padded, and its bytes are the file's.
void check_read_back(const char* function, const std::string& record) {
  const RecordLayout& layout = *record_layout(function);
  std::string staged = record;
  trim_trailing_blanks(staged);
  std::string file;
  download_record_append(file, staged, static_cast<int>(layout.width), layout.width > 0);
  const DecodedFile decoded = download_decode(layout, file);
  if (decoded.bad) {
    FUZZ_CHECK(decoded.records.empty());
    return;
  }
  FUZZ_CHECK(decoded.records.size() == 1);
  FUZZ_CHECK(decoded.records[0].raw == file);
  std::string padded = staged;
  if (padded.size() < layout.width) padded.resize(layout.width, ' ');
  check_record(decoded.records[0].text, padded, "record read back");
}

bool flag_set(const char* flag) {
  return std::strcmp(flag, "1") == 0;
}

// A date field of 8 places that would stay all blank reads as eight zeros.
std::string date_field(std::string_view date) {
  const std::string field = fit(date, 8);
  return field == "        " ? "00000000" : field;
}

bool names_reader(const char* slot) {
  return std::isdigit(static_cast<unsigned char>(slot[0])) != 0;
}

// The day value that a ZKDNL60P display code chooses: "#W2" the first, "#W9" to "#W16" the
// second to ninth; nothing for any other text.
const std::string* day_value_of_code(const BadgeRecord& badge, std::string_view code) {
  if (code == "#W2") return &badge.day_values[0];
  for (int n = 9; n <= 16; ++n) {
    if (code == "#W" + std::to_string(n)) return &badge.day_values[n - 8];
  }
  return nullptr;
}

std::string choose_code(FuzzedDataProvider& input) {
  if (input.ConsumeBool()) return input.PickValueInArray(kCodes);
  char code[11];
  fuzz_fill_field(input, code);
  return code;
}

// Header fields of ZKDNL17P and ZKDNL60P: number, valid from, the two flags.
std::string flagged_head(const BadgeRecord& badge, std::size_t width) {
  std::string record(width, ' ');
  place(record, 0, fit(badge.AswNum, 13));
  place(record, 13, date_field(badge.AswGvo));
  record[21] = flag_set(badge.time_flag) ? '1' : '0';
  record[22] = flag_set(badge.access_flag) ? '1' : '0';
  return record;
}

// Reader n's group at pos: the reader's number and the class, each with its own length.
void place_reader_group(std::string& record, std::size_t pos, const BadgeRecord& badge,
                        std::size_t slot) {
  place(record, pos, std::string_view(badge.reader_slots[slot]).substr(0, 2));
  place(record, pos + 2, std::string_view(badge.AswBkl).substr(0, 3));
}

void check_zkdnl17p(FuzzedDataProvider& input) {
  BadgeRecord badge;
  fuzz_fill_badge(input, badge);
  const bool location_found = input.ConsumeBool();
  const std::string record = zkdnl17p_format(badge, location_found);
  FUZZ_CHECK(record.size() == 85);

  std::string want = flagged_head(badge, 85);
  const std::string_view day_value = badge.day_values[0];
  if (!day_value.empty()) place(want, 23, day_value.substr(0, 7));
  if (flag_set(badge.access_flag)) {
    for (std::size_t i = 0; i < 11; ++i) {
      if (names_reader(badge.reader_slots[i])) place_reader_group(want, 30 + 5 * i, badge, i);
    }
  }
  if (location_found) {
    place(want, 60, "07");
    place(want, 62, std::string_view(badge.StoKtx).substr(0, 3));
  }
  check_record(record, want, "ZKDNL17P record");
  check_read_back("ZKDNL17P", record);
}

void check_zkdnl60p(FuzzedDataProvider& input) {
  BadgeRecord badge;
  fuzz_fill_badge(input, badge);
  const std::string code = choose_code(input);
  const std::string record = zkdnl60p_format(badge, code);
  FUZZ_CHECK(record.size() == 45);

  std::string want = flagged_head(badge, 45);
  if (const std::string* value = day_value_of_code(badge, code)) {
    place(want, 23, std::string_view(*value).substr(0, 7));
  }
  if (flag_set(badge.access_flag)) {
    for (std::size_t i = 0; i < 3; ++i) {
      if (names_reader(badge.reader_slots[i])) place_reader_group(want, 30 + 5 * i, badge, i);
    }
  }
  check_record(record, want, "ZKDNL60P record");
  check_read_back("ZKDNL60P", record);
}

void check_zkdnl31p(FuzzedDataProvider& input) {
  BadgeRecord badge;
  fuzz_fill_badge(input, badge);
  const std::string record = zkdnl31p_format(badge);
  FUZZ_CHECK(record.size() == 48);
  // The constant fields stand whatever the badge holds.
  FUZZ_CHECK(record[30] == '1');
  FUZZ_CHECK(record.compare(31, 8, "XXXX,XX-") == 0);
  FUZZ_CHECK(record.compare(39, 3, "001") == 0);
  if (std::strlen(badge.AswNum) <= 13)
    FUZZ_CHECK(record.compare(0, 13, fit(badge.AswNum, 13)) == 0);

  std::string want(48, ' ');
  place(want, 0, fit(badge.AswNum, 13));
  place(want, 13, date_field(badge.AswGvo));
  place(want, 21, date_field(badge.AswGbi));
  want[29] = flag_set(badge.time_flag) ? '1' : '0';
  want[30] = '1';
  place(want, 31, "XXXX,XX-001");
  place(want, 42, fit(badge.AswBkl, 3));
  place(want, 45, fit(badge.StoKtx, 3));
  check_record(record, want, "ZKDNL31P record");
  check_read_back("ZKDNL31P", record);
}

// The value of each display code as zkdnl18p_slot_value promises it.
void check_slot_value(std::string_view code, const BadgeRecord& badge, std::string_view today,
                      const std::string& value) {
  if (code == "#W1") {
    FUZZ_CHECK(value == today);
  } else if (const std::string* day_value = day_value_of_code(badge, code)) {
    FUZZ_CHECK(value == *day_value);
  } else if (code.size() == 3 && code.starts_with("#W") && code[2] >= '3' && code[2] <= '8') {
    FUZZ_CHECK(std::find(std::begin(badge.vacation_values), std::end(badge.vacation_values),
                         value) != std::end(badge.vacation_values));
  } else {
    FUZZ_CHECK(value == "       ");
  }
}

void check_zkdnl18p(FuzzedDataProvider& input) {
  BadgeRecord badge;
  fuzz_fill_badge(input, badge);
  const std::string today = input.ConsumeBool()
                                ? std::string("05.03.27")
                                : input.ConsumeBytesAsString(input.ConsumeIntegralInRange(0, 12));
  BalanceList slots;
  for (int n = 1; n <= 8; ++n) {
    BalanceSlot& slot = slots.slot(n);
    slot.TsaLfd = n;
    slot.TsaSpl = input.ConsumeIntegralInRange(0, 3);
    fuzz_fill_field(input, slot.label);
    const std::string code = choose_code(input);
    std::strcpy(slot.code, code.c_str());
    if (input.ConsumeBool()) {
      slot.value = zkdnl18p_slot_value(slot.code, badge, today);
      check_slot_value(slot.code, badge, today, slot.value);
    } else {
      slot.value = input.ConsumeBytesAsString(input.ConsumeIntegralInRange(0, 40));
    }
  }
  const std::string number = input.ConsumeBool()
                                 ? std::string(badge.AswNum)
                                 : input.ConsumeBytesAsString(input.ConsumeIntegralInRange(0, 60));
  const std::string terminal_type =
      input.ConsumeBool() ? std::string("7598-002")
                          : input.ConsumeBytesAsString(input.ConsumeIntegralInRange(0, 10));
  const std::string record = zkdnl18p_format(number, slots, today, terminal_type);
  FUZZ_CHECK(record.size() == 173);

  std::string want(173, ' ');
  place(want, 0, fit(number, 13));
  for (int n = 1; n <= 8; ++n) {
    const BalanceSlot& slot = slots.slot(n);
    const std::size_t pos = 13 + 20 * static_cast<std::size_t>(n - 1);
    const std::string_view label = slot.label;
    if (n >= 5 && slot.TsaSpl == 2 && !label.empty()) {
      place(want, pos + 1, label.substr(0, 12));
    } else {
      place(want, pos, label.substr(0, 13));
    }
    place(want, pos + 13,
          slot.value.empty() ? "       " : std::string_view(slot.value).substr(0, 7));
  }
  for (int n = 1; n <= 8; ++n) {
    if (std::strcmp(slots.slot(n).code, "#W1") != 0) continue;
    place(want, 13 + 20 * static_cast<std::size_t>(n - 1) + 12,
          std::string_view(today).substr(0, 8));
    break;
  }
  if (terminal_type == "7598-002") want.replace(93, 80, 80, ' ');
  check_record(record, want, "ZKDNL18P record");
  check_read_back("ZKDNL18P", record);
}

// A digit for each byte: a date as the server formats it.
void make_digits(char* field) {
  for (char* c = field; *c != '\0'; ++c)
    *c = static_cast<char>('0' + static_cast<unsigned char>(*c) % 10);
}

// The badge's line, its fixed fields made what the generator writes there (digits, flags,
// numbers, the location's five places) and its texts as they came: the decoder must find the
// line, and split it as written unless another split fits as well.
void check_line_read_back(BadgeRecord badge) {
  make_digits(badge.AswGvo);
  make_digits(badge.AswGbi);
  std::strcpy(badge.time_flag, badge.time_flag[0] % 2 ? "1" : "0");
  std::strcpy(badge.access_flag, badge.access_flag[0] % 2 ? "1" : "0");
  std::snprintf(badge.PnrSpr, sizeof badge.PnrSpr, "%d", badge.PnrSpr[0] % 100);
  std::snprintf(badge.AswAtp, sizeof badge.AswAtp, "%d", badge.AswAtp[0] % 10);
  std::strcpy(badge.fixed_code, "001");
  badge.spare_text[0] = '\0';
  if (std::strlen(badge.AwvSto) != 8) badge.AwvSto[0] = '\0';
  const std::string line = idstamm_format(badge);
  std::string staged = line;
  trim_trailing_blanks(staged);
  std::string file;
  download_record_append(file, staged, 0, false);
  const DecodedFile decoded = download_decode(*record_layout("IDSTAMM"), file);
  FUZZ_CHECK(!decoded.bad);
  FUZZ_CHECK(decoded.records.size() == 1);
  const DecodedRecord& record = decoded.records[0];
  FUZZ_CHECK(record.raw == file);
  check_record(record.text, staged, "IDSTAMM line read back");
  if (!record.note.empty()) return;
  const std::string_view location =
      std::string_view(badge.AwvSto).substr(std::min<std::size_t>(3, std::strlen(badge.AwvSto)));
  const std::string written[] = {badge.AswNum,     badge.AswGvo,
                                 badge.AswGbi,     location == "00000" ? "" : std::string(location),
                                 badge.time_flag,  badge.access_flag,
                                 badge.PnrSpr,     badge.PnrSal,
                                 badge.fixed_code, badge.AswBkl,
                                 badge.spare_text, badge.AswPnr,
                                 badge.AswAtp};
  FUZZ_CHECK(record.fields.size() == std::size(written));
  for (std::size_t i = 0; i < std::size(written); ++i) {
    check_record(record.fields[i], written[i], "IDSTAMM field read back");
  }
}

void check_idstamm(FuzzedDataProvider& input) {
  BadgeRecord badge;
  fuzz_fill_badge(input, badge);
  const std::string line = idstamm_format(badge);
  // Every field within its BadgeRecord width: the line fits the staging table's 512.
  FUZZ_CHECK(line.size() <= 512);
  FUZZ_CHECK(line.ends_with("\"\n"));

  const auto quoted = [](std::string_view field) { return "\"" + std::string(field) + "\""; };
  const std::string head =
      quoted(badge.AswNum) + "," + quoted(badge.AswGvo) + "," + quoted(badge.AswGbi) + ",\"";
  const std::string tail = "\"," + quoted(badge.time_flag) + "," + quoted(badge.access_flag) + "," +
                           quoted(badge.PnrSpr) + "," + quoted(badge.PnrSal) + "," +
                           quoted(badge.fixed_code) + "," + quoted(badge.AswBkl) + "," +
                           quoted(badge.spare_text) + "," + quoted(badge.AswPnr) + "," +
                           quoted(badge.AswAtp) + "\n";
  FUZZ_CHECK(line.size() >= head.size() + tail.size());
  FUZZ_CHECK(line.starts_with(head));
  FUZZ_CHECK(line.ends_with(tail));
  const std::string_view location =
      std::string_view(line).substr(head.size(), line.size() - head.size() - tail.size());
  const std::string_view number = badge.AwvSto;
  if (number.size() == 8) {
    // The eight places as the badge list reads them: the last five, none for "00000".
    check_record(std::string(location),
                 number.ends_with("00000") ? "" : std::string(number.substr(3)),
                 "IDSTAMM location field");
  } else {
    FUZZ_CHECK(location.size() <= 5);
    FUZZ_CHECK(number.ends_with(location));
  }
  check_line_read_back(badge);
}

// Any bytes read as a file of each function: the records found are pieces of the file, one
// after the other, that the program's writing of their texts gives back.
void check_any_file(const std::string& bytes) {
  for (const RecordLayout& layout : record_layouts()) {
    const DecodedFile decoded = download_decode(layout, bytes);
    std::size_t after = 0;
    for (const DecodedRecord& record : decoded.records) {
      FUZZ_CHECK(record.offset >= after);
      FUZZ_CHECK(bytes.compare(record.offset, record.raw.size(), record.raw) == 0);
      FUZZ_CHECK(record.fields.size() == layout.fields.size());
      after = record.offset + record.raw.size();
      if (!decoded.reading.empty()) continue;
      std::string written;
      download_record_append(written, record.text, static_cast<int>(layout.width),
                             layout.width > 0);
      check_record(written, record.raw, "record found in any bytes");
    }
    FUZZ_CHECK(decoded.bad || after == bytes.size());
    FUZZ_CHECK(!decoded.bad || decoded.bad_offset <= bytes.size());
  }
}

void check_download_record(FuzzedDataProvider& input) {
  const int width = input.ConsumeIntegralInRange(-2, 600);
  const bool fixed = input.ConsumeBool();
  const std::string before = input.ConsumeBytesAsString(input.ConsumeIntegralInRange(0, 4));
  const std::string record = input.ConsumeRemainingBytesAsString();
  std::string out = before;
  download_record_append(out, record, width, fixed);
  FUZZ_CHECK(out.starts_with(before));
  const std::string_view appended = std::string_view(out).substr(before.size());

  std::string padded = record;
  if (width > 0 && padded.size() < static_cast<std::size_t>(width)) {
    padded.resize(static_cast<std::size_t>(width), ' ');
  }
  const bool line_end_added = !fixed && padded.find('\n') == std::string::npos;
  const auto line_feeds =
      static_cast<std::size_t>(std::count(appended.begin(), appended.end(), '\n'));
  FUZZ_CHECK(appended.size() == padded.size() + (line_end_added ? 1 : 0) + line_feeds);
  // Each line feed has its carriage return; taking those out gives the padded record back.
  std::string without;
  for (std::size_t i = 0; i < appended.size(); ++i) {
    if (appended[i] == '\n') {
      FUZZ_CHECK(i > 0 && appended[i - 1] == '\r');
      without.pop_back();
    }
    without += appended[i];
  }
  check_record(without, line_end_added ? padded + "\n" : padded, "download record");
  check_any_file(out);
}

void check_hours_minutes(long minutes) {
  const std::string text = format_hours_minutes(minutes);
  const unsigned long magnitude =
      minutes < 0 ? 0UL - static_cast<unsigned long>(minutes) : static_cast<unsigned long>(minutes);
  FUZZ_CHECK(text.size() >= 7);
  FUZZ_CHECK(text.back() == (minutes < 0 ? '-' : ' '));
  const std::size_t lead = magnitude < 600 ? 2 : magnitude < 6000 ? 1 : 0;
  FUZZ_CHECK(text.compare(0, lead, "  ", lead) == 0);
  // Hours, a comma, two digits of minutes, the sign.
  const std::string_view body = std::string_view(text).substr(lead, text.size() - lead - 1);
  FUZZ_CHECK(body.size() >= 4 && body[body.size() - 3] == ',');
  const std::string_view hours = body.substr(0, body.size() - 3);
  const std::string_view rest = body.substr(body.size() - 2);
  const auto digits = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  FUZZ_CHECK(digits(hours) && digits(rest));
  FUZZ_CHECK(hours.size() == 1 || hours[0] != '0');
  const unsigned long parsed_hours = std::strtoul(std::string(hours).c_str(), nullptr, 10);
  const unsigned long parsed_minutes = std::strtoul(std::string(rest).c_str(), nullptr, 10);
  FUZZ_CHECK(parsed_minutes < 60);
  FUZZ_CHECK(parsed_hours == magnitude / 60 && parsed_minutes == magnitude % 60);
  if (magnitude < 60000) {
    FUZZ_CHECK(text.size() == 7);
    FUZZ_CHECK(text[3] == ',');
  }
}

// |x| (finite, not negative) with two decimals as the vacation figures are meant: the
// six-decimal text read as a count of millionths, rounded to hundredths with ties up. Counted
// in 128 bits below 2^53; from there on every double is a whole number.
std::string two_decimals_expected(double magnitude) {
  if (magnitude >= 9007199254740992.0) {
    char whole[400];
    std::snprintf(whole, sizeof whole, "%.0f", magnitude);
    return std::string(whole) + ",00";
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", magnitude);
  unsigned __int128 millionths = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c != '.') millionths = millionths * 10 + static_cast<unsigned>(*c - '0');
  }
  const auto hundredths = static_cast<unsigned long long>((millionths + 5000) / 10000);
  char body[64];
  std::snprintf(body, sizeof body, "%llu,%02llu", hundredths / 100, hundredths % 100);
  return body;
}

void check_decimal(double x) {
  const std::string text = format_decimal(x);
  FUZZ_CHECK(!text.empty());
  // Lead and sign follow the figure: x with six decimals.
  char six[400];
  std::snprintf(six, sizeof six, "%.6f", x);
  const double figure = std::strtod(six, nullptr);
  FUZZ_CHECK(text.back() == (figure < 0 ? '-' : ' '));
  const std::size_t lead =
      figure >= 100 || figure <= -100 ? 0 : figure >= 10 || figure <= -10 ? 1 : 2;
  FUZZ_CHECK(text.size() >= lead + 1);
  FUZZ_CHECK(text.compare(0, lead, "  ", lead) == 0);
  const std::string body = text.substr(lead, text.size() - lead - 1);
  if (std::isnan(x)) {
    FUZZ_CHECK(body == "nan");
    return;
  }
  if (std::isinf(x)) {
    FUZZ_CHECK(body == "inf");
    return;
  }
  // Digits, a decimal comma, two decimals; within half a hundredth of the six-decimal value
  // of |x|, so within that and half a millionth of |x|.
  FUZZ_CHECK(body.size() >= 4 && body[body.size() - 3] == ',');
  FUZZ_CHECK(body.find_first_not_of("0123456789,") == std::string::npos);
  FUZZ_CHECK(body.size() == 4 || body[0] != '0');
  const double magnitude = std::fabs(x);
  std::string point = body;
  point[point.size() - 3] = '.';
  FUZZ_CHECK(std::fabs(std::strtod(point.c_str(), nullptr) - magnitude) <=
             0.005 + 0.0000005 + magnitude * 1e-15);
  check_record(body, two_decimals_expected(magnitude), "two decimals of a figure");
}

std::uint64_t magnitude_of(std::int64_t thousandths) {
  return thousandths < 0 ? 0 - static_cast<std::uint64_t>(thousandths)
                         : static_cast<std::uint64_t>(thousandths);
}

// The text of a figure worked out on its thousandths as a whole number: ties of a half
// hundredth round up; lead and sign follow the thousandths, also for a difference of two
// figures whose doubles land just below a whole 10 or 100.
std::string figure_expected(std::int64_t thousandths) {
  const std::uint64_t magnitude = magnitude_of(thousandths);
  const std::uint64_t hundredths = (magnitude + 5) / 10;
  const char* lead = magnitude >= 100000 ? "" : magnitude >= 10000 ? " " : "  ";
  char text[64];
  std::snprintf(text, sizeof text, "%s%llu,%02llu%c", lead,
                static_cast<unsigned long long>(hundredths / 100),
                static_cast<unsigned long long>(hundredths % 100), thousandths < 0 ? '-' : ' ');
  return text;
}

// A figure of a DECIMAL(9,3) column as strtod reads the server's text of it.
double figure_double(std::int64_t thousandths) {
  const std::uint64_t magnitude = magnitude_of(thousandths);
  char text[32];
  std::snprintf(text, sizeof text, "%s%llu.%03llu", thousandths < 0 ? "-" : "",
                static_cast<unsigned long long>(magnitude / 1000),
                static_cast<unsigned long long>(magnitude % 1000));
  return std::strtod(text, nullptr);
}

void check_figure(std::int64_t thousandths) {
  const double x = figure_double(thousandths);
  FUZZ_CHECK((x >= 10) == (thousandths >= 10000) && (x >= 100) == (thousandths >= 100000));
  check_decimal(x);
  check_record(format_decimal(x), figure_expected(thousandths), "figure");
}

// The remaining days: entitled minus taken, as the two doubles give it.
void check_difference(std::int64_t entitled, std::int64_t taken) {
  const double x = figure_double(entitled) - figure_double(taken);
  check_decimal(x);
  check_record(format_decimal(x), figure_expected(entitled - taken), "difference of figures");
}

// The next 8 bytes as they lie in memory, zeros where the input ends: every bit pattern of
// a long or a double can be reached, NaNs and denormals among them.
template <typename T>
T raw_value(FuzzedDataProvider& input) {
  static_assert(sizeof(T) == 8);
  std::uint8_t bytes[8] = {};
  input.ConsumeData(bytes, std::min<std::size_t>(sizeof bytes, input.remaining_bytes()));
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

// Input: a long and a double as they lie in memory (16 bytes), then the choices near the
// edges of the leads and of the rounding.
void check_value_formats(FuzzedDataProvider& input) {
  const long minutes = raw_value<long>(input);
  const double x = raw_value<double>(input);

  check_hours_minutes(minutes);
  check_hours_minutes(minutes == LONG_MIN ? LONG_MAX : -minutes);
  // The region of the 7-character texts, from the same bits.
  check_hours_minutes(minutes % 70000);
  constexpr long kLeadEdges[] = {600, 6000, 60000};
  const long minutes_near =
      input.PickValueInArray(kLeadEdges) + input.ConsumeIntegralInRange(-2, 2);
  check_hours_minutes(input.ConsumeBool() ? -minutes_near : minutes_near);

  check_decimal(x);
  check_decimal(-x);
  // Figures as the server gives them, with three decimals: anywhere in the column's range,
  // and close to an edge, which the coverage of floating-point comparisons does not lead to.
  // The long's low digits make one figure, its high digits a second one taken from it.
  constexpr std::int64_t kColumn = 1000000000;  // DECIMAL(9,3): below a million
  check_figure(minutes % kColumn);
  check_difference(minutes % kColumn, minutes / kColumn % kColumn);
  check_decimal(static_cast<double>(static_cast<std::int32_t>(minutes % 2000000)) / 1000.0);
  constexpr std::int64_t kEdges[] = {0, 5, 9995, 10000, 99995, 100000, 999995, 1000000};
  const std::int64_t edge = input.PickValueInArray(kEdges) + input.ConsumeIntegralInRange(-9, 9);
  check_figure(input.ConsumeBool() ? -edge : edge);
  // The same edges as the remaining days, the entitlement within the column's range.
  const std::int64_t taken = input.ConsumeIntegralInRange<std::int64_t>(0, kColumn - 1 - 1000009);
  check_difference(edge + taken, taken);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  FuzzedDataProvider input(data + 1, size - 1);
  switch (data[0] % 7) {
    case 0:
      check_zkdnl17p(input);
      break;
    case 1:
      check_zkdnl60p(input);
      break;
    case 2:
      check_zkdnl31p(input);
      break;
    case 3:
      check_zkdnl18p(input);
      break;
    case 4:
      check_idstamm(input);
      break;
    case 5:
      check_download_record(input);
      break;
    case 6:
      check_value_formats(input);
      break;
  }
  return 0;
}
