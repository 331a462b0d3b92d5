#include "run/arguments.h"

#include <cstring>

#include "base/console.h"
#include "base/text.h"
#include "base/version.h"
#include "db/staging.h"

namespace {
bool copy_argument(int number, const char* text, char* buffer, std::size_t capacity,
                   std::size_t limit) {
  if (std::strlen(text) > limit || !copy_text(buffer, capacity, text)) {
    console_printf("Param%d zu lang! (max. %zu Zeichen)\n", number, limit);
    return false;
  }
  return true;
}
constexpr char kHelp[] =
    "Usage: vestragen FUNCTION TERMINAL PATH NEWFILE\n"
    "Builds the download file PATH of terminal TERMINAL from the time and access database.\n"
    "\n"
    "  FUNCTION  ZKDNL17P, ZKDNL18P, ZKDNL31P, ZKDNL60P or IDSTAMM (any letter case)\n"
    "  TERMINAL  the terminal's name, at most 11 characters\n"
    "  PATH      the download file, at most 159 characters\n"
    "  NEWFILE   1 (first character): a new file; anything else: append\n"
    "\n"
    "The login comes from ../../files/korvandel.ini relative to the working directory, or\n"
    "from the file VESTRAGEN_CONFIG names. Messages go to standard output in Windows-1252.\n"
    "Also read: VESTRAGEN_DEFAULTS_FILE (TLS, timeouts), VESTRAGEN_REPORT (a JSON Lines\n"
    "report of the run), VESTRAGEN_LOCK_WAIT, VESTRAGEN_LOCK_EXPIRY, VESTRAGEN_CONNECTIONS.\n"
    "\n"
    "Exit status: 0 written, 1 SQL text too long, 2 command line, 3 configuration,\n"
    "4 connection, 5 database, 6 download file, 7 another run holds the file,\n"
    "128 + n stopped by signal n.\n"
    "\n"
    "See man vestragen.\n";
}  // namespace

bool arguments_ask_about_program(int argc, char** argv) {
  if (argc != 2) return false;
  if (std::strcmp(argv[1], "--version") == 0) {
    console_printf("vestragen %s\n", kVestragenVersion);
    return true;
  }
  if (std::strcmp(argv[1], "--help") == 0) {
    console_printf("%s", kHelp);
    return true;
  }
  return false;
}

ExitStatus arguments_parse(int argc, char** argv, RunArguments& out) {
  if (argc - 1 < 4) {
    console_printf("Anzahl Parameter(mind. 4) unterschritten! AnzParam: %d", argc - 1);
    console_printf("Aufruf: VESTRAGEN [Param1] [Param2] [Param3] [Param4]  \n");
    console_printf("Param1: DNL-Funktion\n");
    console_printf("Param2: Terminal-Name\n");
    console_printf("Param3: Pfad der DNL-Datei\n");
    console_printf("Param4: 1: neu 0: dran h\xE4" "ngen\n");
    return kExitUsage;
  }
  if (!copy_argument(1, argv[1], out.function_code, sizeof out.function_code,
                     sizeof out.function_code - 1) ||
      !copy_argument(2, argv[2], out.terminal_name, sizeof out.terminal_name,
                     sizeof out.terminal_name - 1) ||
      !copy_argument(3, argv[3], out.download_path, sizeof out.download_path, kStagingKeyMax)) {
    return kExitUsage;
  }
  out.new_file = argv[4][0] == '1';
  return kExitSuccess;
}
