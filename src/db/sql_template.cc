#include "db/sql_template.h"

int sql_fill_template(std::string_view format, const std::vector<std::string>& quoted,
                      const std::vector<std::string>& bare, std::string& out) {
  out.clear();
  std::size_t next_quoted = 0;
  std::size_t next_bare = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format.compare(i, 4, "'%s'") == 0) {
      if (next_quoted == quoted.size()) return RC_BAD_TEMPLATE;
      out += quoted[next_quoted++];
      i += 3;
    } else if (format.compare(i, 2, "%%") == 0) {
      out += '%';
      ++i;
    } else if (format.compare(i, 2, "%s") == 0) {
      if (next_bare == bare.size()) return RC_BAD_TEMPLATE;
      out += bare[next_bare++];
      ++i;
    } else if (format[i] == '%') {
      return RC_BAD_TEMPLATE;
    } else {
      out += format[i];
    }
  }
  if (next_quoted != quoted.size()) return RC_BAD_TEMPLATE;
  return 0;
}

namespace {

// The derived table of the digits 0 to count - 1.
std::string digits_table(std::size_t count) {
  std::string table = "(SELECT 0 AS d";
  for (std::size_t d = 1; d < count; ++d)
    table += " UNION ALL SELECT " + std::to_string(d);
  return table + ")";
}

}  // namespace

std::string sql_literal_table(const std::vector<std::string>& literals, std::string_view alias,
                              std::string_view column) {
  const std::size_t n = literals.size();
  const std::string numbers = std::string(alias) + "_n";
  // The numbers 1 to n as the sum of decimal places, one derived table of digits per place;
  // the highest place only as far as n needs it, so that at most ten times n rows are made.
  std::string sum;
  std::string from;
  std::size_t weight = 1;
  for (int place = 0; place == 0 || weight < n; ++place, weight *= 10) {
    const std::string name = std::string(alias) + "_d" + std::to_string(place);
    const std::size_t highest = (n - 1) / weight;  // the highest digit n needs at this place
    sum += name + ".d" + (weight == 1 ? "" : " * " + std::to_string(weight)) + " + ";
    from +=
        (from.empty() ? "" : ", ") + digits_table(highest >= 9 ? 10 : highest + 1) + " AS " + name;
  }
  std::string table = "(SELECT ELT(" + numbers + ".i";
  std::size_t size = table.size();
  for (const std::string& literal : literals)
    size += literal.size() + 2;
  table.reserve(size + from.size() + sum.size() + 128);
  for (const std::string& literal : literals) {
    table += ", ";
    table += literal;
  }
  table += ") AS " + std::string(column) + " FROM (SELECT " + sum + "1 AS i FROM " + from +
           ") AS " + numbers + " WHERE " + numbers + ".i <= " + std::to_string(n) + ") AS " +
           std::string(alias);
  return table;
}
