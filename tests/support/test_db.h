#pragma once
// The test suite's MariaDB server: an administrator's connection for setting up data, the
// reset between tests, and the fixture for tests that use the program's own connection.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The program's database user on the test server (created by scripts/test-db.sh).
inline constexpr char kTestUser[] = "vestragen";
inline constexpr char kTestPassword[] = "vestragen-test-pw";
// Client schemas that always exist on the test server; reset_site() empties them.
inline constexpr char kClientA[] = "MNDA";
inline constexpr char kClientB[] = "MNDB";

struct TestServer {
  std::string dir;
  std::string socket;
  std::string port;
};

// From $VESTRAGEN_DB_DIR/env; also points this process's client library at the server.
const TestServer& test_server();

using SqlRow = std::vector<std::optional<std::string>>;

// root through the socket, several statements per call.
class AdminDb {
 public:
  AdminDb();
  // root through the socket of another server.
  explicit AdminDb(const std::string& socket);
  ~AdminDb();
  AdminDb(const AdminDb&) = delete;
  AdminDb& operator=(const AdminDb&) = delete;

  // Runs every statement of sql; a failing one fails the test and throws.
  void exec(const std::string& sql);
  // Runs one statement; false, without failing the test, when the server refuses it.
  bool try_exec(const std::string& sql);
  // The rows of a single SELECT, NULL as nullopt.
  std::vector<SqlRow> rows(const std::string& sql);
  // The first column of the first row; "<none>" without rows, "NULL" for NULL.
  std::string scalar(const std::string& sql);
  // A value between single quotes, escaped; NULL for nullopt.
  std::string quote(std::optional<std::string_view> value);

 private:
  void* mysql_;
};

// The one administrator's connection of this process.
AdminDb& admin();

// Empties KvBasis and the standard client schemas, drops every other client schema.
void reset_site();

// A further client schema with its tables, readable by the program's user.
void create_client_schema(const std::string& name);

// A client (license 1, number num) whose schema is schema; MndKon 0, status NULL.
void add_client(int num, const std::string& schema);
// The terminal serves client num (license 1).
void link_terminal(const std::string& terminal, int num);

// The demo site of scripts/demo-site.sql, with its client schemas MNDNORD, MNDSUED, MNDWEST.
void load_demo_site();

// A site of one client and one terminal: client MNDA (1), terminal T1 with reader 1 in zone
// Z1, where class 5 is authorised; badges 000001 to count of MNDA, valid since ten days,
// person P<n>, location 100 ("NRD"), each of the class that class_sql (an SQL expression of
// the badge's number seq) gives.
void load_numbered_badges(AdminDb& db, int count, const std::string& class_sql = "'5'");

// The text of one of the project's SQL files (sql/NAME).
std::string project_sql(const std::string& name);

// For tests of the database layer and the lookups: a reset site and the program's own
// connection, opened as the program's user on the given database.
class DbTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Reopens the program's connection on another database.
  void reconnect(const char* database);
};
