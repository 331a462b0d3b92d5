#pragma once
// The programs as child processes: exit status, standard output and error as bytes.

#include <memory>
#include <string>
#include <vector>

#include "support/temp_dir.h"

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

struct RunOptions {
  std::string cwd;                         // working directory; empty: the current one
  std::vector<std::string> env;            // NAME=VALUE added to the environment
  std::vector<std::string> prefix;         // a command to run the program under (faketime ...)
  std::string input;                       // standard input
};

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options = {});

// A program started as a child that runs while the test goes on: its output is collected
// meanwhile, so that it never waits on a full pipe.
class ChildRun {
 public:
  ChildRun(const std::string& program, const std::vector<std::string>& args,
           const RunOptions& options = {});
  ~ChildRun();  // waits for the child if wait() was not called
  ChildRun(const ChildRun&) = delete;
  ChildRun& operator=(const ChildRun&) = delete;

  int pid() const { return pid_; }
  // Sends the signal to the child.
  void signal(int signal_number) const;
  // Whether the child has ended (its status is kept for wait()).
  bool ended();
  // Waits for the child's end and its output.
  RunResult wait();

 private:
  int pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  bool waited_ = false;
  bool reaped_ = false;
  int wait_status_ = 0;
  RunResult result_;
  struct Reader;
  Reader* reader_ = nullptr;
};

// The built program's path: vestragen, vestragen-config or vestragen-inspect.
std::string built_program(const std::string& name);

// A place to run vestragen from: the configuration file at root/files/korvandel.ini and the
// working directory root/work/run, so that ../../files/korvandel.ini finds it.
class ProgramSite {
 public:
  ProgramSite();
  const std::string& root() const { return dir_.path(); }
  std::string cwd() const { return dir_.path() + "/work/run"; }
  std::string config_path() const { return dir_.path() + "/files/korvandel.ini"; }
  // A path relative to the working directory's root (root/NAME).
  std::string file(const std::string& name) const { return dir_.file(name); }

  // Writes the configuration with the project's own writer.
  void write_config(const std::string& login, const std::string& password,
                    const std::string& server, const std::string& schema);
  // The test server's program user, on the given database.
  void write_test_config(const std::string& schema);

  RunResult run(const std::vector<std::string>& args, const RunOptions& options = {}) const;
  // The same, started in the background.
  std::unique_ptr<ChildRun> start(const std::vector<std::string>& args,
                                  const RunOptions& options = {}) const;
  // vestragen-inspect, from the same working directory against the same server.
  RunResult inspect(const std::vector<std::string>& args, const RunOptions& options = {}) const;
  // Another built program (vestragen-site) run the same way.
  RunResult run_tool(const std::string& name, const std::vector<std::string>& args,
                     const RunOptions& options = {}) const;
  std::unique_ptr<ChildRun> start_tool(const std::string& name,
                                       const std::vector<std::string>& args,
                                       const RunOptions& options = {}) const;

 private:
  ScopedTempDir dir_;
};
