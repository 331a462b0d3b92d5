#include "support/test_db.h"

#include <mysql.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "db/connection.h"
#include "support/temp_dir.h"

namespace {

MYSQL* handle(void* p) { return static_cast<MYSQL*>(p); }

std::string env_value(const std::string& text, const std::string& name) {
  const std::string prefix = "export " + name + "='";
  const auto start = text.find(prefix);
  if (start == std::string::npos) return "";
  const auto begin = start + prefix.size();
  return text.substr(begin, text.find('\'', begin) - begin);
}

const char* const kStandardSchemas[] = {"kvbasis", "mnda", "mndb"};

}  // namespace

const TestServer& test_server() {
  static const TestServer server = [] {
    const char* dir = std::getenv("VESTRAGEN_DB_DIR");
    if (dir == nullptr) throw std::runtime_error("VESTRAGEN_DB_DIR is not set");
    std::ifstream in(std::string(dir) + "/env");
    std::stringstream text;
    text << in.rdbuf();
    TestServer s{dir, env_value(text.str(), "MYSQL_UNIX_PORT"),
                 env_value(text.str(), "MYSQL_TCP_PORT")};
    if (s.socket.empty()) throw std::runtime_error("no test server in " + s.dir);
    ::setenv("MYSQL_UNIX_PORT", s.socket.c_str(), 1);
    ::setenv("MYSQL_TCP_PORT", s.port.c_str(), 1);
    return s;
  }();
  return server;
}

// The client library reads MYSQL_UNIX_PORT when it initialises: test_server() first.
AdminDb::AdminDb() : AdminDb(test_server().socket) {}

AdminDb::AdminDb(const std::string& socket) : mysql_((test_server(), mysql_init(nullptr))) {
  mysql_options(handle(mysql_), MYSQL_SET_CHARSET_NAME, "latin1");
  if (mysql_real_connect(handle(mysql_), "localhost", "root", nullptr, nullptr, 0,
                         socket.c_str(), CLIENT_MULTI_STATEMENTS) == nullptr) {
    throw std::runtime_error(std::string("admin connect: ") + mysql_error(handle(mysql_)));
  }
}

AdminDb::~AdminDb() { mysql_close(handle(mysql_)); }

void AdminDb::exec(const std::string& sql) {
  MYSQL* m = handle(mysql_);
  int status = mysql_real_query(m, sql.data(), sql.size());
  for (;;) {
    if (status != 0) {
      const std::string error = mysql_error(m);
      ADD_FAILURE() << "SQL failed: " << error << "\n" << sql.substr(0, 2000);
      throw std::runtime_error(error);
    }
    if (MYSQL_RES* r = mysql_store_result(m)) mysql_free_result(r);
    status = mysql_next_result(m);
    if (status == -1) return;
  }
}

bool AdminDb::try_exec(const std::string& sql) {
  MYSQL* m = handle(mysql_);
  if (mysql_real_query(m, sql.data(), sql.size()) != 0) return false;
  if (MYSQL_RES* r = mysql_store_result(m)) mysql_free_result(r);
  return true;
}

std::vector<SqlRow> AdminDb::rows(const std::string& sql) {
  MYSQL* m = handle(mysql_);
  if (mysql_real_query(m, sql.data(), sql.size()) != 0) {
    const std::string error = mysql_error(m);
    ADD_FAILURE() << "SQL failed: " << error << "\n" << sql;
    throw std::runtime_error(error);
  }
  std::vector<SqlRow> result;
  MYSQL_RES* r = mysql_store_result(m);
  if (r == nullptr) return result;
  const unsigned n = mysql_num_fields(r);
  while (MYSQL_ROW row = mysql_fetch_row(r)) {
    const unsigned long* lengths = mysql_fetch_lengths(r);
    SqlRow out;
    for (unsigned i = 0; i < n; ++i) {
      if (row[i] == nullptr) {
        out.push_back(std::nullopt);
      } else {
        out.push_back(std::string(row[i], lengths[i]));
      }
    }
    result.push_back(out);
  }
  mysql_free_result(r);
  return result;
}

std::string AdminDb::scalar(const std::string& sql) {
  const auto r = rows(sql);
  if (r.empty() || r[0].empty()) return "<none>";
  return r[0][0].value_or("NULL");
}

std::string AdminDb::quote(std::optional<std::string_view> value) {
  if (!value) return "NULL";
  std::string out(value->size() * 2 + 1, '\0');
  out.resize(mysql_real_escape_string(handle(mysql_), out.data(), value->data(), value->size()));
  return "'" + out + "'";
}

AdminDb& admin() {
  static AdminDb db;
  return db;
}

