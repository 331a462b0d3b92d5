#include "site/job_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// The signal handler's only ways out: a byte into the pipe wakes the loop's poll.
int signal_pipe[2] = {-1, -1};
volatile sig_atomic_t stop_signal = 0;

void on_signal(int number) {
  const int saved = errno;
  if (number != SIGCHLD && stop_signal == 0) stop_signal = number;
  const char byte = static_cast<char>(number);
  [[maybe_unused]] const ssize_t n = ::write(signal_pipe[1], &byte, 1);
  errno = saved;
}

// Where a child that could not become vestragen failed; sent to the runner through a pipe
// that a successful exec closes.
enum StartStage : int { kEnterDirectory = 1, kExecute = 2 };

struct Running {
  std::size_t job = 0;
  pid_t pid = -1;
  int out_fd = -1;      // -1: output read to its end
  std::string partial;  // output after the last line end
  bool reaped = false;
  int wait_status = 0;
  Clock::time_point start;
  bool term_sent = false;
  bool kill_sent = false;
  Clock::time_point kill_at;
};

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (std::string& t : texts)
    out.push_back(t.data());
  out.push_back(nullptr);
  return out;
}

// In the child: becomes vestragen, or reports where it failed and ends.
[[noreturn]] void become_job(const Job& job, const std::string& program, char** argv, char** envp,
                             int out_fd, int failure_fd) {
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  for (const int number : {SIGTERM, SIGINT, SIGHUP, SIGCHLD, SIGPIPE})
    ::signal(number, SIG_DFL);
  const int null_fd = ::open("/dev/null", O_RDONLY);
  if (null_fd >= 0) ::dup2(null_fd, 0);
  ::dup2(out_fd, 1);
  ::dup2(out_fd, 2);
  int failed[2] = {kEnterDirectory, 0};
  if (::chdir(job.directory.c_str()) == 0) {
    ::execve(program.c_str(), argv, envp);
    failed[0] = kExecute;
  }
  failed[1] = errno;
  [[maybe_unused]] const ssize_t n = ::write(failure_fd, failed, sizeof failed);
  ::_exit(failed[0] == kEnterDirectory ? 126 : 127);
}

// Starts the job's process. Returns its pid (or -1, with failure set, when there is none);
// failure is also set when the child could not become vestragen (it then ends at once).
pid_t start_job(const Job& job, const RunnerSettings& settings, const std::string& report,
                int& out_fd, std::string& failure) {
  std::vector<std::string> args = {settings.program, job.function, job.terminal_argument,
                                   job.path_argument, job.new_file ? "1" : "0"};
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "VESTRAGEN_REPORT=", 17) != 0) env.emplace_back(*e);
  }
  env.push_back("VESTRAGEN_REPORT=" + report);
  std::vector<char*> argv = pointers(args);
  std::vector<char*> envp = pointers(env);
  int out_pipe[2];
  int failure_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0) {
    failure = std::string("no pipe: ") + std::strerror(errno);
    return -1;
  }
  if (::pipe2(failure_pipe, O_CLOEXEC) != 0) {
    failure = std::string("no pipe: ") + std::strerror(errno);
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    return -1;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    become_job(job, settings.program, argv.data(), envp.data(), out_pipe[1], failure_pipe[1]);
  }
  ::close(out_pipe[1]);
  ::close(failure_pipe[1]);
  if (pid < 0) {
    failure = std::string("cannot start a process: ") + std::strerror(errno);
    ::close(out_pipe[0]);
    ::close(failure_pipe[0]);
    return -1;
  }
  int failed[2] = {0, 0};
  ssize_t n = 0;
  while ((n = ::read(failure_pipe[0], failed, sizeof failed)) < 0 && errno == EINTR) {
  }
  ::close(failure_pipe[0]);
  if (n == static_cast<ssize_t>(sizeof failed)) {
    failure = failed[0] == kEnterDirectory
                  ? "cannot enter the directory " + job.directory + ": " + std::strerror(failed[1])
                  : "cannot start " + settings.program + ": " + std::strerror(failed[1]);
  }
  ::fcntl(out_pipe[0], F_SETFL, ::fcntl(out_pipe[0], F_GETFL) | O_NONBLOCK);
  out_fd = out_pipe[0];
  return pid;
}

// Reads what the job printed; hands on every whole line. At the end of its output, or when
// end is set, the rest goes too and the pipe is closed.
void read_output(Running& r, RunnerEvents& events, bool end) {
  for (;;) {
    char buffer[65536];
    const ssize_t n = ::read(r.out_fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n > 0) {
      r.partial.append(buffer, static_cast<std::size_t>(n));
      std::size_t from = 0;
      for (std::size_t at; (at = r.partial.find('\n', from)) != std::string::npos; from = at + 1) {
        std::string_view line(r.partial.data() + from, at - from);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        events.output(r.job, line);
      }
      r.partial.erase(0, from);
      continue;
    }
    if (n < 0 && errno == EAGAIN && !end) return;
    // End of the output (or nothing more to wait for).
    if (!r.partial.empty()) events.output(r.job, r.partial);
    r.partial.clear();
    ::close(r.out_fd);
    r.out_fd = -1;
    return;
  }
}

int status_of(int wait_status) {
  if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
  return -1;
}

void stop_job(Running& r, const RunnerSettings& settings, Clock::time_point now) {
  if (r.term_sent) return;
  ::kill(r.pid, SIGTERM);
  r.term_sent = true;
  r.kill_at = now + settings.grace;
}

}  // namespace

