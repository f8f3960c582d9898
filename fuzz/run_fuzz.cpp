// A whole run on a fuzzed data file. The first eight bytes choose the command
// line from fixed tables (every mode, titles, selections, reference row or
// column, histogram, contribution tables, error settings, the data file as
// its own error file, widths, the rank verdict); the rest, at most 4 KB so that matrices stay small, is written as
// the data file. The run happens in a private temporary directory, with the
// console writing to /dev/null and reading from an input that is already at
// its end, so every pause passes at once. RunError and bad_alloc are the orderly stops (main
// reports them); anything else escaping is a finding, and so is a completed
// run that wrote "Nan" or "Inf" into a file: numbers that overflow must stop
// the run instead of passing for results. An input of odd length runs with
// every loop shared between two threads, one of even length on one thread.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "common/console.h"
#include "common/run_error.h"
#include "common/program_run.h"
#include "control/program.h"
#include "fuzz_support.h"
#include "input/text_reader.h"

namespace {

using fuzz_support::quiet_console;

constexpr std::size_t kHeader = 8;
constexpr std::size_t kMaxData = 4096;

char private_directory[] = "/tmp/qor-fuzz-run-XXXXXX";

void remove_private_directory() {
  std::error_code ignored;
  std::filesystem::remove_all(private_directory, ignored);
}

void enter_private_directory() {
  static bool done = false;
  if (done) return;
  if (mkdtemp(private_directory) == nullptr || chdir(private_directory) != 0) {
    std::perror("qor run fuzz: private directory");
    std::abort();
  }
  std::atexit(remove_private_directory);
  done = true;
}

template <std::size_t N>
const char* pick(const char* const (&table)[N], std::uint8_t byte) {
  return table[byte % N];
}

const char* const kHistogram[] = {"1", "0.5", "0.1", "0.01", "2.5", "1E-3", "0", "", "-1", "1E30"};
const char* const kTables[] = {"1", "2", "3", "0", "9", ""};
const char* const kLists[] = {"[1]", "[2]", "[1..2]", "[2,4..5]", "[3..1]", "[1..40]", "[0]", "[", "[1,1,2..3]", "[]"};
const char* const kReport[] = {"out.txt", "out.txt*", "", "*", "tab.txt", "data.txt", "./data.txt", "longreportname.txt"};
const char* const kMode[] = {"",      "S",     "T",     "E",      "B",      "TS",   "ES",   "BS",
                             "10:4",  "S14:6", "E12:-1", "T25:17", "B0:0",  "-3:2", "S7:-5", "E30:20"};
const char* const kErrors[] = {"", "0.002", "@1.5", "0.002%1.5", "1E-30", "1E30", "0", "0.1@10", "-0.5", "1E-4000", "@-2"};
const char* const kSteps[] = {"", "1", "2", "3", "0", "-1", "100", "32767"};
const char* const kReference[] = {"", "R1", "C1", "R2", "C2", "R0", "C-1", "R99"};

std::vector<std::string> command_line(const std::uint8_t* h) {
  std::string p1 = "data.txt";
  const std::uint8_t keys = h[0];
  if (keys & 0x01) p1 += ",TOR";
  if (keys & 0x02) p1 += ",TOC";
  if (keys & 0x04) p1 += std::string(",TG") + pick(kHistogram, h[1]);
  if (keys & 0x08) p1 += std::string(",TW") + pick(kTables, h[1] >> 4);
  if (keys & 0x10) p1 += ",CRC";
  if (keys & 0x20) p1 += ",NS";
  if (keys & 0x40) p1 += std::string(",R") + pick(kLists, h[2]);
  if (keys & 0x80) p1 += std::string(",C") + pick(kLists, h[2] >> 4);
  // The reference table uses the low bits of h[7]; its top bit asks for the rank verdict.
  if (h[7] & 0x80) p1 += ",RANK";
  // The steps use the low bits of h[6]; its top bit reads the data file as its own error file.
  if (h[6] & 0x80) p1 += ",ERR=data.txt";
  std::vector<std::string> params{"qor", p1, pick(kReport, h[3]), pick(kMode, h[4]), pick(kErrors, h[5]),
                                  pick(kSteps, h[6]), pick(kReference, h[7])};
  // Two to six parameters: the trailing ones may be missing.
  params.resize(3 + (h[3] >> 4) % 5);
  return params;
}

void check_every_value_is_finite() {
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    if (!entry.is_regular_file() || entry.path().filename() == "data.txt") continue;
    std::FILE* f = std::fopen(entry.path().c_str(), "rb");
    if (f == nullptr) continue;
    std::string text;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
    for (const char* bad : {"Nan", "Inf"})
      if (text.find(bad) != std::string::npos) {
        std::fprintf(stderr, "qor run fuzz: %s holds %s\n", entry.path().c_str(), bad);
        std::abort();
      }
  }
}

void remove_outputs() {
  for (const auto& entry : std::filesystem::directory_iterator("."))
    if (entry.path().filename() != "data.txt") {
      std::error_code ignored;
      std::filesystem::remove_all(entry.path(), ignored);
    }
}

void write_data_file(const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen("data.txt", "wb");
  if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
    std::perror("qor run fuzz: data.txt");
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader || size > kHeader + kMaxData) return 0;
  const std::vector<std::string> params = command_line(data);
  enter_private_directory();
  write_data_file(data + kHeader, size - kHeader);
  remove_outputs();
  ProgramRun s(quiet_console(), size % 2 == 1 ? 2 : 1);
  s.workers.set_work_per_part(0);
  try {
    run_program(s, params);
    check_every_value_is_finite();
  } catch (const RunError&) {
  } catch (const std::bad_alloc&) {
  }
  quiet_console().flush();
  return 0;
}
