// The messages of the data-access layer and the one message table that every
// layer's messages join. A message is known by its 16-bit identifier; its
// text is looked up when it is raised, so a layer that adds its own table
// (the MySQL layer does) reaches its texts the same way. Identical texts
// share one entry of the table.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace dac {

// A message: its identifier in the message table.
struct TResStringRec {
  uint16_t Identifier;
};

// One row of a layer's messages: identifier, record name, text.
struct TMessageRow {
  uint16_t Identifier;
  const char* Name;
  const char* Text;
};

// Adds a layer's rows to the message table. An identifier the table holds
// with another text is an assertion failure; adding the same rows again
// changes nothing.
void AddMessages(std::span<const TMessageRow> rows);

// The text of a message; empty for an identifier no table holds.
std::string LoadResString(TResStringRec message);

// One value put into a message's %s or %d.
using TMessageArg = std::variant<int64_t, std::string_view>;

// The message's text with each %s and %d replaced by the next argument in
// its own form (a number as decimal digits, text as it is) and "%%" by "%".
// Texts are data, not code: a placeholder without an argument stays as it
// is, and no text can make the formatting read what it was not given.
std::string FormatMessage(TResStringRec message, std::initializer_list<TMessageArg> args);
std::string FormatText(std::string_view pattern, std::initializer_list<TMessageArg> args);

// The rows of the data-access layer's messages.
std::span<const TMessageRow> DataAccessMessages();

inline constexpr TResStringRec SUnknownDataType{65473};
inline constexpr TResStringRec SDataTypeNotSupported{65474};
inline constexpr TResStringRec SFieldNotFound{65475};
inline constexpr TResStringRec SAttributeNotFount{65476};
inline constexpr TResStringRec SCannotConvertType{65477};
inline constexpr TResStringRec SIllegalFilter{65478};
inline constexpr TResStringRec SNeedBlobType{65479};
inline constexpr TResStringRec SInvalidSharedObject{65480};
inline constexpr TResStringRec SInvalidBlob{65481};
inline constexpr TResStringRec SBlobMustBeCached{65482};
inline constexpr TResStringRec SCachedAlreadyEnabled{65483};
inline constexpr TResStringRec SKeyFieldsRequired{65484};
inline constexpr TResStringRec SKeyFieldsReq{65485};
inline constexpr TResStringRec SNoKeyFields{65486};
inline constexpr TResStringRec SBadTableInfoName{65487};
inline constexpr TResStringRec SBadStatementType{65456};
inline constexpr TResStringRec SBadUpdatingTable{65457};
inline constexpr TResStringRec SInvalidUnComprBlobSize{65458};
inline constexpr TResStringRec SInvalidComprBlobSize{65459};
inline constexpr TResStringRec SInvalidComprBlobHeader{65460};
inline constexpr TResStringRec SInvalidComprBlobData{65461};
inline constexpr TResStringRec SDataSetIsNotPrepared{65462};
inline constexpr TResStringRec SInvalidKeyField{65463};
inline constexpr TResStringRec SNotCachedUpdate{65464};
inline constexpr TResStringRec SUpdateWrongDB{65465};
inline constexpr TResStringRec SConnectionNotDefined{65466};
inline constexpr TResStringRec SCannotConnect{65467};
inline constexpr TResStringRec SMacroNotFound{65468};
inline constexpr TResStringRec STransactionInProgress{65469};
inline constexpr TResStringRec SUpdateFailed{65470};
inline constexpr TResStringRec SCustomUpdateFailed{65471};
inline constexpr TResStringRec SRefreshFailed{65440};
inline constexpr TResStringRec SInvalidFetchRows{65441};
inline constexpr TResStringRec SNoCorrespondParam{65442};
inline constexpr TResStringRec SUnknownParamDataType{65443};
inline constexpr TResStringRec SRecordChanged{65444};
inline constexpr TResStringRec STableNameNotDefined{65445};
inline constexpr TResStringRec SStoredProcNotDefined{65446};
inline constexpr TResStringRec SConnectionIsClosed{65447};
inline constexpr TResStringRec SCannotPerformIfPooling{65448};
inline constexpr TResStringRec SMaxConnectionsReached{65449};
inline constexpr TResStringRec SDataSetNotDefined{65450};
inline constexpr TResStringRec SCannotChangeIsUnicode{65451};
inline constexpr TResStringRec SColumnNotFound{65452};
inline constexpr TResStringRec SNoTimers{65453};
inline constexpr TResStringRec sBlobNotCompressed{65454};
inline constexpr TResStringRec SCompressorNotLinked{65455};
inline constexpr TResStringRec SUncompressorNotLinked{65424};
inline constexpr TResStringRec SUpdateComponentCircularReferences{65425};
inline constexpr TResStringRec SUpdateComponentInvalidType{65426};
inline constexpr TResStringRec SUpdateObjectEmptySQL{65427};
inline constexpr TResStringRec SDateEncodeError{65428};
inline constexpr TResStringRec SInvalidXML{65429};
inline constexpr TResStringRec SWrongTblCount{65430};
inline constexpr TResStringRec SBHCaption{65431};
inline constexpr TResStringRec SBHTableData{65432};
inline constexpr TResStringRec SAreYouSureRestore{65433};
inline constexpr TResStringRec SInvalidBatchMove{65434};
inline constexpr TResStringRec SCannotFindField{65435};
inline constexpr TResStringRec SInvalidLexem{65436};
inline constexpr TResStringRec SEmptySQLStatement{65437};
inline constexpr TResStringRec SInvalidBlobPosition{65438};
inline constexpr TResStringRec SConnectionInTransactionNotActive{65439};
inline constexpr TResStringRec STransactionMustBeActive{65408};
inline constexpr TResStringRec SInvalidTransactionState{65409};
inline constexpr TResStringRec SVarSubtypeNotSupported{65410};

}  // namespace dac
