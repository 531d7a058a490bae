// The library's exception classes and its one assertion macro.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace dac {

// What a message quotes of outside text: the text itself when short, else
// its first 64 characters and "...". A message never grows with its input.
std::string Excerpt(std::string_view text);

// printf-style formatting into a std::string; the format must be a literal.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

// Root of every error the library raises: a message, nothing else.
class Exception : public std::exception {
 public:
  Exception() = default;
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// A value that cannot be converted to the requested kind.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A broken internal invariant. The message is the text followed by the
// source unit and line: "text (unit, line n)".
class EAssertionFailed : public Exception {
 public:
  EAssertionFailed(const std::string& text, const char* file, int line);
  const std::string& Text() const { return text_; }
  const std::string& Unit() const { return unit_; }
  int Line() const { return line_; }

 private:
  std::string text_;
  std::string unit_;
  int line_;
};

class ArgumentException : public Exception {
 public:
  using Exception::Exception;
};

class NotSupportedException : public Exception {
 public:
  using Exception::Exception;
};

// A system resource (a timer, say) that could not be had.
class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
};

// A COM-style failure carrying its HRESULT (E_INVALIDARG is 0x80070057).
class EOleSysError : public Exception {
 public:
  EOleSysError(std::string message, uint32_t error_code) : Exception(std::move(message)), error_code_(error_code) {}
  uint32_t ErrorCode() const { return error_code_; }

 private:
  uint32_t error_code_;
};

// An operating-system failure carrying the system's error code.
class EOSError : public Exception {
 public:
  EOSError(std::string message, uint32_t error_code) : Exception(std::move(message)), error_code_(error_code) {}
  uint32_t ErrorCode() const { return error_code_; }

 private:
  uint32_t error_code_;
};

// A list or collection used out of bounds, or given a duplicate it refuses.
class EListError : public Exception {
 public:
  using Exception::Exception;
};

[[noreturn]] void AssertionFailed(const std::string& text, const char* file, int line);
// EListError "List index out of bounds (%d)".
[[noreturn]] void ListIndexError(int index);

}  // namespace dac

// On in every build. Raises EAssertionFailed naming the text, the unit and the line.
#define DAC_ASSERT(condition, text)                                   \
  do {                                                                \
    if (!(condition)) ::dac::AssertionFailed((text), __FILE__, __LINE__); \
  } while (0)
