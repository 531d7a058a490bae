#include "server/quiz/request_numbers.h"

#include <optional>
#include <string>

#include "platform/ascii.h"

namespace server {

int32_t RequiredNumber(const content::TRequestMap& map, std::string_view name) {
  const std::string value = map.GetValue(name);
  const std::optional<int32_t> number = plat::ParseInt(value);
  if (!number) throw TRequestNumberError("'" + value + "' is not a valid integer value");
  return *number;
}

int32_t NumberOr(const content::TRequestMap& map, std::string_view name, int32_t fallback) {
  return plat::ParseIntOr(map.GetValue(name), fallback);
}

}  // namespace server
