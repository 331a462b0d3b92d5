#pragma once
// Rows behind the display records: terminals with their balance display lists, persons,
// previous-day accounts and vacation figures, set up through admin().

#include <optional>
#include <string>
#include <vector>

#include "support/test_db.h"

// A terminal of language 1 with its type and balance list (nullopt: NULL).
inline void add_terminal(const std::string& name, std::optional<std::string> type,
                         std::optional<std::string> list) {
  AdminDb& db = admin();
  db.exec("INSERT INTO KvBasis.Kvb114Tsm (TsmNam, TSMTYP, TSMSAL, TsmSpr) VALUES (" +
          db.quote(name) + ", " + db.quote(type) + ", " + db.quote(list) + ", 1)");
}

// One line of a balance display list: its number, layout mark, label and display code.
struct DisplayLine {
  int lfd;
  int spl;
  std::string label;
  std::string code;
};

// The lines of list, each with a label text and a code text of its own in language 1.
inline void add_display_list(const std::string& list, const std::vector<DisplayLine>& lines) {
  AdminDb& db = admin();
  static int next_text = 1000;
  for (const DisplayLine& line : lines) {
    const std::string anz = std::to_string(++next_text);
    const std::string aus = std::to_string(++next_text);
    db.exec("INSERT INTO KvBasis.G2101SalLst (TsaSal, TsaLfd, TsaSpl, TsaAnz, TsaAus) VALUES (" +
            db.quote(list) + ", " + std::to_string(line.lfd) + ", " + std::to_string(line.spl) +
            ", " + anz + ", " + aus + ");" +
            "INSERT INTO KvBasis.Kvb102Whl (FtxNumSpr, FtxWhl, FtxSpr, FtxT50) VALUES (220001, " +
            anz + ", 1, " + db.quote(line.label) + ");" +
            "INSERT INTO KvBasis.Kvb102Whl (FtxNumSpr, FtxWhl, FtxSpr, FTXT10) VALUES (220002, " +
            aus + ", 1, " + db.quote(line.code) + ")");
  }
}

// A person of a client schema.
inline void add_person(const std::string& schema, const std::string& pnr) {
  admin().exec("INSERT INTO `" + schema + "`.Kvb300Pnr (PNRNUM) VALUES (" + admin().quote(pnr) +
               ")");
}

// The person's account of the server's previous day (TGBZTR 1) in schema, which must be the
// database the program connects to; columns as SQL assignments, such as "TGBVT1 = 90".
inline void add_previous_day(const std::string& schema, const std::string& pnr,
                             const std::string& columns) {
  admin().exec("INSERT INTO `" + schema + "`.Kvb320Tgb SET TGBPNR = " + admin().quote(pnr) +
               ", TGBZTR = 1, TGBDTM = CURDATE() - INTERVAL 1 DAY, " + columns);
}

// Vacation days taken as of today (UtgVtg, UtgRtg, UtgGut as SQL numbers).
inline void add_vacation_days(const std::string& schema, const std::string& pnr,
                              const std::string& vtg, const std::string& rtg,
                              const std::string& gut) {
  admin().exec("INSERT INTO `" + schema +
               "`.Kvb332Utg (UTGPNR, UtgDtm, UtgVtg, UtgRtg, UtgGut) "
               "VALUES (" +
               admin().quote(pnr) + ", CURDATE(), " + vtg + ", " + rtg + ", " + gut + ")");
}

// The vacation entitlement of the server's current year (URVGUR, URVVJR as SQL numbers).
inline void add_vacation_entitlement(const std::string& schema, const std::string& pnr,
                                     const std::string& gur, const std::string& vjr) {
  admin().exec("INSERT INTO `" + schema + "`.Kvb332Urv (URVPNR, URVJHR, URVGUR, URVVJR) VALUES (" +
               admin().quote(pnr) + ", YEAR(CURDATE()), " + gur + ", " + vjr + ")");
}
