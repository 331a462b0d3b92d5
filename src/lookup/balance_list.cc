#include "lookup/balance_list.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "db/cursor.h"
#include "db/escape.h"
#include "base/text.h"

namespace {
// The terminal form reads the list and texts that the terminal names, in the terminal's
// language. The person form reads the list that the person names from the connection's
// own database (Kvb300Pnr without schema); it takes the texts in the person's language,
// as its tables hold no terminal whose language could be meant.
// clang-format off
constexpr char kTerminalListQuery[] =
    "SELECT  TsaLfd, COALESCE(TsaSpl, 1), SubString(FtxT50, 1, 12)  FROM  KvBasis.Kvb114Tsm, KvBasis.G2101SalLst, KvBasis.Kvb102Whl  WHERE TsmNam = '%s'    AND TsmSal = TsaSal  AND FtxNumSpr = 220001  AND FtxWhl = TsaAnz  AND FtxSpr = TsmSpr    AND ((TsmSta <> 4 AND TsmSta <> 8) OR TsmSta IS NULL)    AND ((TsaSta <> 4 AND TsaSta <> 8) OR TsaSta IS NULL)  ORDER BY TsaSal, TsaLfd ";
constexpr char kTerminalCodeQuery[] =
    " SELECT FTXT10   FROM KVBASIS.KVB114TSM, KVBASIS.G2101SALLST, KVBASIS.KVB102WHL   WHERE TSMNAM  = '%s'  AND  TSMSAL = TSASAL     AND FTXNUMSPR = 220002  AND  FTXWHL = TSAAUS     AND FTXSPR  = TSMSPR  AND  TSALFD = %ld  AND ((TsmSta <> 4 AND TsmSta <> 8) OR TsmSta IS NULL)     AND ((TsaSta <> 4 AND TsaSta <> 8) OR TsaSta IS NULL) ";
constexpr char kPersonListQuery[] =
    "SELECT  TsaLfd, COALESCE(TsaSpl, 1), SubString(FtxT50, 1, 12)  FROM  Kvb300Pnr, KvBasis.G2101SalLst, KvBasis.Kvb102Whl  WHERE PnrNum = '%s'    AND PnrSal = TsaSal  AND FtxNumSpr = 220001  AND FtxWhl = TsaAnz  AND FtxSpr = PnrSpr    AND ((PnrSta <> 4 AND PnrSta <> 8) OR PnrSta IS NULL)    AND ((TsaSta <> 4 AND TsaSta <> 8) OR TsaSta IS NULL)  ORDER BY TsaSal, TsaLfd ";
constexpr char kPersonCodeQuery[] =
    " SELECT FTXT10  FROM KVB300PNR, KVBASIS.G2101SALLST, KVBASIS.KVB102WHL   WHERE PNRNUM  = '%s'  AND  PNRSAL = TSASAL     AND FTXNUMSPR = 220002  AND  FTXWHL = TSAAUS     AND FTXSPR  = PNRSPR  AND  TSALFD = %ld  AND ((PnrSta <> 4 AND PnrSta <> 8) OR PnrSta IS NULL)     AND ((TsaSta <> 4 AND TsaSta <> 8) OR TsaSta IS NULL) ";
// clang-format on

// Each form's own cursor: its list stays open between fetches while the code queries and
// other lookups use lookup_cursor.
QueryCursor balance_list_cursor;
QueryCursor person_balance_list_cursor;

// One form of the list: its queries, its cursor and the key of its latest open, which each
// fetch needs again for the line's code query.
struct BalanceListForm {
  const char* list_query;
  const char* code_query;
  const char* list_purpose;
  const char* code_purpose;
  QueryCursor& cursor;
  std::string key;
};

BalanceListForm balance_list_form{kTerminalListQuery,          kTerminalCodeQuery,
                                  "Saldenliste des Terminals", "Anzeigecode des Terminals",
                                  balance_list_cursor,         {}};
BalanceListForm person_balance_list_form{kPersonListQuery,           kPersonCodeQuery,
                                         "Saldenliste der Person",   "Anzeigecode der Person",
                                         person_balance_list_cursor, {}};

constexpr long kFirstSlot = 1;
constexpr long kLastSlot = 8;

// The line's number when it names one of the eight slots. A line without number, or with
// one outside 1 to 8, has no slot to go to.
bool slot_number(const char* text, long& number) {
  if (text == nullptr) return false;
  number = std::strtol(text, nullptr, 10);
  return number >= kFirstSlot && number <= kLastSlot;
}

int list_open(BalanceListForm& form, const char* key) {
  form.key = key == nullptr ? "" : key;
  db_format_query(form.list_purpose, form.list_query, db_escape(form.key).c_str());
  form.cursor.query_text = query_buffer;
  query_status = db_open_cursor(form.cursor);
  return query_status;
}

int list_fetch(BalanceListForm& form, BalanceSlot& slot) {
  long number = 0;
  do {
    query_status = db_fetch_row(form.cursor, current_row);
    if (query_status != 0) return query_status;
  } while (!slot_number(current_row[0], number));

  slot.TsaLfd = static_cast<int>(number);
  if (current_row[1] != nullptr) {
    slot.TsaSpl = static_cast<int>(std::strtol(current_row[1], nullptr, 10));
  }
  // A NULL label keeps the text the slot held: callers that pass one slot for every line
  // rely on the fetch touching nothing it has no value for.
  if (current_row[2] != nullptr) {
    std::snprintf(slot.label, sizeof slot.label, "%-12.12s ", trim_trailing_blanks(current_row[2]));
  }
  slot.value = "       ";

  db_format_query(form.code_purpose, form.code_query, db_escape(form.key).c_str(), number);
  bool fits = true;
  const int rc = db_first_row([&](DbRow row) {
    if (row[0] != nullptr) fits = copy_text(slot.code, sizeof slot.code, trim_trailing_blanks(row[0]));
  });
  if (rc == 0 && !fits) query_status = RC_TOO_LONG;
  return query_status;
}

int list_close(BalanceListForm& form) {
  query_status = db_close_cursor(form.cursor);
  return query_status;
}
}  // namespace

int balance_list_open(const char* terminal) {
  return list_open(balance_list_form, terminal);
}

int balance_list_fetch(BalanceSlot& slot) {
  return list_fetch(balance_list_form, slot);
}

int balance_list_close() {
  return list_close(balance_list_form);
}

int person_balance_list_open(const char* person) {
  return list_open(person_balance_list_form, person);
}

int person_balance_list_fetch(BalanceSlot& slot) {
  return list_fetch(person_balance_list_form, slot);
}

int person_balance_list_close() {
  return list_close(person_balance_list_form);
}

void balance_list_read(const char* terminal, BalanceList& list) {
  list = BalanceList{};
  if (balance_list_open(terminal) == 0) {
    BalanceSlot slot;
    while (balance_list_fetch(slot) == 0)
      list.slot(slot.TsaLfd) = slot;
  }
  balance_list_close();
}
