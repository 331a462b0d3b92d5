// The central schema's small tables: clients and their terminal links, the two terminals
// with readers, zone authorisations, balance display lists, texts and locations.

#include <cstdio>

#include "site_plan.h"

namespace {

constexpr TableSpec kClients{"Kvb112Mnd", "MndLiz, MndNum, MndBez, MndSch, MndKon, MndSta", ""};
constexpr TableSpec kTerminalClients{"Kvb115Tfz", "TfzTrm, TfzLiz, TfzMnd, TfzSta", ""};
constexpr TableSpec kTerminals{"Kvb114Tsm", "TsmNam, TSMTYP, TSMSAL, TsmSpr, TsmSta", ""};
constexpr TableSpec kReaders{"Kvb401Zls", "ZlsTrm, ZlsLes, ZlsZko, ZlsSta", ""};
constexpr TableSpec kZoneRights{"Kvb404Zbr", "ZbrZbk, ZbrZko, ZbrZtb, ZbrSta", ""};
constexpr TableSpec kBalanceLists{"G2101SalLst", "TsaSal, TsaLfd, TsaSpl, TsaAnz, TsaAus, TsaSta",
                                  ""};
constexpr TableSpec kTexts{"Kvb102Whl", "FtxNumSpr, FtxWhl, FtxSpr, FtxT50, FTXT10", ""};
constexpr TableSpec kLocations{"Kvb113Sto", "StoNum, StoKtx, StoBez, StoSta", ""};

// Clients that no run of BENCH1 may visit although the terminal is linked to them.
constexpr int kGroupClient = 99;    // MndKon 1: never visited
constexpr int kRetiredClient = 98;  // MndSta 8

void write_clients(const SitePlan& plan, std::vector<LoadEntry>& loads) {
  auto clients = site_open_table(plan, kCentralSchema, kClients, loads);
  auto links = site_open_table(plan, kCentralSchema, kTerminalClients, loads);
  const int count = static_cast<int>(plan.badges.size());
  for (int c = 1; c <= count; ++c) {
    char name[40];
    std::snprintf(name, sizeof name, "Benchwerk %02d GmbH", c);
    clients->number(kLicence).number(c).text(name).text(site_schema_name(c)).number(0).null();
    clients->end_row();
    links->text(kBenchTerminal).number(kLicence).number(c).null().end_row();
  }
  clients->number(kLicence).number(kGroupClient).text("Benchkonzern").text("BKONZ").number(1);
  clients->null().end_row();
  clients->number(kLicence).number(kRetiredClient).text("Altwerk").text("BALT").number(0);
  clients->number(8).end_row();
  links->text(kBenchTerminal).number(kLicence).number(kGroupClient).null().end_row();
  links->text(kBenchTerminal).number(kLicence).number(kRetiredClient).null().end_row();
  links->text(kSecondTerminal).number(kLicence).number(1).null().end_row();
  if (count >= 2) links->text(kSecondTerminal).number(kLicence).number(2).number(8).end_row();
}

void write_terminals(const SitePlan& plan, std::vector<LoadEntry>& loads) {
  auto terminals = site_open_table(plan, kCentralSchema, kTerminals, loads);
  // 7744-010 shows all eight balance slots; 7598-002 only the first four.
  terminals->text(kBenchTerminal).text("7744-010").text("BSAL1").number(1).null().end_row();
  terminals->text(kSecondTerminal).text("7598-002").text("BSAL2").number(1).null().end_row();
  terminals->text("BENCH9").text("7744-010").text("BSAL1").number(1).number(8).end_row();

  auto readers = site_open_table(plan, kCentralSchema, kReaders, loads);
  for (int r = 1; r <= kBenchReaders; ++r) {
    readers->text(kBenchTerminal).number(r).text(site_zone((r + 1) / 2)).null().end_row();
  }
  readers->text(kBenchTerminal).number(kBenchReaders + 1).text(site_zone(1)).number(8).end_row();
  for (int r = 1; r <= 4; ++r) {
    readers->text(kSecondTerminal).number(r).text(site_zone(2 * r - 1)).null().end_row();
  }
}

// Class k is authorised (type 1) in zone ((k-1) mod 8) + 1, so the first reader that lets a
// class in lies anywhere from reader 1 to reader 15 and the readers walked before it vary.
// Every fourth class is also authorised in reader 1's zone; classes 7, 17 and 27 have a
// type-3 authorisation there (no time booking at BENCH1).
void write_zone_rights(const SitePlan& plan, std::vector<LoadEntry>& loads) {
  auto rights = site_open_table(plan, kCentralSchema, kZoneRights, loads);
  for (int k = 1; k <= kAuthorisedClasses; ++k) {
    const std::string cls = std::to_string(k);
    const int zone = (k - 1) % kZoneCount + 1;
    rights->text(cls).text(site_zone(zone)).number(1).null().end_row();
    if (k % 4 == 0 && zone != 1) rights->text(cls).text(site_zone(1)).number(1).null().end_row();
    if (k % 10 == 7) rights->text(cls).text(site_zone(1)).number(3).null().end_row();
    if (k % 5 == 0) {
      rights->text(cls).text(site_zone((zone + 3) % kZoneCount + 1)).number(2).number(0);
      rights->end_row();
    }
    if (k % 6 == 0) rights->text(cls).text(site_zone(2)).number(1).number(8).end_row();
  }
  for (int k = kAuthorisedClasses + 1; k <= kAuthorisedClasses + 4; ++k) {
    rights->text(std::to_string(k)).text(site_zone(k % kZoneCount + 1)).number(1);
    rights->number(k % 2 == 0 ? 4 : 8).end_row();
  }
}

// BENCH1's list has all eight lines; its first line shows yesterday's balance (#W2), which
// is the value ZKDNL60P takes. Codes: #W1 date, #W2 and #W9 to #W16 previous-day values,
// #W3 to #W8 vacation figures.
void write_balance_lists(const SitePlan& plan, std::vector<LoadEntry>& loads) {
  auto lines = site_open_table(plan, kCentralSchema, kBalanceLists, loads);
  struct Line {
    const char* list;
    int lfd, spl, anz, aus, sta;  // spl or sta 0: NULL
  };
  constexpr Line kLines[] = {
      {"BSAL1", 1, 1, 1, 2, 0}, {"BSAL1", 2, 1, 2, 1, 0},  {"BSAL1", 3, 0, 3, 3, 0},
      {"BSAL1", 4, 1, 4, 4, 0}, {"BSAL1", 5, 1, 5, 8, 0},  {"BSAL1", 6, 1, 6, 6, 0},
      {"BSAL1", 7, 1, 7, 9, 0}, {"BSAL1", 8, 1, 8, 15, 0}, {"BSAL1", 3, 1, 9, 10, 8},
      {"BSAL2", 1, 1, 1, 2, 0}, {"BSAL2", 2, 1, 2, 1, 0},  {"BSAL2", 3, 1, 4, 4, 0},
      {"BSAL2", 4, 1, 6, 9, 0},
  };
  for (const Line& l : kLines) {
    lines->text(l.list).number(l.lfd);
    if (l.spl == 0)
      lines->null();
    else
      lines->number(l.spl);
    lines->number(l.anz).number(l.aus);
    if (l.sta == 0)
      lines->null();
    else
      lines->number(l.sta);
    lines->end_row();
  }

  auto texts = site_open_table(plan, kCentralSchema, kTexts, loads);
  // Labels (text 220001) in the terminals' language 1 and in language 2; some are longer
  // than the 12 characters a slot shows. \xDC is U with diaeresis in Windows-1252.
  const char* const kLabels[2][9] = {
      {"Gleitzeit Vortag", "Datum", "Urlaub Vorjahr", "Resturlaub", "Urlaubsanspruch",
       "Urlaub genommen", "Mehrarbeit",
       "\xDC"
       "berstunden Monat",
       "Zeitausgleich"},
      {"Flexitime yesterday", "Date", "Leave last year", "Leave left", "Leave entitlement",
       "Leave taken", "Overtime", "Overtime month", "Time off"}};
  for (int language = 1; language <= 2; ++language) {
    for (int w = 1; w <= 9; ++w) {
      texts->number(220001).number(w).number(language).text(kLabels[language - 1][w - 1]);
      texts->null().end_row();
    }
    for (int w = 1; w <= 16; ++w) {
      texts->number(220002).number(w).number(language).null().text("#W" + std::to_string(w));
      texts->end_row();
    }
  }
}

void write_locations(const SitePlan& plan, std::vector<LoadEntry>& loads) {
  auto locations = site_open_table(plan, kCentralSchema, kLocations, loads);
  const char* const kShortTexts[] = {"NRD", "SUED", "HF",   "LAGR",   "W1", "ZENTRALE",
                                     "B",   "OST",  "WEST", "AUSSEN", "MIT"};
  constexpr int kShortTextCount = sizeof kShortTexts / sizeof kShortTexts[0];
  for (int i = 0; i < kLocationCount; ++i) {
    locations->text(site_location(i)).text(kShortTexts[i % kShortTextCount]);
    locations->text("Standort " + std::to_string(i + 1));
    if (i % 17 == 16)
      locations->number(8);
    else
      locations->null();
    locations->end_row();
  }
}

}  // namespace

void site_write_central(const SitePlan& plan, std::vector<LoadEntry>& loads) {
  write_clients(plan, loads);
  write_terminals(plan, loads);
  write_zone_rights(plan, loads);
  write_balance_lists(plan, loads);
  write_locations(plan, loads);
}
