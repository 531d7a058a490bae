#include "dac/store/runtime/buffer.h"

#include <cstring>

#include "dac/framework/classes/exceptions.h"

namespace dac {

namespace {

bool InRange(size_t size, int offset, int count) {
  return offset >= 0 && count >= 0 && static_cast<size_t>(offset) + static_cast<size_t>(count) <= size;
}

}  // namespace

void Buffer::BlockCopy(const TBytes& source, int source_offset, TBytes& dest, int dest_offset, int count) {
  if (!InRange(source.size(), source_offset, count) || !InRange(dest.size(), dest_offset, count))
    throw ArgumentException("BlockCopy range out of bounds");
  if (count > 0) std::memmove(dest.data() + dest_offset, source.data() + source_offset, static_cast<size_t>(count));
}

}  // namespace dac
