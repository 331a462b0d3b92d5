#include "lookup/badge_fields.h"

std::string badge_class_padded(std::string_view access_class) {
  std::string padded(access_class);
  if (padded.size() < 3) padded.append(3 - padded.size(), ' ');
  return padded;
}
