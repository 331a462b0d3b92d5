// Database contents the program does not write, and arguments it is handed: values at and
// past every width it relies on, NULL everywhere, quotes, backslashes and zero bytes, dates
// far away, bytes beyond ASCII. Every function ends normally; what cannot be written is
// refused with a message, what fits is written.

#include <gtest/gtest.h>

#include <string>

#include "support/run_program.h"
#include "support/test_db.h"

namespace {

const char* const kFunctions[] = {"ZKDNL17P", "ZKDNL18P", "ZKDNL31P", "ZKDNL60P", "IDSTAMM"};

class HostileDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_site();
    site_.write_test_config("MNDA");
    admin().exec(
        "INSERT INTO KvBasis.Kvb112Mnd (MndLiz, MndNum, MndSch, MndKon) VALUES (1, 1, 'MNDA', 0);"
        "INSERT INTO KvBasis.Kvb115Tfz (TfzTrm, TfzLiz, TfzMnd) VALUES ('T1', 1, 1);"
        "INSERT INTO KvBasis.Kvb401Zls (ZlsTrm, ZlsLes, ZlsZko) VALUES ('T1', 1, 'ZONE-OVER-7'),"
        " ('T1', 2, 'Z''2');"
        "INSERT INTO KvBasis.Kvb404Zbr (ZbrZbk, ZbrZko, ZbrZtb) VALUES ('5', 'ZONE-OVER-7', 1),"
        " ('12345', 'Z''2', 1), ('1234', 'Z''2', 1), ('0', 'Z''2', 1);"
        "INSERT INTO KvBasis.Kvb114Tsm (TsmNam, TSMTYP, TSMSAL, TsmSpr) VALUES"
        " ('T1', '7744-010-LONG', 'LIST-LONGER', 1);");
  }

  // A badge with its location row; the texts go in as they are (SQL expressions).
  void badge(const std::string& number, const std::string& person, const std::string& cls,
             const std::string& group, const std::string& location,
             const std::string& valid_from = "CURDATE() - INTERVAL 1 DAY",
             const std::string& valid_to = "NULL") {
    admin().exec("INSERT INTO KvBasis.Kvb301Asw (AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, "
                 "AswAan, AswAtp, ASWLIZ, ASWMND) VALUES (" +
                 number + ", " + valid_from + ", " + valid_to + ", " + person + ", " + cls + ", " +
                 group + ", NULL, 1, 1, 1);"
                 "INSERT INTO KvBasis.Kvb113Awv (AwvNum, AwvSto) VALUES (" +
                 number + ", " + location + ")");
  }

  RunResult run(const std::string& code, const std::string& terminal = "T1",
                const std::string& file = "t.dat") {
    RunResult r = site_.run({code, terminal, site_.file(file), "1"});
    EXPECT_EQ("", r.err);
    return r;
  }

  ProgramSite site_;
};

}  // namespace

TEST_F(HostileDataTest, ValuesPastTheirWidthAreRefusedAndTheOthersWritten) {
  badge("'1234567890123'", "'12345678'", "'5'", "'G1'", "'12345678'");  // every value at its limit
  badge("'12345678901234'", "'P1'", "'5'", "'G1'", "'1'");               // number past 13
  badge(std::string("'") + std::string(51, 'N') + "'", "'P1'", "'5'", "'G1'", "'1'");
  badge("'B-PERSON'", "'123456789'", "'5'", "'G1'", "'1'");    // person number past 8
  badge("'B-CLASS'", "'P1'", "'1234'", "'G1'", "'1'");         // class past 3 in the record
  badge("'B-CLASS6'", "'P1'", "'123456'", "'G1'", "'1'");      // class past its 5
  badge("'B-GROUP'", "'P1'", "'5'", "'123456'", "'1'");        // group past 5
  badge("'B-LOC'", "'P1'", "'5'", "'G1'", "'123456789'");      // location number past 8
  for (const char* code : kFunctions) {
    SCOPED_TRACE(code);
    const RunResult r = run(code);
    EXPECT_EQ(0, r.status) << r.out;
    // The lines of IDSTAMM have room for a longer number; the records have 13 places.
    const bool fixed = std::string(code) != "IDSTAMM";
    EXPECT_EQ(fixed, r.out.find("Ausweis 12345678901234 mit zu langem Wert:") != std::string::npos)
        << r.out;
    EXPECT_NE(std::string::npos, r.out.find("Ausweis " + std::string(50, 'N') +
                                            " mit zu langem Wert: Ausweisnummer (max. 50"));
    EXPECT_NE(std::string::npos, r.out.find("Ausweis B-PERSON mit zu langem Wert: Personalnummer"));
    EXPECT_NE(std::string::npos, r.out.find("Ausweis B-GROUP mit zu langem Wert: Ausweisgruppe"));
    EXPECT_NE(std::string::npos, r.out.find("Ausweis B-LOC mit zu langem Wert: Standortnummer"));
    EXPECT_NE(std::string::npos, r.out.find("Ausweis B-CLASS6 mit zu langem Wert: "
                                            "Berechtigungsklasse (max. 5"));
    // The badge whose values just fit is written.
    EXPECT_NE(std::string::npos, read_file(site_.file("t.dat")).find("1234567890123"));
  }
  // Where the record has three places for the class, a longer one is refused too.
  const RunResult r = run("ZKDNL31P");
  EXPECT_NE(std::string::npos,
            r.out.find("Ausweis B-CLASS mit zu langem Wert: Berechtigungsklasse 1234 (max. 3"));
}

