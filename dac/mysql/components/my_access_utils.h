// TMyAccessUtils: how the MySQL component units reach the internals of
// the MySQL components.
#pragma once

#include "dac/framework/classes/component.h"

namespace dac {

class TCustomDADataSet;
class TCustomMyConnection;
class TMySQLAPI;
class TMySQLCommand;
class TMySQLConnection;
class TMySQLRecordset;

class TMyAccessUtils {
 public:
  TMyAccessUtils() = delete;

  static void SetDesigning(TComponent* data_set, bool value, bool set_children);
  // The dataset's MySQL record set, or none.
  static TMySQLRecordset* FIRecordSet(const TCustomDADataSet& data_set);
  // The MySQL command of a dataset or of a TMyCommand; any other component
  // is an assertion failure.
  static TMySQLCommand* FICommand(TComponent* component);
  // The server connection talks through api from its next session on.
  static void SetIntAPI(TMySQLConnection& connection, TMySQLAPI& api);
};

}  // namespace dac