void reset_site() {
  AdminDb& db = admin();
  std::string sql;
  for (const auto& row : db.rows(
           "SELECT table_schema, table_name FROM information_schema.tables WHERE table_schema "
           "IN ('kvbasis', 'mnda', 'mndb') AND table_type = 'BASE TABLE'")) {
    sql += "DELETE FROM `" + *row[0] + "`.`" + *row[1] + "`;";
  }
  for (const auto& row : db.rows("SELECT schema_name FROM information_schema.schemata")) {
    const std::string& name = *row[0];
    bool keep = name == "mysql" || name == "information_schema" ||
                name == "performance_schema" || name == "sys";
    for (const char* standard : kStandardSchemas) keep = keep || name == standard;
    if (!keep) sql += "DROP DATABASE `" + name + "`;";
  }
  for (const auto& row : db.rows(
           "SELECT trigger_schema, trigger_name FROM information_schema.triggers WHERE "
           "trigger_schema = 'kvbasis'")) {
    sql += "DROP TRIGGER `" + *row[0] + "`.`" + *row[1] + "`;";
  }
  // Tests take the staging table's index away and shorten lock waits; every test starts with
  // the table and the server as the project defines them.
  if (db.scalar("SELECT COUNT(*) FROM information_schema.statistics WHERE table_schema = "
                "'kvbasis' AND table_name = 'kvb999tmp'") == "0") {
    sql += "ALTER TABLE KvBasis.Kvb999Tmp ADD KEY TmpUsr (TmpUsr, TmpStr);";
  }
  sql += "SET GLOBAL innodb_lock_wait_timeout = 50;";
  // Tests take rights away from the program's user; every test starts with the usual ones.
  sql += "REVOKE ALL PRIVILEGES, GRANT OPTION FROM 'vestragen'@'%';" + project_sql("grants.sql") +
         "GRANT SELECT ON mnda.* TO 'vestragen'@'%'; GRANT SELECT ON mndb.* TO 'vestragen'@'%';";
  db.exec(sql);
}

void load_numbered_badges(AdminDb& db, int count, const std::string& class_sql) {
  const std::string badges = "seq_1_to_" + std::to_string(count);
  db.exec(
      "USE KvBasis;"
      "INSERT INTO Kvb112Mnd (MndLiz, MndNum, MndSch, MndKon) VALUES (1, 1, 'MNDA', 0);"
      "INSERT INTO Kvb115Tfz (TfzTrm, TfzLiz, TfzMnd) VALUES ('T1', 1, 1);"
      "INSERT INTO Kvb401Zls (ZlsTrm, ZlsLes, ZlsZko) VALUES ('T1', 1, 'Z1');"
      "INSERT INTO Kvb404Zbr (ZbrZbk, ZbrZko, ZbrZtb) VALUES ('5', 'Z1', 1);"
      "INSERT INTO Kvb113Sto (StoNum, StoKtx) VALUES ('100', 'NRD');"
      "INSERT INTO Kvb301Asw (AswNum, AswGvo, AswPnr, AswBkl, AswAtp, ASWLIZ, ASWMND) "
      "  SELECT LPAD(seq, 6, '0'), CURDATE() - INTERVAL 10 DAY, CONCAT('P', seq), " +
      class_sql + ", 1, 1, 1 FROM " + badges + ";"
      "INSERT INTO Kvb113Awv (AwvNum, AwvSto) SELECT LPAD(seq, 6, '0'), '100' FROM " + badges +
      ";");
}

std::string project_sql(const std::string& name) {
  std::ifstream in(std::string(VESTRAGEN_SOURCE_DIR) + "/sql/" + name);
  if (!in) throw std::runtime_error("missing sql/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void create_client_schema(const std::string& name) {
  AdminDb& db = admin();
  std::string quoted = "`";
  for (char c : name) quoted += (c == '`') ? std::string("``") : std::string(1, c);
  quoted += "`";
  db.exec("CREATE DATABASE " + quoted + " CHARACTER SET latin1; USE " + quoted + ";" +
          project_sql("client.sql") + "\nGRANT SELECT ON " + quoted +
          ".* TO 'vestragen'@'%'; USE KvBasis;");
}

void load_demo_site() {
  for (const char* schema : {"MNDNORD", "MNDSUED", "MNDWEST"})
    create_client_schema(schema);
  admin().exec(read_file(std::string(VESTRAGEN_SOURCE_DIR) + "/scripts/demo-site.sql") +
               "\nUSE KvBasis;");
}

void DbTest::SetUp() {
  reset_site();
  reconnect(kClientA);
}

void DbTest::TearDown() { db_disconnect(); }

void DbTest::reconnect(const char* database) {
  ASSERT_EQ(0, db_connect(kTestUser, kTestPassword, "localhost", database)) << last_db_error;
}

void add_client(int num, const std::string& schema) {
  admin().exec("INSERT INTO KvBasis.Kvb112Mnd (MndLiz, MndNum, MndSch, MndKon) VALUES (1, " +
               std::to_string(num) + ", " + admin().quote(schema) + ", 0)");
}

void link_terminal(const std::string& terminal, int num) {
  admin().exec("INSERT INTO KvBasis.Kvb115Tfz (TfzTrm, TfzLiz, TfzMnd) VALUES (" +
               admin().quote(terminal) + ", 1, " + std::to_string(num) + ")");
}
