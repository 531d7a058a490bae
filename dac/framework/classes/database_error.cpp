#include "dac/framework/classes/database_error.h"

#include <cstdarg>

#include "dac/framework/classes/component.h"

namespace dac {

void Abort() { throw EAbort("Operation aborted"); }

void DatabaseError(const std::string& text, const TComponent* component) {
  if (component && !component->Name().empty()) throw EDatabaseError(component->Name() + ": " + text);
  throw EDatabaseError(text);
}

void DatabaseErrorFmt(const TComponent* component, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatV(format, args);
  va_end(args);
  DatabaseError(text, component);
}

}  // namespace dac
