#pragma once
// Windows-1252, the text of the database and of the console, to and from UTF-8, the text of
// reports, logs and job files. Both directions go through iconv(3).
//
// Windows-1252 leaves five bytes undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D). They are read as
// the C1 control characters of the same number (U+0081, U+008D, U+008F, U+0090, U+009D), as
// browsers read them, and written back as those bytes: no byte of a database text is lost or
// turned into another, and the UTF-8 is always valid.

#include <string>
#include <string_view>

// The UTF-8 form of Windows-1252 text; never fails. Should the C library lack the
// Windows-1252 converter, every byte above 0x7F becomes U+FFFD.
std::string cp1252_to_utf8(std::string_view text);

// The Windows-1252 form of UTF-8 text into out. False when text is not valid UTF-8 or holds
// a character that Windows-1252 has not (out is then unspecified).
[[nodiscard]] bool utf8_to_cp1252(std::string_view text, std::string& out);
