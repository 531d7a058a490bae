#include "server/http/connection_table.h"

#include "content/debug_log.h"

namespace server {

bool TConnectionTable::MakeRoom() {
  if (order_.size() < capacity_) return true;
  for (auto it = order_.begin(); it != order_.end(); ++it) {
    if (it->record->complete) continue;
    std::shared_ptr<plat::TcpConnection> victim = it->connection.lock();
    index_.erase(it->key);
    order_.erase(it);
    content::LogMessage("connection limit reached: closing the oldest unfinished request");
    // Its closed callback comes later and finds nothing to remove.
    if (victim) victim->Abort();
    return true;
  }
  return false;
}

void TConnectionTable::Add(const std::shared_ptr<plat::TcpConnection>& connection,
                           std::shared_ptr<TSessionSocketData> record) {
  order_.push_back(Entry{connection, connection.get(), std::move(record)});
  index_[connection.get()] = std::prev(order_.end());
}

void TConnectionTable::Remove(const plat::TcpConnection& connection) {
  const auto found = index_.find(&connection);
  if (found == index_.end()) return;
  order_.erase(found->second);
  index_.erase(found);
}

void TConnectionTable::CloseUnfinished(uint32_t now_tick, uint32_t timeout_ms) {
  // Closing may not call back synchronously, but collect first all the same.
  std::vector<std::shared_ptr<plat::TcpConnection>> expired;
  for (const Entry& entry : order_) {
    if (entry.record->complete || now_tick - entry.record->accepted_tick < timeout_ms) continue;
    if (auto connection = entry.connection.lock(); connection && connection->IsOpen()) expired.push_back(connection);
  }
  for (const auto& connection : expired) {
    content::LogMessage("closing a request that never completed");
    connection->Close();
  }
}

}  // namespace server
