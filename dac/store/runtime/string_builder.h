// Growable 8-bit text. Growing for n more characters when they do not fit
// makes the capacity used length + n + old capacity / 2, so appending one by
// one costs amortised constant time. The buffer and the used length may be
// read directly to pass the text on without a copy.
#pragma once

#include <string>
#include <string_view>

namespace dac {

class StringBuilder {
 public:
  explicit StringBuilder(int capacity = 16);
  StringBuilder(std::string_view text, int capacity);

  void Append(std::string_view text);
  // count characters from the 0-based start_index; ArgumentException when the range leaves text.
  void Append(std::string_view text, int start_index, int count);
  void Append(char c);
  void Append(char c, int repeat_count);
  void Append(const StringBuilder& other);
  // ArgumentException unless 0 <= index <= Length().
  void Insert(int index, std::string_view text);
  // Every occurrence, searched from the start and then from just after each
  // replacement; ArgumentException for an empty old_text.
  void Replace(std::string_view old_text, std::string_view new_text);
  // Grows by the rule when needed; the characters between the old and the
  // new length are whatever the buffer holds there.
  void SetActualLength(int length);

  int Length() const { return length_; }
  int Capacity() const { return static_cast<int>(buffer_.size()); }
  std::string ToString() const { return buffer_.substr(0, static_cast<size_t>(length_)); }
  const char* Data() const { return buffer_.data(); }
  char* Data() { return buffer_.data(); }

 private:
  // Makes room for n more characters.
  void Reserve(int n);

  std::string buffer_;  // its size is the capacity
  int length_ = 0;
};

}  // namespace dac
