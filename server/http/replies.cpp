#include "server/http/replies.h"

#include <string>

#include "content/debug_log.h"
#include "content/percent_codec.h"
#include "server/http/http_reply.h"
#include "server/http/method_log.h"

namespace server {

void ReturnHttpError(TNetStream* channel, std::string_view message) {
  TMethodLog log("ReturnHttpError");
  if (channel == nullptr) return;
  channel->WriteString(ErrorPage(message));
}

void ReturnXML(TNetStream* channel, std::string_view body) {
  TMethodLog log("ReturnXML");
  if (channel == nullptr) return;
  content::LogMessage("data: %s", std::string(body).c_str());
  channel->WriteString(BodyReply("text/xml", body));
  channel->Close();
}

void ReturnHTML(TNetStream* channel, std::string_view html, bool raw) {
  TMethodLog log("ReturnHTML");
  if (channel == nullptr) return;
  channel->WriteString(BodyReply("text/html", raw ? std::string(html) : content::PercentEncode(html)));
  channel->Close();
}

}  // namespace server
