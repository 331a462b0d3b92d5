#include "inspect/explain_command.h"

#include "db/connection.h"
#include "db/cursor.h"
#include "inspect/explain.h"
#include "inspect/explain_report.h"
#include "inspect/inspect_login.h"
#include "inspect/text_out.h"
#include "lookup/attributes.h"
#include "lookup/balance_list.h"

namespace {

// The run's limit on a terminal name, and the widest badge number the table holds.
constexpr std::size_t kTerminalMax = 11;
constexpr std::size_t kBadgeMax = 64;

}  // namespace

int explain_command(const InspectIo& io, const std::string& terminal_arg,
                    const std::string& badge_arg, const std::vector<std::string>& codes) {
  Explanation e;
  e.terminal = text_windows_1252(terminal_arg);
  e.badge = text_windows_1252(badge_arg);
  if (e.terminal.size() > kTerminalMax) {
    inspect_complain(
        io, "TERMINAL has at most " + std::to_string(kTerminalMax) + " characters, as for a run");
    return kInspectTrouble;
  }
  if (e.badge.empty() || e.badge.size() > kBadgeMax) {
    inspect_complain(io, "BADGE has 1 to " + std::to_string(kBadgeMax) + " characters");
    return kInspectTrouble;
  }
  std::vector<const DownloadFunction*> functions;
  for (const std::string& code : codes) {
    const DownloadFunction* function = explain_function(code);
    if (function == nullptr) {
      inspect_complain(io, "unknown download function " + code +
                               " (ZKDNL17P, ZKDNL18P, ZKDNL31P, ZKDNL60P or IDSTAMM)");
      return kInspectTrouble;
    }
    bool named = false;
    for (const DownloadFunction* f : functions)
      named = named || f == function;
    if (!named) functions.push_back(function);
  }
  if (functions.empty()) {
    for (const DownloadFunction& function : download_functions())
      functions.push_back(&function);
  }

  InspectLogin login;
  std::string problem;
  if (inspect_login(login, problem) != kExitSuccess) {
    inspect_complain(io, problem);
    return kInspectTrouble;
  }
  const int attributes = terminal_attributes(e.terminal.c_str(), e.facts.attributes);
  e.facts.found = attributes == 0 || attributes == RC_TOO_LONG;
  balance_list_read(e.terminal.c_str(), e.facts.list);
  const std::string& number = e.badge;
  const auto wanted = [&](const char* listed) { return number == listed; };
  bool failed = false;
  bool left_out = false;
  for (const DownloadFunction* function : functions) {
    e.walks.push_back(explain_walk(e.terminal.c_str(), *function, wanted, true));
    failed = failed || e.walks.back().failed;
    left_out = left_out || explain_record_count(e.walks.back()) == 0;
  }
  e.table_rc = explain_badge_table(e.badge, e.walks, e.table);
  db_disconnect();

  inspect_print(io, explain_report(e, io.format));
  if (failed) return kInspectTrouble;
  return left_out ? kInspectNo : kInspectYes;
}
