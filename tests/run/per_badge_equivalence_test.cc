// The program answers its lookups from a few statements per client schema and stages its
// records in batches. On a randomised site, every download function must give exactly the
// file and the console text of the program sending every statement per badge
// (VESTRAGEN_PER_BADGE=1), including where keys differ in letter case or trailing blanks and
// where a key has several valid rows. So must a run that reads its lookups' rows in chunks of
// a few badges, ahead on a second connection (the test hook VESTRAGEN_TEST_PASS_CHUNK), and a
// run whose statements for many keys the server refuses (the test hook
// VESTRAGEN_TEST_BREAK_BATCH=1), which falls back to the per-badge statements. The run report
// of the program tells every refusal its console shows.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/random_site.h"
#include "support/report_check.h"
#include "support/run_program.h"
#include "support/test_db.h"

namespace {

class PerBadgeEquivalenceTest : public ::testing::TestWithParam<std::uint64_t> {
 protected:
  void SetUp() override {
    reset_site();
    site_.write_test_config("MNDA");
    random_site_load(GetParam());
  }

  // Runs the function with the environment env; statements receives what the server was sent
  // meanwhile.
  RunResult run(const std::string& code, const std::string& file,
                const std::vector<std::string>& env, long& statements) {
    RunOptions options;
    options.env = env;
    const long before = questions();
    RunResult r = site_.run({code, "T1", site_.file(file), "1"}, options);
    statements = questions() - before;
    return r;
  }

  std::string report() const { return site_.file("report.jsonl"); }

  static long questions() {
    return std::stol(*admin().rows("SHOW GLOBAL STATUS LIKE 'Questions'")[0][1]);
  }

  ProgramSite site_;
};

}  // namespace

