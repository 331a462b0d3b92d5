#include "lookup/access_class.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>

#include "base/text.h"
#include "db/cursor.h"
#include "db/escape.h"
#include "db/schemas.h"
#include "lookup/badge_fields.h"
#include "lookup/prefetch.h"
#include "lookup/run_listener.h"

namespace {
// clang-format off
constexpr char kByBadgeGroup[] =
    "SELECT  BzuZau,date_format(BzuGvo,'%%Y%%m%%d'), date_format(BzuGbi,'%%Y%%m%%d'),  BzuBkl  FROM  %s  WHERE BzuZau = '%s'  AND(   (curdate() >= BzuGvo AND BzuGbi IS NULL)   OR (curdate() <= BzuGbi AND BzuGvo IS NULL)   OR (curdate() >= BzuGvo AND curdate() <= BzuGbi))  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL) ";
constexpr char kByCostCentre[] =
    " SELECT    ZuoKst, date_format(BzuGvo,'%%Y%%m%%d'), date_format(BzuGbi,'%%Y%%m%%d'),   BzuBkl  FROM  %s  WHERE ZuoPnr = '%s'  AND   ZuoKst = BzuKst  AND(   (curdate() >= ZuoGvo AND ZuoGbi IS NULL)   OR (curdate() <= ZuoGbi AND ZuoGvo IS NULL)   OR (curdate() >= ZuoGvo AND curdate() <= ZuoGbi))  AND(   (curdate() >= BzuGvo AND BzuGbi IS NULL)   OR (curdate() <= BzuGbi AND BzuGvo IS NULL)   OR (curdate() >= BzuGvo AND curdate() <= BzuGbi)) AND ((ZuoSta <> 4 AND ZuoSta <> 8) OR ZuoSta IS NULL)  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL)";
constexpr char kByCostCentreGroup[] =
    " SELECT   date_format(BzuGvo,'%%Y%%m%%d'), date_format(BzuGbi,'%%Y%%m%%d'), BzuBkl  FROM  %s  WHERE ZuoPnr = '%s'  AND   ZuoKst = KstNum  AND   KstVws = BzuVks  AND(   (curdate() >= ZuoGvo AND ZuoGbi IS NULL)   OR (curdate() <= ZuoGbi AND ZuoGvo IS NULL)   OR (curdate() >= ZuoGvo AND curdate() <= ZuoGbi))  AND(   (curdate() >= BzuGvo AND BzuGbi IS NULL)    OR (curdate() <= BzuGbi AND BzuGvo IS NULL)    OR (curdate() >= BzuGvo AND curdate() <= BzuGbi))  AND ((ZuoSta <> 4 AND ZuoSta <> 8) OR ZuoSta IS NULL)  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL)  AND ((KstSta <> 4 AND KstSta <> 8) OR KstSta IS NULL)";
constexpr char kByDepartment[] =
    " SELECT   ZuoAbt, date_format(BzuGvo, '%%Y%%m%%d'), date_format(BzuGbi,'%%Y%%m%%d'),   BzuBkl  FROM  %s  WHERE ZuoPnr = '%s'  AND   ZuoAbt = BzuAbt  AND(   (curdate() >= ZuoGvo AND ZuoGbi IS NULL)   OR (curdate() <= ZuoGbi AND ZuoGvo IS NULL)   OR (curdate() >= ZuoGvo AND curdate() <= ZuoGbi))  AND(   (curdate() >= BzuGvo AND BzuGbi IS NULL)   OR (curdate() <= BzuGbi AND BzuGvo IS NULL)   OR (curdate() >= BzuGvo AND curdate() <= BzuGbi))  AND ((ZuoSta <> 4 AND ZuoSta <> 8) OR ZuoSta IS NULL)  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL)";
constexpr char kByDepartmentList[] =
    " SELECT   date_format(BzuGvo,'%%Y%%m%%d'), date_format(BzuGbi,'%%Y%%m%%d'), BzuBkl  FROM  %s  WHERE ZuoPnr = '%s'  AND   ZuoAbt = AblAbt  AND   AblVab = BzuVab  AND(   (curdate() >= ZuoGvo AND ZuoGbi IS NULL)   OR (curdate() <= ZuoGbi AND ZuoGvo IS NULL)   OR (curdate() >= ZuoGvo AND curdate() <= ZuoGbi))  AND(   (curdate() >= BzuGvo AND BzuGbi IS NULL)   OR (curdate() <= BzuGbi AND BzuGvo IS NULL)   OR (curdate() >= BzuGvo AND curdate() <= BzuGbi))  AND ((ZuoSta <> 4 AND ZuoSta <> 8) OR ZuoSta IS NULL)  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL)  AND ((AblSta <> 4 AND AblSta <> 8) OR AblSta IS NULL)";
constexpr char kByPerson[] =
    " SELECT   date_format(BzuGvo,'%%Y%%m%%d'), date_format(BzuGbi,'%%Y%%m%%d'), BzuBkl  FROM  %s  WHERE BsvPnr = '%s'   AND   BsvAkr = BzuAkr   AND(    (curdate() >= BsvGvo AND BsvGbi IS NULL)    OR (curdate() <= BsvGbi AND BsvGvo IS NULL)    OR (curdate() >= BsvGvo AND curdate() <= BsvGbi))   AND(    (curdate() >= BzuGvo AND BzuGbi IS NULL)    OR (curdate() <= BzuGbi AND BzuGvo IS NULL)    OR (curdate() >= BzuGvo AND curdate() <= BzuGbi))  AND ((BsvSta <> 4 AND BsvSta <> 8) OR BsvSta IS NULL)  AND ((BzuSta <> 4 AND BzuSta <> 8) OR BzuSta IS NULL)";
// clang-format on

// The column a source selects before the dates, and where it goes.
enum class Extra { kNone, kGroup, kCostCentre, kDepartment };

struct Source {
  const char* purpose;
  const char* query;
  const char* const* tables;  // suffixes after the schema name, Kvb408Bzu last
  Extra extra;
  bool pad_class;  // "%-3s" as the badge's own class; the person entries' class stays bare
  // The tables in the order the statement reads them from the key on, for a whole pass.
  std::initializer_list<const char*> join_order;
};

constexpr const char* kBzu[] = {".Kvb408Bzu ", nullptr};
constexpr const char* kZuoBzu[] = {".Kvb311Zuo,", ".Kvb408Bzu ", nullptr};
constexpr const char* kKstZuoBzu[] = {".O1003Kststelle,", ".Kvb311Zuo,", ".Kvb408Bzu ", nullptr};
constexpr const char* kAblZuoBzu[] = {".G1102AbtLst,", ".Kvb311Zuo,", ".Kvb408Bzu ", nullptr};
constexpr const char* kBsvBzu[] = {".Kvb310Bsv,", ".Kvb408Bzu ", nullptr};

std::string from_list(const char* const* tables) {
  const std::string schema = db_quote_identifier(current_schema);
  std::string list;
  for (const char* const* table = tables; *table != nullptr; ++table) {
    list += schema + *table;
  }
  return list;
}

// Writes a non-NULL column, trailing blanks cut, into field.
template <std::size_t N>
void put_column(BadgeRecord& badge, char (&field)[N], const char* column, const char* reason) {
  if (column == nullptr) return;
  std::string text = column;
  trim_trailing_blanks(text);
  badge_field_put(badge, field, text, reason);
}

// Writes an assignment row of the source into the badge.
void apply_row(BadgeRecord& badge, const Source& source, DbRow row) {
  int column = 0;
  switch (source.extra) {
    case Extra::kNone:
      break;
    case Extra::kGroup:
      put_column(badge, badge.AswGrp, row[column++], kTooLongGroup);
      break;
    case Extra::kCostCentre:
      put_column(badge, badge.ZuoKst, row[column++], "Kostenstelle (max. 30 Zeichen)");
      break;
    case Extra::kDepartment:
      put_column(badge, badge.ZuoAbt, row[column++], "Abteilung (max. 15 Zeichen)");
      break;
  }
  put_column(badge, badge.AswGvo, row[column], kTooLongValidFrom);
  put_column(badge, badge.AswGbi, row[column + 1], kTooLongValidTo);
  if (const char* access_class = row[column + 2]; access_class != nullptr) {
    std::string text = access_class;
    trim_trailing_blanks(text);
    if (source.pad_class) text = badge_class_padded(text);
    badge_field_put(badge, badge.AswBkl, text, kTooLongClass);
  }
}

std::string join_tables(const Source& source) {
  const std::string schema = db_quote_identifier(current_schema);
  std::string tables;
  for (const char* table : source.join_order) {
    tables += (tables.empty() ? "" : ", ") + schema + table;
  }
  return tables;
}

const Source kBadgeGroup = {"Berechtigungsklasse der Ausweisgruppe", kByBadgeGroup, kBzu,
                            Extra::kGroup, true, {".Kvb408Bzu"}};
const Source kCostCentre = {"Berechtigungsklasse der Kostenstelle", kByCostCentre, kZuoBzu,
                            Extra::kCostCentre, true, {".Kvb311Zuo", ".Kvb408Bzu"}};
const Source kCostCentreGroup = {"Berechtigungsklasse des Kostenstellenverbunds",
                                 kByCostCentreGroup, kKstZuoBzu, Extra::kNone, true,
                                 {".Kvb311Zuo", ".O1003Kststelle", ".Kvb408Bzu"}};
const Source kDepartment = {"Berechtigungsklasse der Abteilung", kByDepartment, kZuoBzu,
                            Extra::kDepartment, true, {".Kvb311Zuo", ".Kvb408Bzu"}};
const Source kDepartmentList = {"Berechtigungsklasse der Abteilungsliste", kByDepartmentList,
                                kAblZuoBzu, Extra::kNone, true,
                                {".Kvb311Zuo", ".G1102AbtLst", ".Kvb408Bzu"}};
const Source kPerson = {"Berechtigungsklasse der Person", kByPerson, kBsvBzu, Extra::kNone, false,
                        {".Kvb310Bsv", ".Kvb408Bzu"}};

// The sources in the order access_class_resolve asks them.
const Source* const kChain[6] = {&kBadgeGroup, &kCostCentre,     &kCostCentreGroup,
                                 &kDepartment, &kDepartmentList, &kPerson};

// Each source's rows of the current badge pass.
PrefetchedRows pass_rows[6];

// The persons of chunk that the source at index (after the first) is read for: those of the
// chunk's badges without a class of their own that no source before it answers with a row
// (as far as their rows are read; a badge whose rows disagree may find no row with its own
// statement and counts as not answered). A badge whose person is left out is answered by its
// own statement.
void persons_reaching(int index, int chunk, PrefetchTextSet& wanted) {
  for (const auto& [group, person] : prefetch_class_badges(chunk)) {
    bool answered = false;
    for (int before = 0; before < index && !answered; ++before) {
      // The person's chunk is this one; the group's is found.
      answered = kChain[before]->extra == Extra::kGroup
                     ? prefetch_peek(pass_rows[before], group) == PrefetchAnswer::kRow
                     : prefetch_peek(pass_rows[before], person, chunk) == PrefetchAnswer::kRow;
    }
    if (!answered) wanted.insert(person);
  }
}

// Notes the class a row of source gives, as a badge holds it once given (trailing blanks cut,
// padded as the source pads, at most the field's width): the pass counts the zones of these
// classes at once with its badges' own.
void note_class(const Source& source, const PrefetchRow& row) {
  const int column = (source.extra == Extra::kNone ? 0 : 1) + 2;
  PrefetchRowCopy copy(row);
  const char* access_class = copy.row()[column];
  if (access_class == nullptr) return;
  std::string text = access_class;
  trim_trailing_blanks(text);
  if (source.pad_class) text = badge_class_padded(text);
  text.resize(std::min(text.size(), sizeof(BadgeRecord::AswBkl) - 1));
  prefetch_note_key(PrefetchKey::kClass, text);
}

// Runs source index of the chain for the badge: 0 with the first row's assignment written
// into the badge, RC_NO_ROW without one, else the failed query's code (the badge unchanged).
int resolve_from(BadgeRecord& badge, int index) {
  const Source& source = *kChain[index];
  PrefetchedRows& rows = pass_rows[index];
  const bool by_group = source.extra == Extra::kGroup;
  // The FROM lists of the sources in the current client schema.
  static std::string schema;
  static std::string own_tables[6];
  static std::string pass_tables[6];
  if (schema != current_schema) {
    schema = current_schema;
    for (int i = 0; i < 6; ++i) {
      own_tables[i] = from_list(kChain[i]->tables);
      pass_tables[i] = join_tables(*kChain[i]);
    }
  }
  LookupStatement statement{source.purpose, source.query,
                            by_group ? PrefetchKey::kClassGroup : PrefetchKey::kClassPerson,
                            own_tables[index], pass_tables[index]};
  if (index > 0) {
    statement.keys_for = [index](int chunk, PrefetchTextSet& wanted) {
      persons_reaching(index, chunk, wanted);
    };
  }
  statement.on_row = [&source](const PrefetchRow& row) { note_class(source, row); };
  return lookup_first_row(rows, statement, by_group ? badge.AswGrp : badge.AswPnr,
                          [&](DbRow row) { apply_row(badge, source, row); });
}

}  // namespace

