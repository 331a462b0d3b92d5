// The badges of every client (central tables Kvb301Asw and Kvb113Awv), each with its person
// in the client schema.
//
// About a third of the badges carry class 0. Each of them is given the source that is to
// resolve its class (badge group, cost centre, cost-centre group, department, department
// list, person entry, or none), and its person's rows are made so that this source is the
// first of the six to find a valid assignment. Badge-group badges may match later sources
// too, as real data does; the other sources see keys that only they resolve.

#include <array>
#include <cstdio>
#include <optional>

#include "site_client_rows.h"

namespace {

constexpr TableSpec kBadges{
    "Kvb301Asw",
    "AswNum, @gvo, @gbi, AswPnr, AswBkl, AswGrp, AswAan, AswAtp, ASWLIZ, ASWMND, AswSta",
    "AswGvo = CURDATE() + INTERVAL @gvo DAY, AswGbi = CURDATE() + INTERVAL @gbi DAY"};
constexpr TableSpec kBadgeLocations{"Kvb113Awv", "AwvNum, AwvSto, AwvSta", ""};

constexpr int kKindCount = 10;
constexpr const char* kKindNames[kKindCount] = {"own class",       "own class, authorised nowhere",
                                                "class NULL",      "0: badge group",
                                                "0: cost centre",  "0: cost-centre group",
                                                "0: department",   "0: department list",
                                                "0: person entry", "0: no source"};

ClassKind pick_kind(SiteRandom& random) {
  const int r = static_cast<int>(random.below(1000));
  if (r < 330) {
    // Six sources of 15 % each, 10 % without one.
    const int s = static_cast<int>(random.below(20));
    if (s >= 18) return ClassKind::kNoSource;
    return static_cast<ClassKind>(static_cast<int>(ClassKind::kBadgeGroup) + s / 3);
  }
  if (r < 350) return ClassKind::kNull;
  if (r < 360) return ClassKind::kUnusable;
  return ClassKind::kOwn;
}

struct BadgeFiles {
  TsvFile& badges;
  TsvFile& locations;
};

void write_badge_row(TsvFile& asw, const std::string& number, Day from, Day to,
                     const std::string& person, const std::optional<std::string>& cls,
                     const std::optional<std::string>& group, SiteRandom& random, int client,
                     int status) {
  asw.text(number);
  write_day(asw, from);
  write_day(asw, to);
  asw.text(person);
  if (cls)
    asw.text(*cls);
  else
    asw.null();
  if (group)
    asw.text(*group);
  else
    asw.null();
  if (random.chance(100))
    asw.text("K");
  else
    asw.null();
  const int r = static_cast<int>(random.below(100));
  if (r < 2)
    asw.null();
  else
    asw.number(r < 87 ? 1 : r < 97 ? 2 : 3);
  asw.number(kLicence).number(client);
  write_status(asw, status);
  asw.end_row();
}

void write_badge_locations(TsvFile& awv, SiteRandom& random, const std::string& number) {
  auto location = [&]() -> std::optional<std::string> {
    const int r = static_cast<int>(random.below(100));
    if (r == 0) return std::nullopt;
    if (r == 1) return std::string("99999");  // not in Kvb113Sto
    return site_location(static_cast<int>(random.below(kLocationCount)));
  };
  auto row = [&](int status) {
    awv.text(number);
    if (auto sto = location())
      awv.text(*sto);
    else
      awv.null();
    write_status(awv, status);
    awv.end_row();
  };
  const int r = static_cast<int>(random.below(1000));
  if (r < 10) {
    row(r % 2 ? 4 : 8);  // only a withdrawn location: the badge is never selected
  } else if (r < 30) {
    row(0);  // kept at two places: the badge comes twice
    row(0);
  } else if (r < 35) {
    row(8);
    row(0);
  } else {
    row(0);
  }
}

// One badge number with its person; returns the kind of class it was given.
ClassKind write_badge(ClientTables& t, BadgeFiles& central, SiteRandom& random, int client,
                      long long index) {
  char number[40];
  std::snprintf(number, sizeof number, "%02d%08lld", client, index + 1);
  const std::string person = std::to_string(client * 1000000LL + index + 1);

  const ClassKind kind = pick_kind(random);
  std::optional<std::string> cls;
  switch (kind) {
    case ClassKind::kOwn:
      cls = site_usable_class(random);
      break;
    case ClassKind::kUnusable:
      cls = std::to_string(random.between(kAuthorisedClasses + 1, kClassCount));
      break;
    case ClassKind::kNull:
      break;
    default:
      cls = "0";
      break;
  }
  std::optional<std::string> group = kind == ClassKind::kBadgeGroup
                                         ? site_code("GZ", random.between(1, kLiveGroups), 2)
                                         : site_code("GN", random.between(1, kDeadGroups), 2);
  if (kind != ClassKind::kBadgeGroup && random.chance(20)) group.reset();

  // Validity of the badge.
  Day from = -random.between(1, 3000);
  Day to = random.chance(700) ? kNoDay : random.between(1, 1000);
  int status = 0;
  const int r = static_cast<int>(random.below(1000));
  if (r < 20) {
    from = kNoDay;
    to = random.between(1, 500);
  } else if (r < 45) {
    from = -random.between(400, 3000);
    to = -random.between(1, 365);
  } else if (r < 65) {
    from = random.between(1, 60);
    to = kNoDay;
  } else if (r < 70) {
    from = kNoDay;
    to = kNoDay;
  } else if (r < 90) {
    status = r % 2 ? 4 : 8;
  } else if (r < 100) {
    status = 1;
  }

  const int repeat = static_cast<int>(random.below(1000));
  if (repeat < 25) {
    // Replaced class: the old row runs out soon, the new one has started. Both are valid.
    write_badge_row(central.badges, number, -random.between(700, 2000), random.between(1, 90),
                    person, cls, group, random, client, 0);
    write_badge_row(central.badges, number, -random.between(1, 60), kNoDay, person,
                    site_usable_class(random), group, random, client, 0);
  } else {
    write_badge_row(central.badges, number, from, to, person, cls, group, random, client, status);
    if (repeat < 40) {
      write_badge_row(central.badges, number, -random.between(2000, 4000),
                      -random.between(400, 1500), person, site_usable_class(random), group, random,
                      client, 0);
    }
  }
  write_badge_locations(central.locations, random, number);
  site_write_person(t, random, person, kind);
  return kind;
}

}  // namespace

void site_write_clients(const SitePlan& plan, SiteRandom& random, std::vector<LoadEntry>& loads) {
  auto badges = site_open_table(plan, kCentralSchema, kBadges, loads);
  auto locations = site_open_table(plan, kCentralSchema, kBadgeLocations, loads);
  BadgeFiles central{*badges, *locations};
  std::array<long long, kKindCount> kinds{};
  for (int client = 1; client <= static_cast<int>(plan.badges.size()); ++client) {
    ClientTables t = site_open_client_tables(plan, site_schema_name(client), loads);
    site_write_code_tables(t, random);
    for (long long i = 0; i < plan.badges[client - 1]; ++i) {
      ++kinds[static_cast<int>(write_badge(t, central, random, client, i))];
    }
  }
  std::printf("badge numbers by class:\n");
  for (int k = 0; k < kKindCount; ++k)
    std::printf("  %-32s %lld\n", kKindNames[k], kinds[k]);
  std::printf("rows: Kvb301Asw %lld, Kvb113Awv %lld\n", badges->rows(), locations->rows());
}