TEST_F(HostileDataTest, NullQuotesBackslashesAndZeroBytesDoNoHarm) {
  badge("'N1'", "NULL", "NULL", "NULL", "NULL");
  badge("'Q''1'", "'P''1'", "'0'", "'G''1'", "'1'");
  badge("'B\\\\1'", "'P\\\\1'", "'0'", "'G\\\\1'", "'1'");
  badge("'Z\\0ERO'", "'P\\01'", "'5'", "'G\\01'", "'1\\02'");
  badge("'FAR'", "'P2'", "'5'", "'G1'", "'1'", "'0001-01-01'", "'9999-12-31'");
  admin().exec(
      "INSERT INTO KvBasis.Kvb113Sto (StoNum, StoKtx) VALUES ('1', 'A\\0B'), ('1', NULL);"
      "INSERT INTO MNDA.Kvb300Pnr (PNRNUM, PnrSpr, PnrSal) VALUES ('P''1', NULL, NULL),"
      " ('P\\\\1', 99999, 'L\\\\'), ('P2', -1, 'x\"y');"
      "INSERT INTO MNDA.Kvb408Bzu (BzuZau, BzuBkl, BzuGvo) VALUES ('G''1', '1''2', NULL),"
      " ('G\\\\1', NULL, CURDATE());"
      "INSERT INTO MNDA.Kvb320Tgb (TGBPNR, TGBZTR, TGBDTM, TGBVT1) VALUES"
      " ('P''1', 1, CURDATE() - INTERVAL 1 DAY, 9999999), ('P2', 1, CURDATE() - INTERVAL 1 DAY,"
      " -9999999);"
      "INSERT INTO MNDA.Kvb332Urv (URVPNR, URVJHR, URVGUR, URVVJR) VALUES"
      " ('P2', YEAR(CURDATE()), 999999.999, -999999.999);");
  for (const char* code : kFunctions) {
    SCOPED_TRACE(code);
    const RunResult r = run(code);
    EXPECT_EQ(0, r.status) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("Ausweise gesamt: 5 davon in Datei gestellt: "));
  }
  // The quote in a badge number is just a character of the line.
  const RunResult idstamm = run("IDSTAMM");
  const std::string lines = read_file(site_.file("t.dat")) + idstamm.out;
  EXPECT_NE(std::string::npos, lines.find("\"Q'1\",")) << lines;
  // A language of five digits has no room in the line's field.
  EXPECT_NE(std::string::npos, lines.find("Ausweis B\\1 mit zu langem Wert: Sprache")) << lines;
  EXPECT_NE(std::string::npos, lines.find("\"FAR\",\"00010101\",\"99991231\"")) << lines;
}

TEST_F(HostileDataTest, TerminalNamesAndPathsBeyondAscii) {
  // "Tör" in Windows-1252 and in UTF-8; a path with blanks, quotes, a backslash and umlauts.
  const std::string latin = "T\xF6r";
  const std::string utf8 = "T\xC3\xB6r";
  admin().exec("INSERT INTO KvBasis.Kvb112Mnd (MndLiz, MndNum, MndSch, MndKon) VALUES (1, 2, 'MNDB', 0);"
               "INSERT INTO KvBasis.Kvb115Tfz (TfzTrm, TfzLiz, TfzMnd) VALUES (" +
               admin().quote(latin) + ", 1, 2), (" + admin().quote(utf8) + ", 1, 1)");
  const std::string file = "dnl \xE4 'x' \\ \xC3\xBC.dat";
  const RunResult a = run("XX", latin, file);
  EXPECT_EQ(0, a.status);
  EXPECT_EQ("Mit Datenbank verbunden! Schema: MNDA\nSchema: MNDB\n", a.out);
  EXPECT_EQ("", read_file(site_.file(file)));
  const RunResult b = run("XX", utf8, file);
  EXPECT_EQ(0, b.status);
  EXPECT_EQ("Mit Datenbank verbunden! Schema: MNDA\nSchema: MNDA\n", b.out);
}
