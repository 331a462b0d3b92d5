// A person's rows in the client schema. The current organisation row and the person entries
// are chosen by the class kind of the person's badge, so that a class-0 badge finds its
// class through the intended source first; the rest (history, daily accounts, vacation) is
// spread as on a real site.

#include "site_client_rows.h"

namespace {

std::string neutral_cost_centre(SiteRandom& random) {
  return site_cost_centre(random.between(kLiveCostCentres + kGroupedCostCentres + 1, kCostCentres));
}
std::string neutral_department(SiteRandom& random) {
  return site_department(random.between(kLiveDepartments + kListedDepartments + 1, kDepartments));
}

void write_organisation_row(TsvFile& zuo, const std::string& person, const std::string& kst,
                            const std::string& abt, Day from, Day to, int status) {
  zuo.text(person).text(kst).text(abt);
  write_day(zuo, from);
  write_day(zuo, to);
  write_status(zuo, status);
  zuo.end_row();
}

// The person's current organisation row, chosen so that the intended source resolves.
void write_organisation(ClientTables& t, SiteRandom& random, const std::string& person,
                        ClassKind kind) {
  std::string kst = neutral_cost_centre(random);
  std::string abt = neutral_department(random);
  switch (kind) {
    case ClassKind::kCostCentre:
      kst = site_cost_centre(random.between(1, kLiveCostCentres));
      break;
    case ClassKind::kCostCentreGroup:
      kst = site_cost_centre(
          random.between(kLiveCostCentres + 1, kLiveCostCentres + kGroupedCostCentres));
      break;
    case ClassKind::kDepartment:
      abt = site_department(random.between(1, kLiveDepartments));
      break;
    case ClassKind::kDepartmentList:
      abt = site_department(
          random.between(kLiveDepartments + 1, kLiveDepartments + kListedDepartments));
      break;
    case ClassKind::kNoSource:
      if (random.chance(250)) kst = kWithdrawnCostCentre;
      if (random.chance(250)) abt = kWithdrawnDepartment;
      break;
    case ClassKind::kPersonEntry:
      break;
    default:
      kst = site_cost_centre(random.between(1, kCostCentres));
      abt = site_department(random.between(1, kDepartments));
      // Some persons have no organisation row at all.
      if (kind == ClassKind::kOwn && random.chance(20)) return;
      break;
  }
  Day from = -random.between(30, 3000);
  Day to = random.chance(900) ? kNoDay : random.between(1, 700);
  if (random.chance(50)) from = kNoDay;
  if (to == kNoDay && from == kNoDay) to = 365;
  write_organisation_row(*t.organisation, person, kst, abt, from, to, 0);
  // History: an earlier assignment that has ended.
  if (random.chance(300)) {
    write_organisation_row(*t.organisation, person,
                           site_cost_centre(random.between(1, kCostCentres)),
                           site_department(random.between(1, kDepartments)),
                           -random.between(3001, 5000), -random.between(31, 400), 0);
  }
  // A withdrawn row that would otherwise resolve.
  if (kind == ClassKind::kNoSource && random.chance(200)) {
    write_organisation_row(*t.organisation, person,
                           site_cost_centre(random.between(1, kLiveCostCentres)), abt, -200, kNoDay,
                           8);
  }
}

void write_entries(ClientTables& t, SiteRandom& random, const std::string& person, ClassKind kind) {
  TsvFile& bsv = *t.entries;
  auto row = [&](const std::string& key, Day from, Day to, int status) {
    bsv.text(person).text(key);
    write_day(bsv, from);
    write_day(bsv, to);
    write_status(bsv, status);
    bsv.end_row();
  };
  const std::string live_key = site_code("AKR", random.between(1, kLiveEntryKeys), 2);
  const std::string dead_key = site_code("AKN", random.between(1, kDeadEntryKeys), 2);
  if (kind == ClassKind::kPersonEntry) {
    row(live_key, -random.between(1, 1000), site_open_or_future_end(random), 0);
  } else if (kind == ClassKind::kNoSource) {
    if (random.chance(200)) row(live_key, -random.between(200, 900), -random.between(1, 100), 0);
    if (random.chance(100)) row(dead_key, -random.between(1, 300), kNoDay, 0);
    if (random.chance(100)) row(live_key, -random.between(1, 300), kNoDay, 4);
  } else if (random.chance(100)) {
    row(random.chance(500) ? live_key : dead_key, -random.between(1, 1000), kNoDay, 0);
  }
}

// Minutes as a DECIMAL(9,2) column; now and then with a fraction, which the program drops.
void write_minutes(TsvFile& file, SiteRandom& random, int lo, int hi) {
  if (random.chance(100)) {
    file.null();
    return;
  }
  long long hundredths = random.between(lo, hi) * 100LL;
  if (random.chance(50)) hundredths += random.between(1, 3) * 25;
  file.hundredths(hundredths);
}

void write_day_account(TsvFile& tgb, SiteRandom& random, const std::string& person, int ztr,
                       int day) {
  tgb.text(person).number(ztr).number(day);
  // Balance: mostly within a few hours either way, now and then beyond 100 hours.
  if (random.chance(10))
    write_minutes(tgb, random, 6000, 9000);
  else
    write_minutes(tgb, random, -600, 700);
  for (int i = 2; i <= 7; ++i)
    write_minutes(tgb, random, 0, 600);
  write_minutes(tgb, random, -60, 60);
  for (int i = 2; i <= 7; ++i)
    write_minutes(tgb, random, 0, 120);
  tgb.end_row();
}

}  // namespace

