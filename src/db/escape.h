#pragma once
// Values and names in SQL texts: every value put between single quotes is escaped, every
// client schema used as a table prefix is quoted as an identifier.

#include <string>
#include <string_view>

// The value escaped for use between single quotes, by the open connection's character set.
std::string db_escape(std::string_view value);

// The name between backticks, an inner backtick doubled.
std::string db_quote_identifier(std::string_view name);
