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
  const std::string to(new_text);  // either may point into this buffer
  const std::string_view used(buffer_.data(), static_cast<size_t>(length_));
  size_t at = used.find(from);
  if (at == std::string_view::npos) return;
  // One pass into a new buffer: every occurrence costs its own length, not
  // a move of the rest of the text.
  std::string result;
  result.reserve(used.size());
  size_t done = 0;
  for (; at != std::string_view::npos; at = used.find(from, done)) {
    result.append(used.substr(done, at - done));
    result.append(to);
    done = at + from.size();
  }
  result.append(used.substr(done));
  if (result.size() > static_cast<size_t>(std::numeric_limits<int>::max())) throw ArgumentException("StringBuilder too long");
  if (result.size() > buffer_.size()) buffer_.resize(result.size() + buffer_.size() / 2);
  std::memcpy(buffer_.data(), result.data(), result.size());
  length_ = static_cast<int>(result.size());
}

void StringBuilder::SetActualLength(int length) {
  if (length < 0) throw ArgumentException("Negative length");
  if (length > length_) Reserve(length - length_);
  length_ = length;
}

}  // namespace dac
