// What a connection component asks of the components that run their work
// on it: the SQL command components and the datasets. Each implements this
// interface beside its component base; the connection finds it by a cross
// cast.
#pragma once

#include <cstdint>
#include <functional>

#include "dac/framework/data/custom_connection.h"

namespace dac {

class TComponent;
class TCustomDAConnection;
class TDKConnection;
class TObject;

enum TDAClientKind : uint8_t { dckSQL, dckDataSet };

class IDAConnectionClient {
 public:
  // An SQL command component or a dataset.
  virtual TDAClientKind ClientKind() const = 0;
  // The connection component the client was given, or null.
  virtual TCustomDAConnection* ClientConnection() const = 0;
  // Binds the client's command (an SQL component) or record set (a
  // dataset) to the server connection. Given one, the client first makes
  // sure it has the object; given null, it only unbinds an object it has.
  virtual void BindServerConnection(TDKConnection* connection) = 0;
  // The client's connection becomes none (it unregisters on the way).
  virtual void DetachFromConnection() = 0;

  // A dataset whose statement returns rows; true for every SQL component.
  virtual bool ClientIsQuery() const = 0;
  virtual bool ClientPrepared() const = 0;
  virtual bool ClientExecuting() const = 0;
  // A dataset reads all rows at open, and has read them all.
  virtual bool ClientFetchAll() const = 0;
  virtual bool ClientFetched() const = 0;
  virtual bool ClientActive() const = 0;

  // Cached updates of a dataset: whether it keeps them, applies them to the
  // server, and forgets the applied ones.
  virtual bool ClientCachedUpdates() const = 0;
  virtual void ClientApplyUpdates() = 0;
  virtual void ClientCommitUpdates() = 0;
  // The connection's transaction ended: committed, or rolled back (also by
  // a lost session). A dataset's rows applied in it stay applied, or count
  // as pending again.
  virtual void ClientTransactionEnded(bool committed) = 0;

 protected:
  ~IDAConnectionClient() = default;
};

// Where a client is registered, with the handler that hears its connection
// open and close.
class TClientRegistration {
 public:
  TClientRegistration(TObject* client, TConnectChangeEvent on_change)
      : client_(client), on_change_(std::move(on_change)) {}
  TCustomDAConnection* Connection() const { return connection_; }
  // Leaves the connection it is registered at and registers at the given
  // one (none for null).
  void MoveTo(TCustomDAConnection* connection);

 private:
  TObject* client_;
  TConnectChangeEvent on_change_;
  TCustomDAConnection* connection_ = nullptr;
};

// Takes a connection into use for a client: "Connection is not defined"
// (naming the client) without one; with count_user one more user of it
// (InternalConnect), else only made sure to be open. Then bind runs; when
// it fails, the counted user is given back.
void TakeClientConnection(TCustomDAConnection* connection, const TComponent* client, bool count_user,
                          const std::function<void()>& bind);

// The interface of an object, or null when it has none.
IDAConnectionClient* ConnectionClientOf(const TObject* object);
// The interface of a dataset of a connection; an assertion failure naming
// the dataset's class when it has none.
IDAConnectionClient& DataSetClientOf(const TObject* data_set);

}  // namespace dac
