#include "server/http/reply_sink.h"

bool TReplySink::Write(std::string_view bytes) {
  if (failing_ || closed_) return false;
  bytes_.append(bytes);
  return true;
}
