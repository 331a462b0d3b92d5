#pragma once
// What changed between two download files of one function (`vestragen-inspect diff`), pure.
//
// A badge number can have several records (one per badge row, such as two validity periods),
// so records are matched by badge number and then by their text: a record in both files is
// unchanged; the rest of one badge number's records are paired in file order, and what is
// left over was added or removed.

#include <cstddef>
#include <string>
#include <vector>

#include "inspect/download_decode.h"
#include "inspect/record_layout.h"

struct FieldChange {
  std::size_t field = 0;  // index into the layout's fields
  std::string old_value;
  std::string new_value;
};

enum class ChangeKind { kAdded, kRemoved, kChanged };

struct RecordChange {
  ChangeKind kind = ChangeKind::kChanged;
  const DecodedRecord* old_record = nullptr;  // none for an added record
  const DecodedRecord* new_record = nullptr;  // none for a removed one
  std::vector<FieldChange> fields;            // of a changed record, in layout order
};

struct BadgeChange {
  std::string badge;
  ChangeKind kind =
      ChangeKind::kChanged;  // added: no record in the old file; removed: none in the new
  std::vector<RecordChange> records;
};

// The badges whose records differ, ordered by badge number; empty when the files hold the
// same records. The changes point into the two files, which must outlive them.
std::vector<BadgeChange> download_diff(const RecordLayout& layout, const DecodedFile& old_file,
                                       const DecodedFile& new_file);
