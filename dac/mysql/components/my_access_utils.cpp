#include "dac/mysql/components/my_access_utils.h"

#include "dac/core/access_utils.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/mysql/components/my_command_component.h"
#include "dac/mysql/provider/my_command.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "dac/mysql/provider/my_record_set.h"

namespace dac {

void TMyAccessUtils::SetDesigning(TComponent* data_set, bool value, bool set_children) {
  data_set->SetDesigning(value, set_children);
}

TMySQLRecordset* TMyAccessUtils::FIRecordSet(const TCustomDADataSet& data_set) {
  return dynamic_cast<TMySQLRecordset*>(data_set.GetIRecordSet());
}

TMySQLCommand* TMyAccessUtils::FICommand(TComponent* component) {
  if (auto* command = dynamic_cast<TMyCommand*>(component)) return command->GetMySQLCommand();
  auto* data_set = dynamic_cast<TCustomDADataSet*>(component);
  TMySQLRecordset* record_set = data_set ? FIRecordSet(*data_set) : nullptr;
  DAC_ASSERT(record_set != nullptr,
             std::string("Not a MySQL component: ") + (component ? component->ClassName() : "none"));
  return &record_set->Command();
}

void TMyAccessUtils::SetIntAPI(TMySQLConnection& connection, TMySQLAPI& api) {
  connection.SetProp(prMyAPI, Variant::FromObject(&api));
}

}  // namespace dac
