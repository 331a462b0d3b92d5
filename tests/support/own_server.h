#pragma once
// A throwaway server of a test's own, for faults that would disturb the shared one (killing
// the server). Set up like the shared one: KvBasis, the program's user, MNDA and MNDB.

#include <string>
#include <vector>

#include "support/temp_dir.h"

class OwnServer {
 public:
  OwnServer();   // starts it and loads the site's tables
  // The same with these options for mariadbd.
  explicit OwnServer(std::vector<std::string> server_options);
  ~OwnServer();  // stops it and removes it

  const std::string& socket() const { return socket_; }
  // NAME=VALUE lines that point the program at this server.
  std::vector<std::string> env() const;
  // Ends the server at once, as a crash would.
  void kill_hard();
  // Sends the signal to the server (SIGSTOP: it stops answering; SIGCONT: it goes on).
  void signal(int signal_number);
  // Starts it again on its data.
  void restart();

 private:
  void start();
  ScopedTempDir dir_;
  std::vector<std::string> server_options_;
  std::string socket_;
  std::string port_;
};
