#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A string of fixed capacity: assigning a longer text keeps its first
// characters up to the capacity, as every string setting of a run does.
template <std::size_t Capacity>
class BoundedString {
 public:
  static constexpr std::size_t capacity = Capacity;

  BoundedString() = default;
  BoundedString(std::string_view text) { assign(text); }  // NOLINT: implicit by design
  BoundedString& operator=(std::string_view text) {
    assign(text);
    return *this;
  }

  void assign(std::string_view text) { text_.assign(text.substr(0, Capacity)); }
  const std::string& str() const { return text_; }
  std::string_view view() const { return text_; }
  operator std::string_view() const { return text_; }  // NOLINT
  std::size_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }
  char operator[](std::size_t i) const { return text_[i]; }

  friend bool operator==(const BoundedString& a, std::string_view b) { return a.view() == b; }

 private:
  std::string text_;
};

using String255 = BoundedString<255>;