void site_write_person(ClientTables& t, SiteRandom& random, const std::string& person,
                       ClassKind kind) {
  if (random.chance(985)) {
    TsvFile& pnr = *t.persons;
    pnr.text(person).text("Mitarbeiter " + person);
    if (random.chance(20))
      pnr.null();
    else
      pnr.number(random.chance(920) ? 1 : 2);
    if (random.chance(200))
      pnr.text("BSAL1");
    else
      pnr.null();
    const int r = static_cast<int>(random.below(1000));
    write_status(pnr, r < 10 ? 8 : r < 15 ? 4 : r < 30 ? 1 : 0);
    pnr.end_row();
  }
  write_organisation(t, random, person, kind);
  write_entries(t, random, person, kind);

  if (random.chance(920)) {
    write_day_account(*t.day_accounts, random, person, 1, -1);
    if (random.chance(50)) write_day_account(*t.day_accounts, random, person, 2, -1);
  }
  if (random.chance(300)) write_day_account(*t.day_accounts, random, person, 1, -2);

  if (random.chance(900)) {
    TsvFile& utg = *t.vacation_days;
    const int rows = random.between(1, 3);
    int day = -random.between(1, 60);
    for (int i = 0; i < rows; ++i) {
      utg.text(person).number(day).hundredths(random.between(0, 60) * 50);
      utg.hundredths(random.between(0, 60) * 50).hundredths(random.between(0, 5) * 50).end_row();
      day -= random.between(1, 70);
    }
    if (random.chance(200)) {
      utg.text(person).number(random.between(1, 30)).hundredths(random.between(0, 60) * 50);
      utg.hundredths(random.between(0, 60) * 50).hundredths(0).end_row();
    }
  }
  if (random.chance(900)) {
    TsvFile& urv = *t.vacation_entitlement;
    const long long entitled = random.between(40, 64) * 50;
    // A few persons carry over more than this year's entitlement: nothing remains then.
    const long long carried = random.chance(30) ? entitled + 150 : random.between(0, 20) * 50;
    urv.text(person).number(0).hundredths(entitled).hundredths(carried).end_row();
    if (random.chance(400)) {
      urv.text(person).number(-1).hundredths(entitled).hundredths(random.between(0, 10) * 50);
      urv.end_row();
    }
  }
}
