#include "db/escape.h"

#include <mysql.h>

#include "db/connection.h"

std::string db_escape(std::string_view value) {
  std::string escaped(value.size() * 2 + 1, '\0');
  const unsigned long n =
      mysql_real_escape_string(db_handle(), escaped.data(), value.data(), value.size());
  escaped.resize(n);
  return escaped;
}

std::string db_quote_identifier(std::string_view name) {
  std::string quoted = "`";
  for (char c : name) {
    if (c == '`') quoted += '`';
    quoted += c;
  }
  quoted += '`';
  return quoted;
}
