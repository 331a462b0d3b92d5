#include "support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "config_tool/config_tool.h"
#include "support/test_db.h"

extern char** environ;

struct ChildRun::Reader {
  std::thread thread;
};

ChildRun::ChildRun(const std::string& program, const std::vector<std::string>& args,
                   const RunOptions& options) {
  int out_pipe[2], err_pipe[2], in_pipe[2];
  if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0 || ::pipe(in_pipe) != 0) {
    throw std::runtime_error("pipe failed");
  }
  std::vector<std::string> argv_text = options.prefix;
  argv_text.push_back(program);
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::dup2(in_pipe[0], 0);
    ::dup2(out_pipe[1], 1);
    ::dup2(err_pipe[1], 2);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
      ::close(fd);
    }
    if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
    for (const auto& e : options.env) ::putenv(const_cast<char*>(e.c_str()));
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  if (!options.input.empty()) {
    [[maybe_unused]] auto n = ::write(in_pipe[1], options.input.data(), options.input.size());
  }
  ::close(in_pipe[1]);
  out_fd_ = out_pipe[0];
  err_fd_ = err_pipe[0];
  reader_ = new Reader;
  reader_->thread = std::thread([this] {
    pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    std::string* sinks[2] = {&result_.out, &result_.err};
    int open_fds = 2;
    while (open_fds > 0) {
      if (::poll(fds, 2, -1) < 0) continue;
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        char buf[65536];
        const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
        if (n > 0) {
          sinks[i]->append(buf, static_cast<std::size_t>(n));
        } else {
          ::close(fds[i].fd);
          fds[i].fd = -1;
          --open_fds;
        }
      }
    }
  });
}

ChildRun::~ChildRun() {
  if (!waited_) wait();
  delete reader_;
}

void ChildRun::signal(int signal_number) const { ::kill(pid_, signal_number); }

bool ChildRun::ended() {
  if (!reaped_ && ::waitpid(pid_, &wait_status_, WNOHANG) == pid_) reaped_ = true;
  return reaped_;
}

RunResult ChildRun::wait() {
  if (waited_) return result_;
  waited_ = true;
  reader_->thread.join();
  if (!reaped_) ::waitpid(pid_, &wait_status_, 0);
  reaped_ = true;
  const int status = wait_status_;
  result_.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result_;
}

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options) {
  return ChildRun(program, args, options).wait();
}

std::string built_program(const std::string& name) {
  return std::string(VESTRAGEN_BINARY_DIR) + "/" + name;
}

ProgramSite::ProgramSite() {
  std::filesystem::create_directories(cwd());
  std::filesystem::create_directories(dir_.path() + "/files");
}

void ProgramSite::write_config(const std::string& login, const std::string& password,
                               const std::string& server, const std::string& schema) {
  std::vector<std::string> args = {"vestragen-config", "--file", config_path(), "setup",
                                   login, password, server, schema};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::FILE* sink = std::tmpfile();
  const int status = config_tool_main(static_cast<int>(args.size()), argv.data(), sink, sink);
  std::fclose(sink);
  if (status != 0) throw std::runtime_error("vestragen-config setup failed");
}

void ProgramSite::write_test_config(const std::string& schema) {
  write_config(kTestUser, kTestPassword, "localhost", schema);
}

namespace {
// The site's working directory and the test server, unless the test sets its own.
RunOptions site_options(const RunOptions& options, const std::string& cwd) {
  RunOptions o = options;
  if (o.cwd.empty()) o.cwd = cwd;
  const TestServer& server = test_server();
  // The test's own settings come later and win.
  o.env.insert(o.env.begin(),
               {"MYSQL_UNIX_PORT=" + server.socket, "MYSQL_TCP_PORT=" + server.port});
  return o;
}
}  // namespace

RunResult ProgramSite::run(const std::vector<std::string>& args,
                           const RunOptions& options) const {
  return run_program(built_program("vestragen"), args, site_options(options, cwd()));
}

RunResult ProgramSite::inspect(const std::vector<std::string>& args,
                               const RunOptions& options) const {
  return run_program(built_program("vestragen-inspect"), args, site_options(options, cwd()));
}

std::unique_ptr<ChildRun> ProgramSite::start(const std::vector<std::string>& args,
                                             const RunOptions& options) const {
  return std::make_unique<ChildRun>(built_program("vestragen"), args,
                                    site_options(options, cwd()));
}

RunResult ProgramSite::run_tool(const std::string& name, const std::vector<std::string>& args,
                                const RunOptions& options) const {
  return run_program(built_program(name), args, site_options(options, cwd()));
}

std::unique_ptr<ChildRun> ProgramSite::start_tool(const std::string& name,
                                                  const std::vector<std::string>& args,
                                                  const RunOptions& options) const {
  return std::make_unique<ChildRun>(built_program(name), args, site_options(options, cwd()));
}
