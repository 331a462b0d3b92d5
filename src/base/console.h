#pragma once
// The run's messages on standard output (Windows-1252 text, no other stream).
//
// Standard output is line-buffered (console_start), so that a log that a killed run leaves
// behind holds every line printed before. Records are staged in batches, yet a record whose
// insert fails must get its messages where the record was staged, among the messages of the
// badges around it. So while records wait for their batch, messages are held:
// console_mark gives the place of a record staged now, and console_release prints the held
// text with each insert message put in at its place. A stop (base/stop.h) prints what is
// held as it stands.
//
// When standard output is a pipe whose reader has gone, a message cannot be written: the
// run then stops as on SIGPIPE.

#include <cstdarg>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// Makes standard output line-buffered and registers the stop handler that prints held
// messages. Call once, before the first message.
void console_start();

// From now on the messages go into text instead of standard output (nullptr: standard output
// again): for a program that runs the run's steps to show what they decide in its own way.
void console_divert(std::string* text);

// Prints a message, or holds it while records wait for their batch.
void console_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void console_vprintf(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

// Starts holding messages, if not yet, and returns the place in the held text where the
// messages of a record staged now belong.
std::size_t console_mark();

// Messages for places in the held text, in ascending order of place.
using ConsolePlacedTexts = std::vector<std::pair<std::size_t, std::string>>;

// Prints the held text with the placed texts put in at their places, and stops holding.
void console_release(const ConsolePlacedTexts& placed = {});

// Prints the held text before place (a place console_mark gave since holding began) with the
// placed texts before it put in, and holds the rest on: for records staged in batches of which
// one is still on its way while the next fills. Places stay valid across it.
void console_release_upto(std::size_t place, const ConsolePlacedTexts& placed = {});

// Forgets the held text from place on: what the badges walked after a batch whose staging
// failed printed, as if the walk had stopped at that batch.
void console_forget_from(std::size_t place);
