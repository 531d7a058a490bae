#include "content/package_scramble.h"

namespace content {

void ScrambleRun(char* data, size_t n, std::string_view key, int64_t phase) {
  const size_t length = key.size();
  size_t k = static_cast<size_t>(phase % static_cast<int64_t>(length));
  for (size_t i = 0; i < n; ++i) {
    data[i] = static_cast<char>(data[i] ^ key[k]);
    if (++k == length) k = 0;
  }
}

}  // namespace content
