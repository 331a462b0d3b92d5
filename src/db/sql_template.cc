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
