// TCustomMySQLMonitor: the SQL trace component of the MySQL components. Besides
// what every monitor traces, it reports the final text of each statement a
// TMyCommand or a MySQL dataset executes, as it goes to the server with the
// parameter values in place, to the OnSQL handler.
#pragma once

#include <memory>
#include <string>

#include "dac/core/trace/sql_monitor.h"

namespace dac {

class TCustomMySQLMonitor : public TCustomDASQLMonitor {
  DAC_DECLARE_CLASS();

 public:
  // The first monitor made becomes the class's monitor, until it goes.
  explicit TCustomMySQLMonitor(TComponent* owner);

  // Before an execution the component's commands report their final text
  // here; after it they stop.
  void InternalSQLExecute(TComponent* component, const std::string& sql, TParams* params,
                          const std::string& caption, TTracePoint point, int32_t& message_id) override;
  // The final text to the OnSQL handler, from the executing component.
  void OnExecuteNative(const std::string& sql);

 protected:
  ~TCustomMySQLMonitor() override;

 private:
  TComponent* executing_ = nullptr;
  // What a command's callback reaches; emptied when this monitor goes, so a
  // command left with the callback by a failed run calls nothing.
  std::shared_ptr<TCustomMySQLMonitor*> self_ = std::make_shared<TCustomMySQLMonitor*>(this);
};

}  // namespace dac
