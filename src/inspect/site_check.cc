#include "inspect/site_check.h"

#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <map>
#include <set>
#include <span>

#include "base/console.h"
#include "config/connection_options.h"
#include "config/settings.h"
#include "db/connection.h"
#include "db/cursor.h"
#include "db/escape.h"
#include "db/schemas.h"
#include "db/side_connection.h"
#include "db/sql_template.h"
#include "inspect/text_out.h"
#include "lookup/attributes.h"
#include "lookup/balance_list.h"
#include "lookup/chunk_read.h"
#include "lookup/readers.h"

namespace {

// The tables of KvBasis a run reads, and the staging table it also writes.
constexpr const char* kCentralTables[] = {"Kvb112Mnd",   "Kvb115Tfz", "Kvb301Asw", "Kvb113Awv",
                                          "Kvb113Sto",   "Kvb114Tsm", "Kvb401Zls", "Kvb404Zbr",
                                          "G2101SalLst", "Kvb102Whl", "Kvb999Tmp"};
// The tables a run reads in every client schema it visits.
constexpr const char* kClientTables[] = {"Kvb300Pnr",   "Kvb408Bzu", "Kvb311Zuo", "O1003Kststelle",
                                         "G1102AbtLst", "Kvb310Bsv", "Kvb332Utg", "Kvb332Urv"};
// The previous-day accounts are read from the connection's database (the SCHEMA setting).
constexpr const char* kConnectionTables[] = {"Kvb320Tgb", "Kvb300Pnr"};

// The table a run needs on a cluster node to keep two runs of one download file apart.
constexpr char kLockTable[] = "Kvb999Lck";

class CheckReport {
 public:
  void add(CheckLevel level, std::string item, std::string message) {
    lines_.push_back({level, std::move(item), std::move(message)});
  }
  const std::vector<CheckLine>& lines() const { return lines_; }