void runner_signals_start() {
  if (::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::perror("vestragen-site: pipe");
    std::exit(2);
  }
  struct sigaction action {};
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_NOCLDSTOP;
  for (const int number : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
    ::sigaction(number, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

int runner_stop_signal() {
  return stop_signal;
}

std::string jobs_report_file(const RunnerSettings& settings, std::size_t job) {
  return settings.report_directory + "/" + std::to_string(job) + ".jsonl";
}

void jobs_run(const std::vector<Job>& jobs, const RunnerSettings& settings, RunnerEvents& events,
              std::vector<JobOutcome>& outcomes) {
  enum class State { kWaiting, kRunning, kDone };
  outcomes.assign(jobs.size(), JobOutcome{});
  std::vector<State> state(jobs.size(), State::kWaiting);
  std::vector<Running> running;
  bool stopping = false;

  const auto finish = [&](std::size_t job, JobOutcome outcome) {
    outcome.ended = std::chrono::system_clock::now();
    outcomes[job] = outcome;
    state[job] = State::kDone;
    events.ended(job, outcomes[job]);
  };

  for (;;) {
    const Clock::time_point now = Clock::now();
    if (stop_signal != 0 && !stopping) {
      stopping = true;
      for (Running& r : running)
        stop_job(r, settings, now);
    }
    if (!stopping) {
      for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (running.size() >= static_cast<std::size_t>(settings.parallel)) break;
        if (state[i] != State::kWaiting) continue;
        const int before = jobs[i].after;
        if (before >= 0 && state[static_cast<std::size_t>(before)] != State::kDone) continue;
        if (before >= 0 && !jobs[i].new_file && !outcomes[static_cast<std::size_t>(before)].ok()) {
          JobOutcome skipped;
          skipped.failure = "the job of line " + std::to_string(jobs[before].line) +
                            " for the same file did not succeed";
          finish(i, skipped);
          continue;
        }
        Running r;
        r.job = i;
        r.start = Clock::now();
        std::string failure;
        r.pid = start_job(jobs[i], settings, jobs_report_file(settings, i), r.out_fd, failure);
        if (r.pid < 0) {
          JobOutcome not_started;
          not_started.failure = failure;
          finish(i, not_started);
          continue;
        }
        outcomes[i].failure = failure;
        state[i] = State::kRunning;
        events.started(i);
        running.push_back(std::move(r));
      }
    }
    events.handed_on();
    if (running.empty()) {
      const bool waiting = std::find(state.begin(), state.end(), State::kWaiting) != state.end();
      if (stopping || !waiting) break;
      continue;
    }

    // Sleep until output, a signal, or the next deadline.
    int wait_ms = -1;
    for (const Running& r : running) {
      Clock::time_point at;
      if (r.term_sent && !r.kill_sent) {
        at = r.kill_at;
      } else if (!r.term_sent && settings.timeout.count() > 0) {
        at = r.start + settings.timeout;
      } else {
        continue;
      }
      const auto ms = std::chrono::ceil<std::chrono::milliseconds>(at - Clock::now()).count();
      const int bounded = static_cast<int>(std::clamp<long long>(ms, 0, 60000));
      wait_ms = wait_ms < 0 ? bounded : std::min(wait_ms, bounded);
    }
    std::vector<pollfd> fds = {{signal_pipe[0], POLLIN, 0}};
    for (const Running& r : running) {
      if (r.out_fd >= 0) fds.push_back({r.out_fd, POLLIN, 0});
    }
    if (::poll(fds.data(), fds.size(), wait_ms) < 0 && errno != EINTR) {
      std::perror("vestragen-site: poll");
    }
    char drained[64];
    while (::read(signal_pipe[0], drained, sizeof drained) > 0) {
    }

    for (Running& r : running) {
      if (r.out_fd >= 0) read_output(r, events, false);
    }
    int wait_status = 0;
    for (pid_t pid; (pid = ::waitpid(-1, &wait_status, WNOHANG)) > 0;) {
      for (Running& r : running) {
        if (r.pid != pid) continue;
        r.reaped = true;
        r.wait_status = wait_status;
        // What it printed is in the pipe; a process it left behind must not hold the job.
        if (r.out_fd >= 0) read_output(r, events, true);
      }
    }
    const Clock::time_point later = Clock::now();
    for (auto it = running.begin(); it != running.end();) {
      Running& r = *it;
      if (r.reaped && r.out_fd < 0) {
        JobOutcome outcome = outcomes[r.job];
        outcome.ran = true;
        outcome.status = status_of(r.wait_status);
        outcome.took = later - r.start;
        finish(r.job, outcome);
        it = running.erase(it);
        continue;
      }
      if (!r.reaped) {
        if (!r.term_sent && settings.timeout.count() > 0 && later >= r.start + settings.timeout) {
          outcomes[r.job].timed_out = true;
          stop_job(r, settings, later);
        } else if (r.term_sent && !r.kill_sent && later >= r.kill_at) {
          ::kill(r.pid, SIGKILL);
          r.kill_sent = true;
          outcomes[r.job].killed = true;
        }
      }
      ++it;
    }
  }

  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (state[i] != State::kWaiting) continue;
    JobOutcome stopped;
    stopped.failure = "the runner was stopped";
    finish(i, stopped);
  }
}
