#include <new>
#include <string>
#include <vector>

#include "common/run_error.h"
#include "common/run_state.h"
#include "control/console.h"
#include "control/program.h"

namespace {

// The last word of a run that stopped early: one line of its own on standard
// output. If standard output itself is what failed, the exit status still tells.
int report_failure(Console& console, const std::string& line, int status) {
  try {
    console.fresh_line();
    console.write_line(line);
    console.flush();
  } catch (...) {
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Console console;
  RunState state(console);
  const std::vector<std::string> params(argv, argv + argc);
  try {
    const int status = run_program(state, params);
    console.flush();
    return status;
  } catch (const RunError& e) {
    return report_failure(console, e.report_line(), e.number());
  } catch (const std::bad_alloc&) {
    return report_failure(console, "Runtime error 203: not enough memory for this run.", 203);
  }
}