 private:
  std::vector<CheckLine> lines_;
};

// The statement's rows, each column a text ("" for NULL); false with the error's code.
bool query_rows(const std::string& sql, std::vector<std::vector<std::string>>& rows, int& code) {
  QueryCursor cursor;
  cursor.query_text = sql.c_str();
  code = db_open_cursor(cursor);
  if (code != 0) return false;
  const unsigned columns = db_column_count(cursor);
  DbRow row = nullptr;
  while (db_fetch_row(cursor, row) == 0) {
    std::vector<std::string> texts;
    for (unsigned i = 0; i < columns; ++i)
      texts.emplace_back(row[i] == nullptr ? "" : row[i]);
    rows.push_back(std::move(texts));
  }
  db_close_cursor(cursor);
  return true;
}

// The first column of the first row, or "" when there is none or the statement fails.
std::string query_value(const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  int code = 0;
  if (!query_rows(sql, rows, code) || rows.empty() || rows[0].empty()) return {};
  return rows[0][0];
}

// Whether the login can read the table; why not in problem. Reads no row.
bool table_readable(const std::string& schema, const char* table, std::string& problem) {
  const std::string sql = "SELECT 1 FROM " + db_quote_identifier(schema) + "." +
                          db_quote_identifier(table) + " LIMIT 0";
  QueryCursor cursor;
  cursor.query_text = sql.c_str();
  const int code = db_open_cursor(cursor);
  db_close_cursor(cursor);
  if (code == 0) return true;
  problem = "error " + std::to_string(code) + ": " + text_utf8(last_db_error);
  return false;
}

void check_tables(CheckReport& report, const std::string& item, const std::string& schema,
                  std::span<const char* const> tables, const std::string& what) {
  bool all = true;
  for (const char* table : tables) {
    std::string problem;
    if (!table_readable(schema, table, problem)) {
      report.add(CheckLevel::kError, item,
                 text_utf8(schema) + "." + table + " cannot be read: " + problem);
      all = false;
    }
  }
  if (all) {
    report.add(
        CheckLevel::kOk, item,
        "the " + std::to_string(tables.size()) + " tables " + what + " are there and readable");
  }
}

void check_configuration(CheckReport& report, const char* path, bool& readable) {
  struct stat st;
  readable = false;
  if (::stat(path, &st) != 0) {
    report.add(CheckLevel::kError, "configuration",
               std::string(path) + " cannot be read: " + std::strerror(errno));
    return;
  }
  readable = true;
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  if ((st.st_mode & (S_IRGRP | S_IROTH)) != 0) {
    report.add(CheckLevel::kWarning, "configuration",
               std::string(path) + " is readable by others (mode " + mode +
                   "): it holds the login; chmod 600 it");
  } else {
    report.add(CheckLevel::kOk, "configuration", std::string(path) + ", mode " + mode);
  }
}

// Whether the connection is encrypted, as the option file asks or not.
void check_encryption(CheckReport& report, const ConnectionOptions& options) {
  std::vector<std::vector<std::string>> rows;
  int code = 0;
  (void)query_rows("SHOW SESSION STATUS LIKE 'Ssl_cipher'", rows, code);
  const std::string cipher = rows.empty() || rows[0].size() < 2 ? "" : rows[0][1];
  const std::string from = options.file.empty() ? "no option file (VESTRAGEN_DEFAULTS_FILE unset)"
                                                : "options of " + options.file;
  if (!cipher.empty()) {
    report.add(CheckLevel::kOk, "connection", "encrypted (" + text_utf8(cipher) + "), " + from);
  } else {
    report.add(CheckLevel::kNote, "connection", "not encrypted, " + from);
  }
}

void check_server(CheckReport& report) {
  const std::string version = query_value("SELECT VERSION()");
  const bool mariadb = version.find("MariaDB") != std::string::npos;
  report.add(CheckLevel::kOk, "server",
             std::string(mariadb ? "MariaDB" : "MySQL") + " server, version " + text_utf8(version));
}

// Whether the server runs the statements by which the lookups answer many keys at once
// (db/sql_template.h), in their form: a derived table of the keys as literals joined to a
// table the run reads. Some badge numbers and a number that is no badge's are asked for; the
// server must answer each badge number, and nothing else. And whether the login may open the
// second connection on which a run reads ahead.
void check_batched_statements(CheckReport& report) {
  std::vector<std::vector<std::string>> rows;
  int code = 0;
  if (!query_rows("SELECT DISTINCT AswNum FROM KvBasis.Kvb301Asw WHERE AswNum IS NOT NULL "
                  "ORDER BY AswNum LIMIT 11",
                  rows, code)) {
    report.add(CheckLevel::kWarning, "batched statements",
               "not checked: the badge list cannot be read, error " + std::to_string(code));
    return;
  }
  std::set<std::string> asked;
  std::vector<std::string> literals;
  for (const auto& row : rows) {
    asked.insert(row[0]);
    literals.push_back("'" + db_escape(row[0]) + "'");
  }
  // A key no badge has (longer than the column): its row must not come back.
  literals.push_back("'" + std::string(40, '~') + "'");
  const std::string statement =
      chunk_statement_sent("SELECT STRAIGHT_JOIN pass_keys.k, a.AswNum FROM " +
                           sql_literal_table(literals, "pass_keys", "k") +
                           ", KvBasis.Kvb301Asw a WHERE a.AswNum = pass_keys.k");
  std::vector<std::vector<std::string>> answers;
  if (!query_rows(statement, answers, code)) {
    report.add(CheckLevel::kWarning, "batched statements",
               "the server refuses them (error " + std::to_string(code) +
                   "): every lookup falls back to a statement per badge, with the same files "
                   "but many times slower");
    return;
  }
  std::set<std::string> answered;
  for (const auto& row : answers)
    answered.insert(row[0]);
  if (answered != asked) {
    report.add(CheckLevel::kError, "batched statements",
               "the server answers them wrongly: " + std::to_string(asked.size()) +
                   " badge numbers asked, " + std::to_string(answered.size()) +
                   " other or different ones answered");
    return;
  }
  const SideConnection side;
  report.add(CheckLevel::kOk, "batched statements",
             std::string("the server runs them") +
                 (side.open() ? "; a second connection for reading ahead can be opened"
                              : "; no second connection can be opened for reading ahead "
                                "(max_user_connections?): runs read on one, more slowly"));
}

void check_names(CheckReport& report) {
  const std::string value = query_value("SELECT @@lower_case_table_names");
  if (value == "1") {
    report.add(CheckLevel::kOk, "letter case",
               "the server compares schema and table names without regard to case "
               "(lower_case_table_names 1)");
  } else if (value == "2") {
    report.add(CheckLevel::kWarning, "letter case",
               "lower_case_table_names is 2: names are compared in lower case but stored as "
               "created; the program's statements spell names such as KvBasis and KVBASIS, so "
               "start the server with lower_case_table_names=1");
  } else {
    report.add(CheckLevel::kError, "letter case",
               "lower_case_table_names is " + (value.empty() ? std::string("unknown") : value) +
                   ": the server tells KvBasis from KVBASIS, which the program's statements both "
                   "spell; start it with lower_case_table_names=1");
  }
}

// The grantee texts of the login and its role, as information_schema writes them.
const char kGrantees[] =
    "(GRANTEE = CONCAT('''', SUBSTRING_INDEX(CURRENT_USER(), '@', 1), '''@''', "
    "SUBSTRING_INDEX(CURRENT_USER(), '@', -1), '''') OR GRANTEE = CONCAT('''', "
    "COALESCE(CURRENT_ROLE(), ''), ''''))";

// Those of rights that the login's grants (global, on KvBasis, on table of KvBasis, named in
// lower case) do not give, as "INSERT and DELETE"; empty when they give them all.
std::string lacking_rights(const std::string& table, std::initializer_list<const char*> rights) {
  const std::string grantees = kGrantees;
  const std::string sql =
      "SELECT PRIVILEGE_TYPE FROM information_schema.USER_PRIVILEGES WHERE " + grantees +
      " UNION SELECT PRIVILEGE_TYPE FROM information_schema.SCHEMA_PRIVILEGES WHERE " + grantees +
      " AND 'kvbasis' LIKE LOWER(TABLE_SCHEMA)"
      " UNION SELECT PRIVILEGE_TYPE FROM information_schema.TABLE_PRIVILEGES WHERE " +
      grantees + " AND LOWER(TABLE_SCHEMA) = 'kvbasis' AND LOWER(TABLE_NAME) = '" +
      db_escape(table) + "'";
  std::vector<std::vector<std::string>> rows;
  int code = 0;
  if (!query_rows(sql, rows, code)) {
    return "every right (its grants cannot be read: error " + std::to_string(code) + ")";
  }
  std::vector<std::string> lacking;
  for (const char* right : rights) {
    bool granted = false;
    for (const auto& row : rows)
      granted = granted || strcasecmp(row[0].c_str(), right) == 0;
    if (!granted) lacking.emplace_back(right);
  }
  std::string text;
  for (std::size_t i = 0; i < lacking.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == lacking.size() ? " and " : ", ") + lacking[i];
  }
  return text;
}

