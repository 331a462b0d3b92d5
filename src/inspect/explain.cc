#include "inspect/explain.h"

#include <strings.h>

#include <cstring>
#include <iterator>

#include "base/console.h"
#include "base/text.h"
#include "db/cursor.h"
#include "db/escape.h"
#include "generators/badge_walk.h"
#include "lookup/readers.h"
#include "run/download_file.h"
#include "run/schema_visit.h"

namespace {

// Keeps what the run decides for the wanted badge numbers. The badge handed to badge_begin
// is the one the generator completes until its verdict: the values the lookups write into
// it (a class from a source, the location text, the accounts) are read from it in the
// events that follow, while the generator still holds it.
class ExplainListener : public RunListener {
 public:
  ExplainListener(ExplainWalk& walk, const std::function<bool(const char*)>& wanted)
      : walk_(walk), wanted_(wanted) {}

  void schema_begin(const char* schema) override {
    schema_ = schema;
    walk_.schemas.push_back(schema);
    previous_.clear();
    end_row();
  }

  void badge_begin(const BadgeRecord& badge) override {
    const bool repeats = previous_ == badge.AswNum;
    previous_ = badge.AswNum;
    end_row();
    if (!wanted_(badge.AswNum)) return;
    ExplainRow row;
    row.schema = schema_;
    row.badge = badge;
    row.repeats_previous = repeats;
    walk_.rows.push_back(std::move(row));
    row_ = walk_.rows.size() - 1;
    live_ = &badge;
  }

  void class_source(ClassSource source, const char* key, bool found, int code) override {
    ExplainRow* row = current();
    if (row == nullptr) return;
    ExplainSource asked;
    asked.source = source;
    asked.key = key;
    asked.found = found;
    asked.code = code;
    if (found) {
      asked.given_class = live_->AswBkl;
      asked.valid_from = live_->AswGvo;
      asked.valid_to = live_->AswGbi;
      switch (source) {
        case ClassSource::kBadgeGroup:
          asked.extra = live_->AswGrp;
          break;
        case ClassSource::kCostCentre:
          asked.extra = live_->ZuoKst;
          break;
        case ClassSource::kDepartment:
          asked.extra = live_->ZuoAbt;
          break;
        default:
          break;
      }
    }
    row->sources.push_back(std::move(asked));
  }

  void reader_zone(int reader, const std::string& zone, const char* access_class,
                   bool authorised) override {
    if (ExplainRow* row = current()) {
      row->readers.push_back({reader, zone, access_class, authorised, true});
    }
  }

  void time_check(int reader, const std::string& zone, bool allowed) override {
    ExplainRow* row = current();
    if (row == nullptr) return;
    row->time_checked = true;
    row->time_reader = reader;
    row->time_zone = zone;
    row->time_class = live_->AswBkl;
    row->time_allowed = allowed;
  }

  void refused(const char* badge, RefusalReason reason, const std::string& message) override {
    ExplainRow* row = current();
    if (row == nullptr || std::strcmp(badge, row->badge.AswNum) != 0) return;
    row->verdict = RowVerdict::kRefused;
    row->reason = reason;
    row->message = message;
    take_values(*row);
  }

  void missing(const BadgeRecord& badge, MissingValues what, int code,
               const std::string& message) override {
    ExplainRow* row = current();
    if (row == nullptr || std::strcmp(badge.AswNum, row->badge.AswNum) != 0) return;
    row->missing.push_back({what, code, message});
  }

  void record(const char* badge, const std::string& record) override {
    ExplainRow* row = current();
    if (row == nullptr || std::strcmp(badge, row->badge.AswNum) != 0) return;
    row->verdict = RowVerdict::kRecord;
    row->record = record;
    take_values(*row);
  }

  void schema_end(const char*, int, int) override { end_row(); }

  // The walk is over: the last row's decision too.
  void finish() { end_row(); }

 private:
  ExplainRow* current() { return row_ < walk_.rows.size() ? &walk_.rows[row_] : nullptr; }

  // The row's decision is over when the next one begins: one that got neither record nor
  // refusal was left out silently.
  void end_row() {
    row_ = kNone;
    live_ = nullptr;
  }

