#include "input/load_progress.h"

#include <algorithm>
#include <string>

#include "common/console.h"
#include "input/text_reader.h"

namespace {

constexpr int kLineWidth = 16;  // "Loading 100 %" and room for nothing longer

}  // namespace

LoadProgress::LoadProgress(Console& console, std::int64_t file_bytes)
    : console_(console), file_bytes_(file_bytes), shown_(console.is_terminal() && file_bytes >= kSmallestShown) {}

int LoadProgress::percent_at(int pass, std::int64_t offset) const {
  const std::int64_t done = std::min(offset, file_bytes_);
  return static_cast<int>((pass * file_bytes_ + done) * 100 / (2 * file_bytes_));
}

void LoadProgress::update(int pass, const TextReader& file) {
  if (!shown_) return;
  const int percent = percent_at(pass, file.offset());
  // The loader's blanks between the passes overwrite the line: each pass shows it anew.
  if (percent != percent_ || pass != pass_) show(pass, percent);
}

void LoadProgress::update_through(int pass, std::int64_t offset) {
  if (!shown_) return;
  const int percent = percent_at(pass, offset);
  for (int p = pass != pass_ ? percent_at(pass, 0) : percent_ + 1; p <= percent; ++p) show(pass, p);
}

void LoadProgress::show(int pass, int percent) {
  pass_ = pass;
  percent_ = percent;
  const std::string text = "Loading " + std::to_string(percent) + " %";
  const int column = console_.column();
  console_.write(text + std::string(kLineWidth - text.size(), ' '));
  console_.go_to_column(column);
  console_.flush();
}

void LoadProgress::finish() {
  if (!shown_ || percent_ < 0) return;
  // The last row's line end is still unread when the values are in.
  if (percent_ != 100) show(1, 100);
  const int column = console_.column();
  console_.write(std::string(kLineWidth, ' '));
  console_.go_to_column(column);
  console_.flush();
}
