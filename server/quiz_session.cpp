#include "server/quiz_session.h"

#include <string>

#include "content/debug_log.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "server/http/http_reply.h"
#include "server/http/http_request.h"
#include "server/http/method_log.h"

namespace server {
namespace {

constexpr plat::WindowTimers::TimerId kSweepTimer = 1;

}  // namespace

TQuizSession::TQuizSession(plat::EventLoop& loop, uint16_t port, const TServerLimits& limits)
    : timers_(loop),
      http_(loop, port, limits,
            [this](TNetStream* channel, std::string_view request) { return ProcessHttpRequest(channel, request); }) {
  TMethodLog log("TQuizSession");
  plat::SeedProcessRandom(static_cast<uint64_t>(plat::ProcessClock().UtcSeconds()));
  RegisterActions();
  timers_.Set(kSweepTimer, kSweepIntervalMs, [this] { OnSweepTimer(); });
}

TQuizSession::~TQuizSession() {
  TMethodLog log("~TQuizSession");
  http_.Close();
}

bool TQuizSession::ProcessHttpRequest(TNetStream* channel, std::string_view request) {
  TMethodLog log("ProcessHttpRequest");
  if (request.empty()) return false;
  const std::optional<std::string> token = ReadGetToken(request);
  if (!token) return false;
  if (HasForeignHost(request)) {
    content::LogMessage("request for another host refused");
    return false;
  }
  const std::string name = RequestedName(*token);
  if (const size_t query = name.find('?'); query != std::string::npos)
    return ProcessRequest(channel, std::string_view(name).substr(query + 1));
  // One open serves both the check that the file is there and the reply.
  std::unique_ptr<TContentFile> file = content_.OpenRequested(name);
  if (!file) return false;
  return SendFile(channel, name, std::move(file));
}

bool TQuizSession::SendFile(TNetStream* channel, std::string_view path) {
  return SendFile(channel, path, nullptr);
}

bool TQuizSession::SendFile(TNetStream* channel, std::string_view path, std::unique_ptr<TContentFile> file) {
  TMethodLog log("SendFile");
  content::LogMessage("filename: %.*s", static_cast<int>(path.size()), path.data());
  const std::string_view type = ContentTypeOf(path);
  if (type.empty()) {
    content::LogMessage("invalid file type");
    return false;
  }
  if (channel == nullptr) return false;
  if (!file) file = content_.Open(path);
  if (!file) return false;
  const int64_t size = file->Size();
  // The reply owns the open file: switching content or a disconnect in the
  // middle of the reply frees nothing it still reads.
  if (!channel->WriteString(FileReplyHeader(type, size)) ||
      !channel->WriteFrom(std::make_unique<TContentFileSource>(std::move(file))))
    content::LogMessage("error");
  channel->Close();
  return true;
}

std::string TQuizSession::LoadFileToString(std::string_view path) {
  TMethodLog log("LoadFileToString");
  return LoadFileText(path).value_or("");
}

std::optional<std::string> TQuizSession::LoadFileText(std::string_view path) {
  return ReadContentText(path, NulEnd::kEachBlock);
}

std::optional<std::string> TQuizSession::ReadContentText(std::string_view name, NulEnd nul_end) const {
  std::unique_ptr<TContentFile> file = content_.Open(name);
  if (!file) return std::nullopt;
  std::string text;
  std::string block(kFileBlockSize, '\0');
  for (;;) {
    const int64_t got = file->Read(block.data(), static_cast<int64_t>(block.size()));
    if (got <= 0) break;
    const std::string_view piece(block.data(), static_cast<size_t>(got));
    const size_t nul = piece.find('\0');
    text.append(piece.substr(0, nul));
    if (nul != std::string_view::npos && nul_end == NulEnd::kWholeText) break;
  }
  return text;
}

}  // namespace server