TEST_P(PerBadgeEquivalenceTest, EveryFunctionWritesWhatThePerBadgeStatementsWrite) {
  for (const char* code : {"ZKDNL17P", "ZKDNL18P", "ZKDNL31P", "ZKDNL60P", "IDSTAMM"}) {
    SCOPED_TRACE(code);
    long reference_statements = 0;
    long fast_statements = 0;
    long chunked_statements = 0;
    long fallen_back_statements = 0;
    const RunResult reference =
        run(code, "reference.dat", {"VESTRAGEN_PER_BADGE=1"}, reference_statements);
    const RunResult fast = run(code, "fast.dat", {"VESTRAGEN_REPORT=" + report()}, fast_statements);
    const RunResult chunked =
        run(code, "chunked.dat", {"VESTRAGEN_TEST_PASS_CHUNK=7"}, chunked_statements);
    const RunResult fallen_back =
        run(code, "fallen-back.dat",
            {"VESTRAGEN_TEST_BREAK_BATCH=1", "VESTRAGEN_TEST_PASS_CHUNK=7",
             "VESTRAGEN_REPORT=" + site_.file("fallen-back.jsonl")},
            fallen_back_statements);
    // The few statements per client schema are really what answered, and the refused ones
    // really left the lookups to their per-badge statements. (How many refused statements
    // the second connection sends before the program's own refusal depends on timing: for
    // ZKDNL18P, whose lookups are few per badge, the refused run sends about five times as
    // many statements, give or take ten.)
    EXPECT_LT(fast_statements * 5, reference_statements);
    EXPECT_LT(fast_statements * 4, fallen_back_statements);
    ASSERT_EQ(0, reference.status) << reference.out;
    EXPECT_EQ(0, fast.status);
    EXPECT_EQ(0, chunked.status);
    EXPECT_EQ(0, fallen_back.status);
    EXPECT_EQ(reference.out, fast.out);
    EXPECT_EQ(fast.out, chunked.out);
    EXPECT_EQ(fast.out, fallen_back.out);
    const std::string expected = read_file(site_.file("reference.dat"));
    EXPECT_FALSE(expected.empty());
    EXPECT_TRUE(expected == read_file(site_.file("fast.dat"))) << "the files differ";
    expect_report_matches_console(read_file(report()), fast.out, fast.status);
    EXPECT_TRUE(expected == read_file(site_.file("chunked.dat"))) << "the files differ";
    EXPECT_TRUE(expected == read_file(site_.file("fallen-back.dat"))) << "the files differ";
    // The report names each refused lookup once per client schema, with the server's error
    // (1064: the hook makes a syntax error); the batched run's names none.
    const std::string fallen_back_report = read_file(site_.file("fallen-back.jsonl"));
    expect_report_matches_console(fallen_back_report, fallen_back.out, fallen_back.status);
    std::set<std::string> fallbacks;
    for (const ReportEvent& e : report_events(fallen_back_report)) {
      if (e.at("event") != "fallback") continue;
      EXPECT_EQ("1064", e.at("error"));
      EXPECT_TRUE(fallbacks.insert(e.at("schema") + "|" + e.at("lookup")).second)
          << e.at("lookup") << " twice";
    }
    EXPECT_GE(fallbacks.size(), 2u);
    for (const ReportEvent& e : report_events(read_file(report()))) {
      EXPECT_NE("fallback", e.at("event"));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sites, PerBadgeEquivalenceTest, ::testing::Values(1, 2, 3, 4));

namespace {

// Persons with several valid cost centres and departments whose assignments give different
// classes: the server may read the tables of a class source in another order for one person
// than for a list of persons, and the first row is then another one. The file must still be
// the per-badge one.
class DisagreeingRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_site();
    site_.write_test_config("MNDA");
    std::string sql =
        "INSERT INTO KvBasis.Kvb112Mnd (MndLiz, MndNum, MndSch, MndKon) VALUES "
        "(1, 1, 'MNDA', 0);"
        "INSERT INTO KvBasis.Kvb115Tfz (TfzTrm, TfzLiz, TfzMnd) VALUES ('T1', 1, 1);"
        "INSERT INTO KvBasis.Kvb114Tsm (TsmNam, TSMTYP, TSMSAL, TsmSpr) VALUES "
        "('T1', '7744-010', NULL, 1);"
        "INSERT INTO KvBasis.Kvb401Zls (ZlsTrm, ZlsLes, ZlsZko) VALUES ('T1', 1, 'Z1');"
        "INSERT INTO MNDA.O1003Kststelle (KstNum, KstVws) VALUES "
        "('K1', 'V1'), ('K2', 'V2'), ('K3', 'V3'), ('K4', 'V1');"
        "INSERT INTO MNDA.G1102AbtLst VALUES ('A1', 'L1', NULL), ('A2', 'L2', NULL), "
        "('A3', 'L3', NULL), ('A4', 'L1', NULL);"
        "INSERT INTO MNDA.Kvb408Bzu (BzuVks, BzuBkl, BzuGvo) VALUES "
        "('V1', '12', '2020-01-01'), ('V2', '13', '2020-01-01'), ('V3', '16', '2020-01-01'),"
        " ('V1', '17', '2020-01-01');"
        "INSERT INTO MNDA.Kvb408Bzu (BzuVab, BzuBkl, BzuGvo) VALUES "
        "('L1', '21', '2020-01-01'), ('L2', '22', '2020-01-01'), ('L3', '23', '2020-01-01'),"
        " ('L1', '24', '2020-01-01');";
    for (const char* access_class : {"12", "13", "16", "17", "21", "22", "23", "24"}) {
      sql += "INSERT INTO KvBasis.Kvb404Zbr VALUES ('" + std::string(access_class) +
             "', 'Z1', 1, NULL);";
    }
    const char* centres[] = {"K1", "K2", "K3", "K4"};
    const char* departments[] = {"A1", "A2", "A3", "A4"};
    std::string badges;
    std::string locations;
    std::string assignments;
    for (int person = 0; person < 300; ++person) {
      const std::string person_text = std::to_string(person);
      const std::string number = "P" + person_text;
      // Every tenth person has a badge and no cost-centre group, so that the department
      // list decides; the others' badges are resolved by the cost-centre group.
      for (int i = 0; i < 2 + person % 3; ++i) {
        const int k = (person + i * 3) % 4;
        assignments += std::string(assignments.empty() ? "" : ", ") + "('" + number + "', " +
                       (person % 10 == 0 ? "NULL" : std::string("'") + centres[k] + "'") +
                       ", '" + departments[(k + person) % 4] + "', '2020-01-01', NULL, NULL)";
      }
      if (person % 5 == 0 || person % 10 == 0) {
        badges += std::string(badges.empty() ? "" : ", ") + "('B" + std::to_string(person) +
                  "', '2020-01-01', '" + number + "', '0', 1, 1)";
        locations += std::string(locations.empty() ? "" : ", ") + "('B" +
                     std::to_string(person) + "', NULL, NULL)";
      }
    }
    // Hundreds of rows of two persons that lead nowhere: for them alone the server starts
    // the per-badge statement from the small tables.
    for (int i = 0; i < 280; ++i) {
      const std::string n = std::to_string(i);
      assignments += ", ('P5', 'KX" + n + "', 'AX" + n + "', '2020-01-01', NULL, NULL)";
      assignments += ", ('P10', NULL, 'AX" + n + "', '2020-01-01', NULL, NULL)";
    }
    sql += "INSERT INTO MNDA.Kvb311Zuo VALUES " + assignments + ";";
    sql += "INSERT INTO KvBasis.Kvb301Asw (AswNum, AswGvo, AswPnr, AswBkl, ASWLIZ, ASWMND) VALUES " +
           badges + ";";
    sql += "INSERT INTO KvBasis.Kvb113Awv VALUES " + locations + ";";
    sql += "ANALYZE TABLE MNDA.Kvb311Zuo, MNDA.O1003Kststelle, MNDA.G1102AbtLst, "
           "MNDA.Kvb408Bzu;";
    admin().exec(sql);
  }

  ProgramSite site_;
};

}  // namespace