  void take_values(ExplainRow& row) {
    if (live_ == nullptr) return;
    row.final_class = live_->AswBkl;
    row.location_text = live_->StoKtx;
    row.language = live_->PnrSpr;
    row.balance_list = live_->PnrSal;
    std::copy(std::begin(live_->day_values), std::end(live_->day_values),
              std::begin(row.day_values));
    std::copy(std::begin(live_->vacation_values), std::end(live_->vacation_values),
              std::begin(row.vacation_values));
  }

  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  ExplainWalk& walk_;
  const std::function<bool(const char*)>& wanted_;
  std::string schema_;
  std::string previous_;  // the number of the list's row before, in this schema
  std::size_t row_ = kNone;
  const BadgeRecord* live_ = nullptr;
};

// Why ZKDNL18P left a row out without a message.
std::string silent_reason(const ExplainRow& row) {
  if (row.badge.AswPnr[0] == '\0') {
    return "the badge row has no person: ZKDNL18P leaves such a badge out without a message";
  }
  if (row.repeats_previous) {
    return "the row before in the badge list has the same number: ZKDNL18P writes only the "
           "first row of a badge number";
  }
  return "the generator wrote no record and printed no message";
}

// The file's form of a staged record: the read-back cuts trailing blanks, tabs and line
// feeds, the file pads it to the width and writes each line feed as CR LF.
std::string file_form(const DownloadFunction& function, const std::string& record) {
  std::string staged = record;
  trim_trailing_blanks(staged);
  std::string out;
  download_record_append(out, staged, function.record_width, function.fixed_width);
  return out;
}

struct TerminalReader {
  int number = 0;
  std::string zone;
};

// The terminal's readers as the access check reads them (a NULL column repeats the value
// before it, as readers_fetch leaves it).
std::vector<TerminalReader> terminal_readers(const char* terminal, long highest) {
  std::vector<TerminalReader> readers;
  TerminalReader reader;
  if (readers_open(terminal, highest) == 0) {
    while (readers_fetch(reader.number, reader.zone) == 0)
      readers.push_back(reader);
  }
  readers_close();
  return readers;
}

// The readers after the first authorised zone, which the run's check does not ask.
void add_unasked_readers(ExplainRow& row, const std::vector<TerminalReader>& readers) {
  if (row.readers.empty() || !row.readers.back().authorised) return;
  const std::size_t asked = row.readers.size();
  const std::string access_class = row.readers.back().access_class;
  for (std::size_t i = asked; i < readers.size(); ++i) {
    int count = 0;
    const int rc = zone_class_count(readers[i].zone, access_class.c_str(), count);
    row.readers.push_back(
        {readers[i].number, readers[i].zone, access_class, rc == 0 && count != 0, false});
  }
}

bool same_name(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0;
}

std::string column(DbRow row, int i) {
  std::string text = row[i] == nullptr ? "" : row[i];
  trim_trailing_blanks(text);
  return text;
}

}  // namespace

const DownloadFunction* explain_function(const std::string& code) {
  for (const DownloadFunction& function : download_functions()) {
    if (strcasecmp(code.c_str(), function.code) == 0) return &function;
  }
  return nullptr;
}

ExplainWalk explain_walk(const char* terminal, const DownloadFunction& function,
                         const std::function<bool(const char* number)>& wanted, bool all_readers) {
  ExplainWalk walk;
  walk.function = &function;
  walk.layout = record_layout(function.code);
  ExplainListener listener(walk, wanted);
  // A dry walk: no path is staged under, so none is locked or cleared.
  const char* path = "";
  console_divert(&walk.console);
  run_listen(&listener);
  badge_walk_dry(true);
  const ExitStatus status = schemas_visit(
      terminal,
      [&](const char* schema) {
        return static_cast<ExitStatus>(function.generate(path, terminal, schema));
      },
      &walk.all_clients);
  badge_walk_dry(false);
  run_listen(nullptr);
  console_divert(nullptr);
  walk.failed = status != kExitSuccess;
  listener.finish();

  std::vector<TerminalReader> readers;
  if (all_readers && walk.layout != nullptr) {
    readers = terminal_readers(terminal, record_layout_highest_reader(*walk.layout));
  }
  for (ExplainRow& row : walk.rows) {
    if (row.verdict == RowVerdict::kLeftOut) row.left_out = silent_reason(row);
    if (row.verdict == RowVerdict::kRecord) row.file_record = file_form(function, row.record);
    if (all_readers) add_unasked_readers(row, readers);
  }
  return walk;
}

