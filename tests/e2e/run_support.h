#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
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

// Starts a program in the current directory with stdin at end of input and
// standard output (and, when err_fd >= 0, standard error) on the given
// descriptors; the other ends are closed in the child. `environment` entries
// ("NAME=value") are added to the process's own. Returns its pid, or -1.
inline pid_t spawn_program(const std::string& path, const std::vector<std::string>& args, int out_fd,
                           int out_other_end, int err_fd = -1, int err_other_end = -1,
                           const std::vector<std::string>& environment = {}) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  posix_spawn_file_actions_addclose(&actions, out_other_end);
  if (err_fd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
    if (err_other_end >= 0) posix_spawn_file_actions_addclose(&actions, err_other_end);
  }
  std::vector<std::string> argv_strings{path};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_strings) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_strings = environment_with(environment);
  std::vector<char*> envp;
  for (auto& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? pid : -1;
}

// Reads fd into text until the end, or until a line end has come when first_line_only.
inline void read_into(int fd, std::string& text, bool first_line_only = false) {
  char buffer[4096];
  while (!first_line_only || text.find('\n') == std::string::npos) {
    const ssize_t n = read(fd, buffer, first_line_only ? 256 : sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

inline int wait_for_status(pid_t pid) {
  if (pid < 0) return -1;
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

// Runs a program, collecting standard output.
inline RunResult run_program(const std::string& path, const std::vector<std::string>& args,
                             const std::vector<std::string>& environment = {}) {
  int out[2];
  if (pipe(out) != 0) return {};
  const pid_t pid = spawn_program(path, args, out[1], out[0], -1, -1, environment);
  close(out[1]);
  RunResult result;
  read_into(out[0], result.out);
  close(out[0]);
  result.status = wait_for_status(pid);
  return result;
}

// Runs a program, collecting standard output, and standard error through a
// file of its own (a second pipe read after the first could fill and stall).
inline RunResult run_program_with_errors(const std::string& path, const std::vector<std::string>& args,
                                         const std::vector<std::string>& environment = {}) {
  int out[2];
  if (pipe(out) != 0) return {};
  FILE* err = std::tmpfile();
  if (err == nullptr) {
    close(out[0]);
    close(out[1]);
    return {};
  }
  const pid_t pid = spawn_program(path, args, out[1], out[0], fileno(err), -1, environment);
  close(out[1]);
  RunResult result;
  read_into(out[0], result.out);
  close(out[0]);
  result.status = wait_for_status(pid);
  lseek(fileno(err), 0, SEEK_SET);
  read_into(fileno(err), result.err);
  std::fclose(err);
  return result;
}

// The built qor, collecting standard output and standard error.
inline RunResult run_qor_with_errors(const std::vector<std::string>& args,
                                     const std::vector<std::string>& environment = {}) {
  return run_program_with_errors(QOR_BINARY, args, environment);
}

// Runs a command line of /bin/sh (for redirections), collecting standard
// output and standard error.
inline RunResult run_shell_with_errors(const std::string& command) {
  return run_program_with_errors("/bin/sh", {"-c", command});
}

// Runs the built qor in the current directory with stdin at end of input,
// collecting standard output.
inline RunResult run_qor(const std::vector<std::string>& args, const std::vector<std::string>& environment = {}) {
  return run_program(QOR_BINARY, args, environment);
}

// Runs the built qor with standard output on a pipe that is closed as soon as
// the first line has come through, as "| head -1" does; out holds what was
// read, err the whole standard error.
inline RunResult run_qor_closing_output_after_first_line(const std::vector<std::string>& args) {
  int out[2];
  int err[2];
  if (pipe(out) != 0) return {};
  if (pipe(err) != 0) {
    close(out[0]);
    close(out[1]);
    return {};
  }
  const pid_t pid = spawn_program(QOR_BINARY, args, out[1], out[0], err[1], err[0]);
  close(out[1]);
  close(err[1]);
  RunResult result;
  read_into(out[0], result.out, /*first_line_only=*/true);
  close(out[0]);
  read_into(err[0], result.err);
  close(err[0]);
  result.status = wait_for_status(pid);
  return result;
}

}  // namespace qor_test
