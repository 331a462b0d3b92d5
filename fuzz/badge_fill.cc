#include "badge_fill.h"

namespace {

// What a lookup puts into too_long; the generators print it inside their refusal.
constexpr const char* kTooLongNames[] = {"Ausweisnummer", "Berechtigungsklasse", "Kostenstelle",
                                         "Abteilung"};

constexpr std::size_t kValueTextMax = 12;

}  // namespace

void fuzz_fill_badge(FuzzedDataProvider& input, BadgeRecord& badge) {
  badge = BadgeRecord{};
  fuzz_fill_field(input, badge.AswNum);
  fuzz_fill_field(input, badge.AswGvo);
  fuzz_fill_field(input, badge.AswGbi);
  fuzz_fill_field(input, badge.time_flag);
  fuzz_fill_field(input, badge.access_flag);
  fuzz_fill_field(input, badge.PnrSal);
  fuzz_fill_field(input, badge.PnrSpr);
  fuzz_fill_field(input, badge.fixed_code);
  fuzz_fill_field(input, badge.AswBkl);
  fuzz_fill_field(input, badge.StoKtx);
  fuzz_fill_field(input, badge.AwvSto);
  fuzz_fill_field(input, badge.AswGrp);
  fuzz_fill_field(input, badge.AswPnr);
  fuzz_fill_field(input, badge.spare_text);
  fuzz_fill_field(input, badge.AswAtp);
  fuzz_fill_field(input, badge.ZuoKst);
  fuzz_fill_field(input, badge.ZuoAbt);
  for (std::string& value : badge.day_values) {
    value = input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(0, kValueTextMax));
  }
  for (std::string& value : badge.vacation_values) {
    value = input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(0, kValueTextMax));
  }
  for (auto& slot : badge.reader_slots) {
    fuzz_fill_field(input, slot);
  }
  // Mostly unset: a refused badge is the rare case.
  const std::size_t too_long = input.ConsumeIntegralInRange<std::size_t>(0, 15);
  if (too_long < std::size(kTooLongNames)) badge.too_long = kTooLongNames[too_long];
}
