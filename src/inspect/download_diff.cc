#include "inspect/download_diff.h"

#include <algorithm>
#include <map>

namespace {

struct BadgeRecords {
  std::vector<const DecodedRecord*> old_records;
  std::vector<const DecodedRecord*> new_records;
};

std::vector<FieldChange> field_changes(const DecodedRecord& old_record,
                                       const DecodedRecord& new_record) {
  std::vector<FieldChange> changes;
  const std::size_t n = std::max(old_record.fields.size(), new_record.fields.size());
  for (std::size_t i = 0; i < n; ++i) {
    const std::string old_value = i < old_record.fields.size() ? old_record.fields[i] : "";
    const std::string new_value = i < new_record.fields.size() ? new_record.fields[i] : "";
    if (old_value != new_value) changes.push_back({i, old_value, new_value});
  }
  return changes;
}

// The records of one badge number that are not in both files, paired in file order.
std::vector<RecordChange> record_changes(const BadgeRecords& records) {
  std::vector<const DecodedRecord*> removed;
  std::vector<bool> taken(records.new_records.size(), false);
  for (const DecodedRecord* old_record : records.old_records) {
    bool kept = false;
    for (std::size_t i = 0; i < records.new_records.size() && !kept; ++i) {
      if (!taken[i] && records.new_records[i]->text == old_record->text) {
        taken[i] = true;
        kept = true;
      }
    }
    if (!kept) removed.push_back(old_record);
  }
  std::vector<const DecodedRecord*> added;
  for (std::size_t i = 0; i < records.new_records.size(); ++i) {
    if (!taken[i]) added.push_back(records.new_records[i]);
  }
  std::vector<RecordChange> changes;
  const std::size_t paired = std::min(removed.size(), added.size());
  for (std::size_t i = 0; i < paired; ++i) {
    changes.push_back(
        {ChangeKind::kChanged, removed[i], added[i], field_changes(*removed[i], *added[i])});
  }
  for (std::size_t i = paired; i < removed.size(); ++i) {
    changes.push_back({ChangeKind::kRemoved, removed[i], nullptr, {}});
  }
  for (std::size_t i = paired; i < added.size(); ++i) {
    changes.push_back({ChangeKind::kAdded, nullptr, added[i], {}});
  }
  return changes;
}

}  // namespace

std::vector<BadgeChange> download_diff(const RecordLayout& layout, const DecodedFile& old_file,
                                       const DecodedFile& new_file) {
  std::map<std::string, BadgeRecords> badges;
  for (const DecodedRecord& record : old_file.records) {
    badges[decoded_badge_number(layout, record)].old_records.push_back(&record);
  }
  for (const DecodedRecord& record : new_file.records) {
    badges[decoded_badge_number(layout, record)].new_records.push_back(&record);
  }
  std::vector<BadgeChange> changes;
  for (const auto& [badge, records] : badges) {
    std::vector<RecordChange> record_list = record_changes(records);
    if (record_list.empty()) continue;
    BadgeChange change;
    change.badge = badge;
    change.kind = records.old_records.empty()   ? ChangeKind::kAdded
                  : records.new_records.empty() ? ChangeKind::kRemoved
                                                : ChangeKind::kChanged;
    change.records = std::move(record_list);
    changes.push_back(std::move(change));
  }
  return changes;
}