int access_class_by_badge_group(BadgeRecord& badge) {
  return resolve_from(badge, 0);
}
int access_class_by_cost_centre(BadgeRecord& badge) {
  return resolve_from(badge, 1);
}
int access_class_by_cost_centre_group(BadgeRecord& badge) {
  return resolve_from(badge, 2);
}
int access_class_by_department(BadgeRecord& badge) {
  return resolve_from(badge, 3);
}
int access_class_by_department_list(BadgeRecord& badge) {
  return resolve_from(badge, 4);
}
int access_class_by_person(BadgeRecord& badge) {
  return resolve_from(badge, 5);
}

int access_class_resolve(BadgeRecord& badge) {
  // Only the class "0" asks for an assignment; a NULL class (three blanks) is taken as the
  // badge's own.
  if (std::strcmp(badge.AswBkl, "0  ") != 0) return 1;
  // A failed source (such as a client schema without one of its tables) counts as a source
  // without assignment.
  const struct {
    ClassSource name;
    int (*ask)(BadgeRecord&);
  } sources[] = {{ClassSource::kBadgeGroup, access_class_by_badge_group},
                 {ClassSource::kCostCentre, access_class_by_cost_centre},
                 {ClassSource::kCostCentreGroup, access_class_by_cost_centre_group},
                 {ClassSource::kDepartment, access_class_by_department},
                 {ClassSource::kDepartmentList, access_class_by_department_list},
                 {ClassSource::kPerson, access_class_by_person}};
  RunListener* listener = run_listener();
  for (const auto& source : sources) {
    // The key before the source may write into the badge.
    const std::string key =
        source.name == ClassSource::kBadgeGroup ? badge.AswGrp : badge.AswPnr;
    const int rc = source.ask(badge);
    if (listener != nullptr) listener->class_source(source.name, key.c_str(), rc == 0, rc);
    if (rc == 0) return 1;
  }
  return 0;
}
