// One client schema's table files and its code tables: cost centres, department lists and
// the class assignments (Kvb408Bzu) for each kind of key the six class sources look up.

#include "site_client_rows.h"

namespace {

constexpr TableSpec kPersons{"Kvb300Pnr", "PNRNUM, PnrNam, PnrSpr, PnrSal, PnrSta", ""};
constexpr TableSpec kAssignments{
    "Kvb408Bzu", "BzuZau, BzuKst, BzuVks, BzuAbt, BzuVab, BzuAkr, BzuBkl, @gvo, @gbi, BzuSta",
    "BzuGvo = CURDATE() + INTERVAL @gvo DAY, BzuGbi = CURDATE() + INTERVAL @gbi DAY"};
constexpr TableSpec kOrganisation{
    "Kvb311Zuo", "ZuoPnr, ZuoKst, ZuoAbt, @gvo, @gbi, ZuoSta",
    "ZuoGvo = CURDATE() + INTERVAL @gvo DAY, ZuoGbi = CURDATE() + INTERVAL @gbi DAY"};
constexpr TableSpec kCostCentreTable{"O1003Kststelle", "KstNum, KstVws, KstBez, KstSta", ""};
constexpr TableSpec kDepartmentListTable{"G1102AbtLst", "AblAbt, AblVab, AblSta", ""};
constexpr TableSpec kEntries{
    "Kvb310Bsv", "BsvPnr, BsvAkr, @gvo, @gbi, BsvSta",
    "BsvGvo = CURDATE() + INTERVAL @gvo DAY, BsvGbi = CURDATE() + INTERVAL @gbi DAY"};
constexpr TableSpec kDayAccounts{
    "Kvb320Tgb",
    "TGBPNR, TGBZTR, @dtm, TGBVT1, TGBVT2, TGBVT3, TGBVT4, TGBVT5, TGBVT6, TGBVT7, "
    "TGBSA1, TGBSA2, TGBSA3, TGBSA4, TGBSA5, TGBSA6, TGBSA7",
    "TGBDTM = CURDATE() + INTERVAL @dtm DAY"};
constexpr TableSpec kVacationDays{"Kvb332Utg", "UTGPNR, @dtm, UtgVtg, UtgRtg, UtgGut",
                                  "UtgDtm = CURDATE() + INTERVAL @dtm DAY"};
constexpr TableSpec kVacationEntitlement{"Kvb332Urv", "URVPNR, @jhr, URVGUR, URVVJR",
                                         "URVJHR = YEAR(CURDATE()) + @jhr"};

// A class for an assignment row: mostly usable, a few that no zone authorises.
std::string assignment_class(SiteRandom& random) {
  if (random.chance(50)) return std::to_string(random.between(kAuthorisedClasses + 1, kClassCount));
  return site_usable_class(random);
}

// Kvb408Bzu row with the key in one of its six key columns (0 BzuZau .. 5 BzuAkr).
void write_assignment(TsvFile& file, int key_column, const std::string& key, const std::string& cls,
                      Day from, Day to, int status) {
  for (int c = 0; c < 6; ++c) {
    if (c == key_column)
      file.text(key);
    else
      file.null();
  }
  if (cls.empty())
    file.null();
  else
    file.text(cls);
  write_day(file, from);
  write_day(file, to);
  write_status(file, status);
  file.end_row();
}

}  // namespace

