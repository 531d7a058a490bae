#include "dac/store/runtime/string_builder.h"

#include <cstring>
#include <limits>

#include "dac/framework/classes/exceptions.h"

namespace dac {

StringBuilder::StringBuilder(int capacity) {
  if (capacity < 0) throw ArgumentException("Negative capacity");
  buffer_.resize(static_cast<size_t>(capacity));
}

StringBuilder::StringBuilder(std::string_view text, int capacity) : StringBuilder(capacity) { Append(text); }

void StringBuilder::Reserve(int n) {
  if (n <= Capacity() - length_) return;
  const int64_t capacity = static_cast<int64_t>(length_) + n + Capacity() / 2;
  if (capacity > std::numeric_limits<int>::max()) throw ArgumentException("StringBuilder too long");
  buffer_.resize(static_cast<size_t>(capacity));
}

void StringBuilder::Append(std::string_view text) {
  if (text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) throw ArgumentException("Text too long");
  const int n = static_cast<int>(text.size());
  if (n == 0) return;
  Reserve(n);
  std::memcpy(buffer_.data() + length_, text.data(), text.size());
  length_ += n;
}

void StringBuilder::Append(std::string_view text, int start_index, int count) {
  if (start_index < 0 || count < 0 || static_cast<size_t>(start_index) + static_cast<size_t>(count) > text.size())
    throw ArgumentException("Append range out of bounds");
  Append(text.substr(static_cast<size_t>(start_index), static_cast<size_t>(count)));
}

void StringBuilder::Append(char c) {
  Reserve(1);
  buffer_[static_cast<size_t>(length_++)] = c;
}

void StringBuilder::Append(char c, int repeat_count) {
  if (repeat_count <= 0) return;
  Reserve(repeat_count);
  std::memset(buffer_.data() + length_, c, static_cast<size_t>(repeat_count));
  length_ += repeat_count;
}

void StringBuilder::Append(const StringBuilder& other) {
  // Through a copy: other may be this builder, whose buffer Reserve may move.
  Append(other.ToString());
}

void StringBuilder::Insert(int index, std::string_view text) {
  if (index < 0 || index > length_) throw ArgumentException("Insert index out of bounds");
  if (text.empty()) return;
  const std::string copy(text);  // text may point into this buffer
  const int n = static_cast<int>(copy.size());
  Reserve(n);
  std::memmove(buffer_.data() + index + n, buffer_.data() + index, static_cast<size_t>(length_ - index));
  std::memcpy(buffer_.data() + index, copy.data(), copy.size());
  length_ += n;
}

void StringBuilder::Replace(std::string_view old_text, std::string_view new_text) {
  if (old_text.empty()) throw ArgumentException("Replace of an empty text");
  const std::string from(old_text);
  const std::string to(new_text);
  const int old_n = static_cast<int>(from.size());
  const int new_n = static_cast<int>(to.size());
  size_t at = 0;
  while (true) {
    const std::string_view used(buffer_.data(), static_cast<size_t>(length_));
    at = used.find(from, at);
    if (at == std::string_view::npos) break;
    const int pos = static_cast<int>(at);
    if (new_n > old_n) Reserve(new_n - old_n);
    const int tail = length_ - pos - old_n;
    std::memmove(buffer_.data() + pos + new_n, buffer_.data() + pos + old_n, static_cast<size_t>(tail));
    std::memcpy(buffer_.data() + pos, to.data(), to.size());
    length_ += new_n - old_n;
    at = static_cast<size_t>(pos + new_n);
  }
}

void StringBuilder::SetActualLength(int length) {
  if (length < 0) throw ArgumentException("Negative length");
  if (length > length_) Reserve(length - length_);
  length_ = length;
}

}  // namespace dac
