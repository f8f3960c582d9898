#pragma once

#include <initializer_list>
#include <string_view>

// All that a numerical routine needs of the console: when it cannot go on
// unattended (no convergence, an argument out of range) it shows its message
// lines and waits until the user presses Enter, then goes on.
class Pause {
 public:
  virtual void show_and_wait(std::initializer_list<std::string_view> lines) = 0;

 protected:
  ~Pause() = default;
};
