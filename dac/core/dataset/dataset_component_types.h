// The names the dataset component's interface speaks in, for its callers,
// its providers and the SQL generator: the classes it refers to, its
// refresh options, the key and data fields of the updating table and its
// event handlers.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "dac/core/server/server_types.h"
#include "dac/framework/classes/small_set.h"

namespace dac {

class TCustomDAConnection;
class TCustomDASQL;
class TDADataSetOptions;
class TDAParam;
class TDAParams;
class TDAParamsInfo;
class TDASQLGenerator;
class TDKCommand;
class TDKFieldDesc;
class TDKRecordSet;
class TDKTableInfoClass;
class TDKTablesInfo;
class TDataSet;
class TDataSource;
class TMacro;
class TMacros;
class TObject;
class TParams;
class ITimerService;
class TSharedObject;
class TWin32Timer;

enum TRefreshOption : uint8_t { roAfterInsert, roAfterUpdate, roBeforeEdit };
using TRefreshOptions = TSet<TRefreshOption>;

using TFieldDescArray = std::vector<TDKFieldDesc*>;
// The key and data field descriptors of the updating table.
struct TKeyAndDataFields {
  TFieldDescArray KeyFieldDescs;
  TFieldDescArray DataFieldDescs;
};

using TDAAfterExecuteEvent = std::function<void(TObject* sender, bool result)>;
using TBeforeFetchEvent = std::function<void(TDataSet* data_set, bool& cancel)>;
using TAfterFetchEvent = std::function<void(TDataSet* data_set)>;
using TUpdateExecuteEvent = std::function<void(TDataSet* sender, TStatementTypes types, TParams* params)>;

}  // namespace dac
