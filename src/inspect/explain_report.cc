#include "inspect/explain_report.h"

#include <cstring>
#include <iterator>
#include <string_view>

#include "base/text.h"
#include "db/cursor.h"
#include "inspect/download_decode.h"

namespace {

const char* source_name(ClassSource source) {
  switch (source) {
    case ClassSource::kBadgeGroup:
      return "badge group";
    case ClassSource::kCostCentre:
      return "cost centre";
    case ClassSource::kCostCentreGroup:
      return "cost-centre group";
    case ClassSource::kDepartment:
      return "department";
    case ClassSource::kDepartmentList:
      return "department list";
    case ClassSource::kPerson:
      return "person entry";
  }
  return "";
}

const char* source_key(ClassSource source) {
  return source == ClassSource::kBadgeGroup ? "badge group" : "person";
}

const char* reason_text(RefusalReason reason) {
  switch (reason) {
    case RefusalReason::kNoClass:
      return "the badge has no usable access class";
    case RefusalReason::kNoAccess:
      return "its class is authorised in the zone of none of the terminal's readers";
    case RefusalReason::kNoTimeOrAccess:
      return "it may neither record time nor pass any of the terminal's readers";
    case RefusalReason::kNotPermitted:
      return "it may not record time on the terminal";
    case RefusalReason::kValueTooLong:
      return "a value does not fit the record";
    case RefusalReason::kInsertRefused:
      return "the staging table refused the record";
  }
  return "";
}

// The day values by the display codes that show them.
constexpr const char* kDayValueNames[9] = {
    "account 1 (#W2)",  "account 2 (#W9)",     "account 3 (#W10)",
    "account 4 (#W11)", "account 5 (#W12)",    "account 6 (#W13)",
    "account 7 (#W14)", "accounts 1+2 (#W15)", "accounts 2+3 (#W16)"};
constexpr const char* kVacationNames[6] = {
    "entitlement URVGUR (#W8)", "credited UtgGut (#W5)",  "taken UtgVtg (#W6)",
    "remaining (#W4)",          "remaining UtgRtg (#W7)", "previous year URVVJR (#W3)"};

std::string date_or_none(const std::string& date) {
  return date.empty() ? "none" : date;
}

std::string class_shown(std::string access_class) {
  while (!access_class.empty() && access_class.back() == ' ')
    access_class.pop_back();
  return text_shown(access_class);
}

bool own_class(const ExplainRow& row) {
  return std::strcmp(row.badge.AswBkl, "0  ") != 0;
}

std::size_t record_count(const ExplainWalk& walk) {
  std::size_t n = 0;
  for (const ExplainRow& row : walk.rows)
    n += row.verdict == RowVerdict::kRecord ? 1 : 0;
  return n;
}

std::string last_line(const std::string& console) {
  std::string text = console;
  while (!text.empty() && text.back() == '\n')
    text.pop_back();
  const std::size_t at = text.rfind('\n');
  return at == std::string::npos ? text : text.substr(at + 1);
}

// The fields of a row's record as the file holds it: the read-back cuts trailing blanks
// and line feeds, a fixed-width record is padded again.
std::vector<std::string> record_fields(const ExplainWalk& walk, const ExplainRow& row) {
  if (walk.layout == nullptr || row.verdict != RowVerdict::kRecord) return {};
  std::string text = row.record;
  trim_trailing_blanks(text);
  if (walk.layout->width > text.size()) text.resize(walk.layout->width, ' ');
  int readings = 0;
  return decode_record_fields(*walk.layout, text, readings);
}

std::string slots_shown(const BalanceList& list) {
  std::string out;
  for (int n = 1; n <= 8; ++n) {
    const BalanceSlot& slot = list.slot(n);
    if (slot.label[0] == '\0' && slot.code[0] == '\0') continue;
    std::string label = slot.label;
    while (!label.empty() && label.back() == ' ')
      label.pop_back();
    out += std::string(out.empty() ? "" : ", ") + std::to_string(n) + " \"" + text_shown(label) +
           "\" " + (slot.code[0] ? text_shown(slot.code) : "(no code)");
  }
  return out;
}

// ---- for people ----

void text_row(std::string& out, const ExplainWalk& walk, const ExplainRow& row, std::size_t index) {
  const BadgeRecord& b = row.badge;
  out += "  row " + std::to_string(index + 1) + " of " + std::to_string(walk.rows.size()) +
         ": client schema " + text_shown(row.schema) + ", valid from " +
         date_or_none(text_shown(b.AswGvo)) + " to " + date_or_none(text_shown(b.AswGbi)) +
         ", person " + (b.AswPnr[0] ? text_shown(b.AswPnr) : "none") + ", class " +
         class_shown(b.AswBkl) + ", badge group " + (b.AswGrp[0] ? text_shown(b.AswGrp) : "none") +
         ", location number " + text_shown(b.AwvSto) + "\n";
  if (row.repeats_previous) {
    out += "    the row before in the badge list has the same number\n";
  }
  if (own_class(row)) {
    out += "    class: its own, " + class_shown(b.AswBkl) + "\n";
  } else {
    if (row.sources.empty()) {
      out += "    class: none of its own (0); no source was asked\n";
    } else {
      out += "    class: none of its own (0); the sources asked in order:\n";
    }
    for (const ExplainSource& source : row.sources) {
      out += "      " + std::string(source_name(source.source)) + ", " + source_key(source.source) +
             " \"" + text_shown(source.key) + "\": ";
      if (source.found) {
        out += "class " + class_shown(source.given_class) + ", valid from " +
               date_or_none(text_shown(source.valid_from)) + " to " +
               date_or_none(text_shown(source.valid_to));
        if (!source.extra.empty()) out += " (assignment of " + text_shown(source.extra) + ")";
        out += "\n";
      } else if (source.code == RC_NO_ROW) {
        out += "no valid assignment\n";
      } else {
        out += "failed with error " + std::to_string(source.code) + " (counts as no assignment)\n";
      }
    }
    if (!row.sources.empty() && !row.sources.back().found) {
      out += "      none gave a class\n";
    }
  }
  if (!row.readers.empty()) {
    out += "    access: the class in the zones of the terminal's readers, in order:\n";
    for (const ExplainReader& reader : row.readers) {
      out += "      reader " + std::to_string(reader.reader) + ", zone " + text_shown(reader.zone) +
             ": class " + class_shown(reader.access_class) +
             (reader.authorised ? " authorised" : " not authorised");
      if (!reader.asked_by_run) out += " (not asked by the run: one authorised zone is enough)";
      out += "\n";
    }
  } else if (walk.layout != nullptr && record_layout_highest_reader(*walk.layout) > 0) {
    out += "    access: not asked";
    if (!own_class(row) && (row.sources.empty() || !row.sources.back().found)) {
      out += " (no class)";
    } else if (row.reason == RefusalReason::kValueTooLong) {
      out += " (refused before)";
    } else {
      out += " (the terminal has no active reader numbered up to " +
             std::to_string(record_layout_highest_reader(*walk.layout)) + ")";
    }
    out += "\n";
  }
  if (row.time_checked) {
    out += "    time recording: ";
    if (row.time_reader == 0) {
      out += "allowed: the terminal has no reader 1\n";
    } else {
      out += std::string(row.time_allowed ? "allowed" : "not allowed") + ": class " +
             class_shown(row.time_class) + (row.time_allowed ? " has no" : " has a") +
             " type-3 authorisation in zone " + text_shown(row.time_zone) + " of reader 1\n";
    }
  }
  std::vector<std::vector<std::string>> values;
  for (int i = 0; i < 9; ++i) {
    if (!row.day_values[i].empty())
      values.push_back({"     ", kDayValueNames[i], "\"" + text_shown(row.day_values[i]) + "\""});
  }
  for (int i = 0; i < 6; ++i) {
    if (!row.vacation_values[i].empty())
      values.push_back(
          {"     ", kVacationNames[i], "\"" + text_shown(row.vacation_values[i]) + "\""});
  }
  if (!row.location_text.empty())
    values.push_back({"     ", "location text", "\"" + text_shown(row.location_text) + "\""});
  if (!row.language.empty()) values.push_back({"     ", "language", text_shown(row.language)});
  if (!row.balance_list.empty())
    values.push_back({"     ", "person's balance list", text_shown(row.balance_list)});
  if (!values.empty()) out += "    values the lookups gave:\n" + text_table(values);
  for (const ExplainMissing& missing : row.missing) {
    out += "    without " + std::string(missing_values_name(missing.what)) + ": " +
           text_shown(last_line(missing.message)) + "\n";
  }
  switch (row.verdict) {
    case RowVerdict::kRecord: {
      out += "    record: |" + text_shown(row.file_record) + "|\n";
      std::vector<std::vector<std::string>> rows;
      const std::vector<std::string> fields = record_fields(walk, row);
      for (std::size_t i = 0; i < fields.size(); ++i) {
        rows.push_back({"     ", walk.layout->fields[i].name, "\"" + text_shown(fields[i]) + "\""});
      }
      out += text_table(rows);
      break;
    }
    case RowVerdict::kRefused:
      out += "    refused: " + std::string(reason_text(row.reason)) + "; the run prints \"" +
             text_shown(last_line(row.message)) + "\"\n";
      break;
    case RowVerdict::kLeftOut:
      out += "    left out: " + row.left_out + "\n";
      break;
  }
}

std::string text_report(const Explanation& e) {
  std::string out = "Badge " + text_shown(e.badge) + " on terminal " + text_shown(e.terminal);
  if (e.facts.found) {
    out += " (type " + text_shown(e.facts.attributes.TsmTyp) + ", balance display list " +
           (e.facts.attributes.TsmSal[0] ? text_shown(e.facts.attributes.TsmSal) : "none") + ")";
  } else {
    out += " (no active row in Kvb114Tsm)";
  }
  out += "\n";
  if (const std::string slots = slots_shown(e.facts.list); !slots.empty()) {
    out += "balance display list slots: " + slots + "\n";
  }
  if (!e.walks.empty()) {
    const ExplainWalk& walk = e.walks.front();
    out += "client schemas visited: ";
    for (std::size_t i = 0; i < walk.schemas.size(); ++i) {
      out += (i > 0 ? ", " : "") + text_shown(walk.schemas[i]);
    }
    if (walk.schemas.empty()) out += "none";
    if (walk.all_clients) out += " (the terminal has no client of its own: every client)";
    out += "\n";
  }
  if (e.table_rc != 0) {
    out += "rows in Kvb301Asw: cannot be read (error " + std::to_string(e.table_rc) + ")\n";
  } else if (e.table.empty()) {
    out += "rows in Kvb301Asw: none of this number\n";
  } else {
    out += "rows in Kvb301Asw:\n";
    for (const BadgeTableRow& row : e.table) {
      out += "  client " + row.client + " (" +
             (row.schema.empty() ? "unknown" : text_shown(row.schema)) + "), valid from " +
             date_or_none(row.valid_from) + " to " + date_or_none(row.valid_to) + ", status " +
             (row.status.empty() ? "none" : row.status) + ", person " +
             (row.person.empty() ? "none" : text_shown(row.person)) + ", class " +
             text_shown(row.access_class) + ": ";
      if (row.in_list) {
        out += "in the badge list\n";
        continue;
      }
      out += "not in the badge list";
      for (std::size_t i = 0; i < row.hints.size(); ++i) {
        out += (i == 0 ? ": " : "; ") + text_utf8(row.hints[i]);
      }
      out += "\n";
    }
  }
  for (const ExplainWalk& walk : e.walks) {
    out += "\n" + std::string(walk.function->code) + ": ";
    const std::size_t records = record_count(walk);
    if (walk.failed) {
      out += "the run would stop: " + text_shown(last_line(walk.console)) + "\n";
    } else if (records > 0) {
      out +=
          "in the download, " + std::to_string(records) + (records == 1 ? " record" : " records");
      std::string flags;
      for (const ExplainRow& row : walk.rows) {
        const std::vector<std::string> fields = record_fields(walk, row);
        std::string time;
        std::string access;
        for (std::size_t f = 0; f < fields.size(); ++f) {
          const std::string_view key = walk.layout->fields[f].key;
          if (key == "time_recording") time = fields[f];
          if (key == "access") access = fields[f];
        }
        if (time.empty() && access.empty()) continue;
        flags += std::string(flags.empty() ? "" : "; ") + "time recording " + text_shown(time) +
                 ", access " + text_shown(access);
      }
      out += flags.empty() ? "\n" : " (" + flags + ")\n";
    } else {
      out += "not in the download\n";
    }
    if (walk.rows.empty()) {
      out += "  no badge list of the visited client schemas holds the number\n";
    } else if (walk.rows.size() > 1) {
      out += "  the badge list holds " + std::to_string(walk.rows.size()) +
             " rows of this number (one per badge row and location row); each is decided on its "
             "own and gives a record of its own";
      if (std::strcmp(walk.function->code, "ZKDNL18P") == 0) {
        out += ", except that ZKDNL18P writes only the first of rows that follow each other";
      }
      out += "\n";
      for (std::size_t i = 1; i < walk.rows.size(); ++i) {
        const BadgeRecord& a = walk.rows[i - 1].badge;
        const BadgeRecord& b = walk.rows[i].badge;
        if (walk.rows[i - 1].schema == walk.rows[i].schema &&
            std::strcmp(a.AswNum, b.AswNum) == 0 && std::strcmp(a.AswGvo, b.AswGvo) == 0 &&
            std::strcmp(a.AswBkl, b.AswBkl) == 0) {
          out += "  rows " + std::to_string(i) + " and " + std::to_string(i + 1) +
                 " agree in number, valid-from date and class, by which the badge list is "
                 "ordered: their order is the server's and may differ from run to run\n";
        }
      }
    }
    for (std::size_t i = 0; i < walk.rows.size(); ++i)
      text_row(out, walk, walk.rows[i], i);
  }
  return out;
}

// ---- for scripts ----

std::string tsv_report(const Explanation& e) {
  std::string out;
  for (const BadgeTableRow& row : e.table) {
    std::string hints;
    for (const std::string& hint : row.hints)
      hints += (hints.empty() ? "" : "; ") + hint;
    out += tsv_line({"-", "0", "badge_row", tsv_field(row.client), tsv_field(row.schema),
                     tsv_field(row.valid_from), tsv_field(row.valid_to), tsv_field(row.status),
                     row.in_list ? "in_list" : "not_in_list", tsv_field(hints)});
  }
  for (const ExplainWalk& walk : e.walks) {
    const std::string fn = walk.function->code;
    const std::size_t records = record_count(walk);
    out += tsv_line({fn, "0", "verdict",
                     walk.failed   ? "failed"
                     : records > 0 ? "in"
                                   : "out",
                     std::to_string(records), std::to_string(walk.rows.size())});
    std::string schemas;
    for (const std::string& schema : walk.schemas)
      schemas += (schemas.empty() ? "" : ",") + schema;
    out += tsv_line(
        {fn, "0", "schemas", tsv_field(schemas), walk.all_clients ? "all_clients" : "terminal"});
    for (std::size_t i = 0; i < walk.rows.size(); ++i) {
      const ExplainRow& row = walk.rows[i];
      const std::string n = std::to_string(i + 1);
      const BadgeRecord& b = row.badge;
      out += tsv_line({fn, n, "row", tsv_field(row.schema), tsv_field(b.AswNum),
                       tsv_field(b.AswGvo), tsv_field(b.AswGbi), tsv_field(b.AswPnr),
                       tsv_field(b.AswBkl), tsv_field(b.AswGrp), tsv_field(b.AwvSto)});
      if (own_class(row)) out += tsv_line({fn, n, "class", "own", tsv_field(b.AswBkl)});
      for (const ExplainSource& source : row.sources) {
        out += tsv_line({fn, n, "class_source", source_name(source.source), tsv_field(source.key),
                         source.found ? "found" : "not_found", tsv_field(source.given_class),
                         tsv_field(source.valid_from), tsv_field(source.valid_to)});
      }
      for (const ExplainReader& reader : row.readers) {
        out += tsv_line({fn, n, "reader", std::to_string(reader.reader), tsv_field(reader.zone),
                         tsv_field(reader.access_class),
                         reader.authorised ? "authorised" : "not_authorised",
                         reader.asked_by_run ? "asked" : "not_asked"});
      }
      if (row.time_checked) {
        out += tsv_line({fn, n, "time_check", std::to_string(row.time_reader),
                         tsv_field(row.time_zone), tsv_field(row.time_class),
                         row.time_allowed ? "allowed" : "not_allowed"});
      }
      for (int v = 0; v < 9; ++v) {
        if (!row.day_values[v].empty())
          out += tsv_line(
              {fn, n, "value", "account_" + std::to_string(v + 1), tsv_field(row.day_values[v])});
      }
      for (int v = 0; v < 6; ++v) {
        if (!row.vacation_values[v].empty())
          out += tsv_line({fn, n, "value", "vacation_" + std::to_string(v + 1),
                           tsv_field(row.vacation_values[v])});
      }
      for (const ExplainMissing& missing : row.missing) {
        out += tsv_line({fn, n, "missing", missing_values_name(missing.what),
                         std::to_string(missing.code), tsv_field(missing.message)});
      }
      switch (row.verdict) {
        case RowVerdict::kRecord: {
          const std::vector<std::string> fields = record_fields(walk, row);
          for (std::size_t f = 0; f < fields.size(); ++f) {
            out += tsv_line({fn, n, "field", walk.layout->fields[f].key, tsv_field(fields[f])});
          }
          out += tsv_line({fn, n, "record", tsv_field(row.file_record)});
          break;
        }
        case RowVerdict::kRefused:
          out +=
              tsv_line({fn, n, "refused", refusal_reason_name(row.reason), tsv_field(row.message)});
          break;
        case RowVerdict::kLeftOut:
          out += tsv_line({fn, n, "left_out", tsv_field(row.left_out)});
          break;
      }
    }
  }
  return out;
}

std::string json_badge(const BadgeRecord& b) {
  return "{\"badge_number\":" + json_string(b.AswNum) + ",\"valid_from\":" + json_string(b.AswGvo) +
         ",\"valid_to\":" + json_string(b.AswGbi) + ",\"person\":" + json_string(b.AswPnr) +
         ",\"class\":" + json_string(b.AswBkl) + ",\"badge_group\":" + json_string(b.AswGrp) +
         ",\"location_number\":" + json_string(b.AwvSto) + "}";
}

std::string json_report(const Explanation& e) {
  std::string out =
      "{\"terminal\":" + json_string(e.terminal) + ",\"badge\":" + json_string(e.badge);
  if (e.facts.found) {
    out += ",\"terminal_type\":" + json_string(e.facts.attributes.TsmTyp) +
           ",\"balance_display_list\":" + json_string(e.facts.attributes.TsmSal);
  }
  out += ",\"badge_rows\":[";
  for (std::size_t i = 0; i < e.table.size(); ++i) {
    const BadgeTableRow& row = e.table[i];
    out += std::string(i ? "," : "") + "{\"client\":" + json_plain(row.client) +
           ",\"schema\":" + json_string(row.schema) +
           ",\"valid_from\":" + json_string(row.valid_from) +
           ",\"valid_to\":" + json_string(row.valid_to) + ",\"status\":" + json_string(row.status) +
           ",\"person\":" + json_string(row.person) +
           ",\"class\":" + json_string(row.access_class) +
           ",\"in_badge_list\":" + (row.in_list ? "true" : "false") + ",\"hints\":[";
    for (std::size_t h = 0; h < row.hints.size(); ++h)
      out += (h ? "," : "") + json_string(row.hints[h]);
    out += "]}";
  }
  out += "],\"functions\":[";
  for (std::size_t w = 0; w < e.walks.size(); ++w) {
    const ExplainWalk& walk = e.walks[w];
    const std::size_t records = record_count(walk);
    out += std::string(w ? "," : "") + "{\"function\":" + json_plain(walk.function->code) +
           ",\"in_download\":" + (records > 0 && !walk.failed ? "true" : "false") +
           ",\"records\":" + std::to_string(records) +
           ",\"failed\":" + (walk.failed ? "true" : "false");
    if (walk.failed) out += ",\"failure\":" + json_string(last_line(walk.console));
    out +=
        ",\"all_clients\":" + std::string(walk.all_clients ? "true" : "false") + ",\"schemas\":[";
    for (std::size_t s = 0; s < walk.schemas.size(); ++s)
      out += (s ? "," : "") + json_string(walk.schemas[s]);
    out += "],\"rows\":[";
    for (std::size_t i = 0; i < walk.rows.size(); ++i) {
      const ExplainRow& row = walk.rows[i];
      out += std::string(i ? "," : "") + "{\"schema\":" + json_string(row.schema) +
             ",\"badge\":" + json_badge(row.badge) +
             ",\"repeats_previous\":" + (row.repeats_previous ? "true" : "false") +
             ",\"own_class\":" + (own_class(row) ? "true" : "false") + ",\"class_sources\":[";
      for (std::size_t s = 0; s < row.sources.size(); ++s) {
        const ExplainSource& source = row.sources[s];
        out += std::string(s ? "," : "") + "{\"source\":" + json_plain(source_name(source.source)) +
               ",\"key\":" + json_string(source.key) +
               ",\"found\":" + (source.found ? "true" : "false") +
               ",\"code\":" + std::to_string(source.code);
        if (source.found) {
          out += ",\"class\":" + json_string(source.given_class) +
                 ",\"valid_from\":" + json_string(source.valid_from) +
                 ",\"valid_to\":" + json_string(source.valid_to);
        }
        out += "}";
      }
      out += "],\"readers\":[";
      for (std::size_t r = 0; r < row.readers.size(); ++r) {
        const ExplainReader& reader = row.readers[r];
        out += std::string(r ? "," : "") + "{\"reader\":" + std::to_string(reader.reader) +
               ",\"zone\":" + json_string(reader.zone) +
               ",\"class\":" + json_string(reader.access_class) +
               ",\"authorised\":" + (reader.authorised ? "true" : "false") +
               ",\"asked_by_run\":" + (reader.asked_by_run ? "true" : "false") + "}";
      }
      out += "]";
      if (row.time_checked) {
        out += ",\"time_check\":{\"reader\":" + std::to_string(row.time_reader) +
               ",\"zone\":" + json_string(row.time_zone) +
               ",\"class\":" + json_string(row.time_class) +
               ",\"allowed\":" + (row.time_allowed ? "true" : "false") + "}";
      }
      out += ",\"values\":{";
      bool first = true;
      auto value = [&](const std::string& key, const std::string& text) {
        if (text.empty()) return;
        out += (first ? "" : ",") + json_plain(key) + ":" + json_string(text);
        first = false;
      };
      for (int v = 0; v < 9; ++v)
        value("account_" + std::to_string(v + 1), row.day_values[v]);
      for (int v = 0; v < 6; ++v)
        value("vacation_" + std::to_string(v + 1), row.vacation_values[v]);
      value("location_text", row.location_text);
      value("language", row.language);
      value("balance_list", row.balance_list);
      out += "},\"missing\":[";
      for (std::size_t m = 0; m < row.missing.size(); ++m) {
        out += std::string(m ? "," : "") +
               "{\"what\":" + json_plain(missing_values_name(row.missing[m].what)) +
               ",\"code\":" + std::to_string(row.missing[m].code) +
               ",\"message\":" + json_string(row.missing[m].message) + "}";
      }
      out += "]";
      switch (row.verdict) {
        case RowVerdict::kRecord: {
          out += ",\"verdict\":\"record\",\"record\":" + json_string(row.file_record) +
                 ",\"fields\":{";
          const std::vector<std::string> fields = record_fields(walk, row);
          for (std::size_t f = 0; f < fields.size(); ++f) {
            out += std::string(f ? "," : "") + json_plain(walk.layout->fields[f].key) + ":" +
                   json_string(fields[f]);
          }
          out += "}";
          break;
        }
        case RowVerdict::kRefused:
          out +=
              ",\"verdict\":\"refused\",\"reason\":" + json_plain(refusal_reason_name(row.reason)) +
              ",\"message\":" + json_string(row.message);
          break;
        case RowVerdict::kLeftOut:
          out += ",\"verdict\":\"left_out\",\"reason\":" + json_plain(row.left_out);
          break;
      }
      out += "}";
    }
    out += "]}";
  }
  return out + "]}\n";
}

}  // namespace

std::size_t explain_record_count(const ExplainWalk& walk) {
  return record_count(walk);
}

std::string explain_report(const Explanation& explanation, OutputFormat format) {
  switch (format) {
    case OutputFormat::kText:
      return text_report(explanation);
    case OutputFormat::kTsv:
      return tsv_report(explanation);
    case OutputFormat::kJson:
      return json_report(explanation);
  }
  return {};
}