int explain_badge_table(const std::string& number, const std::vector<ExplainWalk>& walks,
                        std::vector<BadgeTableRow>& rows) {
  // clang-format off
  constexpr char kRowsQuery[] =
      "SELECT AswNum, date_format(AswGvo,'%%Y%%m%%d'), date_format(AswGbi,'%%Y%%m%%d'), AswPnr, AswBkl, AswGrp, AswSta, ASWLIZ, ASWMND, MndSch, MndKon, MndSta,"
      " ((curdate() >= AswGvo AND AswGbi IS NULL) OR (curdate() <= AswGbi AND AswGvo IS NULL) OR (curdate() >= AswGvo AND curdate() <= AswGbi)),"
      " (SELECT COUNT(*) FROM KvBasis.Kvb113Awv WHERE AwvNum = AswNum AND ((AwvSta <> 4 AND AwvSta <> 8) OR AwvSta IS NULL))"
      " FROM KvBasis.Kvb301Asw LEFT JOIN KvBasis.Kvb112Mnd ON MndLiz = ASWLIZ AND MndNum = ASWMND"
      " WHERE AswNum = '%s' ORDER BY ASWLIZ, ASWMND, AswGvo, AswNum";
  // clang-format on
  enum { kNum, kGvo, kGbi, kPnr, kBkl, kGrp, kSta, kLiz, kMnd, kSch, kKon, kMndSta, kToday, kAwv };
  char query[kQueryBufferSize];
  db_format_into(query, sizeof query, "Ausweiszeilen", kRowsQuery, db_escape(number).c_str());
  QueryCursor cursor;
  cursor.query_text = query;
  int rc = db_open_cursor(cursor);
  if (rc != 0) return rc;
  DbRow row = nullptr;
  while (db_fetch_row(cursor, row) == 0) {
    BadgeTableRow found;
    found.AswNum = column(row, kNum);
    found.valid_from = column(row, kGvo);
    found.valid_to = column(row, kGbi);
    found.person = column(row, kPnr);
    found.access_class = column(row, kBkl);
    found.group = column(row, kGrp);
    found.status = column(row, kSta);
    found.client = column(row, kLiz) + "/" + column(row, kMnd);
    found.schema = column(row, kSch);
    for (const ExplainWalk& walk : walks) {
      for (const ExplainRow& listed : walk.rows) {
        found.in_list =
            found.in_list ||
            (same_name(listed.schema, found.schema) && found.AswNum == listed.badge.AswNum &&
             found.valid_from == listed.badge.AswGvo && found.valid_to == listed.badge.AswGbi &&
             found.person == listed.badge.AswPnr);
      }
    }
    if (found.in_list) {
      rows.push_back(std::move(found));
      continue;
    }
    std::vector<std::string>& hints = found.hints;
    if (found.AswNum != number) {
      hints.push_back("its number is written \"" + found.AswNum + "\", not exactly \"" + number +
                      "\"");
    }
    const std::string status = found.status;
    if (status == "4" || status == "8") hints.push_back("the row has status " + status);
    if (column(row, kToday) != "1") {
      hints.push_back(found.valid_from.empty() && found.valid_to.empty()
                          ? "it has no validity dates"
                          : "it is not valid today");
    }
    if (column(row, kAwv) == "0") hints.push_back("it has no active row in Kvb113Awv");
    if (row[kSch] == nullptr) {
      hints.push_back("its client " + found.client + " is not in Kvb112Mnd");
    } else if (column(row, kKon) == "1") {
      hints.push_back("its client is a group client (MndKon 1), which no run visits");
    } else if (const std::string client_status = column(row, kMndSta);
               client_status == "4" || client_status == "8") {
      hints.push_back("its client has status " + client_status);
    } else {
      bool visited = false;
      for (const ExplainWalk& walk : walks) {
        for (const std::string& schema : walk.schemas)
          visited = visited || same_name(schema, found.schema);
      }
      if (!visited && !walks.empty()) {
        hints.push_back("the terminal's runs do not visit its client schema " + found.schema);
      }
    }
    rows.push_back(std::move(found));
  }
  db_close_cursor(cursor);
  return 0;
}