void check_staging_rights(CheckReport& report) {
  const std::string lacking = lacking_rights("kvb999tmp", {"INSERT", "DELETE"});
  if (lacking.empty()) {
    report.add(CheckLevel::kOk, "staging rights",
               "the login may insert into and delete from KvBasis.Kvb999Tmp (by its grants)");
    return;
  }
  report.add(CheckLevel::kError, "staging rights",
             "the login's grants lack " + lacking +
                 " on KvBasis.Kvb999Tmp: every run would fail with status 5");
}

// The indexes of Kvb999Tmp, each with its columns in order, by index name.
std::map<std::string, std::vector<std::string>> staging_indexes() {
  std::map<std::string, std::vector<std::string>> indexes;
  std::vector<std::vector<std::string>> rows;
  int code = 0;
  (void)query_rows(
      "SELECT INDEX_NAME, COLUMN_NAME FROM information_schema.STATISTICS WHERE "
      "LOWER(TABLE_SCHEMA) = 'kvbasis' AND LOWER(TABLE_NAME) = 'kvb999tmp' "
      "ORDER BY INDEX_NAME, SEQ_IN_INDEX",
      rows, code);
  for (const auto& row : rows)
    indexes[row[0]].push_back(row[1]);
  return indexes;
}

void check_staging_index(CheckReport& report) {
  for (const auto& [name, columns] : staging_indexes()) {
    if (!columns.empty() && strcasecmp(columns[0].c_str(), "TmpUsr") == 0) {
      report.add(CheckLevel::kOk, "staging index",
                 "KvBasis.Kvb999Tmp has an index on TmpUsr (" + text_utf8(name) + ")");
      return;
    }
  }
  report.add(CheckLevel::kWarning, "staging index",
             "KvBasis.Kvb999Tmp has no index beginning with TmpUsr: each run's delete reads the "
             "whole table and waits for the batches of other runs; faster with one "
             "(CREATE INDEX TmpUsr ON KvBasis.Kvb999Tmp (TmpUsr, TmpStr))");
}

