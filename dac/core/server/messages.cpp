#include "dac/core/server/messages.h"

#include <map>
#include <mutex>
#include <vector>

#include "dac/framework/classes/exceptions.h"

namespace dac {

namespace {

constexpr TMessageRow kDataAccessRows[] = {
    {65473, "SUnknownDataType", "Unknown data type"},
    {65474, "SDataTypeNotSupported", "Data type is not supported"},
    {65475, "SFieldNotFound", "Field %s not found"},
    {65476, "SAttributeNotFount", "Attribute %s not found"},
    {65477, "SCannotConvertType", "Cannot convert type"},
    {65478, "SIllegalFilter", "Illegal filter expression"},
    {65479, "SNeedBlobType", "Field is not BLOB"},
    {65480, "SInvalidSharedObject", "Invalid SharedObject"},
    {65481, "SInvalidBlob", "Invalid BLOB"},
    {65482, "SBlobMustBeCached", "Blob must be in cached mode"},
    {65483, "SCachedAlreadyEnabled", "Cached is already enabled"},
    {65484, "SKeyFieldsRequired", "Key fields required to call FindKey or FindNearest"},
    {65485, "SKeyFieldsReq", "Unique keyfields required"},
    {65486, "SNoKeyFields", "Key fields not found"},
    {65487, "SBadTableInfoName", "TableInfo name must be provided"},
    {65456, "SBadStatementType", "Bad statement type"},
    {65457, "SBadUpdatingTable", "Wrong UpdatingTable value - table %s is unknown"},
    {65458, "SInvalidUnComprBlobSize", "Invalid uncompressed blob size"},
    {65459, "SInvalidComprBlobSize", "Invalid compressed blob size"},
    {65460, "SInvalidComprBlobHeader", "Invalid compressed blob header"},
    {65461, "SInvalidComprBlobData", "Invalid compressed blob data"},
    {65462, "SDataSetIsNotPrepared", "DataSet is not prepared"},
    {65463, "SInvalidKeyField", "Error in KeyFields string"},
    {65464, "SNotCachedUpdate", "Not in cached update mode"},
    {65465, "SUpdateWrongDB", "Cannot update, %s is not owned by %s"},
    {65466, "SConnectionNotDefined", "Connection is not defined"},
    {65467, "SCannotConnect", "Cannot connect to database"},
    {65468, "SMacroNotFound", "Macro %s not found"},
    {65469, "STransactionInProgress", "User transaction is already in progress"},
    {65470, "SUpdateFailed", "Update failed. Found %d records"},
    {65471, "SCustomUpdateFailed", "Update failed"},
    {65440, "SRefreshFailed", "Refresh failed. Found %d records"},
    {65441, "SInvalidFetchRows", "FetchRows must be 1..10000"},
    {65442, "SNoCorrespondParam", "Not found field corresponding parameter %s"},
    {65443, "SUnknownParamDataType", "Unknown type of parameter %s"},
    {65444, "SRecordChanged", "Record was changed by another user"},
    {65445, "STableNameNotDefined", "TableName must be defined"},
    {65446, "SStoredProcNotDefined", "StoredProcName must be defined"},
    {65447, "SConnectionIsClosed", "Operation is not allowed when the connection is closed"},
    {65448, "SCannotPerformIfPooling", "Operation is not allowed when Pooling is True"},
    {65449, "SMaxConnectionsReached", "Maximum connections reached in pool"},
    {65450, "SDataSetNotDefined", "DataSet must be defined"},
    {65451, "SCannotChangeIsUnicode", "Cannot change IsUnicode if Size > 0"},
    {65452, "SColumnNotFound", "Column %s not found"},
    {65453, "SNoTimers", "Not enough timers available"},
    {65454, "sBlobNotCompressed", "Blob is not compressed"},
    {65455, "SCompressorNotLinked", "Compressor function is not linked"},
    {65424, "SUncompressorNotLinked", "Uncompressor function is not linked"},
    {65425, "SUpdateComponentCircularReferences",
     "Circular references are not allowed between TCustomDADataset and TCustomDAUpdateSQL objects"},
    {65426, "SUpdateComponentInvalidType", "Only %s and %s objects are allowed in update properties"},
    {65427, "SUpdateObjectEmptySQL",
     "SQL property of InsertObject, ModifyObject, DeleteObject or RefreshObject cannot be empty"},
    {65428, "SDateEncodeError", "Invalid argument to date encode"},
    {65429, "SInvalidXML", "Invalid XML document"},
    {65430, "SWrongTblCount", "To execute BackupQuery TableNames must have not more than one table"},
    {65431, "SBHCaption",
     "-- %s version: %s\r\n-- %s server version: %s\r\n-- %s client version: %s\r\n-- Script date %s\r\n"
     "-- ---------------------------------------------------------------------- \r\n"
     "-- Server: %s\r\n-- Database: %s\r\n\r\n"},
    {65432, "SBHTableData", "-- \r\n-- Dumping data for table %s\r\n-- \r\n\r\n"},
    {65433, "SAreYouSureRestore", "Are you sure to restore data?"},
    {65434, "SInvalidBatchMove", "Invalid batch move parameters"},
    {65435, "SCannotFindField", "Cannot find field"},
    {65436, "SInvalidLexem", "Invalid lexem \"%s\" at position %d in statement:\r\n%s"},
    {65437, "SEmptySQLStatement", "No SQL statement provided"},
    {65438, "SInvalidBlobPosition", "Invalid BLOB position"},
    {65439, "SConnectionInTransactionNotActive", "One of the connections in the transaction is not active"},
    {65408, "STransactionMustBeActive", "Transaction must be active to perform this operation"},
    {65409, "SInvalidTransactionState", "Cannot perform operation when transaction is active"},
    {65410, "SVarSubtypeNotSupported", "Variant subtype is not supported: %d"},
};

// Identifiers to entries; one entry per distinct text.
class TMessageTable {
 public:
  TMessageTable() { Add(kDataAccessRows); }

