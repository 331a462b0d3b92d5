#pragma once
// What the generators share: placing fields into a record, staging it, refusing a badge
// whose values do not fit, and the per-schema counts.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "lookup/badges.h"

// Badges read and records staged in one client schema.
struct BadgeCounts {
  int read = 0;
  int staged = 0;
};

// Copies text into record from pos on, with its own length and no terminator, so a shorter
// text leaves what stood behind it. Never writes past the record's end.
void record_put(std::string& record, std::size_t pos, std::string_view text);

// A field of a fixed-width record: text written with its own length, at most width
// characters of it.
void put_field(std::string& record, std::size_t pos, std::size_t width, std::string_view text);

// A date field the copy left all blank (8 places from pos) reads as eight zeros.
void zero_if_blank(std::string& record, std::size_t pos);

// "1" or "0" for a flag field.
const char* flag_text(bool set);

// Whether a reader slot names a reader: the access check wrote the reader's number there;
// the preset blanks, or nothing at all, name none.
bool slot_names_reader(const char* slot);

// Stages record under path. Records are sent to the staging table in batches (one
// statement per batch; VESTRAGEN_PER_BADGE=1 sends each on its own): true when the record
// was staged or queued. A record that cannot be staged gets the two insert messages at its
// place among the run's messages (those printed meanwhile are held until its batch is
// staged) and does not count as staged (finish_schema).
bool record_stage(const char* path, const std::string& record);

// Ends a client schema: stages the records still queued, takes the records whose insert
// failed since the schema's first record off counts.staged, and prints the summary line.
void finish_schema(BadgeCounts& counts);

// Refuses, with a message naming the badge and the value, a badge whose values do not fit
// the record: a value that did not fit its BadgeRecord field, a badge number longer than
// number_width, with check_class a class longer than 3 characters, with check_dates a date
// longer than 8. Returns true when the badge is refused.
bool refuse_unfit(const BadgeRecord& badge, std::size_t number_width, bool check_class,
                  bool check_dates);

// As refuse_unfit with the class checked, for records that carry the valid-from date but
// not the valid-to date: only the valid-from date must fit its 8 places.
bool refuse_unfit_valid_from(const BadgeRecord& badge, std::size_t number_width);

// The refusal message of a badge whose value named by reason does not fit:
// "Ausweis %s mit zu langem Wert: %s\n".
void print_refusal(const BadgeRecord& badge, const char* reason);

// The badge list of schema could not be read: prints why the run stops and returns the
// generator's failure result.
int badge_list_failed(int rc, const char* schema);

// The walk of every generator over the badges of schema: each badge, cleared before its
// fetch, goes to handle, which returns true when it staged the badge's record; then the
// schema is finished (finish_schema). Returns 0, or the failure result when the badge list
// could not be read: going on without the rest of the list would leave valid badges out of
// the download.
int for_each_badge(const char* schema, const std::function<bool(BadgeRecord&)>& handle);