// What a run needs of a cluster node beyond what a single server gives it (sql/cluster.sql):
// the lock table, through which runs of one download file on different nodes keep apart
// (the server's named locks hold on one node only), with the login's rights on it; and a
// primary key on the staging table, without which the cluster replicates its deletes slowly.
void check_cluster_needs(CheckReport& report) {
  std::string problem;
  if (!table_readable("KvBasis", kLockTable, problem)) {
    report.add(CheckLevel::kError, "cluster lock table",
               std::string("a run on a cluster node needs the lock table KvBasis.") + kLockTable +
                   " (sql/cluster.sql) and ends with status 5 without it: " + problem);
  } else if (const std::string lacking =
                 lacking_rights("kvb999lck", {"SELECT", "INSERT", "UPDATE", "DELETE"});
             !lacking.empty()) {
    report.add(CheckLevel::kError, "cluster lock table",
               "the login's grants lack " + lacking + " on KvBasis." + kLockTable +
                   ": every run on a cluster node would fail");
  } else {
    report.add(
        CheckLevel::kOk, "cluster lock table",
        std::string("the lock table KvBasis.") + kLockTable + " is there and the login may use it");
  }
  if (staging_indexes().count("PRIMARY") > 0) {
    report.add(CheckLevel::kOk, "cluster staging key", "KvBasis.Kvb999Tmp has a primary key");
  } else {
    report.add(CheckLevel::kWarning, "cluster staging key",
               "KvBasis.Kvb999Tmp has no primary key: the cluster replicates each run's delete "
               "of its rows slowly (sql/cluster.sql adds an invisible one)");
  }
}

void check_cluster(CheckReport& report) {
  std::vector<std::vector<std::string>> rows;
  int code = 0;
  const bool asked = query_rows("SHOW VARIABLES LIKE 'wsrep_on'", rows, code);
  if (!asked || rows.empty() || strcasecmp(rows[0][1].c_str(), "ON") != 0) {
    report.add(CheckLevel::kOk, "cluster", "the server is no cluster node (wsrep_on is not ON)");
    return;
  }
  std::vector<std::vector<std::string>> status;
  (void)query_rows(
      "SHOW STATUS WHERE Variable_name IN ('wsrep_cluster_size', 'wsrep_ready', "
      "'wsrep_cluster_status')",
      status, code);
  std::map<std::string, std::string> values;
  for (const auto& row : status)
    values[row[0]] = row[1];
  report.add(CheckLevel::kNote, "cluster",
             "the server is a cluster node (cluster size " + values["wsrep_cluster_size"] +
                 ", status " + values["wsrep_cluster_status"] +
                 "): runs on different nodes write the same staging table");
  if (values["wsrep_ready"] != "ON") {
    report.add(CheckLevel::kError, "cluster",
               "the node is not ready for statements (wsrep_ready " + values["wsrep_ready"] +
                   "): runs fail with status 5");
  }
  check_cluster_needs(report);
}

