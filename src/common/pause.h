#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// All that a numerical routine needs of the console: when it cannot go on
// unattended (no convergence, an argument out of range) it shows its message
// lines and waits until the user presses Enter, then goes on.
class Pause {
 public:
  void show_and_wait(std::initializer_list<std::string_view> lines) {
    show_lines_and_wait(std::span<const std::string_view>(lines.begin(), lines.size()));
  }
  virtual void show_lines_and_wait(std::span<const std::string_view> lines) = 0;

 protected:
  ~Pause() = default;
};

// The pauses of work that may not wait for the user while it runs (a part
// of a loop shared among threads), kept in order to be shown once it is
// done: the user sees each message, and waits, as often as the work paused.
class KeptPauses final : public Pause {
 public:
  void show_lines_and_wait(std::span<const std::string_view> lines) override {
    kept_.emplace_back(lines.begin(), lines.end());
  }
  void show_kept(Pause& pause) const {
    for (const std::vector<std::string>& message : kept_) {
      const std::vector<std::string_view> lines(message.begin(), message.end());
      pause.show_lines_and_wait(lines);
    }
  }
  std::size_t count() const { return kept_.size(); }

 private:
  std::vector<std::vector<std::string>> kept_;
};
