#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace qor_test {

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;  // standard error, where it was collected
};

// The process's environment with the given "NAME=value" entries in place of
// any of the same names.
inline std::vector<std::string> environment_with(const std::vector<std::string>& entries) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& own : entries) {
      const std::string name = own.substr(0, own.find('=') + 1);
      replaced = replaced || entry.compare(0, name.size(), name) == 0;
    }
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), entries.begin(), entries.end());
  return env;
}

// Runs the built qor in the current directory with stdin at end of input,
// collecting standard output; `environment` entries ("NAME=value") are added.
inline RunResult run_qor(const std::vector<std::string>& args, const std::vector<std::string>& environment = {}) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  std::vector<std::string> argv_strings{QOR_BINARY};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_strings) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_strings = environment_with(environment);
  std::vector<char*> envp;
  for (auto& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, QOR_BINARY, &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  RunResult result;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    result.out.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipe_fds[0]);
  if (spawned != 0) return result;
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  return result;
}

// Runs the built qor with standard output on a pipe that is closed as soon as
// the first line has come through, as "| head -1" does; out holds what was
// read, err the whole standard error.
inline RunResult run_qor_closing_output_after_first_line(const std::vector<std::string>& args) {
  int out_fds[2];
  int err_fds[2];
  if (pipe(out_fds) != 0) return {};
  if (pipe(err_fds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_fds[1], 2);
  posix_spawn_file_actions_addclose(&actions, out_fds[0]);
  posix_spawn_file_actions_addclose(&actions, err_fds[0]);
  std::vector<std::string> argv_strings{QOR_BINARY};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_strings) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, QOR_BINARY, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out_fds[1]);
  close(err_fds[1]);
  RunResult result;
  char buffer[256];
  while (result.out.find('\n') == std::string::npos) {
    const ssize_t n = read(out_fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    result.out.append(buffer, static_cast<std::size_t>(n));
  }
  close(out_fds[0]);
  for (;;) {
    const ssize_t n = read(err_fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    result.err.append(buffer, static_cast<std::size_t>(n));
  }
  close(err_fds[0]);
  if (spawned != 0) return result;
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  return result;
}

}  // namespace qor_test
