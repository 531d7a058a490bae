#include "server/http/reply_sink.h"

namespace server {

bool TReplySink::Write(std::string_view bytes) {
  if (failing_ || closed_) return false;
  bytes_.append(bytes);
  return true;
}

}  // namespace server
