#include "dac/core/trace/sql_monitor_client.h"

#include "dac/core/server/replaceable_hook.h"

namespace dac {

namespace {

TReplaceableHook<TSQLMonitorClientFactory>& Factory() {
  static TReplaceableHook<TSQLMonitorClientFactory> factory;
  return factory;
}

}  // namespace

TSQLMonitorClientFactory SetSQLMonitorClientFactory(TSQLMonitorClientFactory factory) {
  return Factory().Exchange(std::move(factory));
}

std::unique_ptr<ISQLMonitorClient> CreateSQLMonitorClient() {
  const TSQLMonitorClientFactory factory = Factory().Get();
  return factory ? factory() : nullptr;
}

}  // namespace dac
