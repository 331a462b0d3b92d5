#pragma once
// The inspector's output: UTF-8 for people and scripts alike. The database's texts and the
// download files are Windows-1252; they are converted here, a byte that code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) to the control character of the same number, as
// the server's latin1 reads it.

#include <string>
#include <string_view>
#include <vector>

enum class OutputFormat { kText, kTsv, kJson };

// The Windows-1252 text in UTF-8, unchanged otherwise.
std::string text_utf8(std::string_view cp1252);

// A UTF-8 text (a command-line argument) in Windows-1252, as the database and the files hold
// it; a text that is no valid UTF-8, or has a character Windows-1252 lacks, stays as it is.
std::string text_windows_1252(std::string_view utf8);

// For people: UTF-8, with tab, line feed, carriage return, backslash and the other control
// characters written as \t, \n, \r, \\ and \xNN, so that one value stays on one line.
std::string text_shown(std::string_view cp1252);

// For a TSV field: as text_shown, so that the field holds no tab or line end.
std::string tsv_field(std::string_view cp1252);
// The same for a text already in UTF-8.
std::string tsv_plain(std::string_view utf8);

// For JSON: the text as a JSON string, quotes included.
std::string json_string(std::string_view cp1252);
// An ASCII or UTF-8 text of the inspector's own as a JSON string.
std::string json_plain(std::string_view utf8);

// Lines of columns aligned by their width in characters, cells already UTF-8; two blanks
// between columns, no trailing blanks.
std::string text_table(const std::vector<std::vector<std::string>>& rows);

// One TSV line from fields already escaped.
std::string tsv_line(const std::vector<std::string>& fields);