void site_write_code_tables(ClientTables& t, SiteRandom& random) {
  for (int i = 1; i <= kCostCentres; ++i) {
    const bool grouped = i > kLiveCostCentres && i <= kLiveCostCentres + kGroupedCostCentres;
    const std::string group = grouped ? site_code("VK", (i - kLiveCostCentres - 1) % 10 + 1, 2)
                                      : site_code("VN", (i - 1) % 10 + 1, 2);
    t.cost_centres->text(site_cost_centre(i)).text(group).text("Kostenstelle " + std::to_string(i));
    write_status(*t.cost_centres, i % 13 == 0 ? 1 : 0);
    t.cost_centres->end_row();
  }
  t.cost_centres->text(kWithdrawnCostCentre).text("VK01").text("Aufgeloest").number(8).end_row();

  for (int i = 1; i <= kDepartments; ++i) {
    const bool listed = i > kLiveDepartments && i <= kLiveDepartments + kListedDepartments;
    if (listed) {
      t.department_lists->text(site_department(i))
          .text(site_code("VA", (i - kLiveDepartments - 1) % 10 + 1, 2))
          .null()
          .end_row();
    } else if (i % 3 != 0) {
      t.department_lists->text(site_department(i))
          .text(site_code("LN", (i - 1) % 10 + 1, 2))
          .null();
      t.department_lists->end_row();
    }
  }
  t.department_lists->text(kWithdrawnDepartment).text("VA01").number(8).end_row();

  // Live keys: one valid assignment each (now and then with status 1, which counts as
  // active), some with a class that no zone authorises.
  TsvFile& bzu = *t.assignments;
  auto live = [&](int column, const std::string& key) {
    write_assignment(bzu, column, key, assignment_class(random), -random.between(10, 2000),
                     site_open_or_future_end(random), random.chance(100) ? 1 : 0);
  };
  for (int g = 1; g <= kLiveGroups; ++g) {
    // An assignment without class still ends the search: the badge keeps class 0.
    if (g == kLiveGroups) {
      write_assignment(bzu, 0, site_code("GZ", g, 2), "", -100, kNoDay, 0);
    } else {
      live(0, site_code("GZ", g, 2));
    }
    // An old assignment beside the current one: only the valid row may count.
    if (g <= 5) write_assignment(bzu, 0, site_code("GZ", g, 2), "3", -900, -400, 0);
  }
  // Dead groups: expired, withdrawn or not yet valid assignments only.
  for (int g = 1; g <= kDeadGroups; ++g) {
    const std::string key = site_code("GN", g, 2);
    if (g <= 10)
      write_assignment(bzu, 0, key, site_usable_class(random), -700, -random.between(1, 300), 0);
    else if (g <= 15)
      write_assignment(bzu, 0, key, site_usable_class(random), -50, kNoDay, g % 2 ? 4 : 8);
    else
      write_assignment(bzu, 0, key, site_usable_class(random), random.between(1, 60), kNoDay, 0);
  }
  // The first twenty neutral cost centres and ten neutral departments have assignments that
  // ended or have not begun, the first five neutral cost-centre groups withdrawn ones, and
  // the dead person-entry keys future ones: persons pointing at them find nothing there.
  constexpr int kFirstNeutralCostCentre = kLiveCostCentres + kGroupedCostCentres + 1;
  constexpr int kFirstNeutralDepartment = kLiveDepartments + kListedDepartments + 1;
  for (int i = 1; i <= kLiveCostCentres; ++i)
    live(1, site_cost_centre(i));
  for (int i = kFirstNeutralCostCentre; i < kFirstNeutralCostCentre + 20; ++i) {
    write_assignment(bzu, 1, site_cost_centre(i), "5", -800, -2, 0);
  }
  for (int i = 1; i <= kCostCentreGroups; ++i)
    live(2, site_code("VK", i, 2));
  for (int i = 1; i <= 5; ++i)
    write_assignment(bzu, 2, site_code("VN", i, 2), "6", -80, kNoDay, 8);
  for (int i = 1; i <= kLiveDepartments; ++i)
    live(3, site_department(i));
  for (int i = kFirstNeutralDepartment; i < kFirstNeutralDepartment + 10; ++i) {
    write_assignment(bzu, 3, site_department(i), "9", 10, kNoDay, 0);
  }
  for (int i = 1; i <= kDepartmentLists; ++i)
    live(4, site_code("VA", i, 2));
  for (int i = 1; i <= kLiveEntryKeys; ++i)
    live(5, site_code("AKR", i, 2));
  for (int i = 1; i <= kDeadEntryKeys; ++i) {
    write_assignment(bzu, 5, site_code("AKN", i, 2), "11", random.between(5, 90), kNoDay, 0);
  }
}

ClientTables site_open_client_tables(const SitePlan& plan, const std::string& schema,
                                     std::vector<LoadEntry>& loads) {
  ClientTables t;
  t.persons = site_open_table(plan, schema, kPersons, loads);
  t.assignments = site_open_table(plan, schema, kAssignments, loads);
  t.organisation = site_open_table(plan, schema, kOrganisation, loads);
  t.cost_centres = site_open_table(plan, schema, kCostCentreTable, loads);
  t.department_lists = site_open_table(plan, schema, kDepartmentListTable, loads);
  t.entries = site_open_table(plan, schema, kEntries, loads);
  t.day_accounts = site_open_table(plan, schema, kDayAccounts, loads);
  t.vacation_days = site_open_table(plan, schema, kVacationDays, loads);
  t.vacation_entitlement = site_open_table(plan, schema, kVacationEntitlement, loads);
  return t;
}

std::string site_usable_class(SiteRandom& random) {
  return std::to_string(random.between(1, kAuthorisedClasses));
}

Day site_open_or_future_end(SiteRandom& random) {
  if (random.chance(700)) return kNoDay;
  return random.between(1, 500);
}
