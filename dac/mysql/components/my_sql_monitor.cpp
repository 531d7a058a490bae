#include "dac/mysql/components/my_sql_monitor.h"

#include <vector>

#include "dac/core/access_utils.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/mysql/components/my_access_utils.h"
#include "dac/mysql/components/my_command_component.h"
#include "dac/mysql/provider/my_command.h"

namespace dac {

namespace {

TCustomMySQLMonitor*& FirstMonitor() {
  static TCustomMySQLMonitor* monitor = nullptr;
  return monitor;
}

class TMySQLMonitorClass : public TDASQLMonitorClassOf<TCustomMySQLMonitor> {
 public:
  using TDASQLMonitorClassOf::TDASQLMonitorClassOf;
  TCustomDASQLMonitor* GetMonitor() const override { return FirstMonitor(); }
  std::string GetCaption() const override { return "Halvex"; }
};

// The MySQL command of a MySQL component, or none for any other.
TMySQLCommand* CommandOf(TComponent* component) {
  if (dynamic_cast<TMyCommand*>(component)) return TMyAccessUtils::FICommand(component);
  auto* data_set = dynamic_cast<TCustomDADataSet*>(component);
  return data_set && TMyAccessUtils::FIRecordSet(*data_set) ? TMyAccessUtils::FICommand(component) : nullptr;
}

// The commands whose texts an execution of the component sends: its own
// and, for a dataset, its update query's.
std::vector<TMySQLCommand*> CommandsOf(TComponent* component) {
  std::vector<TMySQLCommand*> commands;
  if (TMySQLCommand* command = CommandOf(component)) commands.push_back(command);
  if (auto* data_set = dynamic_cast<TCustomDADataSet*>(component)) {
    if (TMySQLCommand* update = CommandOf(TDBAccessUtils::GetUpdateQuery(*data_set))) commands.push_back(update);
  }
  return commands;
}

}  // namespace

DAC_DEFINE_CLASS(TCustomMySQLMonitor, TCustomDASQLMonitor, TMySQLMonitorClass)

TCustomMySQLMonitor::TCustomMySQLMonitor(TComponent* owner) : TCustomDASQLMonitor(owner) {
  if (!FirstMonitor()) FirstMonitor() = this;
}

TCustomMySQLMonitor::~TCustomMySQLMonitor() {
  if (FirstMonitor() == this) FirstMonitor() = nullptr;
  *self_ = nullptr;
}

void TCustomMySQLMonitor::InternalSQLExecute(TComponent* component, const std::string& sql, TParams* params,
                                             const std::string& caption, TTracePoint point, int32_t& message_id) {
  if (GetActive() && GetTraceFlags().Contains(tfQExecute)) {
    // The callback lives only between the before and after points of one run.
    const bool before = point == tpBeforeEvent;
    executing_ = before ? component : nullptr;
    for (TMySQLCommand* command : CommandsOf(component)) {
      if (before) {
        command->SetOnNativeSQL([self = self_](const std::string& text) {
          if (*self) (*self)->OnExecuteNative(text);
        });
      } else {
        command->SetOnNativeSQL(nullptr);
      }
    }
  }
  TCustomDASQLMonitor::InternalSQLExecute(component, sql, params, caption, point, message_id);
}

void TCustomMySQLMonitor::OnExecuteNative(const std::string& sql) {
  if (GetOnSQL()) GetOnSQL()(executing_, sql, tfMisc);
}

}  // namespace dac
