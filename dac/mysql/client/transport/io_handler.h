// A transport the application supplies: a handler object whose operations
// carry the bytes, and the adapter that presents it to the packet layer.
#pragma once

#include <string>

#include "dac/framework/classes/meta_class.h"
#include "dac/mysql/client/transport/mysql_vio.h"

namespace dac {

// The application's transport. Connect returns a handle object owned by the
// handler; Disconnect releases it. Read and Write may move fewer bytes than
// asked; 0 means the connection failed.
class TMyIOHandler : public TObject {
  DAC_DECLARE_CLASS();

 public:
  TMyIOHandler() = default;
  ~TMyIOHandler() override = default;
  TMyIOHandler(const TMyIOHandler&) = delete;
  TMyIOHandler& operator=(const TMyIOHandler&) = delete;

  virtual void RegisterClient(TObject* /*client*/) {}
  virtual void UnRegisterClient(TObject* /*client*/) {}
  // Called where the handshake turns to TLS; the handler may encrypt from
  // here on. The base cannot, and refuses with 2026.
  virtual void SetIsSecure(TObject* handle, bool value);
  virtual bool GetIsSecure(TObject* /*handle*/) { return false; }
  // key, cert and ca are the session's TLS settings.
  virtual TObject* Connect(const std::string& server, int port, const std::string& key, const std::string& cert,
                           const std::string& ca) = 0;
  virtual void Disconnect(TObject* handle);
  virtual int Read(TObject* handle, uint8_t* buffer, int offset, int count);
  virtual int Write(TObject* handle, const uint8_t* buffer, int offset, int count);
  virtual int GetTimeout(TObject* handle);
  virtual void SetTimeout(TObject* handle, int seconds);
};

class TMyIOHandlerUtils {
 public:
  static void RegisterClient(TMyIOHandler* handler, TObject* client);
  static void UnRegisterClient(TMyIOHandler* handler, TObject* client);
};

class TMySqlVioHandler : public TMySqlVio {
  DAC_DECLARE_CLASS();

 public:
  // The handler is required and not owned.
  TMySqlVioHandler(std::string host, int port, TMyIOHandler* handler, std::string key, std::string cert,
                   std::string ca);
  ~TMySqlVioHandler() override;

  int GetTimeout() override;
  void SetTimeout(int seconds) override;
  int ReadNoWait(uint8_t* buffer, int offset, int count) override;
  int WriteNoWait(const uint8_t* buffer, int offset, int count) override;
  void Connect() override;
  void Close() override;
  // Straight to the handler, repeated until count bytes moved or it returns 0.
  int Read(uint8_t* buffer, int offset, int count) override;
  int Write(const uint8_t* buffer, int offset, int count) override;
  void SetIsSecure(bool value) override;
  bool GetIsSecure() override;

  TMyIOHandler* GetHandler() const { return handler_; }

 protected:
  // Reads go straight to the handler.
  bool ReadsAhead() const override { return false; }

 private:
  TMyIOHandler* handler_;
  TObject* handle_ = nullptr;
  std::string host_;
  int port_;
  int timeout_ = 0;
  std::string key_;
  std::string cert_;
  std::string ca_;
};

}  // namespace dac
