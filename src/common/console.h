#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/pause.h"
#include "common/text_writer.h"

// True when the locale of character types names UTF-8 ("UTF-8" or "UTF8" in
// any case): the first of LC_ALL, LC_CTYPE and LANG that is set and not
// empty decides, as in the C library. Null stands for a variable not set.
bool locale_names_utf8(const char* lc_all, const char* lc_ctype, const char* lang);

// The one place that knows about the terminal. Text goes to standard output
// through a TextWriter (CR LF line ends); screen and cursor operations use
// ANSI sequences only when standard output is a terminal, so redirected
// output stays plain text. Keys and lines come from standard input.
//
// The program's texts are code page 437 bytes (the report's plus-minus, mu,
// sigma and squared signs, and whatever a help file holds). A terminal whose
// locale names UTF-8 would show every byte above 127 as a replacement sign,
// so there each of them goes out as its UTF-8 character; pipes, files and
// other terminals get the bytes as they are.
class Console final : public Pause {
 public:
  // The process's standard output and input; UTF-8 characters when standard
  // output is a terminal and the locale names UTF-8.
  Console();
  // Any streams (tests); terminal says whether escape sequences may be
  // written, utf8 whether bytes 128..255 go out as UTF-8 characters; err
  // receives the warnings.
  Console(std::FILE* out, std::FILE* in, bool terminal, bool utf8 = false, std::FILE* err = stderr);

  // The library's console: its output is dropped, nothing is read, and a
  // pause waits for nobody; the warnings and the pauses' lines are kept in
  // log instead.
  explicit Console(std::vector<std::string>& log);
  ~Console();

  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // Also handed to the writers of the result report and the contribution
  // tables when they write to standard output: they get the same characters.
  TextWriter& out() { return out_; }
  bool is_terminal() const { return terminal_; }
  // A console that went away (a closed pipe, a full disk) never stops the
  // run: its output is dropped from the first failed write on, and this
  // tells the error number of that write (0 when all went out).
  int output_failure() const { return out_.failure(); }

  void write(std::string_view text) { out_.write(text); }
  void write_line(std::string_view text = {});
  void flush() { out_.flush(); }

  // A warning beside the run's output: one line on standard error, after
  // "qor: ", so that nothing a script reads from standard output changes.
  void warn(std::string_view line);

  // Ends the current line unless the cursor already stands at its start.
  void fresh_line();

  void clear_screen();
  // Column and row counted from 1 on an 80 x 25 screen.
  void go_to(int column, int row);
  // Moves back to a column of the current line.
  void go_to_column(int column);
  // Cursor column, counted from 1, as followed from what was written.
  int column() const;

  // Progress on a terminal: one line written over in place from the column
  // where it stands, the stage and, with a total, "count/total" ("Diagonal
  // 3/50"), followed by seven blanks and as many more as cover a longer text
  // shown before. Nothing where standard output is not a terminal.
  void show_progress(std::string_view stage, std::int64_t count = 0, std::int64_t total = 0);
  // A count of a stage that has a line of its own elsewhere: in place on a
  // terminal, as show_progress; else the line "count/total".
  void count_line(std::string_view stage, std::int64_t count, std::int64_t total);
  // Blanks the progress text shown and puts the cursor back where it began,
  // so that what follows stands on a clean line. Nothing when none is shown.
  void end_progress();

  // One key press without echo and without Enter; -1 at the end of input.
  int read_key();
  // Waits for Enter: reads one line and discards it. False when the input
  // ended before a line end (a closed or redirected stdin never blocks).
  bool wait_for_enter();

  // The pause of the numerical routines: each line, then a wait for Enter.
  void show_lines_and_wait(std::span<const std::string_view> lines) override;
  using Pause::show_and_wait;

 private:
  // The process's streams, knowing whether standard output is a terminal.
  explicit Console(bool terminal);

  TextWriter out_;
  std::FILE* in_;
  std::FILE* err_;
  std::vector<std::string>* log_ = nullptr;
  bool terminal_;
  // Characters the progress text covers on its line; 0: none shown.
  std::size_t progress_width_ = 0;
};
