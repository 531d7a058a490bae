#include "server/http/http_reply.h"

#include <array>
#include <utility>

#include "platform/ascii.h"

namespace server {
namespace {

constexpr std::string_view kReplyStart =
    "HTTP/1.0 200 OK\r\nServer: Varnel Server 1.0\r\nConnection: close\r\n"
    "Pragma: no-cache\r\n"
    "Expires: -1\r\n";

std::string Header(std::string_view content_type, int64_t size, std::string_view extra_line = {}) {
  std::string header(kReplyStart);
  header += "Content-Type: ";
  header += content_type;
  header += "\r\n";
  header += extra_line;
  header += "Accept-Ranges: bytes\r\nContent-Length: ";
  header += std::to_string(size);
  header += "\r\n\r\n";
  return header;
}

// The extension of the last name in the path: from its last '.', or "".
std::string_view ExtensionOf(std::string_view path) {
  const size_t name_start = path.find_last_of("/\\");
  const std::string_view name = name_start == std::string_view::npos ? path : path.substr(name_start + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

}  // namespace

std::string_view ContentTypeOf(std::string_view path) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kTypes = {{
      {".HTML", "text/html"},
      {".HTM", "text/html"},
      {".SWF", "application/x-shockwave-flash"},
      {".XML", "text/xml"},
      {".FLV", "flv-application/octet-stream"},
      {".JPG", "image/jpg"},
  }};
  const std::string_view extension = ExtensionOf(path);
  for (const auto& [known, type] : kTypes)
    if (plat::SameText(extension, known)) return type;
  return {};
}

std::string FileReplyHeader(std::string_view content_type, int64_t size) { return Header(content_type, size); }

std::string AttachmentReplyHeader(std::string_view content_type, std::string_view file_name, int64_t size) {
  return Header(content_type, size, "Content-Disposition: attachment;filename=" + std::string(file_name) + "\r\n");
}

std::string BodyReply(std::string_view content_type, std::string_view body) {
  std::string reply = Header(content_type, static_cast<int64_t>(body.size()));
  reply += body;
  return reply;
}

std::string ErrorPage(std::string_view message) {
  std::string page =
      "HTTP/1.0 200 OK\r\nServer: Ostrand HTTP Server 1.0\r\nPragma: no-cache\r\n"
      "Expires: -1\r\nContent-Type: text/html\r\n\r\n<HTML><BODY><CENTER><B><H1>Server error:</B> ";
  page += plat::HtmlEscape(message);
  page += "</CENTER></BODY></HTML>";
  return page;
}

}  // namespace server
