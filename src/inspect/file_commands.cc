#include "inspect/file_commands.h"

#include "inspect/download_decode.h"
#include "inspect/download_diff.h"
#include "inspect/record_layout.h"
#include "inspect/text_out.h"

namespace {

// text between double quotes. Appended piece by piece: g++ 12 warns falsely (-Wrestrict) on
// "\"" + std::string at -O3.
std::string in_quotes(const std::string& text) {
  std::string quoted = "\"";
  quoted.append(text).append("\"");
  return quoted;
}

// Reads and decodes a file; prints why and returns false when it cannot be read.
bool read_decoded(const InspectIo& io, const RecordLayout& layout, const std::string& path,
                  DecodedFile& decoded) {
  std::string bytes;
  std::string problem;
  if (!inspect_read_file(path, bytes, problem)) {
    inspect_complain(io, problem);
    return false;
  }
  decoded = download_decode(layout, bytes);
  return true;
}

// "byte 170" for a fixed-width record, "line 3" for a line.
std::string place_of(const RecordLayout& layout, const DecodedRecord& record) {
  return layout.width > 0 ? "byte " + std::to_string(record.offset)
                          : "line " + std::to_string(record.line);
}

std::string json_record(const RecordLayout& layout, const DecodedRecord& record,
                        std::size_t number) {
  std::string out = "{\"record\":" + std::to_string(number) +
                    ",\"offset\":" + std::to_string(record.offset) +
                    ",\"line\":" + std::to_string(record.line) + ",\"fields\":{";
  for (std::size_t i = 0; i < layout.fields.size() && i < record.fields.size(); ++i) {
    if (i > 0) out += ',';
    out += json_plain(layout.fields[i].key) + ":" + json_string(record.fields[i]);
  }
  out += "},\"text\":" + json_string(record.text);
  if (!record.note.empty()) out += ",\"note\":" + json_plain(record.note);
  return out + "}";
}

void print_show(const InspectIo& io, const RecordLayout& layout, const std::string& path,
                const DecodedFile& file, const std::vector<std::size_t>& shown) {
  if (io.format == OutputFormat::kJson) {
    std::string out = "{\"function\":" + json_plain(layout.function) +
                      ",\"file\":" + json_plain(path) + ",\"records\":[";
    for (std::size_t i = 0; i < shown.size(); ++i) {
      if (i > 0) out += ",";
      out += json_record(layout, file.records[shown[i]], shown[i] + 1);
    }
    out += "]";
    if (!file.reading.empty()) out += ",\"reading\":" + json_plain(file.reading);
    if (file.bad) {
      out += ",\"bad\":{\"offset\":" + std::to_string(file.bad_offset) +
             ",\"line\":" + std::to_string(file.bad_line) +
             ",\"problem\":" + json_plain(file.problem) + "}";
    }
    inspect_print(io, out + "}\n");
    return;
  }
  if (io.format == OutputFormat::kTsv) {
    std::vector<std::string> header = {"record", "offset", "line"};
    for (const RecordField& field : layout.fields)
      header.emplace_back(field.key);
    header.emplace_back("note");
    std::string out = tsv_line(header);
    for (const std::size_t i : shown) {
      const DecodedRecord& record = file.records[i];
      std::vector<std::string> line = {std::to_string(i + 1), std::to_string(record.offset),
                                       std::to_string(record.line)};
      for (const std::string& field : record.fields)
        line.push_back(tsv_field(field));
      line.push_back(tsv_field(record.note));
      out += tsv_line(line);
    }
    inspect_print(io, out);
    return;
  }
  std::string out = std::string(layout.function) + " file " + path + ": " +
                    std::to_string(file.records.size()) + " records";
  if (shown.size() != file.records.size()) out += ", " + std::to_string(shown.size()) + " shown";
  out += "\n";
  if (!shown.empty()) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> header = {"record", layout.width > 0 ? "byte" : "line"};
    for (const RecordField& field : layout.fields)
      header.emplace_back(field.name);
    rows.push_back(header);
    for (const std::size_t i : shown) {
      const DecodedRecord& record = file.records[i];
      std::vector<std::string> row = {
          std::to_string(i + 1), std::to_string(layout.width > 0 ? record.offset : record.line)};
      for (const std::string& field : record.fields)
        row.push_back(text_shown(field));
      rows.push_back(row);
    }
    out += text_table(rows);
  }
  for (const std::size_t i : shown) {
    const DecodedRecord& record = file.records[i];
    if (!record.note.empty()) {
      out += "note: record " + std::to_string(i + 1) + " (" + place_of(layout, record) +
             "): " + record.note + "\n";
    }
  }
  if (!file.reading.empty()) out += "note: " + file.reading + "\n";
  inspect_print(io, out);
}

const char* change_name(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::kAdded:
      return "added";
    case ChangeKind::kRemoved:
      return "removed";
    case ChangeKind::kChanged:
      return "changed";
  }
  return "";
}