std::vector<std::string> schema_list(bool of_terminal, const char* terminal, int& code) {
  std::vector<std::string> names;
  char name[kSchemaNameSize] = {};
  if (of_terminal) {
    code = schemas_open_for_terminal(terminal);
    if (code == 0) {
      while ((code = schemas_fetch_for_terminal(name)) == 0) {
        if (name[0] != '\0') names.emplace_back(name);
      }
    }
    schemas_close_for_terminal();
  } else {
    code = schemas_open_all();
    if (code == 0) {
      while ((code = schemas_fetch_all(name)) == 0) {
        if (name[0] != '\0') names.emplace_back(name);
      }
    }
    schemas_close_all();
  }
  if (code == RC_NO_ROW) code = 0;
  return names;
}

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names)
    out += (out.empty() ? "" : ", ") + text_utf8(name);
  return out.empty() ? "none" : out;
}

void check_client_schemas(CheckReport& report, const std::vector<std::string>& schemas) {
  for (const std::string& schema : schemas) {
    check_tables(report, "client schema", schema, kClientTables,
                 "of client schema " + text_utf8(schema));
  }
}

struct Reader {
  int number = 0;
  std::string zone;
};

void check_readers(CheckReport& report, const char* terminal) {
  std::vector<Reader> readers;
  Reader reader;
  const int opened = readers_open(terminal, INT_MAX);
  if (opened == 0) {
    while (readers_fetch(reader.number, reader.zone) == 0)
      readers.push_back(reader);
  }
  readers_close();
  if (opened != 0) {
    report.add(CheckLevel::kError, "readers",
               "the readers cannot be read: error " + std::to_string(opened));
    return;
  }
  if (readers.empty()) {
    report.add(CheckLevel::kWarning, "readers",
               "the terminal has no active reader in Kvb401Zls: no badge has access, every "
               "badge may record time");
    return;
  }
  std::string list;
  for (const Reader& r : readers) {
    list += (list.empty() ? "" : ", ") + std::to_string(r.number) + " zone " + text_utf8(r.zone);
  }
  report.add(CheckLevel::kOk, "readers", list);
  for (const Reader& r : readers) {
    if (r.number > 32) {
      report.add(CheckLevel::kWarning, "readers",
                 "reader " + std::to_string(r.number) + " is above 32: no download asks it");
    }
  }
  // The classes each zone authorises, once per zone.
  std::vector<std::string> zones;
  for (const Reader& r : readers) {
    bool seen = false;
    for (const std::string& zone : zones)
      seen = seen || zone == r.zone;
    if (!seen) zones.push_back(r.zone);
  }
  for (const std::string& zone : zones) {
    std::vector<std::vector<std::string>> rows;
    int code = 0;
    const bool read = query_rows(
        "SELECT ZbrZbk, ZbrZtb FROM KvBasis.Kvb404Zbr WHERE ZbrZko = '" + db_escape(zone) +
            "' AND ((ZbrSta <> 4 AND ZbrSta <> 8) OR ZbrSta IS NULL) ORDER BY ZbrZbk, ZbrZtb",
        rows, code);
    std::string readers_of_zone;
    for (const Reader& r : readers) {
      if (r.zone == zone) {
        readers_of_zone += (readers_of_zone.empty() ? "" : ", ") + std::to_string(r.number);
      }
    }
    const std::string item = "zone " + text_utf8(zone);
    if (!read) {
      report.add(CheckLevel::kError, item, "cannot be read: error " + std::to_string(code));
    } else if (rows.empty()) {
      report.add(CheckLevel::kWarning, item,
                 "no class is authorised in it: no badge passes reader " + readers_of_zone);
    } else {
      std::string classes;
      std::string type3;
      for (const auto& row : rows) {
        std::string& list_of = row[1] == "3" ? type3 : classes;
        list_of += (list_of.empty() ? "" : ", ") + text_utf8(row[0]);
      }
      std::string message =
          "reader " + readers_of_zone + ": classes " + (classes.empty() ? "none" : classes);
      if (!type3.empty())
        message += "; type 3 (authorised, no time recording at reader 1): " + type3;
      report.add(CheckLevel::kOk, item, message);
    }
  }
}

bool known_code(std::string_view code) {
  for (int n = 1; n <= 16; ++n) {
    if (code == "#W" + std::to_string(n)) return true;
  }
  return false;
}

