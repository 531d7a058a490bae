// The replies a request handler sends through its channel.
#pragma once

#include <string_view>

#include "server/http/net_stream.h"

namespace server {

// The error page; the caller closes the channel. A null channel sends nothing.
void ReturnHttpError(TNetStream* channel, std::string_view message);
// An XML reply; closes the channel. A null channel sends nothing.
void ReturnXML(TNetStream* channel, std::string_view body);
// An HTML reply, percent-encoded unless raw; closes the channel. A null
// channel sends nothing.
void ReturnHTML(TNetStream* channel, std::string_view html, bool raw);

}  // namespace server
