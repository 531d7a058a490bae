#include "dac/mysql/provider/my_messages.h"

namespace dac {

namespace {

constexpr TMessageRow kMySQLRows[] = {
    {65472, "SBHTableData", "-- \r\n-- Dumping data for table %s\r\n-- \r\n\r\n"},
    {65488, "SInvalidClientVersion", "Invalid client version"},
    {65489, "SInvalidUnComprBlobSize", "Invalid uncompressed blob size"},
    {65490, "SInvalidComprBlobSize", "Invalid compressed blob size"},
    {65491, "SInvalidComprBlobHeader", "Invalid compressed blob header"},
    {65492, "SInvalidComprBlobData", "Invalid compressed blob data"},
    {65493, "STableMsgEvent", "%s %s - %s"},
    {65494, "sMultipleVariablesFound", "More than one variable found"},
    {65495, "sNoVariablesFound", "No variables with the name %s found"},
    {65496, "SWrongTblCount", "To execute BackupQuery TableNames must have not more than one table"},
    {65497, "SCannotIntercept", "Cannot intercept"},
    {65498, "STwoEmbServer",
     "Cannot run second Embedded server instance for single data folder. Please see details in Halvex help or "
     "MySQL Reference manual"},
    {65499, "SBHCaption",
     "-- Halvex version: %s\r\n-- MySQL server version: %s\r\n-- MySQL client version: %s\r\n-- Script date %s\r\n"
     "-- ---------------------------------------------------------------------- \r\n"
     "-- Server: %s\r\n-- Database: %s\r\n\r\n"},
    {65500, "SBHDatabase", "-- \r\n-- Database %s structure\r\n-- \r\n\r\n"},
    {65501, "SBHUsers", "-- \r\n-- User permissions\r\n-- \r\n\r\n"},
    {65502, "SBHStoredProcStruct", "-- \r\n-- StoredProc  %s\r\n-- \r\n\r\n"},
    {65503, "SBHTableStruct", "-- \r\n-- Table structure for table  %s\r\n-- \r\n\r\n"},
    {65504, "SOpenNextVsFetchAll", "OpenNext is not compatible with FetchAll = True"},
    {65505, "STimestampFieldRequired", "Timestamp field required"},
    {65506, "SPrepareNotSupportedC", "Prepare/UnPrepare is not supported by this MySQL client version"},
    {65507, "SPrepareNotSupportedS", "Prepare/UnPrepare is not supported by this MySQL server version"},
    {65508, "SLockTableVsFetchAll", "LockTable is not compatible with FetchAll = False"},
    {65509, "SNoRecordToLock", "There is no active record to lock"},
    {65510, "SLockVsFetchAll", "Lock is not compatible with FetchAll = False"},
    {65511, "SLockWOSelect", "Lock can be used only with queries returning resultset"},
    {65512, "SMustBeInTransaction", "Lock cannot be called outside transaction context"},
    {65513, "SDateEncodeError", "Invalid argument to date encode"},
    {65515, "SParamNameUnknown", "Parameter name is unknown - %s"},
    {65516, "SBadParamValue", "Bad parameter value - %s=%s"},
    {65517, "SParamNameMissing", "Parameter name missing"},
    {65518, "SParamValueMissing", "Parameter value missing"},
    {65519, "SInvalidChar", "Invalid character in non-quoted parameter value"},
    {65520, "SFieldNameNotDefined", "Field name must be defined"},
    {65521, "sMultipleFieldsFound", "More than one field found"},
    {65522, "SEmptySQLStatement", "No SQL statement provided"},
    {65523, "SKeyFieldNotFound", "%s: Key field '%s' not found"},
    {65524, "SBadStatementType", "Bad statement type"},
    {65525, "SBadSQLObjectName", "SQL Object name must be provided"},
    {65526, "SNoResultSet", "Query must return exactly result set - use Execute"},
    {65527, "SDataDirNotFound", "Path to the folder to store data %s not found"},
    {65528, "SBaseDirNotFound", "Path to the MySQL basedir %s not found"},
    {65529, "SErrMsgNotFound", "File %s not found"},
    {65530, "SEServInitErr", "A call to an mysql_server_init failed"},
    {65531, "SConnectionOpen", "Cannot perform this operation on an open connection"},
    {65532, "SEmptyTableNames", "No TableNames provided"},
    {65533, "SAreYouSureRestore", "Are you sure to restore data?"},
    {65534, "SAreYouSureKill", "Are you sure to kill process?"},
    {65535, "SOpenNextPreparedSQL", "Cannot OpenNext if statement is Prepared"},
};

}  // namespace

std::span<const TMessageRow> MySQLMessages() { return kMySQLRows; }

void AddMySQLMessages() {
  // A function-local static runs its initialiser once, also across threads.
  static const bool added = [] {
    AddMessages(kMySQLRows);
    return true;
  }();
  (void)added;
}

}  // namespace dac
