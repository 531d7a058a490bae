// The table a SELECT reads: the name after the first FROM that stands
// outside quotes and comments, as written (qualified "a.b" and quoted names
// included); "" when there is none or FROM is followed by no name.
#pragma once

#include <string>

namespace dac {

std::string GetTableNameFromSQL(const std::string& sql);

}  // namespace dac
