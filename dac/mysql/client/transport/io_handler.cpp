#include "dac/mysql/client/transport/io_handler.h"

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/client_errors.h"

namespace dac {

DAC_DEFINE_CLASS(TMyIOHandler, TObject, TMetaClass)
DAC_DEFINE_CLASS(TMySqlVioHandler, TMySqlVio, TMetaClass)

namespace {

constexpr const char* kNotOverridden = "Not overriden in an inherited class";

}  // namespace

void TMyIOHandler::SetIsSecure(TObject* /*handle*/, bool /*value*/) {
  throw EMySqlException(kCrSslConnectionError);
}

void TMyIOHandler::Disconnect(TObject* /*handle*/) { DAC_ASSERT(false, kNotOverridden); }

int TMyIOHandler::Read(TObject* /*handle*/, uint8_t* /*buffer*/, int /*offset*/, int /*count*/) {
  DAC_ASSERT(false, kNotOverridden);
  return 0;
}

int TMyIOHandler::Write(TObject* /*handle*/, const uint8_t* /*buffer*/, int /*offset*/, int /*count*/) {
  DAC_ASSERT(false, kNotOverridden);
  return 0;
}

int TMyIOHandler::GetTimeout(TObject* /*handle*/) {
  DAC_ASSERT(false, kNotOverridden);
  return 0;
}

void TMyIOHandler::SetTimeout(TObject* /*handle*/, int /*seconds*/) { DAC_ASSERT(false, kNotOverridden); }

void TMyIOHandlerUtils::RegisterClient(TMyIOHandler* handler, TObject* client) {
  if (handler) handler->RegisterClient(client);
}

void TMyIOHandlerUtils::UnRegisterClient(TMyIOHandler* handler, TObject* client) {
  if (handler) handler->UnRegisterClient(client);
}

TMySqlVioHandler::TMySqlVioHandler(std::string host, int port, TMyIOHandler* handler, std::string key,
                                   std::string cert, std::string ca)
    : handler_(handler),
      host_(std::move(host)),
      port_(port),
      key_(std::move(key)),
      cert_(std::move(cert)),
      ca_(std::move(ca)) {
  DAC_ASSERT(handler_ != nullptr, "no I/O handler");
}

TMySqlVioHandler::~TMySqlVioHandler() {
  try {
    Close();
  } catch (...) {
    // A destructor never throws; the handler's own failure is dropped here.
  }
}

int TMySqlVioHandler::GetTimeout() { return handle_ ? handler_->GetTimeout(handle_) : timeout_; }

void TMySqlVioHandler::SetTimeout(int seconds) {
  if (handle_)
    handler_->SetTimeout(handle_, seconds);
  else
    timeout_ = seconds;
}

int TMySqlVioHandler::ReadNoWait(uint8_t* /*buffer*/, int /*offset*/, int /*count*/) {
  DAC_ASSERT(false, "Not implemented");
  return 0;
}

int TMySqlVioHandler::WriteNoWait(const uint8_t* /*buffer*/, int /*offset*/, int /*count*/) {
  DAC_ASSERT(false, "Not implemented");
  return 0;
}

void TMySqlVioHandler::Connect() {
  TMySqlVio::Connect();
  DAC_ASSERT(handle_ == nullptr, "handler transport already connected");
  handle_ = handler_->Connect(host_, port_, key_, cert_, ca_);
  if (handle_ && timeout_ >= 1) handler_->SetTimeout(handle_, timeout_);
}

void TMySqlVioHandler::Close() {
  if (!handle_) return;
  TObject* handle = handle_;
  handle_ = nullptr;
  handler_->Disconnect(handle);
}

int TMySqlVioHandler::Read(uint8_t* buffer, int offset, int count) {
  int done = 0;
  while (handle_ && done < count) {
    const int n = handler_->Read(handle_, buffer, offset + done, count - done);
    if (n <= 0 || n > count - done) break;
    done += n;
  }
  return done;
}

int TMySqlVioHandler::Write(const uint8_t* buffer, int offset, int count) {
  int done = 0;
  while (handle_ && done < count) {
    const int n = handler_->Write(handle_, buffer, offset + done, count - done);
    if (n <= 0 || n > count - done) break;
    done += n;
  }
  return done;
}

void TMySqlVioHandler::SetIsSecure(bool value) {
  if (!handle_) throw EMySqlException(kCrSslConnectionError);
  handler_->SetIsSecure(handle_, value);
}

bool TMySqlVioHandler::GetIsSecure() { return handle_ ? handler_->GetIsSecure(handle_) : false; }

}  // namespace dac
