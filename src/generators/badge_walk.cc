#include "generators/badge_walk.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/console.h"
#include "db/cursor.h"
#include "db/staging.h"
#include "lookup/prefetch.h"

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

// Reads the whole badge list once, noting each badge's keys for the pass, and starts it
// again from its first badge.
void note_pass_keys() {
  BadgeRecord badge;
  while (badges_fetch(badge) == 0) {
    prefetch_note_badge(badge);
    badge = BadgeRecord{};
  }
  badges_rewind();
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
  prefetch_pass_begin(schema);
  int rc = badges_open(schema);
  if (rc == 0 && prefetch_enabled()) note_pass_keys();
  if (rc == 0) {
    BadgeRecord badge;
    while ((rc = badges_fetch(badge)) == 0) {
      ++counts.read;
      if (handle(badge)) ++counts.staged;
      badge = BadgeRecord{};
    }
  }
  (void)badges_close();
  prefetch_pass_end();
  if (rc != RC_NO_ROW) return badge_list_failed(rc, schema);
  finish_schema(counts);
  return 0;
}
