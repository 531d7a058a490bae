#include "dac/mysql/components/my_connection_options.h"

#include "dac/mysql/components/my_access_utils.h"
#include "dac/mysql/components/my_connection_component.h"
#include "dac/mysql/provider/my_property_codes.h"

namespace dac {

DAC_DEFINE_CLASS(TCustomMyConnectionOptions, TDAConnectionOptions, TMetaClass)
DAC_DEFINE_CLASS(TMyConnectionOptions, TCustomMyConnectionOptions, TMetaClass)
DAC_DEFINE_CLASS(TMyConnectionSSLOptions, TPersistent, TMetaClass)

namespace {

// Stores a setting that needs a closed connection and sends it down.
template <typename T, typename Check, typename Send>
void ChangeClosedSetting(T& field, const T& value, const Check& check, const Send& send) {
  if (field == value) return;
  check();
  field = value;
  send();
}

}  // namespace

// ---- TCustomMyConnectionOptions ----

TCustomMyConnectionOptions::TCustomMyConnectionOptions(TCustomMyConnection* owner) : TDAConnectionOptions(owner) {}

TCustomMyConnection& TCustomMyConnectionOptions::MyOwner() const {
  auto* owner = dynamic_cast<TCustomMyConnection*>(Owner());
  DAC_ASSERT(owner != nullptr, "Options without a MySQL connection");
  return *owner;
}

void TCustomMyConnectionOptions::CheckInactive() const { MyOwner().CheckInactive(); }

void TCustomMyConnectionOptions::SendProp(int prop, const Variant& value) const { MyOwner().SendProp(prop, value); }

void TCustomMyConnectionOptions::SetUseUnicode(bool value) {
  ChangeClosedSetting(use_unicode_, value, [this] { CheckInactive(); },
                      [&] { SendProp(prMyUseUnicode, value); });
}

void TCustomMyConnectionOptions::SetCharset(const std::string& value) {
  ChangeClosedSetting(charset_, value, [this] { CheckInactive(); }, [&] { SendProp(prMyCharset, value); });
}

void TCustomMyConnectionOptions::SetNumericType(TDANumericType value) {
  ChangeClosedSetting(numeric_type_, value, [this] { CheckInactive(); },
                      [&] { SendProp(prMyNumericType, static_cast<int32_t>(value)); });
}

void TCustomMyConnectionOptions::AssignTo(TPersistent* dest) const {
  TDAConnectionOptions::AssignTo(dest);
  if (auto* other = dynamic_cast<TCustomMyConnectionOptions*>(dest)) {
    other->SetUseUnicode(use_unicode_);
    other->SetCharset(charset_);
  }
}

// ---- TMyConnectionOptions ----

TMyConnectionOptions::TMyConnectionOptions(TMyConnection* owner) : TCustomMyConnectionOptions(owner) {}

void TMyConnectionOptions::SetCompress(bool value) {
  ChangeClosedSetting(compress_, value, [this] { CheckInactive(); }, [&] { SendProp(prMyCompress, value); });
}

void TMyConnectionOptions::SetProtocol(TMyProtocol value) {
  ChangeClosedSetting(protocol_, value, [this] { CheckInactive(); },
                      [&] { SendProp(prMyProtocol, static_cast<int32_t>(value)); });
}

void TMyConnectionOptions::SetEmbedded(bool value) {
  ChangeClosedSetting(embedded_, value, [this] { CheckInactive(); }, [this] { SetAPI(); });
}

void TMyConnectionOptions::SetDirect(bool value) {
  ChangeClosedSetting(direct_, value, [this] { CheckInactive(); }, [this] { SetAPI(); });
}

void TMyConnectionOptions::SetAPI() {
  if (TMySQLConnection* connection = MyOwner().IConnection())
    TMyAccessUtils::SetIntAPI(*connection, ChosenAPI(embedded_, direct_));
}

void TMyConnectionOptions::AssignTo(TPersistent* dest) const {
  TCustomMyConnectionOptions::AssignTo(dest);
  if (auto* other = dynamic_cast<TMyConnectionOptions*>(dest)) {
    other->SetCompress(compress_);
    other->SetProtocol(protocol_);
  }
}

// ---- TMyConnectionSSLOptions ----

TPersistent* TMyConnectionSSLOptions::GetOwner() const { return owner_; }

void TMyConnectionSSLOptions::Change(std::string& field, const std::string& value, int prop) {
  ChangeClosedSetting(field, value, [this] { owner_->CheckInactive(); }, [&] { owner_->SendProp(prop, value); });
}

void TMyConnectionSSLOptions::SetChipherList(const std::string& value) { Change(chipher_list_, value, prMySSLCipher); }
void TMyConnectionSSLOptions::SetCACert(const std::string& value) { Change(ca_cert_, value, prMySSLCA); }
void TMyConnectionSSLOptions::SetKey(const std::string& value) { Change(key_, value, prMySSLKey); }
void TMyConnectionSSLOptions::SetCert(const std::string& value) { Change(cert_, value, prMySSLCert); }

void TMyConnectionSSLOptions::AssignTo(TPersistent* dest) const {
  auto* other = dynamic_cast<TMyConnectionSSLOptions*>(dest);
  if (!other) return TPersistent::AssignTo(dest);
  other->SetChipherList(chipher_list_);
  other->SetCACert(ca_cert_);
  other->SetKey(key_);
  other->SetCert(cert_);
}

}  // namespace dac
