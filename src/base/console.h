#pragma once
// The run's messages on standard output (Windows-1252 text, no other stream).
//
// Records are staged in batches, yet a record whose insert fails must get its messages where
// the record was staged, among the messages of the badges around it. So while records wait
// for their batch, messages are held: console_mark gives the place of a record staged now,
// and console_release prints the held text with each insert message put in at its place.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// Prints a message, or holds it while records wait for their batch.
void console_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Starts holding messages, if not yet, and returns the place in the held text where the
// messages of a record staged now belong.
std::size_t console_mark();

// Messages for places in the held text, in ascending order of place.
using ConsolePlacedTexts = std::vector<std::pair<std::size_t, std::string>>;

// Prints the held text with the placed texts put in at their places, and stops holding.
void console_release(const ConsolePlacedTexts& placed = {});
