// The help file loader, the menu builder and the menu itself. Input: byte 0
// gives the number of key bytes (0..63), bit 0 of byte 1 makes the console a
// terminal (cursor and screen sequences written), bit 1 one that shows bytes
// above 127 as UTF-8 characters, then the keys pressed at
// the menu and the prompts, then the help file's bytes. The keys arrive
// through a pipe that ends after them, so the menu always meets the end of
// its input.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/program_run.h"
#include "common/console.h"
#include "control/help_browser.h"
#include "fuzz_support.h"

namespace {

using fuzz_support::require;

std::FILE* key_stream(const std::uint8_t* keys, std::size_t count) {
  int fds[2];
  if (pipe(fds) != 0) std::abort();
  // At most 63 bytes: far below the pipe's capacity, so the write never blocks.
  if (count > 0 && write(fds[1], keys, count) != static_cast<ssize_t>(count)) std::abort();
  close(fds[1]);
  return fdopen(fds[0], "r");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size > 16384) return 0;
  const std::size_t key_count = std::min<std::size_t>(data[0] % 64, size - 2);
  const bool terminal = (data[1] & 1) != 0;
  const bool utf8 = (data[1] & 2) != 0;
  const std::uint8_t* keys = data + 2;
  const std::string file(reinterpret_cast<const char*>(keys + key_count), size - 2 - key_count);

  HelpState help;
  load_help_lines(help, file);
  require(help.lines.size() >= 2, "line list without head and final record");
  require(help.lines.back().empty(), "line list does not end with an empty record");
  for (const auto& line : help.lines) require(line.size() <= 80, "help line longer than 80 characters");

  build_help_menu(help);
  require(help.TMN >= 1 && help.TMN <= 36, "TMN outside 1..36");
  require(help.TM[static_cast<std::size_t>(help.TMN)].L == '0', "last menu entry is not the quit entry");
  require(help.STM.test('0'), "key 0 not accepted");
  for (int k = 1; k < help.TMN; ++k) require(help.STM.test(static_cast<unsigned char>(help.TM[static_cast<std::size_t>(k)].L)), "topic key not accepted");

  std::FILE* out = std::fopen("/dev/null", "w");
  std::FILE* in = key_stream(keys, key_count);
  {
    Console console(out, in, terminal, utf8);
    require(run_help_menu(console, help) == 0, "help menu status not 0");
  }
  std::fclose(in);
  std::fclose(out);
  return 0;
}