void check_balance_list(CheckReport& report, const char* terminal,
                        const TerminalAttributes& attributes) {
  if (attributes.TsmSal[0] == '\0') {
    report.add(CheckLevel::kWarning, "balance display list",
               "the terminal names none: ZKDNL18P records carry only the badge number, ZKDNL60P "
               "records no value");
    return;
  }
  BalanceList list;
  balance_list_read(terminal, list);
  std::string slots;
  for (int n = 1; n <= 8; ++n) {
    const BalanceSlot& slot = list.slot(n);
    if (slot.label[0] == '\0' && slot.code[0] == '\0') continue;
    std::string label = slot.label;
    while (!label.empty() && label.back() == ' ')
      label.pop_back();
    slots += (slots.empty() ? "" : ", ") + std::to_string(n) + " \"" + text_utf8(label) + "\" " +
             (slot.code[0] ? text_utf8(slot.code) : "no code");
    if (!known_code(slot.code)) {
      report.add(CheckLevel::kWarning, "balance display list",
                 "slot " + std::to_string(n) + "'s display code \"" + text_utf8(slot.code) +
                     "\" is none of #W1 to #W16: the slot shows blanks");
    }
  }
  if (slots.empty()) {
    report.add(CheckLevel::kWarning, "balance display list",
               text_utf8(attributes.TsmSal) +
                   " has no line in the terminal's language: ZKDNL18P records carry only the "
                   "badge number, ZKDNL60P records no value");
    return;
  }
  report.add(CheckLevel::kOk, "balance display list", text_utf8(attributes.TsmSal) + ": " + slots);
  // The generator's rule for this terminal type (generators/zkdnl18p.h).
  if (std::strcmp(attributes.TsmTyp, "7598-002") == 0) {
    for (int n = 5; n <= 8; ++n) {
      if (list.slot(n).label[0] != '\0' || list.slot(n).code[0] != '\0') {
        report.add(CheckLevel::kNote, "balance display list",
                   "terminal type 7598-002 shows slots 1 to 4 only: slot " + std::to_string(n) +
                       " stays blank in its ZKDNL18P records");
      }
    }
  }
}

void check_terminal(CheckReport& report, const char* terminal, std::vector<std::string>& schemas) {
  const std::string name = text_utf8(terminal);
  TerminalAttributes attributes;
  const int found = terminal_attributes(terminal, attributes);
  if (found == 0 || found == RC_TOO_LONG) {
    report.add(CheckLevel::kOk, "terminal",
               name + ": type " + text_utf8(attributes.TsmTyp) + ", balance display list " +
                   (attributes.TsmSal[0] ? text_utf8(attributes.TsmSal) : "none"));
  } else {
    report.add(CheckLevel::kError, "terminal",
               name + " has no active row in KvBasis.Kvb114Tsm (no terminal of this name)");
  }
  int code = 0;
  schemas = schema_list(true, terminal, code);
  if (code != 0) {
    report.add(CheckLevel::kError, "terminal clients",
               "the terminal's clients cannot be read: error " + std::to_string(code));
  } else if (schemas.empty()) {
    schemas = schema_list(false, terminal, code);
    report.add(CheckLevel::kWarning, "terminal clients",
               "no client is linked to " + name +
                   " in Kvb115Tfz: a run visits every client: " + joined(schemas));
  } else {
    report.add(CheckLevel::kOk, "terminal clients", "client schemas " + joined(schemas));
  }
  check_readers(report, terminal);
  check_balance_list(report, terminal, attributes);
}

const char* level_name(CheckLevel level) {
  switch (level) {
    case CheckLevel::kOk:
      return "ok";
    case CheckLevel::kNote:
      return "note";
    case CheckLevel::kWarning:
      return "warning";
    case CheckLevel::kError:
      return "error";
  }
  return "";
}

}  // namespace

