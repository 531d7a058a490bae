// The small types the abstract server layer shares with the providers and
// the components: enumerations (their numbers are relied on), statement-type
// sets, the property codes through which components push settings down, and
// the callbacks a server connection holds.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/small_set.h"
#include "dac/store/blob/compressed_blob.h"  // TCompressBlobMode
#include "dac/store/record/record_set_types.h"

namespace dac {

enum TCursorState : uint8_t {
  csInactive = 0,
  csOpen,
  csParsed,
  csPrepared,  // 3
  csBound,
  csExecuteFetchAll,
  csExecuting,
  csExecuted,  // 7
  csFetching,
  csFetchingAll,
  csFetched,  // 10
};

enum TParamDirection : uint8_t { pdUnknown = 0, pdInput, pdOutput, pdInputOutput, pdResult };

enum TStatementType : uint8_t {
  stQuery = 0,
  stInsert,
  stUpdate,
  stDelete,
  stLock,
  stRefresh,
  stCheck,
  stCustom,
  stRefreshQuick,
  stRefreshCheckDeleted,
  stBatchUpdate,  // 10
};
// Bit n stands for ordinal n; where a message shows a set as a number, it
// shows Bits().
using TStatementTypes = TSet<TStatementType>;

enum TCommandType : uint8_t { ctUnknown = 0, ctStatement, ctCursor };

enum TDKIsolationLevel : uint8_t { ilReadCommitted = 0, ilSerializable = 1 };

// Property codes below 1000 are the generic ones; a provider's start at 1000.
enum : int {
  prUsername = 1,             // connection, get
  prAutoCommit = 5,           // connection and command, set
  prParamCheck = 11,          // command: whether it describes its parameters itself
  prRowsProcessed = 13,       // command, get: rows affected by the last execution
  prUniDirectional = 20,      // record set
  prFetchRows = 21,           // record set
  prFetchAll = 22,            // record set
  prExecuting = 24,           // command, get
  prLongStrings = 25,         // record set
  prEnableEmptyStrings = 26,  // record set
  prFlatBuffers = 27,         // record set
  prConvertEOL = 28,          // connection, set
  prIndexFieldNames = 29,     // record set
  prCompressBlobMode = 30,    // record set, passed to its command
  prDisconnectedMode = 31,    // connection, set
  prSQLChanging = 32,         // command: set while its owner changes the SQL text
  prIsolationLevel = 33,      // transaction
  prDefaultCloseAction = 34,  // transaction, set
};
// An unknown property code: the assertion failure whose text is the code.
#define DAC_UNKNOWN_PROP(prop) ::dac::AssertionFailed(std::to_string(prop), __FILE__, __LINE__)

// What a transaction does when it is destroyed while active.
enum TDKTransactionAction : uint8_t { taCommit = 0, taRollback = 1 };

// The error hook of a server connection (the owning component's DoError).
// It sees the same exception at every attempt of one error and answers
// through its reference arguments.
using TErrorProc = std::function<void(Exception& error, bool& fail, bool& reconnect, bool& reexecute,
                                      int32_t reconnect_attempt, TConnLostCause& conn_lost_cause)>;
// The reconnect and disconnect notifications.
using TReconnectProc = std::function<void()>;

}  // namespace dac
