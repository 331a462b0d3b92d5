#pragma once
// What `vestragen-inspect explain` found, and its three forms: for people (the trail in the
// order the run decides it), TSV event lines and one JSON object for scripts.

#include <cstddef>
#include <string>
#include <vector>

#include "inspect/explain.h"
#include "inspect/text_out.h"
#include "lookup/attributes.h"
#include "lookup/balance_list.h"

// The terminal as the lookups know it.
struct TerminalFacts {
  bool found = false;
  TerminalAttributes attributes;
  BalanceList list;
};

struct Explanation {
  std::string terminal;  // Windows-1252, as the database holds it
  std::string badge;
  TerminalFacts facts;
  std::vector<BadgeTableRow> table;
  int table_rc = 0;
  std::vector<ExplainWalk> walks;
};

// The records the walk's rows of the badge give.
std::size_t explain_record_count(const ExplainWalk& walk);

// The explanation in format, UTF-8.
std::string explain_report(const Explanation& explanation, OutputFormat format);
