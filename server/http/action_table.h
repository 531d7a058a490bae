// Request handlers by the "?action=" name they answer.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "content/request_map.h"
#include "server/http/net_stream.h"

namespace server {

// A request handler: replies through the channel and returns true, or
// returns false for the "Invalid request" page.
using TActionHandler = std::function<bool(TNetStream* channel, content::TRequestMap& map)>;

class TActionTable {
 public:
  // Sets, or replaces, the handler of the action. A null handler answers
  // like an action that does not exist.
  void Register(std::string_view action, TActionHandler handler);
  // The handler registered under a name equal to action (exact,
  // case-sensitive); null when there is none.
  const TActionHandler* HandlerOf(std::string_view action) const;

 private:
  std::vector<std::pair<std::string, TActionHandler>> rows_;
};

}  // namespace server
