// The error of the library's XML writer and reader: a message, nothing else.
#pragma once

#include "dac/framework/classes/exceptions.h"

namespace dac {

class XmlException : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace dac
