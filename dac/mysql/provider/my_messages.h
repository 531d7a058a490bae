// The messages of the MySQL layer. They join the one message table of the
// data-access layer (messages.h) under identifiers of their own; several
// share a name with a data-access message, so they live in a namespace of
// their own: my_messages::SConnectionOpen.
#pragma once

#include <span>

#include "dac/core/server/messages.h"

namespace dac {

// The rows of the MySQL layer's messages.
std::span<const TMessageRow> MySQLMessages();
// Adds them to the message table; every later call does nothing. Whoever
// raises one of these messages calls it first.
void AddMySQLMessages();

namespace my_messages {

inline constexpr TResStringRec SBHTableData{65472};
inline constexpr TResStringRec SInvalidClientVersion{65488};
inline constexpr TResStringRec SInvalidUnComprBlobSize{65489};
inline constexpr TResStringRec SInvalidComprBlobSize{65490};
inline constexpr TResStringRec SInvalidComprBlobHeader{65491};
inline constexpr TResStringRec SInvalidComprBlobData{65492};
inline constexpr TResStringRec STableMsgEvent{65493};
inline constexpr TResStringRec sMultipleVariablesFound{65494};
inline constexpr TResStringRec sNoVariablesFound{65495};
inline constexpr TResStringRec SWrongTblCount{65496};
inline constexpr TResStringRec SCannotIntercept{65497};
inline constexpr TResStringRec STwoEmbServer{65498};
inline constexpr TResStringRec SBHCaption{65499};
inline constexpr TResStringRec SBHDatabase{65500};
inline constexpr TResStringRec SBHUsers{65501};
inline constexpr TResStringRec SBHStoredProcStruct{65502};
inline constexpr TResStringRec SBHTableStruct{65503};
inline constexpr TResStringRec SOpenNextVsFetchAll{65504};
inline constexpr TResStringRec STimestampFieldRequired{65505};
inline constexpr TResStringRec SPrepareNotSupportedC{65506};
inline constexpr TResStringRec SPrepareNotSupportedS{65507};
inline constexpr TResStringRec SLockTableVsFetchAll{65508};
inline constexpr TResStringRec SNoRecordToLock{65509};
inline constexpr TResStringRec SLockVsFetchAll{65510};
inline constexpr TResStringRec SLockWOSelect{65511};
inline constexpr TResStringRec SMustBeInTransaction{65512};
inline constexpr TResStringRec SDateEncodeError{65513};
inline constexpr TResStringRec SParamNameUnknown{65515};
inline constexpr TResStringRec SBadParamValue{65516};
inline constexpr TResStringRec SParamNameMissing{65517};
inline constexpr TResStringRec SParamValueMissing{65518};
inline constexpr TResStringRec SInvalidChar{65519};
inline constexpr TResStringRec SFieldNameNotDefined{65520};
inline constexpr TResStringRec sMultipleFieldsFound{65521};
inline constexpr TResStringRec SEmptySQLStatement{65522};
inline constexpr TResStringRec SKeyFieldNotFound{65523};
inline constexpr TResStringRec SBadStatementType{65524};
inline constexpr TResStringRec SBadSQLObjectName{65525};
inline constexpr TResStringRec SNoResultSet{65526};
inline constexpr TResStringRec SDataDirNotFound{65527};
inline constexpr TResStringRec SBaseDirNotFound{65528};
inline constexpr TResStringRec SErrMsgNotFound{65529};
inline constexpr TResStringRec SEServInitErr{65530};
inline constexpr TResStringRec SConnectionOpen{65531};
inline constexpr TResStringRec SEmptyTableNames{65532};
inline constexpr TResStringRec SAreYouSureRestore{65533};
inline constexpr TResStringRec SAreYouSureKill{65534};
inline constexpr TResStringRec SOpenNextPreparedSQL{65535};

}  // namespace my_messages
}  // namespace dac
