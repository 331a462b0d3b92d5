#include "generators/record_fields.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/console.h"
#include "db/cursor.h"
#include "db/staging.h"
#include "lookup/prefetch.h"

void record_put(std::string& record, std::size_t pos, std::string_view text) {
  if (pos >= record.size()) return;
  record.replace(pos, std::min(text.size(), record.size() - pos),
                 text.substr(0, record.size() - pos));
}

void put_field(std::string& record, std::size_t pos, std::size_t width, std::string_view text) {
  record_put(record, pos, text.substr(0, width));
}

void zero_if_blank(std::string& record, std::size_t pos) {
  if (record.compare(pos, 8, "        ") == 0) record.replace(pos, 8, "00000000");
}

const char* flag_text(bool set) {
  return set ? "1" : "0";
}

bool slot_names_reader(const char* slot) {
  return std::isdigit(static_cast<unsigned char>(slot[0])) != 0;
}

namespace {

// Records queued for the staging table, all under one path.
struct PendingRecords {
  std::string path;
  std::vector<std::string> records;
  std::vector<std::size_t> places;  // of each record's messages in the held console text
  std::size_t bytes = 0;
};
PendingRecords pending;
// Records of the current client schema whose insert failed after they were counted.
int failed_since_schema_start = 0;

// A batch's statement stays well below the server's packet limit (16 MB by default).
constexpr std::size_t kBatchRecords = 5000;
constexpr std::size_t kBatchBytes = 2 << 20;

std::string insert_error_text(int rc, const char* path, const char* record) {
  return "Insert-Error Kvb999Tmp! ErrNr: " + std::to_string(rc) + "User: " + path +
         "  String: " + record;
}

// The record as the output step can read it back into record_buffer: up to its first zero
// byte, at most 512 characters.
std::string stageable(const std::string& record) {
  const std::size_t n =
      std::min({record.size(), std::strlen(record.c_str()), sizeof record_buffer - 1});
  return record.substr(0, n);
}

void flush_pending() {
  if (pending.records.empty()) return;
  std::vector<int> codes;
  staging_insert_batch(pending.path.c_str(), pending.records, codes);
  ConsolePlacedTexts messages;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (codes[i] == 0) continue;
    messages.emplace_back(pending.places[i], insert_error_text(codes[i], pending.path.c_str(),
                                                               pending.records[i].c_str()));
    ++failed_since_schema_start;
  }
  console_release(messages);
  pending.records.clear();
  pending.places.clear();
  pending.bytes = 0;
}

}  // namespace

bool record_stage(const char* path, const std::string& record) {
  const std::string text = stageable(record);
  if (!prefetch_enabled()) {
    std::memcpy(record_buffer, text.c_str(), text.size() + 1);
    const int rc = staging_insert(path, record_buffer);
    if (rc != 0) {
      console_printf("%s", insert_error_text(rc, path, record_buffer).c_str());
      return false;
    }
    return true;
  }
  if (pending.path != path) {
    flush_pending();
    pending.path = path;
  }
  pending.bytes += text.size();
  pending.records.push_back(text);
  pending.places.push_back(console_mark());
  if (pending.records.size() >= kBatchRecords || pending.bytes >= kBatchBytes) flush_pending();
  return true;
}

void finish_schema(BadgeCounts& counts) {
  flush_pending();
  counts.staged -= failed_since_schema_start;
  failed_since_schema_start = 0;
  console_printf("Ausweise gesamt: %d davon in Datei gestellt: %d\n", counts.read, counts.staged);
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
  console_printf("Ausweis %s mit zu langem Wert: %s\n", badge.AswNum, reason);
}

int badge_list_failed(int rc, const char* schema) {
  // The run stops: records still queued are not staged.
  pending = PendingRecords{};
  failed_since_schema_start = 0;
  console_release();
  console_printf("Fehler beim Lesen der Ausweise! ErrNr: %d Schema: %s\n", rc, schema);
  return 1;
}

int for_each_badge(const char* schema, const std::function<bool(BadgeRecord&)>& handle) {
  BadgeCounts counts;
  int rc = badges_open(schema);
  if (rc == 0) {
    BadgeRecord badge;
    while ((rc = badges_fetch(badge)) == 0) {
      ++counts.read;
      if (handle(badge)) ++counts.staged;
      badge = BadgeRecord{};
    }
  }
  badges_close();
  if (rc != RC_NO_ROW) return badge_list_failed(rc, schema);
  finish_schema(counts);
  return 0;
}
