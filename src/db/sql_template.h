#pragma once
// A lookup's per-badge statement is a printf format with its key as '%s'. The statements
// that answer many keys at once are built from that same format, so that the server compares
// each key exactly as it compares the per-badge statement's value.

#include <string>
#include <string_view>
#include <vector>

// sql_fill_template: the format holds a conversion other than %s and %%, or its places do
// not fit the texts given for them.
inline constexpr int RC_BAD_TEMPLATE = -4;

// The format with each quoted place '%s' in turn replaced by the next of quoted (the quotes
// included, so the text goes in as it is: a column name, or a value the caller quoted and
// escaped), each bare %s by the next of bare, and %% by %. The format must have exactly as
// many quoted places as there are texts in quoted, and at most as many bare ones as in bare.
// Returns 0 with the text in out, or RC_BAD_TEMPLATE.
[[nodiscard]] int sql_fill_template(std::string_view format, const std::vector<std::string>& quoted,
                                    const std::vector<std::string>& bare, std::string& out);
