#include "inspect/inspect_main.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "base/stop.h"
#include "base/version.h"
#include "inspect/explain_command.h"
#include "inspect/file_commands.h"
#include "inspect/inspect_io.h"
#include "inspect/record_layout.h"
#include "inspect/site_check.h"
#include "inspect/text_out.h"

namespace {

constexpr char kUsage[] =
    "usage: vestragen-inspect [--format text|tsv|json] COMMAND ...\n"
    "  show FUNCTION FILE [--badge NUMBER]   the records of a download file\n"
    "  diff FUNCTION OLD NEW                 what changed between two download files\n"
    "  explain TERMINAL BADGE [FUNCTION...]  why a badge is or is not in the downloads\n"
    "  check [TERMINAL]                      whether runs can work on this site\n";

constexpr char kHelp[] =
    "\n"
    "FUNCTION is ZKDNL17P, ZKDNL18P, ZKDNL31P, ZKDNL60P or IDSTAMM (any letter case).\n"
    "explain and check log in as vestragen does: ../../files/korvandel.ini relative to the\n"
    "working directory, or the file VESTRAGEN_CONFIG names. Nothing is written.\n"
    "Output is UTF-8; --format tsv or json is for scripts.\n"
    "\n"
    "Exit status: 0 yes (decoded, equal, in every download, no error), 1 no (a bad record,\n"
    "a difference, left out of a download, an error found), 2 trouble (command line,\n"
    "unreadable or bad files for diff, configuration, connection, a run that would stop).\n"
    "\n"
    "See man vestragen-inspect.\n";

struct CommandLine {
  OutputFormat format = OutputFormat::kText;
  bool has_badge = false;
  std::string badge;
  bool help = false;
  bool version = false;
  std::vector<std::string> words;
};

// Options may stand anywhere; "--" ends them. False with why in problem.
bool parse(int argc, char** argv, CommandLine& line, std::string& problem) {
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!options || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      line.words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options = false;
      continue;
    }
    if (arg == "--help") {
      line.help = true;
      continue;
    }
    if (arg == "--version") {
      line.version = true;
      continue;
    }
    std::string name = arg;
    std::string value;
    bool has_value = false;
    if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      has_value = true;
    }
    if (name != "--format" && name != "--badge") {
      problem = "unknown option " + arg;
      return false;
    }
    if (!has_value) {
      if (i + 1 >= argc) {
        problem = name + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (name == "--badge") {
      line.has_badge = true;
      line.badge = value;
    } else if (value == "text") {
      line.format = OutputFormat::kText;
    } else if (value == "tsv") {
      line.format = OutputFormat::kTsv;
    } else if (value == "json") {
      line.format = OutputFormat::kJson;
    } else {
      problem = "--format is text, tsv or json, not " + value;
      return false;
    }
  }
  return true;
}

int usage(const InspectIo& io, const std::string& problem) {
  if (!problem.empty()) inspect_complain(io, problem);
  std::fputs(kUsage, io.err);
  return kInspectTrouble;
}

const RecordLayout* layout_of(const InspectIo& io, const std::string& function) {
  const RecordLayout* layout = record_layout(function);
  if (layout == nullptr) {
    inspect_complain(io, "unknown download function " + function +
                             " (ZKDNL17P, ZKDNL18P, ZKDNL31P, ZKDNL60P or IDSTAMM)");
  }
  return layout;
}

// The run's limit on a terminal name.
constexpr std::size_t kTerminalMax = 11;

int dispatch(const InspectIo& io, const CommandLine& line) {
  const std::vector<std::string>& w = line.words;
  const std::string command = w.empty() ? "" : w[0];
  if (line.has_badge && command != "show") return usage(io, "--badge belongs to show");
  if (command == "show" || command == "diff") {
    const std::size_t arguments = command == "show" ? 3 : 4;
    if (w.size() != arguments) return usage(io, command + ": wrong number of arguments");
    const RecordLayout* layout = layout_of(io, w[1]);
    if (layout == nullptr) return kInspectTrouble;
    if (command == "show") {
      // The number as the file holds it.
      const std::string badge = text_windows_1252(line.badge);
      return show_command(io, *layout, w[2], line.has_badge ? &badge : nullptr);
    }
    return diff_command(io, *layout, w[2], w[3]);
  }
  if (command == "explain") {
    if (w.size() < 3) return usage(io, "explain: TERMINAL and BADGE are needed");
    return explain_command(io, w[1], w[2], std::vector<std::string>(w.begin() + 3, w.end()));
  }
  if (command == "check") {
    if (w.size() > 2) return usage(io, "check: at most one TERMINAL");
    if (w.size() == 2 && w[1].size() > kTerminalMax) {
      return usage(io, "TERMINAL has at most 11 characters, as for a run");
    }
    return check_command(io, w.size() == 2 ? &w[1] : nullptr);
  }
  return usage(io, command.empty() ? "" : "unknown command " + command);
}

// The run's steps end the process on a lost connection or an SQL text too long for its
// buffer, their own message going into the diverted console text: say at least that.
void say_stopped() {
  std::fputs(
      "vestragen-inspect: stopped as a run stops: the database connection was lost (status 5) "
      "or a statement did not fit its buffer (status 1)\n",
      stderr);
}

}  // namespace

int inspect_main(int argc, char** argv, std::FILE* out, std::FILE* err) {
  InspectIo io;
  io.out = out;
  io.err = err;
  stop_on(say_stopped);
  CommandLine line;
  std::string problem;
  if (!parse(argc, argv, line, problem)) return usage(io, problem);
  io.format = line.format;
  int status = kInspectYes;
  if (line.version) {
    std::fprintf(out, "vestragen-inspect %s\n", kVestragenVersion);
  } else if (line.help) {
    std::fputs(kUsage, out);
    std::fputs(kHelp, out);
  } else {
    status = dispatch(io, line);
  }
  if (std::fflush(out) != 0 || std::ferror(out) != 0) {
    std::fprintf(err, "vestragen-inspect: cannot write the output: %s\n", std::strerror(errno));
    return kInspectTrouble;
  }
  return status;
}
