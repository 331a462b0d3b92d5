#pragma once
// Rows of a small site for the lookup and generator tests, set up through admin(), and what
// the tests read back from the program's own connection.

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "db/cursor.h"
#include "db/schemas.h"
#include "support/test_db.h"

// The server's date for a date expression (such as "CURDATE() - INTERVAL 3 DAY"), YYYYMMDD.
inline std::string server_date(const std::string& expression) {
  return admin().scalar("SELECT DATE_FORMAT(" + expression + ", '%Y%m%d')");
}

// The standard client schemas as clients: MNDA is client 1/1, MNDB client 1/2.
inline void add_clients() {
  admin().exec(
      "INSERT INTO KvBasis.Kvb112Mnd (MndLiz, MndNum, MndSch, MndKon, MndSta) VALUES "
      "(1, 1, 'MNDA', 0, NULL), (1, 2, 'MNDB', 0, NULL)");
}

// A badge with one location row. Dates, type and status are SQL expressions, the texts
// values (nullopt: NULL); AwvSto nullopt gives a location row without number.
struct BadgeRow {
  std::string AswNum = "4711";
  std::string AswGvo = "CURDATE() - INTERVAL 10 DAY";
  std::string AswGbi = "NULL";
  std::optional<std::string> AswPnr = "P1";
  std::optional<std::string> AswBkl = "5";
  std::optional<std::string> AswGrp = std::nullopt;
  std::string AswAtp = "NULL";
  std::string AswSta = "NULL";
  int ASWMND = 1;
  std::optional<std::string> AwvSto = "123";
  std::string AwvSta = "NULL";
};

inline void add_badge(const BadgeRow& b) {
  AdminDb& db = admin();
  db.exec(
      "INSERT INTO KvBasis.Kvb301Asw (AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, "
      "AswAan, AswAtp, ASWLIZ, ASWMND, AswSta) VALUES (" +
      db.quote(b.AswNum) + ", " + b.AswGvo + ", " + b.AswGbi + ", " + db.quote(b.AswPnr) + ", " +
      db.quote(b.AswBkl) + ", " + db.quote(b.AswGrp) + ", 'A', " + b.AswAtp + ", 1, " +
      std::to_string(b.ASWMND) + ", " + b.AswSta + ");" +
      "INSERT INTO KvBasis.Kvb113Awv (AwvNum, AwvSto, AwvSta) VALUES (" + db.quote(b.AswNum) +
      ", " + db.quote(b.AwvSto) + ", " + b.AwvSta + ")");
}

// A reader of a terminal in a zone; sta an SQL expression.
inline void add_reader(const std::string& terminal, int reader, const std::string& zone,
                       const std::string& sta = "NULL") {
  AdminDb& db = admin();
  db.exec("INSERT INTO KvBasis.Kvb401Zls (ZlsTrm, ZlsLes, ZlsZko, ZlsSta) VALUES (" +
          db.quote(terminal) + ", " + std::to_string(reader) + ", " + db.quote(zone) + ", " + sta +
          ")");
}

// An authorisation of an access class in a zone, of type ztb; sta an SQL expression.
inline void add_zone_right(const std::string& access_class, const std::string& zone, int ztb = 1,
                           const std::string& sta = "NULL") {
  AdminDb& db = admin();
  db.exec("INSERT INTO KvBasis.Kvb404Zbr (ZbrZbk, ZbrZko, ZbrZtb, ZbrSta) VALUES (" +
          db.quote(access_class) + ", " + db.quote(zone) + ", " + std::to_string(ztb) + ", " + sta +
          ")");
}

// A location with its short text; sta an SQL expression.
inline void add_location(const std::string& number, std::optional<std::string> text,
                         const std::string& sta = "NULL") {
  AdminDb& db = admin();
  db.exec("INSERT INTO KvBasis.Kvb113Sto (StoNum, StoKtx, StoSta) VALUES (" + db.quote(number) +
          ", " + db.quote(text) + ", " + sta + ")");
}

// The client schema the lookups prefix their client tables with, as the run sequence sets it.
inline void use_client_schema(const char* schema) {
  std::strncpy(current_schema, schema, sizeof current_schema - 1);
  current_schema[sizeof current_schema - 1] = '\0';
}

// The records staged under key, in the order the output step reads them.
inline std::vector<std::string> staged_records(const std::string& key = "x") {
  std::vector<std::string> records;
  for (const SqlRow& row : admin().rows("SELECT TmpStr FROM KvBasis.Kvb999Tmp WHERE TmpUsr = " +
                                        admin().quote(key) + " ORDER BY TmpStr")) {
    records.push_back(row[0].value_or("NULL"));
  }
  return records;
}

// SELECT statements the program's connection has run so far (SHOW does not count).
inline long session_selects() {
  QueryCursor cursor;
  cursor.query_text = "SHOW SESSION STATUS LIKE 'Com_select'";
  DbRow row = nullptr;
  long count = -1;
  if (db_open_cursor(cursor) == 0 && db_fetch_row(cursor, row) == 0) {
    count = std::strtol(row[1], nullptr, 10);
  }
  (void)db_close_cursor(cursor);
  return count;
}