void print_diff(const InspectIo& io, const RecordLayout& layout,
                const std::vector<BadgeChange>& changes) {
  if (io.format == OutputFormat::kJson) {
    std::string out = "{\"function\":" + json_plain(layout.function) +
                      ",\"equal\":" + (changes.empty() ? "true" : "false") + ",\"badges\":[";
    for (std::size_t b = 0; b < changes.size(); ++b) {
      const BadgeChange& badge = changes[b];
      if (b > 0) out += ",";
      out += "{\"badge_number\":" + json_string(badge.badge) +
             ",\"change\":" + json_plain(change_name(badge.kind)) + ",\"records\":[";
      for (std::size_t r = 0; r < badge.records.size(); ++r) {
        const RecordChange& record = badge.records[r];
        if (r > 0) out += ",";
        out += "{\"change\":" + json_plain(change_name(record.kind));
        if (record.old_record != nullptr) {
          out += ",\"old\":{\"offset\":" + std::to_string(record.old_record->offset) +
                 ",\"text\":" + json_string(record.old_record->text) + "}";
        }
        if (record.new_record != nullptr) {
          out += ",\"new\":{\"offset\":" + std::to_string(record.new_record->offset) +
                 ",\"text\":" + json_string(record.new_record->text) + "}";
        }
        out += ",\"fields\":[";
        for (std::size_t f = 0; f < record.fields.size(); ++f) {
          const FieldChange& field = record.fields[f];
          if (f > 0) out += ",";
          out += "{\"field\":" + json_plain(layout.fields[field.field].key) +
                 ",\"old\":" + json_string(field.old_value) +
                 ",\"new\":" + json_string(field.new_value) + "}";
        }
        out += "]}";
      }
      out += "]}";
    }
    inspect_print(io, out + "]}\n");
    return;
  }
  if (io.format == OutputFormat::kTsv) {
    std::string out =
        tsv_line({"badge_change", "record_change", "badge_number", "field", "old", "new"});
    for (const BadgeChange& badge : changes) {
      for (const RecordChange& record : badge.records) {
        const std::vector<std::string> head = {change_name(badge.kind), change_name(record.kind),
                                               tsv_field(badge.badge)};
        auto line = [&](const std::string& field, const std::string& old_value,
                        const std::string& new_value) {
          std::vector<std::string> fields = head;
          fields.insert(fields.end(), {field, old_value, new_value});
          out += tsv_line(fields);
        };
        if (record.kind == ChangeKind::kChanged) {
          for (const FieldChange& field : record.fields) {
            line(layout.fields[field.field].key, tsv_field(field.old_value),
                 tsv_field(field.new_value));
          }
        } else {
          line("record", record.old_record ? tsv_field(record.old_record->text) : "",
               record.new_record ? tsv_field(record.new_record->text) : "");
        }
      }
    }
    inspect_print(io, out);
    return;
  }
  if (changes.empty()) {
    inspect_print(io, std::string(layout.function) + ": the files hold the same records\n");
    return;
  }
  std::size_t counts[3] = {};
  for (const BadgeChange& badge : changes)
    ++counts[static_cast<int>(badge.kind)];
  std::string tally;
  for (const ChangeKind kind : {ChangeKind::kAdded, ChangeKind::kRemoved, ChangeKind::kChanged}) {
    if (counts[static_cast<int>(kind)] == 0) continue;
    tally += (tally.empty() ? "" : ", ") + std::to_string(counts[static_cast<int>(kind)]) + " " +
             change_name(kind);
  }
  std::string out = std::string(layout.function) + ": " + std::to_string(changes.size()) +
                    (changes.size() == 1 ? " badge differs" : " badges differ") + " (" + tally +
                    ")\n";
  for (const BadgeChange& badge : changes) {
    out += "\n" + std::string(change_name(badge.kind)) + " " + text_shown(badge.badge) + "\n";
    for (const RecordChange& record : badge.records) {
      if (record.kind == ChangeKind::kChanged) {
        out += "  record at " + place_of(layout, *record.old_record) + " -> " +
               place_of(layout, *record.new_record) + ":\n";
        std::vector<std::vector<std::string>> rows;
        for (const FieldChange& field : record.fields) {
          rows.push_back({"   ", layout.fields[field.field].name,
                          in_quotes(text_shown(field.old_value)), "->",
                          in_quotes(text_shown(field.new_value))});
        }
        out += text_table(rows);
      } else {
        const DecodedRecord& text =
            record.kind == ChangeKind::kAdded ? *record.new_record : *record.old_record;
        out += std::string(record.kind == ChangeKind::kAdded ? "  + " : "  - ") + "|" +
               text_shown(text.text) + "|  (" + place_of(layout, text) + ")\n";
      }
    }
  }
  inspect_print(io, out);
}

}  // namespace

int show_command(const InspectIo& io, const RecordLayout& layout, const std::string& path,
                 const std::string* badge) {
  DecodedFile file;
  if (!read_decoded(io, layout, path, file)) return kInspectTrouble;
  std::vector<std::size_t> shown;
  for (std::size_t i = 0; i < file.records.size(); ++i) {
    if (badge == nullptr || decoded_badge_number(layout, file.records[i]) == *badge) {
      shown.push_back(i);
    }
  }
  print_show(io, layout, path, file, shown);
  if (file.bad) {
    inspect_complain(io, path + ": no " + layout.function + " file: " + file.problem);
    return kInspectNo;
  }
  return kInspectYes;
}

int diff_command(const InspectIo& io, const RecordLayout& layout, const std::string& old_path,
                 const std::string& new_path) {
  DecodedFile old_file;
  DecodedFile new_file;
  if (!read_decoded(io, layout, old_path, old_file)) return kInspectTrouble;
  if (!read_decoded(io, layout, new_path, new_file)) return kInspectTrouble;
  bool bad = false;
  for (const auto& [path, file] :
       {std::pair<const std::string*, const DecodedFile*>{&old_path, &old_file},
        std::pair<const std::string*, const DecodedFile*>{&new_path, &new_file}}) {
    if (file->bad) {
      inspect_complain(io, *path + ": no " + layout.function + " file: " + file->problem);
      bad = true;
    }
  }
  if (bad) return kInspectTrouble;
  const std::vector<BadgeChange> changes = download_diff(layout, old_file, new_file);
  print_diff(io, layout, changes);
  return changes.empty() ? kInspectYes : kInspectNo;
}
