// What a connection component asks of the components that run their work
// on it: the SQL command components and the datasets. Each implements this
// interface beside its component base; the connection finds it by a cross
// cast.
#pragma once

#include <cstdint>

namespace dac {

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

 protected:
  ~IDAConnectionClient() = default;
};

// The interface of an object, or null when it has none.
IDAConnectionClient* ConnectionClientOf(const TObject* object);
// The interface of a dataset of a connection; an assertion failure naming
// the dataset's class when it has none.
IDAConnectionClient& DataSetClientOf(const TObject* data_set);

}  // namespace dac
