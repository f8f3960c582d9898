#pragma once

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

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
  // What one look at the terminal found: output, nothing within the wait,
  // or the terminal closed.
  enum class Look { data, quiet, closed };
  Look read_some(int wait_ms) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, wait_ms) <= 0) return Look::quiet;
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return Look::closed;
    seen.append(buffer, static_cast<std::size_t>(n));
    return Look::data;
  }
  // Only keeps a broken build from hanging the suite: this many quiet looks
  // of 100 ms in a row, or this many reads in all, and the program has
  // failed. No clock is read: the tests never time anything.
  static constexpr int kQuietLooks = 1200;
  static constexpr int kMostReads = 1'000'000;
  // Reads until each text has appeared, in order, since the last mark.
  bool wait_for(const std::vector<std::string>& texts) {
    for (const auto& text : texts) {
      int quiet = 0;
      for (int reads = 0; seen.find(text, mark) == std::string::npos; ++reads) {
        const Look look = read_some(100);
        if (look == Look::closed || reads == kMostReads) return false;
        quiet = look == Look::quiet ? quiet + 1 : 0;
        if (quiet == kQuietLooks) return false;
      }
      mark = seen.find(text, mark) + text.size();
    }
    return true;
  }
  bool press(const std::string& keys) {
    return write(fd, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size());
  }
  // Drains the output until the program ends; its exit status, or -1.
  int exit_status() {
    int quiet = 0;
    for (int reads = 0, status = 0; reads < kMostReads && quiet < kQuietLooks; ++reads) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      const Look look = read_some(100);
      // A closed terminal answers at once: wait the look's 100 ms for the exit.
      if (look == Look::closed) poll(nullptr, 0, 100);
      quiet = look == Look::data ? 0 : quiet + 1;
    }
    return -1;
  }

  pid_t pid = -1;
  int fd = -1;
  std::string seen;
  std::size_t mark = 0;
};

}  // namespace qor_test
