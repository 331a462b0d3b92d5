#include "support/own_server.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/run_program.h"

namespace {

std::string script(const std::string& name) {
  return std::string(VESTRAGEN_SOURCE_DIR) + "/scripts/" + name;
}

void run_script(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  RunOptions options;
  options.env = env;
  const RunResult r = run_program(args[0], {args.begin() + 1, args.end()}, options);
  if (r.status != 0) throw std::runtime_error(args[0] + " failed: " + r.err + r.out);
}

std::string env_field(const std::string& text, const std::string& name) {
  const std::string prefix = "export " + name + "='";
  const auto start = text.find(prefix);
  if (start == std::string::npos) return "";
  const auto begin = start + prefix.size();
  return text.substr(begin, text.find('\'', begin) - begin);
}

}  // namespace

OwnServer::OwnServer() : OwnServer(std::vector<std::string>{}) {}

OwnServer::OwnServer(std::vector<std::string> server_options)
    : server_options_(std::move(server_options)) {
  start();
  run_script({script("site.sh"), "init", "vestragen-test-pw"}, env());
  run_script({script("site.sh"), "client", "MNDA", "MNDB"}, env());
}

OwnServer::~OwnServer() {
  RunOptions options;
  run_program(script("db-server.sh"), {"destroy", dir_.file("db")}, options);
}

std::vector<std::string> OwnServer::env() const {
  return {"MYSQL_UNIX_PORT=" + socket_, "MYSQL_TCP_PORT=" + port_};
}

void OwnServer::start() {
  // Durable like a production server: what was committed survives the crash.
  std::vector<std::string> args = {script("db-server.sh"), "start", dir_.file("db")};
  args.insert(args.end(), server_options_.begin(), server_options_.end());
  run_script(args, {});
  std::ifstream in(dir_.file("db/env"));
  std::stringstream text;
  text << in.rdbuf();
  socket_ = env_field(text.str(), "MYSQL_UNIX_PORT");
  port_ = env_field(text.str(), "MYSQL_TCP_PORT");
}

void OwnServer::signal(int signal_number) {
  std::ifstream in(dir_.file("db/mysqld.pid"));
  long pid = 0;
  in >> pid;
  if (pid <= 0) throw std::runtime_error("no server pid");
  ::kill(static_cast<pid_t>(pid), signal_number);
}

void OwnServer::kill_hard() {
  std::ifstream in(dir_.file("db/mysqld.pid"));
  long pid = 0;
  in >> pid;
  if (pid <= 0) throw std::runtime_error("no server pid");
  ::kill(static_cast<pid_t>(pid), SIGKILL);
  for (int i = 0; i < 100 && ::kill(static_cast<pid_t>(pid), 0) == 0; ++i) ::usleep(50000);
}

void OwnServer::restart() {
  std::remove(dir_.file("db/mysqld.pid").c_str());
  start();
}
