// The dataset framework's errors: database errors that name the component
// they concern, and the silent abort.
#pragma once

#include <string>

#include "dac/framework/classes/exceptions.h"

namespace dac {

class TComponent;

class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// Ends an operation without a message: the application's exception hook
// ignores it.
class EAbort : public Exception {
 public:
  using Exception::Exception;
};

[[noreturn]] void Abort();

// "<Name>: <text>" for a named component, else the bare text.
[[noreturn]] void DatabaseError(const std::string& text, const TComponent* component = nullptr);
// The same with printf-style formatting; the format must be a literal.
[[noreturn]] void DatabaseErrorFmt(const TComponent* component, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

}  // namespace dac
