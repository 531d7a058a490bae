#include "server/http/net_stream.h"

#include <any>
#include <string>

#include "server/http/http_reply.h"

namespace server {
namespace {

std::shared_ptr<TSessionSocketData> RecordOf(plat::TcpConnection& connection) {
  if (auto* record = std::any_cast<std::shared_ptr<TSessionSocketData>>(&connection.UserData())) return *record;
  // A connection the server does not know: treat it as broken.
  auto orphan = std::make_shared<TSessionSocketData>();
  orphan->error = true;
  return orphan;
}

}  // namespace

TNetStream::TNetStream(std::shared_ptr<plat::TcpConnection> socket)
    : socket_(std::move(socket)), record_(RecordOf(*socket_)) {}

TNetStream::TNetStream(TReplySink& sink) : sink_(&sink), record_(std::make_shared<TSessionSocketData>()) {}

TNetStream::~TNetStream() = default;

bool TNetStream::Put(std::string_view bytes) {
  const bool accepted = socket_ ? socket_->Send(bytes) : sink_->Write(bytes);
  if (!accepted) {
    record_->error = true;
    return false;
  }
  written_ += static_cast<int64_t>(bytes.size());
  return true;
}

int TNetStream::WriteString(std::string_view text) { return Put(text) ? static_cast<int>(text.size()) : 0; }

int TNetStream::Write(const char* buffer, int length) {
  if (buffer == nullptr || length <= 0) return 0;
  return WriteString(std::string_view(buffer, static_cast<size_t>(length)));
}

bool TNetStream::WriteFrom(std::unique_ptr<plat::RefillSource> source) {
  if (!source) return true;
  if (socket_) {
    if (!socket_->SendFrom(std::move(source))) {
      record_->error = true;
      return false;
    }
    return true;
  }
  std::string block(kFileBlockSize, '\0');
  for (;;) {
    const size_t count = source->Read(block.data(), block.size());
    if (count == 0) return true;
    if (!Put(std::string_view(block.data(), count))) return false;
  }
}

void TNetStream::Close() {
  if (socket_) {
    if (!socket_->IsOpen()) return;
    // A client that sent its request and nothing after it sends nothing
    // more: the connection need not wait for its end once the reply is out.
    const std::string_view received = record_->Received();
    const size_t end = received.find("\r\n\r\n");
    if (!record_->input_after_request && end != std::string_view::npos && end + 4 == received.size())
      socket_->CloseWhenSent();
    else
      socket_->Close();
  } else {
    sink_->Close();
  }
}

}  // namespace server
