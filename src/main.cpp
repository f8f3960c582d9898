#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "common/console.h"
#include "common/run_error.h"
#include "common/program_run.h"
#include "control/program.h"

namespace {

// Standard error is the only channel left when standard output has failed.
void tell_standard_error(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

// The last word of a run that stopped early: one line of its own on standard
// output, and on standard error as well when standard output has failed.
int report_failure(Console& console, const std::string& line, int status) {
  console.fresh_line();
  console.write_line(line);
  console.flush();
  if (console.output_failure() != 0) tell_standard_error(line);
  return status;
}

// A run whose console went away still finished its files; the status says
// that not everything it printed was seen. A reader that closed the pipe
// ("| head -1") took what it wanted: that is no failure worth a word.
int finish(Console& console, int status) {
  console.flush();
  const int failure = console.output_failure();
  if (failure == 0 || failure == EPIPE) return status;
  tell_standard_error(RunError(failure, std::string("cannot write standard output: ") + std::strerror(failure) +
                                          ". The run went on; every file it writes is complete.")
                          .report_line());
  return status != 0 ? status : failure;
}

}  // namespace

int main(int argc, char** argv) {
  // A closed pipe must end the console output, not the process: the report
  // and the other files still have to be finished.
  std::signal(SIGPIPE, SIG_IGN);
  Console console;
  // The program's one environment variable: how many threads share the work.
  ProgramRun state(console, thread_count(std::getenv("QOR_THREADS")));
  const std::vector<std::string> params(argv, argv + argc);
  try {
    return finish(console, run_program(state, params));
  } catch (const RunError& e) {
    if (e.number() == kStoppedByCaller) {
      // Ctrl-C: the user knows why the run ended; standard output stays as it was.
      console.end_progress();
      console.flush();
      tell_standard_error("qor: run interrupted (Ctrl-C); the files written are complete, the report ends with a "
                          "line that says so.");
      return e.number();
    }
    return report_failure(console, e.report_line(), e.number());
  } catch (const std::bad_alloc&) {
    return report_failure(console, RunError(kNoMemory, "not enough memory for this run.").report_line(), kNoMemory);
  }
}
