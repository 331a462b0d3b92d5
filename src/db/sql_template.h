#pragma once
// A lookup's per-badge statement is a printf format with its key as '%s'. The statements
// that answer many keys at once are built from that same format, so that the server compares
// each key exactly as it compares the per-badge statement's value.

#include <cstddef>
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

// The most texts sql_literal_table takes.
inline constexpr std::size_t kLiteralTableMax = 10000;

// A derived table named alias with one row per text of literals, in its column column, for a
// FROM list:
//   (SELECT ELT(alias_n.i, 'a', 'b', ...) AS column FROM (numbers 1 to n) AS alias_n
//    WHERE alias_n.i <= n) AS alias
// Each literals text goes in as it is (quoted and escaped by the caller). The column is the
// literal itself to the server, with the connection's collation at the coercibility of a
// literal, so a column compared with it decides the comparison as it decides it against the
// literal; MariaDB 10.3 and MySQL 5.7 and 8.0 all take this form (a list of SELECT 'a'
// UNION ALL SELECT 'b' ... would do as well but costs the server about four times as much to
// take in). literals must hold 1 to kLiteralTableMax texts.
std::string sql_literal_table(const std::vector<std::string>& literals, std::string_view alias,
                              std::string_view column);
