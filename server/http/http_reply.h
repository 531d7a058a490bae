// The texts of the server's three reply forms. Browsers and the content's
// pages depend on them byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace server {

// File replies are read and queued in blocks of this size.
inline constexpr size_t kFileBlockSize = 32585;

// The Content-Type served for the path's extension (compared without case),
// or "" for a type the server does not serve.
std::string_view ContentTypeOf(std::string_view path);

// Status line and headers of a file reply, ending with the blank line.
std::string FileReplyHeader(std::string_view content_type, int64_t size);
// Status line and headers of a download the browser saves under file_name
// (a name of the server's own, not from a request).
std::string AttachmentReplyHeader(std::string_view content_type, std::string_view file_name, int64_t size);
// A whole reply carrying body.
std::string BodyReply(std::string_view content_type, std::string_view body);
// The error page. It has no Content-Length and no "Connection:" line, and
// leaves its H1 open: clients have always received it so. The message is
// HTML-escaped.
std::string ErrorPage(std::string_view message);

}  // namespace server
