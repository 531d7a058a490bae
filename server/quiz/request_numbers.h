// Numbers from request parameters. Every number is read strictly: an
// optional sign and decimal digits, nothing else, within 32 bits.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "content/request_map.h"

namespace server {

// A parameter that must be a number and is not. Handlers let it escape before
// they touch any session, so the request gets the "Invalid request" page.
class TRequestNumberError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// The parameter as a number; throws TRequestNumberError for a missing or
// malformed value.
int32_t RequiredNumber(const content::TRequestMap& map, std::string_view name);
// The parameter as a number; fallback for a missing or malformed value ("3x").
int32_t NumberOr(const content::TRequestMap& map, std::string_view name, int32_t fallback);

}  // namespace server
