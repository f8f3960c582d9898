#pragma once

#include <cstdint>

class Console;
class TextReader;

// The loading percentage of a large data file, shown on a terminal at the
// cursor and overwritten in place, as the elimination shows its diagonal.
// The counting pass fills the first half, the value pass the second. Pipes
// and files get nothing, and neither do files small enough to load at once,
// so what they see stays as it always was.
class LoadProgress {
 public:
  // Files below a megabyte load too fast for a progress line.
  static constexpr std::int64_t kSmallestShown = std::int64_t{1} << 20;

  LoadProgress(Console& console, std::int64_t file_bytes);
  LoadProgress(const LoadProgress&) = delete;
  LoadProgress& operator=(const LoadProgress&) = delete;

  // pass 0 counts, pass 1 reads the values; file tells how far it has come.
  void update(int pass, const TextReader& file);
  // When the text before offset has been read by several readers at once:
  // every percentage from the last one shown to the one reached, so that the
  // line counts up as it does for one reader.
  void update_through(int pass, std::int64_t offset);
  // Whether the percentage is shown at all (a terminal and a large file).
  bool shown() const { return shown_; }
  // Blanks out the line once the values are in, so the next stage's text
  // stands alone.
  void finish();

 private:
  int percent_at(int pass, std::int64_t offset) const;
  void show(int pass, int percent);

  Console& console_;
  std::int64_t file_bytes_;
  bool shown_;
  int pass_ = -1;
  int percent_ = -1;
};
