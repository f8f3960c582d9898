#include "common/console.h"

#include <termios.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <string>

#include "common/run_error.h"
#include "common/text.h"

namespace {

// The IBM PC character set (code page 437), bytes 128 to 255, as Unicode
// code points, sixteen to a row.
constexpr std::array<char32_t, 128> kCodePage437 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Every code point of the table lies below U+10000: two or three bytes.
std::string utf8_of(char32_t code_point) {
  std::string bytes;
  if (code_point < 0x800) {
    bytes += static_cast<char>(0xC0 | (code_point >> 6));
  } else {
    bytes += static_cast<char>(0xE0 | (code_point >> 12));
    bytes += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
  }
  bytes += static_cast<char>(0x80 | (code_point & 0x3F));
  return bytes;
}

const std::array<std::string, 128>& utf8_of_code_page_437() {
  static const std::array<std::string, 128> texts = [] {
    std::array<std::string, 128> t;
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = utf8_of(kCodePage437[i]);
    return t;
  }();
  return texts;
}

bool names_utf8(std::string_view locale) {
  const std::string upper = ascii_upper(locale);
  return upper.find("UTF-8") != std::string::npos || upper.find("UTF8") != std::string::npos;
}

bool standard_output_is_terminal() { return isatty(STDOUT_FILENO) != 0; }

bool environment_names_utf8() {
  return locale_names_utf8(std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG"));
}

}  // namespace

bool locale_names_utf8(const char* lc_all, const char* lc_ctype, const char* lang) {
  for (const char* value : {lc_all, lc_ctype, lang})
    if (value != nullptr && *value != '\0') return names_utf8(value);
  return false;
}

Console::Console() : Console(standard_output_is_terminal()) {}

Console::Console(bool terminal) : Console(stdout, stdin, terminal, terminal && environment_names_utf8()) {}

Console::Console(std::FILE* out, std::FILE* in, bool terminal, bool utf8, std::FILE* err)
    : out_(out, "standard output", "standard output"), in_(in), err_(err), terminal_(terminal) {
  out_.remember_failures();
  if (utf8) out_.translate_high_bytes(&utf8_of_code_page_437());
}

Console::Console(std::vector<std::string>& log)
    : out_(TextWriter::discarding("standard output", "standard output")),
      in_(nullptr),
      err_(nullptr),
      log_(&log),
      terminal_(false) {}

Console::~Console() = default;

void Console::write_line(std::string_view text) {
  out_.write(text);
  out_.line_end();
}

void Console::warn(std::string_view line) {
  if (log_ != nullptr) {
    log_->emplace_back(line);
    return;
  }
  // Standard output first, so that on a terminal the warning follows what
  // was printed before it; on a line of its own there, also when standard
  // output stands in the middle of one (after the loader's blanks).
  out_.flush();
  const bool mid_line = terminal_ && column() != 1 && isatty(fileno(err_)) != 0;
  std::fprintf(err_, "%sqor: %.*s\n", mid_line ? "\n" : "", static_cast<int>(line.size()), line.data());
  std::fflush(err_);
  if (mid_line) {
    // Standard output goes on below the warning, in the column it stood in.
    go_to_column(column());
    out_.flush();
  }
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

void Console::show_progress(std::string_view stage, std::int64_t count, std::int64_t total) {
  if (!terminal_) return;  // a file or pipe gets no overwritten text
  std::string text(stage);
  if (total > 0) text += " " + std::to_string(count) + "/" + std::to_string(total);
  text += "       ";
  if (text.size() < progress_width_) text.append(progress_width_ - text.size(), ' ');
  progress_width_ = text.size();
  const int start = column();
  out_.write(text);
  go_to_column(start);
  out_.flush();
}

void Console::count_line(std::string_view stage, std::int64_t count, std::int64_t total) {
  if (terminal_) {
    show_progress(stage, count, total);
    return;
  }
  write_line(std::to_string(count) + "/" + std::to_string(total));
  flush();
}

void Console::end_progress() {
  if (progress_width_ == 0) return;
  const int start = column();
  out_.write(std::string(progress_width_, ' '));
  go_to_column(start);
  progress_width_ = 0;
}

int Console::column() const { return static_cast<int>(out_.column()) + 1; }

int Console::read_key() {
  out_.flush();
  if (in_ == nullptr) return -1;
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
  if (in_ == nullptr) return false;
  const int fd = fileno(in_);
  for (;;) {
    unsigned char byte = 0;
    if (read(fd, &byte, 1) != 1) return false;
    if (byte == '\n') return true;
  }
}

void Console::show_lines_and_wait(std::span<const std::string_view> lines) {
  if (log_ != nullptr) {
    for (std::string_view line : lines) log_->emplace_back(line);
    return;
  }
  // A pause's message stands on lines of its own, below a progress text.
  if (progress_width_ > 0) {
    end_progress();
    write_line();
  }
  for (std::string_view line : lines) write_line(line);
  wait_for_enter();
}