namespace {

// A statement's shape: every text literal and number replaced by #, a list of them by one #,
// the rows of an INSERT by one, a schema name between backticks by `#`, blanks collapsed.
std::string statement_shape(const std::string& statement) {
  std::string shape;
  for (std::size_t i = 0; i < statement.size(); ++i) {
    const char c = statement[i];
    if (c == '\'' || c == '`') {
      for (++i; i < statement.size() && statement[i] != c; ++i) {
        if (statement[i] == '\\') ++i;
      }
      shape += c == '`' ? "`#`" : "#";
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      if (!shape.empty() && shape.back() != ' ') shape += ' ';
    } else {
      shape += c;
    }
  }
  shape = std::regex_replace(shape, std::regex(R"(\b[0-9]+(\.[0-9]+)?\b)"), "#");
  shape = std::regex_replace(shape, std::regex(R"(#( ?, ?#)+)"), "#");
  shape = std::regex_replace(shape, std::regex(R"((\(# ?\))(, \(# ?\))+)"), "$1");
  while (!shape.empty() && shape.back() == ' ')
    shape.pop_back();
  return shape;
}

// What the shape uses that MariaDB 10.3 and later and MySQL 5.7 and 8.0 do not all document,
// or an empty text. Checked: the statement forms the program sends, the functions it calls,
// and constructs one of the servers lacks (common table expressions, table value
// constructors, window functions, RETURNING, LIMIT in an IN subquery and so on).
std::string not_for_both_servers(const std::string& shape) {
  const std::string upper = [&] {
    std::string u = shape;
    for (char& c : u)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
  }();
  static const std::regex forms(
      "(SELECT (STRAIGHT_JOIN )?[^;]*"
      "|INSERT INTO KVBASIS\\.KVB999TMP \\( ?TMPUSR, TMPSTR\\) VALUES \\(# ?\\)"
      "|DELETE FROM KVBASIS\\.KVB999TMP WHERE TMPUSR = #"
      "|COMMIT|ROLLBACK|SET AUTOCOMMIT = #"
      "|SET SESSION TRANSACTION ISOLATION LEVEL READ COMMITTED"
      // The program's request to make a client schema the current one: both servers refuse
      // it alike, and both then read unqualified tables from the login's database.
      "|ALTER SESSION SET CURRENT_SCHEMA=\\w+)");
  if (!std::regex_match(upper, forms)) return "a statement form not in the list";
  static const std::regex lacking(
      "\\bWITH\\b|\\bRECURSIVE\\b|\\bRETURNING\\b|\\bOVER\\b|\\bWINDOW\\b|\\bLATERAL\\b"
      "|\\bEXCEPT\\b|\\bINTERSECT\\b|\\bVALUES ROW\\b|\\bTABLE\\b|:=|\\bLIMIT\\b|\\bOFFSET\\b"
      "|\\bFETCH FIRST\\b|\\bSEQ_\\w*|\\bJSON_TABLE\\b|\\bMINUS\\b");
  std::smatch found;
  if (std::regex_search(upper, found, lacking)) return "uses " + found.str();
  // A row list after VALUES only in the INSERT form; STRAIGHT_JOIN only right after SELECT.
  if (upper.rfind("INSERT", 0) != 0 && upper.find("VALUES") != std::string::npos) {
    return "a table value constructor";
  }
  const std::string joins = std::regex_replace(upper, std::regex("SELECT STRAIGHT_JOIN\\b"), "");
  if (joins.find("STRAIGHT_JOIN") != std::string::npos) {
    return "STRAIGHT_JOIN between tables";
  }
  // Every name before a parenthesis: a function both document, a keyword, or the staging
  // table before its column list.
  static const std::set<std::string> names = {
      "COALESCE", "CONCAT",    "COUNT", "CURDATE", "DATABASE", "DATE_FORMAT", "ELT", "GET_LOCK",
      "SHA1",     "SUBSTRING", "TRIM",  "AND",     "FROM",        "IN",  "OR",
      "SELECT",   "VALUES",    "WHERE", "NOT",     "KVB999TMP"};
  static const std::regex call("\\b([A-Z_][A-Z_0-9]*) ?\\(");
  for (auto it = std::sregex_iterator(upper.begin(), upper.end(), call);
       it != std::sregex_iterator(); ++it) {
    if (names.count((*it)[1]) == 0) return "the function " + (*it)[1].str();
  }
  return "";
}

// The same randomised site; the server's general log records what the program sends.
class StatementShapeTest : public PerBadgeEquivalenceTest {};

}  // namespace

