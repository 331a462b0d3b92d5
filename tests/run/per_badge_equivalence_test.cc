// The program answers its lookups from a few statements per client schema and stages its
// records in batches. On a randomised site, every download function must give exactly the
// file and the console text of the program sending every statement per badge
// (VESTRAGEN_PER_BADGE=1), including where keys differ in letter case or trailing blanks and
// where a key has several valid rows. The run report of the program tells every refusal its
// console shows.

#include <gtest/gtest.h>

#include <cstdint>
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

  // Runs the function; statements receives what the server was sent meanwhile.
  RunResult run(const std::string& code, const std::string& file, bool per_badge,
                long& statements) {
    RunOptions options;
    // The reference's console is the program's without a report.
    options.env = {per_badge ? "VESTRAGEN_PER_BADGE=1" : "VESTRAGEN_REPORT=" + report()};
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
    const RunResult reference = run(code, "reference.dat", true, reference_statements);
    const RunResult fast = run(code, "fast.dat", false, fast_statements);
    // The few statements per client schema are really what answered.
    EXPECT_LT(fast_statements * 5, reference_statements);
    ASSERT_EQ(0, reference.status) << reference.out;
    EXPECT_EQ(0, fast.status);
    EXPECT_EQ(reference.out, fast.out);
    const std::string expected = read_file(site_.file("reference.dat"));
    EXPECT_FALSE(expected.empty());
    EXPECT_TRUE(expected == read_file(site_.file("fast.dat"))) << "the files differ";
    expect_report_matches_console(read_file(report()), fast.out, fast.status);
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

TEST_F(DisagreeingRowsTest, TheFirstRowIsThePerBadgeStatementsFirstRow) {
  for (const char* code : {"ZKDNL31P", "IDSTAMM"}) {
    SCOPED_TRACE(code);
    RunOptions per_badge;
    per_badge.env = {"VESTRAGEN_PER_BADGE=1"};
    const RunResult reference =
        site_.run({code, "T1", site_.file("reference.dat"), "1"}, per_badge);
    const RunResult fast = site_.run({code, "T1", site_.file("fast.dat"), "1"});
    ASSERT_EQ(0, reference.status) << reference.out;
    EXPECT_EQ(0, fast.status);
    EXPECT_EQ(reference.out, fast.out);
    const std::string expected = read_file(site_.file("reference.dat"));
    EXPECT_NE(std::string::npos, expected.find("B10")) << reference.out;
    EXPECT_EQ(expected, read_file(site_.file("fast.dat")));
  }
}
