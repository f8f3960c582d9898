#include "common/console.h"

#include <termios.h>
#include <unistd.h>

#include <string>

Console::Console() : Console(stdout, stdin, isatty(STDOUT_FILENO) != 0) {}

Console::Console(std::FILE* out, std::FILE* in, bool terminal)
    : out_(out, "standard output", "standard output"), in_(in), terminal_(terminal) {
  out_.remember_failures();
}

void Console::write_line(std::string_view text) {
  out_.write(text);
  out_.line_end();
}

void Console::fresh_line() {
  if (column() != 1) write_line();
}

void Console::clear_screen() {
  if (!terminal_) return;
  out_.write("\x1b[2J\x1b[H");
  out_.set_column(0);
}

void Console::go_to(int column, int row) {
  if (!terminal_) return;
  out_.write("\x1b[" + std::to_string(row) + ";" + std::to_string(column) + "H");
  out_.set_column(column - 1);
}

void Console::go_to_column(int column) {
  if (!terminal_) return;
  out_.write("\x1b[" + std::to_string(column) + "G");
  out_.set_column(column - 1);
}

int Console::column() const { return static_cast<int>(out_.column()) + 1; }

int Console::read_key() {
  out_.flush();
  const int fd = fileno(in_);
  termios saved{};
  const bool raw = isatty(fd) != 0 && tcgetattr(fd, &saved) == 0;
  if (raw) {
    termios t = saved;
    t.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &t);
  }
  unsigned char byte = 0;
  const ssize_t n = read(fd, &byte, 1);
  if (raw) tcsetattr(fd, TCSANOW, &saved);
  return n == 1 ? byte : -1;
}

bool Console::wait_for_enter() {
  out_.flush();
  const int fd = fileno(in_);
  for (;;) {
    unsigned char byte = 0;
    if (read(fd, &byte, 1) != 1) return false;
    if (byte == '\n') return true;
  }
}

void Console::show_and_wait(std::initializer_list<std::string_view> lines) {
  for (std::string_view line : lines) write_line(line);
  wait_for_enter();
}
