// bench_run_measured: runs one program and reports its wall time, its CPU time and peak
// resident memory (from wait4's resource usage, the child alone) and its exit status on one
// line:
//   wall_seconds=1.234567 cpu_seconds=0.123456 max_rss_kb=5120 status=0
//
//   bench_run_measured [--cwd DIR] [--stdin FILE] [--stdout FILE] -- PROGRAM [ARG ...]
//
// A program killed by a signal reports status 128 + the signal number; one that cannot be
// started, 127. The runner itself exits 0 once it has reported, 2 on a bad command line.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

[[noreturn]] void usage() {
  std::fprintf(stderr,
               "usage: bench_run_measured [--cwd DIR] [--stdin FILE] [--stdout FILE] -- "
               "PROGRAM [ARG ...]\n");
  std::exit(2);
}

// In the child: puts FILE on descriptor target, or ends the child.
void redirect(const char* file, int flags, int target) {
  const int fd = open(file, flags, 0644);
  if (fd < 0 || dup2(fd, target) < 0) {
    std::fprintf(stderr, "bench_run_measured: %s: %s\n", file, std::strerror(errno));
    _exit(127);
  }
  close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  const char* cwd = nullptr;
  const char* in = "/dev/null";
  const char* out = nullptr;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view flag = argv[i];
    if (flag == "--") break;
    if (i + 1 >= argc) usage();
    if (flag == "--cwd")
      cwd = argv[++i];
    else if (flag == "--stdin")
      in = argv[++i];
    else if (flag == "--stdout")
      out = argv[++i];
    else
      usage();
  }
  if (i + 1 >= argc) usage();
  char** program = argv + i + 1;

  std::fflush(stdout);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) {
    std::fprintf(stderr, "bench_run_measured: fork: %s\n", std::strerror(errno));
    return 2;
  }
  if (pid == 0) {
    redirect(in, O_RDONLY, STDIN_FILENO);
    if (out != nullptr) redirect(out, O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO);
    if (cwd != nullptr && chdir(cwd) != 0) {
      std::fprintf(stderr, "bench_run_measured: %s: %s\n", cwd, std::strerror(errno));
      _exit(127);
    }
    execvp(program[0], program);
    std::fprintf(stderr, "bench_run_measured: %s: %s\n", program[0], std::strerror(errno));
    _exit(127);
  }
  int wait_status = 0;
  rusage usage_of_child{};
  pid_t waited;
  do {
    waited = wait4(pid, &wait_status, 0, &usage_of_child);
  } while (waited < 0 && errno == EINTR);
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  if (waited < 0) {
    std::fprintf(stderr, "bench_run_measured: wait4: %s\n", std::strerror(errno));
    return 2;
  }
  int status = 0;
  if (WIFEXITED(wait_status))
    status = WEXITSTATUS(wait_status);
  else if (WIFSIGNALED(wait_status))
    status = 128 + WTERMSIG(wait_status);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  std::printf("wall_seconds=%.6f cpu_seconds=%.6f max_rss_kb=%ld status=%d\n", wall.count(),
              seconds(usage_of_child.ru_utime) + seconds(usage_of_child.ru_stime),
              usage_of_child.ru_maxrss, status);
  return 0;
}
