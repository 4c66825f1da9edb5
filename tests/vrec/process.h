#pragma once
// Runs a program with extra environment variables and collects its exit
// status and output; every run is bounded by timeout(1).

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace vrec::test {

struct RunResult {
  int status = -1;  // exit status, 128 + signal, or -1 when it could not start
  std::string out;
  std::string err;
};

inline std::string Tidemark() {
  return std::string(TIDEMARK_BINARY_DIR) + "/bin/tidemark";
}

inline RunResult RunProgram(const std::vector<std::string>& args,
                            const std::vector<std::string>& env, int timeout_seconds = 120,
                            const std::string& input = "") {
  int out[2], err[2], in[2];
  if (pipe(out) != 0 || pipe(err) != 0 || pipe(in) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {out[0], out[1], err[0], err[1], in[0], in[1]}) close(fd);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<std::string> full = {"timeout", "-k", "5", std::to_string(timeout_seconds)};
    full.insert(full.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : full) argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp("timeout", argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  close(in[0]);
  if (!input.empty() && write(in[1], input.data(), input.size()) < 0) {
  }
  close(in[1]);
  RunResult r;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open_fds = 2;
  char buf[65536];
  while (open_fds > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
        continue;
      }
      (i == 0 ? r.out : r.err).append(buf, static_cast<std::size_t>(n));
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

}  // namespace vrec::test
