#include "generators/record_fields.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "db/staging.h"

void record_put(std::string& record, std::size_t pos, std::string_view text) {
  if (pos >= record.size()) return;
  record.replace(pos, std::min(text.size(), record.size() - pos),
                 text.substr(0, record.size() - pos));
}

bool record_stage(const char* path, const std::string& record) {
  // The staging table holds what the output step can read back into record_buffer.
  const std::size_t n = std::min(record.size(), sizeof record_buffer - 1);
  std::memcpy(record_buffer, record.data(), n);
  record_buffer[n] = '\0';
  const int rc = staging_insert(path, record_buffer);
  if (rc != 0) {
    std::printf("Insert-Error Kvb999Tmp! ErrNr: %d", rc);
    std::printf("User: %s  String: %s", path, record_buffer);
    return false;
  }
  return true;
}

namespace {

// The dates a record carries, each of which must fit its 8 places.
struct DateChecks {
  bool valid_from;
  bool valid_to;
};

bool refuse_badge(const BadgeRecord& badge, std::size_t number_width, bool check_class,
                  DateChecks dates) {
  char reason[96];
  if (badge.too_long != nullptr) {
    std::snprintf(reason, sizeof reason, "%s", badge.too_long);
  } else if (std::strlen(badge.AswNum) > number_width) {
    std::snprintf(reason, sizeof reason, "Ausweisnummer (max. %zu Zeichen)", number_width);
  } else if (check_class && std::strlen(badge.AswBkl) > 3) {
    std::snprintf(reason, sizeof reason, "Berechtigungsklasse %s (max. 3 Zeichen)", badge.AswBkl);
  } else if (dates.valid_from && std::strlen(badge.AswGvo) > 8) {
    std::snprintf(reason, sizeof reason, "Datum %s (max. 8 Zeichen)", badge.AswGvo);
  } else if (dates.valid_to && std::strlen(badge.AswGbi) > 8) {
    std::snprintf(reason, sizeof reason, "Datum %s (max. 8 Zeichen)", badge.AswGbi);
  } else {
    return false;
  }
  print_refusal(badge, reason);
  return true;
}

}  // namespace

bool refuse_unfit(const BadgeRecord& badge, std::size_t number_width, bool check_class,
                  bool check_dates) {
  return refuse_badge(badge, number_width, check_class, {check_dates, check_dates});
}

bool refuse_unfit_valid_from(const BadgeRecord& badge, std::size_t number_width) {
  return refuse_badge(badge, number_width, true, {true, false});
}

void print_refusal(const BadgeRecord& badge, const char* reason) {
  std::printf("Ausweis %s mit zu langem Wert: %s\n", badge.AswNum, reason);
}

void print_summary(const BadgeCounts& counts) {
  std::printf("Ausweise gesamt: %d davon in Datei gestellt: %d\n", counts.read, counts.staged);
}

int badge_list_failed(int rc, const char* schema) {
  std::printf("Fehler beim Lesen der Ausweise! ErrNr: %d Schema: %s\n", rc, schema);
  return 1;
}