  // Checks every row before it adds any.
  void Add(std::span<const TMessageRow> rows) {
    std::lock_guard lock(mutex_);
    for (const TMessageRow& row : rows) {
      auto found = index_.find(row.Identifier);
      DAC_ASSERT(found == index_.end() || texts_[found->second] == row.Text,
                 Format("Message %u already holds another text", row.Identifier));
    }
    for (const TMessageRow& row : rows)
      if (!index_.contains(row.Identifier)) index_.emplace(row.Identifier, EntryOf(row.Text));
  }

  std::string Text(uint16_t identifier) const {
    std::lock_guard lock(mutex_);
    auto found = index_.find(identifier);
    return found == index_.end() ? std::string() : texts_[found->second];
  }

 private:
  size_t EntryOf(const std::string& text) {
    for (size_t i = 0; i < texts_.size(); ++i)
      if (texts_[i] == text) return i;
    texts_.push_back(text);
    return texts_.size() - 1;
  }

  mutable std::mutex mutex_;
  std::map<uint16_t, size_t> index_;
  std::vector<std::string> texts_;
};

TMessageTable& Table() {
  static TMessageTable table;
  return table;
}

void AppendArg(std::string& out, const TMessageArg& arg) {
  if (const int64_t* number = std::get_if<int64_t>(&arg))
    out += std::to_string(*number);
  else
    out += std::get<std::string_view>(arg);
}

}  // namespace

void AddMessages(std::span<const TMessageRow> rows) { Table().Add(rows); }

std::string LoadResString(TResStringRec message) { return Table().Text(message.Identifier); }

std::string FormatText(std::string_view pattern, std::initializer_list<TMessageArg> args) {
  std::string out;
  auto next = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    const char spec = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (c == '%' && spec == '%') {
      out += '%';
      ++i;
    } else if (c == '%' && (spec == 's' || spec == 'd') && next != args.end()) {
      AppendArg(out, *next++);
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

std::string FormatMessage(TResStringRec message, std::initializer_list<TMessageArg> args) {
  return FormatText(LoadResString(message), args);
}

std::span<const TMessageRow> DataAccessMessages() { return kDataAccessRows; }

}  // namespace dac
