#pragma once
// The valid badges of one client schema, one BadgeRecord at a time.

#include <string>

// The fixed-width text fields of one badge: filled by badges_fetch, completed by the
// lookups, read by the generators. A field of width w holds at most w-1 characters.
// Clear it with `badge = BadgeRecord{}` before every badges_fetch.
struct BadgeRecord {
  char AswNum[51] = {};          // badge number
  char AswGvo[15] = {};          // valid from, YYYYMMDD; a resolved class assignment's date
  char AswGbi[15] = {};          // valid to, likewise
  char time_flag[2] = {};        // "0"/"1": terminal_time_check (IDSTAMM)
  char access_flag[2] = {};      // "0"/"1": terminal_access_check (IDSTAMM)
  char PnrSal[11] = {};          // the person's balance list
  char PnrSpr[5] = {};           // the person's language, decimal
  char fixed_code[10] = {};      // "001" (IDSTAMM)
  char AswBkl[6] = {};           // access class, "%-3s"; a resolved class
  char StoKtx[4] = {};           // location short text, at most 3 characters
  char AwvSto[9] = {};           // location number, "%08s": zero-filled on the left
  char AswGrp[6] = {};           // badge group
  char AswPnr[9] = {};           // person number
  char spare_text[51] = {};      // nothing fills it
  char AswAtp[3] = {};           // badge type, decimal
  char ZuoKst[31] = {};          // cost centre, when the class came from it
  char ZuoAbt[16] = {};          // department, when the class came from it
  // Formatted previous-day account values and vacation figures. Normally 7 characters;
  // a value of 1000 hours or more is held whole (the records take its first 7).
  std::string day_values[9];
  std::string vacation_values[6];
  char reader_slots[11][3] = {};  // reader n at entry n-1: "%02d", or the generator's preset

  // Set when a value read for this badge did not fit its field: what did not fit, as the
  // refusal message names it (for example "Ausweisnummer"). The field then holds the value
  // cut to its width; the generators refuse such a badge instead of writing it.
  const char* too_long = nullptr;
};

// Opens the badge list of the client whose schema is schema: badges valid today whose
// badge and location rows are active, ordered by number, valid-from date and class.
// Returns 0 or the open's code. The list of a schema read ahead during the pass before
// (prefetch.h) is taken instead of asking for it again.
[[nodiscard]] int badges_open(const char* schema);

// The statement of schema's badge list, as badges_open sends it.
std::string badges_statement(const char* schema);

// The next badge into badge (cleared by the caller). Returns 0, RC_NO_ROW after the last,
// -1 on a failed list; on anything but 0 badge is left as it was.
[[nodiscard]] int badges_fetch(BadgeRecord& badge);

// Starts the badge list again from its first badge.
void badges_rewind();

// Frees the badge list. Returns db_close_cursor's code.
int badges_close();
