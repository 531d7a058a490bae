// TCustomConnection: the framework's base of connection components. It keeps
// the components that use the connection (its clients) with the event each
// wants to hear when the connection opens or closes, the datasets among
// them, the login prompt switch and the connect and disconnect events. A
// descendant says whether it is connected and does the work of connecting.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dac/framework/classes/component.h"

namespace dac {

class TCustomConnection;
class TDataSet;

// Told to a client when its connection opens (true) or closes (false).
using TConnectChangeEvent = std::function<void(TObject* sender, bool connecting)>;
using TLoginEvent =
    std::function<void(TCustomConnection* sender, const std::string& username, const std::string& password)>;

class TCustomConnection : public TComponent {
  DAC_DECLARE_CLASS();

 public:
  explicit TCustomConnection(TComponent* owner);

  // False in the base.
  virtual bool GetConnected() const { return false; }
  // Nothing when the value holds already. Opening runs BeforeConnect,
  // DoConnect, tells the clients, then AfterConnect; closing runs
  // BeforeDisconnect, DoDisconnect and AfterDisconnect (a descendant tells
  // the clients itself).
  virtual void SetConnected(bool value);
  bool GetLoginPrompt() const { return login_prompt_; }
  void SetLoginPrompt(bool value) { login_prompt_ = value; }

  // A client uses this connection; a dataset also joins the dataset list.
  // Registering a client again replaces its event.
  virtual void RegisterClient(TObject* client, TConnectChangeEvent event = {});
  virtual void UnRegisterClient(TObject* client);
  int DataSetCount() const { return static_cast<int>(data_sets_.size()); }
  TDataSet* DataSets(int index) const;

  const TNotifyEvent& GetBeforeConnect() const { return before_connect_; }
  void SetBeforeConnect(TNotifyEvent handler) { before_connect_ = std::move(handler); }
  const TNotifyEvent& GetAfterConnect() const { return after_connect_; }
  void SetAfterConnect(TNotifyEvent handler) { after_connect_ = std::move(handler); }
  const TNotifyEvent& GetBeforeDisconnect() const { return before_disconnect_; }
  void SetBeforeDisconnect(TNotifyEvent handler) { before_disconnect_ = std::move(handler); }
  const TNotifyEvent& GetAfterDisconnect() const { return after_disconnect_; }
  void SetAfterDisconnect(TNotifyEvent handler) { after_disconnect_ = std::move(handler); }
  const TLoginEvent& GetOnLogin() const { return on_login_; }
  void SetOnLogin(TLoginEvent handler) { on_login_ = std::move(handler); }

 protected:
  virtual void DoConnect() {}
  virtual void DoDisconnect() {}
  // Calls the event of every client that gave one. A client that
  // unregisters (or unregisters another) meanwhile is not called after.
  void SendConnectEvent(bool connecting);
  // Calls a notify event when it is set.
  void Fire(const TNotifyEvent& event) {
    if (event) event(this);
  }
  // Closes the connection.
  void BeforeDestruction() override;

 private:
  struct Client {
    TObject* object;
    TConnectChangeEvent event;
  };

  std::vector<Client> clients_;
  std::vector<TDataSet*> data_sets_;
  bool login_prompt_ = false;
  TNotifyEvent before_connect_;
  TNotifyEvent after_connect_;
  TNotifyEvent before_disconnect_;
  TNotifyEvent after_disconnect_;
  TLoginEvent on_login_;
};

}  // namespace dac
