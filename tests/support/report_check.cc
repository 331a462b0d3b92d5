#include "support/report_check.h"

#include <gtest/gtest.h>

#include <regex>
#include <utility>

#include "base/encoding.h"
#include "site/job_report.h"

std::vector<ReportEvent> report_events(const std::string& report) {
  std::vector<ReportEvent> events;
  std::size_t from = 0;
  EXPECT_TRUE(report.empty() || report.back() == '\n') << "the report ends within a line";
  while (from < report.size()) {
    const std::size_t end = report.find('\n', from);
    const std::string line = report.substr(from, end - from);
    from = end == std::string::npos ? report.size() : end + 1;
    ReportEvent event;
    EXPECT_TRUE(job_report_line(line, event)) << line;
    EXPECT_EQ(1u, event.count("event")) << line;
    events.push_back(event);
  }
  return events;
}

namespace {

// The console text in Windows-1252, as the program prints it, of a report's UTF-8 text.
std::string console_form(const std::string& utf8) {
  std::string out;
  EXPECT_TRUE(utf8_to_cp1252(utf8, out)) << utf8;
  return out;
}

// What the console's lines show, by the words of each refusal and missing value.
struct ConsoleShows {
  std::vector<std::pair<std::string, std::string>> refused;  // reason, line
  std::vector<std::pair<std::string, std::string>> missing;  // what, line
  std::vector<std::pair<std::string, std::string>> schemas;  // badges, staged
};

ConsoleShows read_console(const std::string& console) {
  const std::pair<const char*, const char*> refusals[] = {
      {"ohne g\xFCltige Berechtigungsklasse", "no_class"},
      {"ohne Zutrittsberechtigung auf Terminal", "no_access"},
      {"ohne Zeit-/Zutrittsberechtigung auf Terminal", "no_time_or_access"},
      {" nicht zulaessig!", "not_permitted"},
      {"mit zu langem Wert", "value_too_long"},
  };
  const std::pair<const char*, const char*> missing[] = {
      {"Saldo Ermitteln. Pnr:", "accounts"},
      {"Saldodaten nicht gefunden!", "accounts"},
      {"Urlaubsdaten nicht gefunden!", "vacation"},
      {"SQL Standortbez. Ermitteln.", "location"},
  };
  const std::regex summary("Ausweise gesamt: (\\d+) davon in Datei gestellt: (\\d+)");
  ConsoleShows shows;
  std::size_t from = 0;
  while (from < console.size()) {
    const std::size_t end = console.find('\n', from);
    const std::string line = console.substr(from, end - from);
    from = end == std::string::npos ? console.size() : end + 1;
    for (const auto& [words, reason] : refusals) {
      if (line.find(words) != std::string::npos) shows.refused.emplace_back(reason, line);
    }
    for (const auto& [words, what] : missing) {
      if (line.find(words) != std::string::npos) shows.missing.emplace_back(what, line);
    }
    std::smatch m;
    if (std::regex_search(line, m, summary)) shows.schemas.emplace_back(m[1], m[2]);
  }
  return shows;
}

}  // namespace

void expect_report_matches_console(const std::string& report, const std::string& console,
                                   int status) {
  const std::vector<ReportEvent> events = report_events(report);
  ASSERT_GE(events.size(), 2u) << report;
  EXPECT_EQ("run", events.front().at("event"));
  EXPECT_EQ("end", events.back().at("event"));
  EXPECT_EQ(std::to_string(status), events.back().at("status"));

  // The staging table's refusals are taken out of the console text first: their messages
  // have no line end of their own.
  std::string rest = console;
  ConsoleShows reported;
  for (const ReportEvent& e : events) {
    const std::string& kind = e.at("event");
    if (kind == "refused" && e.at("reason") == "insert_refused") {
      const std::string message = console_form(e.at("message"));
      const std::size_t at = rest.find(message);
      EXPECT_NE(std::string::npos, at) << message;
      if (at != std::string::npos) rest.erase(at, message.size());
    } else if (kind == "refused") {
      const std::string message = console_form(e.at("message"));
      EXPECT_EQ(0u, message.find("Ausweis " + console_form(e.at("badge")) + " ")) << message;
      reported.refused.emplace_back(e.at("reason"), message);
    } else if (kind == "missing") {
      reported.missing.emplace_back(e.at("what"),
                                    e.at("code") + "|" + console_form(e.at("person")));
    } else if (kind == "schema") {
      reported.schemas.emplace_back(e.at("badges"), e.at("staged"));
    }
  }
  const ConsoleShows shown = read_console(rest);
  EXPECT_EQ(shown.refused, reported.refused);
  EXPECT_EQ(shown.schemas, reported.schemas);
  ASSERT_EQ(shown.missing.size(), reported.missing.size()) << console;
  for (std::size_t i = 0; i < shown.missing.size(); ++i) {
    const auto& [what, line] = shown.missing[i];
    const std::string& code_person = reported.missing[i].second;
    const std::string code = code_person.substr(0, code_person.find('|'));
    const std::string person = code_person.substr(code_person.find('|') + 1);
    EXPECT_EQ(what, reported.missing[i].first) << line;
    // The line shows the code last and, but for a location, the person.
    EXPECT_EQ(line.size() - code.size(), line.rfind(code)) << line;
    if (what != "location") {
      EXPECT_NE(std::string::npos, line.find(person)) << line;
    }
  }
}
