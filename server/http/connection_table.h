// The server's open connections, in the order they arrived, so that idle or
// half-sent connections can be found and closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/tcp_connection.h"
#include "server/http/session_socket_data.h"

namespace server {

class TConnectionTable {
 public:
  explicit TConnectionTable(size_t capacity) : capacity_(capacity) {}

  // Makes room for one more connection. At the cap the oldest connection
  // whose request is not complete is aborted and forgotten; false when every
  // connection has its request (then the newcomer must go).
  bool MakeRoom();
  void Add(const std::shared_ptr<plat::TcpConnection>& connection, std::shared_ptr<TSessionSocketData> record);
  // Forgets the connection (it has closed); unknown connections are ignored.
  void Remove(const plat::TcpConnection& connection);
  // Closes, without reply, every open connection whose request has not
  // completed within timeout_ms of its arrival (tick counts wrap).
  void CloseUnfinished(uint32_t now_tick, uint32_t timeout_ms);

  size_t Count() const { return order_.size(); }

 private:
  struct Entry {
    std::weak_ptr<plat::TcpConnection> connection;
    const plat::TcpConnection* key;
    std::shared_ptr<TSessionSocketData> record;
  };
  using Order = std::list<Entry>;

  size_t capacity_;
  Order order_;
  std::unordered_map<const plat::TcpConnection*, Order::iterator> index_;
};

}  // namespace server
