#pragma once
// Options of the database connection beyond the login: encryption (TLS) and bounded waits.
//
// When VESTRAGEN_DEFAULTS_FILE names an option file, they are taken from its group
// [vestragen] (the form of the database clients' option files: "[group]" lines, "key=value"
// or a bare "key", "#" and ";" comments, "-" and "_" alike in keys). Every key of the group
// must be one the program knows and every value usable, or the file is refused: a typo must
// not leave a connection unencrypted. The login itself stays in the configuration file.

#include <optional>
#include <string>

#include "base/exit_status.h"

struct ConnectionOptions {
  std::string file;  // the option file read; empty: none
  // TLS: a CA (file or directory) makes the connection encrypted and the server's
  // certificate checked against it; verify_server_cert also checks the server's name.
  std::string ssl_ca;
  std::string ssl_capath;
  std::string ssl_cert;
  std::string ssl_key;
  std::string ssl_cipher;
  std::string ssl_crl;
  std::string tls_version;
  bool ssl = false;  // encrypted even without a CA
  std::optional<bool> verify_server_cert;
  unsigned port = 0;   // 0: MYSQL_TCP_PORT or the client library's default
  std::string socket;  // empty: MYSQL_UNIX_PORT or the default
  // Seconds; 0: none. A connect timeout always applies: no healthy connection takes 30 s.
  unsigned connect_timeout = 30;
  unsigned read_timeout = 0;
  unsigned write_timeout = 0;
};

// The options: defaults, or those of the file VESTRAGEN_DEFAULTS_FILE names (empty counts
// as unset). Prints the complaint and returns kExitConfiguration when the file cannot be
// read or holds a key or value that cannot be used; otherwise kExitSuccess.
[[nodiscard]] ExitStatus connection_options_read(ConnectionOptions& out);

// The same from the text of an option file (path only names it in messages).
[[nodiscard]] ExitStatus connection_options_parse(const std::string& path, const std::string& text,
                                                  ConnectionOptions& out);
