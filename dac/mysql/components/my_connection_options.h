// The option objects of the MySQL connection components: how the session is
// built (character set, Unicode, numeric type; for TMyConnection also the
// client API, compression and protocol) and the TLS files. A setting that
// changes how the session is built needs a closed connection; each reaches
// the server connection, when one exists, under its property code.
#pragma once

#include <string>

#include "dac/core/connection_options.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/store/record/record_set_types.h"

namespace dac {

class TCustomMyConnection;
class TMyConnection;

class TCustomMyConnectionOptions : public TDAConnectionOptions {
  DAC_DECLARE_CLASS();

 public:
  explicit TCustomMyConnectionOptions(TCustomMyConnection* owner);

  bool GetUseUnicode() const { return use_unicode_; }
  void SetUseUnicode(bool value);
  const std::string& GetCharset() const { return charset_; }
  void SetCharset(const std::string& value);
  TDANumericType GetNumericType() const { return numeric_type_; }
  void SetNumericType(TDANumericType value);

  // Installs the chosen client API in the server connection, when one exists.
  virtual void SetAPI() = 0;

 protected:
  // The base options, then UseUnicode and Charset.
  void AssignTo(TPersistent* dest) const override;
  TCustomMyConnection& MyOwner() const;
  // Closes or refuses as the owner's CheckInactive does.
  void CheckInactive() const;
  // Sends a value to the owner's server connection when there is one.
  void SendProp(int prop, const Variant& value) const;

 private:
  bool use_unicode_ = false;
  std::string charset_;
  TDANumericType numeric_type_ = ntFloat;
};

class TMyConnectionOptions : public TCustomMyConnectionOptions {
  DAC_DECLARE_CLASS();

 public:
  explicit TMyConnectionOptions(TMyConnection* owner);

  bool GetCompress() const { return compress_; }
  void SetCompress(bool value);
  TMyProtocol GetProtocol() const { return protocol_; }
  void SetProtocol(TMyProtocol value);
  // The embedded server's library; before Direct.
  bool GetEmbedded() const { return embedded_; }
  void SetEmbedded(bool value);
  // The built-in protocol, else the client library.
  bool GetDirect() const { return direct_; }
  void SetDirect(bool value);

  void SetAPI() override;

 protected:
  // The inherited copy, then Compress and Protocol.
  void AssignTo(TPersistent* dest) const override;

 private:
  bool compress_ = false;
  TMyProtocol protocol_ = TMyProtocol::mpDefault;
  bool embedded_ = false;
  bool direct_ = true;
};

class TMyConnectionSSLOptions : public TPersistent {
  DAC_DECLARE_CLASS();

 public:
  explicit TMyConnectionSSLOptions(TMyConnection* owner) : owner_(owner) {}

  TPersistent* GetOwner() const override;

  const std::string& GetChipherList() const { return chipher_list_; }
  void SetChipherList(const std::string& value);
  // The certificate authority's file.
  const std::string& GetCACert() const { return ca_cert_; }
  void SetCACert(const std::string& value);
  const std::string& GetKey() const { return key_; }
  void SetKey(const std::string& value);
  const std::string& GetCert() const { return cert_; }
  void SetCert(const std::string& value);

 protected:
  // The four files to other TLS options.
  void AssignTo(TPersistent* dest) const override;

 private:
  void Change(std::string& field, const std::string& value, int prop);

  TMyConnection* owner_;
  std::string chipher_list_;
  std::string ca_cert_;
  std::string key_;
  std::string cert_;
};

}  // namespace dac