// Every statement of every function, batched and per badge (as a fall-back sends them), keeps
// to what both server families take.
TEST_P(StatementShapeTest, EveryStatementKeepsToSyntaxMariaDbAndMySqlBothTake) {
  admin().exec(
      "SET GLOBAL general_log = OFF; SET GLOBAL log_output = 'TABLE';"
      "TRUNCATE TABLE mysql.general_log; SET GLOBAL general_log = ON");
  for (const char* code : {"ZKDNL17P", "ZKDNL18P", "ZKDNL31P", "ZKDNL60P", "IDSTAMM"}) {
    for (const std::vector<std::string>& env :
         {std::vector<std::string>{}, std::vector<std::string>{"VESTRAGEN_PER_BADGE=1"}}) {
      long statements = 0;
      EXPECT_EQ(0, run(code, "shape.dat", env, statements).status) << code;
    }
  }
  admin().exec("SET GLOBAL general_log = OFF");
  std::set<std::string> shapes;
  for (const SqlRow& row : admin().rows(
           "SELECT CONVERT(argument USING latin1) FROM mysql.general_log WHERE command_type = "
           "'Query' AND user_host LIKE 'vestragen[%'")) {
    if (row[0]) shapes.insert(statement_shape(*row[0]));
  }
  admin().exec("TRUNCATE TABLE mysql.general_log; SET GLOBAL log_output = 'FILE'");
  // The batched lookups, the zone counts, the per-badge statements and the staging are in.
  EXPECT_GT(shapes.size(), 30u);
  for (const std::string& shape : shapes) {
    const std::string fault = not_for_both_servers(shape);
    EXPECT_EQ("", fault) << shape;
  }
}

INSTANTIATE_TEST_SUITE_P(Site, StatementShapeTest, ::testing::Values(5));

TEST_F(DisagreeingRowsTest, TheFirstRowIsThePerBadgeStatementsFirstRow) {
  for (const char* code : {"ZKDNL31P", "IDSTAMM"}) {
    SCOPED_TRACE(code);
    RunOptions per_badge;
    per_badge.env = {"VESTRAGEN_PER_BADGE=1"};
    const RunResult reference =
        site_.run({code, "T1", site_.file("reference.dat"), "1"}, per_badge);
    ASSERT_EQ(0, reference.status) << reference.out;
    const std::string expected = read_file(site_.file("reference.dat"));
    EXPECT_NE(std::string::npos, expected.find("B10")) << reference.out;
    // In one pass; in chunks read ahead on a second connection, which also asks the own
    // statements of the keys whose rows disagree; and in chunks when the login may have one
    // connection only, so that everything is read on the program's.
    RunOptions chunked;
    chunked.env = {"VESTRAGEN_TEST_PASS_CHUNK=5"};
    const struct {
      const char* name;
      bool chunks;
      bool one_connection;
    } runs[] = {{"whole", false, false}, {"chunked", true, false}, {"one connection", true, true}};
    for (const auto& r : runs) {
      SCOPED_TRACE(r.name);
      if (r.one_connection) {
        admin().exec("ALTER USER 'vestragen'@'%' WITH MAX_USER_CONNECTIONS 1");
      }
      const RunResult fast =
          site_.run({code, "T1", site_.file("fast.dat"), "1"}, r.chunks ? chunked : RunOptions{});
      if (r.one_connection) {
        admin().exec("ALTER USER 'vestragen'@'%' WITH MAX_USER_CONNECTIONS 0");
      }
      EXPECT_EQ(0, fast.status);
      EXPECT_EQ(reference.out, fast.out);
      EXPECT_EQ(expected, read_file(site_.file("fast.dat")));
    }
  }
}
