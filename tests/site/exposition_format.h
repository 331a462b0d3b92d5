#pragma once
// The rules of the Prometheus text exposition format that a metrics file for the node
// exporter's textfile collector must keep, for tests that cannot run promtool: lines end in
// a line feed; # HELP and # TYPE at most once per metric, TYPE before its samples and of a
// known type; a sample is NAME[{LABEL="VALUE",...}] VALUE with valid names, label values
// escaped (\\, \", \n only) and UTF-8, a float value and no timestamp (the collector refuses
// one); the samples of a family together, no series twice.

#include <cstdlib>
#include <regex>
#include <set>
#include <string>
#include <string_view>

// "" when text keeps the rules, else the first rule it breaks, with the line.
inline std::string exposition_problem(std::string_view text) {
  if (text.empty() || text.back() != '\n') return "the text does not end with a line feed";
  const std::regex name_re("[a-zA-Z_:][a-zA-Z0-9_:]*");
  const std::regex label_name_re("[a-zA-Z_][a-zA-Z0-9_]*");
  const std::regex utf8_re(
      "(?:[\\x00-\\x7F]|[\\xC2-\\xDF][\\x80-\\xBF]|[\\xE0-\\xEF][\\x80-\\xBF]{2}|"
      "[\\xF0-\\xF4][\\x80-\\xBF]{3})*");
  std::set<std::string> helped, typed, sampled, closed, series;
  std::string current;  // the family whose samples came last
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string line(text.substr(0, end));
    text.remove_prefix(end + 1);
    const auto problem = [&line](const std::string& what) { return what + ": " + line; };
    if (line.empty()) continue;
    if (line[0] == '#') {
      std::smatch m;
      static const std::regex meta("# (HELP|TYPE) (\\S+)(?: (.*))?");
      if (!std::regex_match(line, m, meta)) continue;  // a comment
      const std::string name = m[2];
      if (!std::regex_match(name, name_re)) return problem("bad metric name");
      if (m[1] == "HELP") {
        if (!helped.insert(name).second) return problem("second HELP");
        const std::string help = m[3];
        for (std::size_t i = 0; i < help.size(); ++i) {
          if (help[i] == '\\' &&
              (i + 1 == help.size() || (help[i + 1] != '\\' && help[i + 1] != 'n'))) {
            return problem("bad escape in HELP");
          }
          if (help[i] == '\\') ++i;
        }
      } else {
        if (!typed.insert(name).second) return problem("second TYPE");
        if (sampled.count(name) != 0) return problem("TYPE after samples");
        static const std::regex types("counter|gauge|histogram|summary|untyped");
        if (!std::regex_match(std::string(m[3]), types)) return problem("unknown type");
      }
      continue;
    }
    std::size_t at = 0;
    while (at < line.size() && line[at] != '{' && line[at] != ' ')
      ++at;
    const std::string name = line.substr(0, at);
    if (!std::regex_match(name, name_re)) return problem("bad metric name");
    std::string labels;
    std::set<std::string> label_names;
    if (at < line.size() && line[at] == '{') {
      ++at;
      while (at < line.size() && line[at] != '}') {
        std::size_t eq = line.find('=', at);
        if (eq == std::string::npos) return problem("label without =");
        const std::string label = line.substr(at, eq - at);
        if (!std::regex_match(label, label_name_re) || label.rfind("__", 0) == 0) {
          return problem("bad label name");
        }
        if (!label_names.insert(label).second) return problem("label twice");
        at = eq + 1;
        if (at >= line.size() || line[at] != '"') return problem("label value not quoted");
        std::string value;
        for (++at; at < line.size() && line[at] != '"'; ++at) {
          if (line[at] == '\\') {
            ++at;
            if (at >= line.size() || (line[at] != '\\' && line[at] != '"' && line[at] != 'n')) {
              return problem("bad escape in a label value");
            }
          }
          value += line[at];
        }
        if (at >= line.size()) return problem("label value not closed");
        if (!std::regex_match(value, utf8_re)) return problem("label value not UTF-8");
        ++at;
        if (at < line.size() && line[at] == ',') ++at;
      }
      if (at >= line.size()) return problem("labels not closed");
      labels = line.substr(name.size(), at + 1 - name.size());
      ++at;
    }
    if (at >= line.size() || line[at] != ' ') return problem("no value");
    const std::string value = line.substr(at + 1);
    static const std::regex float_re("[-+]?(?:[0-9]+(?:\\.[0-9]*)?(?:[eE][-+]?[0-9]+)?|NaN|Inf)");
    if (!std::regex_match(value, float_re)) return problem("value not a lone float (timestamp?)");
    if (name != current) {
      if (closed.count(name) != 0) return problem("family not together");
      if (!current.empty()) closed.insert(current);
      current = name;
    }
    sampled.insert(name);
    if (!series.insert(name + labels).second) return problem("series twice");
  }
  return "";
}

// The output of promtool check metrics on text, or "" when promtool is not installed or
// accepts it ("promtool: exit N" added when it does not).
inline std::string promtool_problem(const std::string& file) {
  if (std::system("command -v promtool >/dev/null 2>&1") != 0) return "";
  const std::string command = "promtool check metrics <'" + file + "' 2>&1";
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
      out.append(buffer, n);
    const int status = ::pclose(p);
    if (status != 0) out += "promtool: exit " + std::to_string(status);
  }
  return out;
}
