#pragma once
// A throwaway server of a test's own, for faults that would disturb the shared one (killing
// the server). Set up like the shared one: KvBasis, the program's user, MNDA and MNDB.

#include <string>
#include <vector>

#include "support/temp_dir.h"

class OwnServer {
 public:
  OwnServer();   // starts it and loads the site's tables
  ~OwnServer();  // stops it and removes it

  const std::string& socket() const { return socket_; }
  // NAME=VALUE lines that point the program at this server.
  std::vector<std::string> env() const;
  // Ends the server at once, as a crash would.
  void kill_hard();
  // Starts it again on its data.
  void restart();

 private:
  void start();
  ScopedTempDir dir_;
  std::string socket_;
  std::string port_;
};