std::vector<CheckLine> site_check(const std::string* terminal) {
  CheckReport report;
  const std::string path = settings_config_path();
  bool readable = false;
  check_configuration(report, path.c_str(), readable);
  if (!readable) return report.lines();

  DbSettings settings;
  std::string complaint;
  console_divert(&complaint);
  const ExitStatus read = settings_read(path.c_str(), settings);
  console_divert(nullptr);
  if (read != kExitSuccess) {
    while (!complaint.empty() && complaint.back() == '\n')
      complaint.pop_back();
    report.add(CheckLevel::kError, "configuration", text_utf8(complaint));
    return report.lines();
  }
  ConnectionOptions options;
  complaint.clear();
  console_divert(&complaint);
  const ExitStatus optioned = connection_options_read(options);
  console_divert(nullptr);
  if (optioned != kExitSuccess) {
    settings_wipe(settings);
    while (!complaint.empty() && complaint.back() == '\n')
      complaint.pop_back();
    report.add(CheckLevel::kError, "connection options", text_utf8(complaint));
    return report.lines();
  }
  db_connection_options(options);
  std::memcpy(current_schema, settings.schema, sizeof current_schema);
  const std::string login = text_utf8(settings.login);
  const std::string server = text_utf8(settings.server);
  const std::string schema = settings.schema;
  const int connected =
      db_connect(settings.login, settings.password, settings.server, settings.schema);
  settings_wipe(settings);
  if (connected != 0) {
    report.add(CheckLevel::kError, "login",
               "cannot log in as " + login + " on " + server + " (database " + text_utf8(schema) +
                   "): error " + std::to_string(connected) + ": " + text_utf8(last_db_error));
    return report.lines();
  }
  report.add(CheckLevel::kOk, "login", login + " on " + server + ", database " + text_utf8(schema));
  check_encryption(report, options);
  check_server(report);
  check_batched_statements(report);
  check_names(report);
  check_tables(report, "central tables", "KvBasis", kCentralTables, "of KvBasis the run reads");
  check_staging_rights(report);
  check_staging_index(report);
  check_cluster(report);
  check_tables(
      report, "accounts", schema, kConnectionTables,
      "of the SCHEMA setting's database " + text_utf8(schema) + " (previous-day accounts)");

  std::vector<std::string> schemas;
  if (terminal != nullptr) {
    check_terminal(report, terminal->c_str(), schemas);
  } else {
    int code = 0;
    schemas = schema_list(false, "", code);
    if (code != 0) {
      report.add(CheckLevel::kError, "clients",
                 "the client list cannot be read: error " + std::to_string(code));
    } else {
      report.add(schemas.empty() ? CheckLevel::kWarning : CheckLevel::kOk, "clients",
                 "client schemas " + joined(schemas));
    }
  }
  check_client_schemas(report, schemas);
  db_disconnect();
  return report.lines();
}

int check_command(const InspectIo& io, const std::string* terminal_arg) {
  std::string terminal;
  if (terminal_arg != nullptr) terminal = text_windows_1252(*terminal_arg);
  const std::vector<CheckLine> lines = site_check(terminal_arg != nullptr ? &terminal : nullptr);
  bool error = false;
  for (const CheckLine& line : lines)
    error = error || line.level == CheckLevel::kError;
  std::string out;
  switch (io.format) {
    case OutputFormat::kText: {
      std::vector<std::vector<std::string>> rows;
      for (const CheckLine& line : lines)
        rows.push_back({level_name(line.level), line.item, line.message});
      out = text_table(rows);
      break;
    }
    case OutputFormat::kTsv:
      out = tsv_line({"level", "item", "message"});
      for (const CheckLine& line : lines) {
        out += tsv_line({level_name(line.level), tsv_plain(line.item), tsv_plain(line.message)});
      }
      break;
    case OutputFormat::kJson:
      out = std::string("{\"ok\":") + (error ? "false" : "true") + ",\"checks\":[";
      for (std::size_t i = 0; i < lines.size(); ++i) {
        out += std::string(i ? "," : "") + "{\"level\":" + json_plain(level_name(lines[i].level)) +
               ",\"item\":" + json_plain(lines[i].item) +
               ",\"message\":" + json_plain(lines[i].message) + "}";
      }
      out += "]}\n";
      break;
  }
  inspect_print(io, out);
  return error ? kInspectNo : kInspectYes;
}
