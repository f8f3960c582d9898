#pragma once

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace qor_test {

// qor started with the given parameters, in the working directory, on a
// pseudo-terminal of the given size; seen collects the screen output. Each
// entry of env is "NAME=value" (set) or "NAME" (removed) for the program.
struct Pty {
  Pty(unsigned short columns, unsigned short rows, std::vector<std::string> args = {},
      const std::vector<std::string>& env = {}) {
    args.insert(args.begin(), QOR_BINARY);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    winsize size{};
    size.ws_col = columns;
    size.ws_row = rows;
    pid = forkpty(&fd, nullptr, nullptr, &size);
    if (pid == 0) {
      for (const auto& e : env) {
        const std::size_t equals = e.find('=');
        if (equals == std::string::npos) {
          unsetenv(e.c_str());
        } else {
          setenv(e.substr(0, equals).c_str(), e.c_str() + equals + 1, 1);
        }
      }
      execv(QOR_BINARY, argv.data());
      _exit(121);
    }
  }
  ~Pty() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (fd >= 0) close(fd);
  }
  // False once the terminal has closed.
  bool read_some(int timeout_ms) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return true;
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) seen.append(buffer, static_cast<std::size_t>(n));
    return n > 0;
  }
  // Reads until each text has appeared, in order, since the last mark. The
  // deadlines only keep a broken build from hanging the suite.
  bool wait_for(const std::vector<std::string>& texts) {
    for (const auto& text : texts) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
      while (seen.find(text, mark) == std::string::npos)
        if (std::chrono::steady_clock::now() > deadline || !read_some(100)) return false;
      mark = seen.find(text, mark) + text.size();
    }
    return true;
  }
  bool press(const std::string& keys) {
    return write(fd, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size());
  }
  // Drains the output until the program ends; its exit status, or -1.
  int exit_status() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (int status = 0; std::chrono::steady_clock::now() < deadline; read_some(50)) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
    }
    return -1;
  }

  pid_t pid = -1;
  int fd = -1;
  std::string seen;
  std::size_t mark = 0;
};

}  // namespace qor_test
