#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// A text channel open for writing: a file or standard output. Bytes go out
// unchanged (unless the console asks for its characters to be translated);
// every line end is CR LF. A failed write, flush or close throws
// RunError with the system's error number.
class TextWriter {
 public:
  // Wraps an already open stream (standard output); never closes it.
  TextWriter(std::FILE* stream, std::string name, std::string role);
  // Creates (or replaces) the file at path; role names it in error reports,
  // for example "report file".
  static TextWriter create(const std::string& path, const std::string& role);
  // Opens the file at path for writing at its end (creating it when missing).
  static TextWriter append(const std::string& path, const std::string& role);
  // Text kept in memory: every byte is added to `text`, which must outlive
  // the writer (the library's copy of what a report would hold).
  static TextWriter into(std::string& text, std::string name, std::string role);
  // A channel that drops what it is given: the library's console, whose
  // output nobody reads.
  static TextWriter discarding(std::string name, std::string role);

  TextWriter(TextWriter&& other) noexcept;
  TextWriter& operator=(TextWriter&&) = delete;
  TextWriter(const TextWriter&) = delete;
  ~TextWriter();

  void write(std::string_view text);
  void write(char c) { write(std::string_view(&c, 1)); }
  // The text right-aligned in width: blanks in front up to width, never cut.
  void write_right(std::string_view text, int width);
  void write_blanks(int count);
  void line_end();
  void flush();
  void close();

  // From now on a failed write or flush is remembered instead of stopping the
  // run, and later output is dropped: for standard output, whose reader may
  // go away (a pager quit early, "| head") while the run still has files to
  // finish.
  void remember_failures() { remember_failures_ = true; }
  // The error number of the first failed write, 0 when every write went out.
  int failure() const { return failure_; }

  // From now on every byte 128..255 goes out as texts[byte - 128] instead:
  // the console on a terminal that expects another character set. Null
  // stops it. The column still counts one per byte given, since each byte
  // is one character on the screen.
  void translate_high_bytes(const std::array<std::string, 128>* texts) { high_bytes_ = texts; }

  // Characters written since the last line end.
  std::int64_t column() const { return column_; }
  // After a cursor move on the console the count restarts at the new column.
  void set_column(std::int64_t column) { column_ = column; }
  // True at the start of a line and after a blank: what is written next
  // stands apart from what came before.
  bool after_blank() const { return column_ == 0 || last_ == ' '; }
  const std::string& name() const { return name_; }
  std::FILE* stream() const { return stream_; }

 private:
  TextWriter(std::FILE* stream, std::string name, std::string role, bool owned);
  // fopen with the mode; a failure throws "cannot <action> <role> ...".
  static TextWriter open(const std::string& path, const char* mode, const char* action, const std::string& role);
  // Throws, or with remember_failures records the error number and returns.
  void fail(const char* action);
  bool put(std::string_view bytes);

  std::FILE* stream_;
  // Instead of the stream: the text the bytes go to, or none (dropped).
  std::string* memory_ = nullptr;
  bool in_memory_ = false;
  std::string name_;
  std::string role_;
  bool owned_;
  bool remember_failures_ = false;
  int failure_ = 0;
  std::int64_t column_ = 0;
  char last_ = '\n';  // the last byte given to write
  const std::array<std::string, 128>* high_bytes_ = nullptr;
};
