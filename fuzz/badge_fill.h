#pragma once
// A BadgeRecord filled from fuzz input, for the targets of the record formatters.
//
// fuzz/fuzz_record_formats.cc uses it for every record formatter: a FuzzedDataProvider over
// the input, fuzz_fill_badge, the formatter, then FUZZ_CHECK on what the layout promises
// for any badge.
//
// Seeds are optional: the fill takes whatever bytes there are, and an empty input gives an
// empty badge.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <string>

#include "lookup/badges.h"

// Fills field with 0 to N-1 bytes of input and a terminator, so that it holds at most what
// the lookups can leave in it. The bytes are taken as they come: a NUL among them ends the
// text early, as it would in a C string.
template <std::size_t N>
void fuzz_fill_field(FuzzedDataProvider& input, char (&field)[N]) {
  const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, N - 1);
  const std::string bytes = input.ConsumeBytesAsString(length);
  bytes.copy(field, N - 1);
  field[bytes.size()] = '\0';
}

// Every field of badge: the char fields within their widths, the day and vacation values
// up to 12 bytes (a value of 1000 hours or more is held whole, longer than the usual 7), and
// now and then too_long naming a value that did not fit. Each fill takes its length from
// the end of the input and its bytes from the front, so that an input keeps steering the
// same fields when it grows.
void fuzz_fill_badge(FuzzedDataProvider& input, BadgeRecord& badge);
