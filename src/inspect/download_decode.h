#pragma once
// Reading a download file back into its records: the inverse of the run's last step
// (run/download_file.h), pure, for `vestragen-inspect show` and `diff`.
//
// The program writes every line feed of a record as CR LF, in fixed-width files too (a value
// may hold one), and IDSTAMM's values between quotes as they stand: a value may hold quotes,
// commas and line feeds, and a line whose values hold a line feed gets no line end of its
// own. The decoder takes CR LF for the line feed it stands for and splits an IDSTAMM line by
// what each of its thirteen fields can hold; where more than one split fits, it takes the
// first and says so.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/record_layout.h"

struct DecodedRecord {
  std::size_t offset = 0;           // of its first byte in the file
  std::size_t line = 1;             // the file's line of its first byte, from 1
  std::string raw;                  // its bytes in the file, line end included
  std::string text;                 // the record: line feeds for CR LF, no line end, no padding cut
  std::vector<std::string> fields;  // one per field of the layout, as the record holds them
  std::string note;                 // empty, or why the reading is not certain
};

struct DecodedFile {
  std::vector<DecodedRecord> records;  // the records that are what the function writes
  std::string reading;                 // empty, or how the file had to be read otherwise
  bool bad = false;                    // some part of the file is no record of the function
  std::size_t bad_offset = 0;          // the first such part: its byte offset
  std::size_t bad_line = 0;            // and line, from 1
  std::string problem;                 // and what is wrong with it
};

// Decodes bytes as a download file of layout's function.
DecodedFile download_decode(const RecordLayout& layout, std::string_view bytes);

// The record's badge number: its first field, trailing blanks cut in a fixed-width record.
std::string decoded_badge_number(const RecordLayout& layout, const DecodedRecord& record);

// Splits one record text (as DecodedRecord::text holds it) into the layout's fields;
// readings counts the splits that fit (0, 1, or 2 for "more than one"). For a fixed-width
// layout the text must have the record's width.
std::vector<std::string> decode_record_fields(const RecordLayout& layout, std::string_view text,
                                              int& readings);
