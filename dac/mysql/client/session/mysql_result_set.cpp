#include "dac/mysql/client/session/mysql_result_set.h"

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/session/mysql_session.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "dac/mysql/client/wire/packet_reader.h"
#include "dac/mysql/client/wire/protocol.h"
#include "dac/mysql/client/wire/row_decoder.h"
#include "dac/store/runtime/buffer_routines.h"

namespace dac {

DAC_DEFINE_CLASS(TRows, TObject, TMetaClassOf<TRows>)
DAC_DEFINE_CLASS(TMySqlResultSet, TObject, TMetaClass)

TMySqlResultSet::TMySqlResultSet(TMySqlSession* session)
    : TMySqlResultSet(session, session ? session->GetFieldsInfo() : TMySqlFieldInfos(),
                      session ? session->GetFieldCount() : 0, nullptr) {}

TMySqlResultSet::TMySqlResultSet(TMySqlSession* session, TMySqlFieldInfos fields, int field_count,
                                 std::unique_ptr<TMySqlBinds> result_binds)
    : field_count_(field_count), result_binds_(std::move(result_binds)), fields_info_(std::move(fields)) {
  DAC_ASSERT(session != nullptr, "result set without a session");
  link_ = session->GetLink();
  result_id_ = session->GetOpenResult();
  own_binds_ = std::make_unique<TMySqlBinds>(field_count_);
  types_.reserve(fields_info_.size());
  for (const TMySqlFieldInfo& field : fields_info_) types_.push_back(field.type);
}

TMySqlResultSet::~TMySqlResultSet() {
  try {
    Clear();
  } catch (...) {
    // A destructor never throws; a failed drain shows on the next command.
  }
}

TMySqlSession* TMySqlResultSet::GetSession() const { return link_ ? link_->session : nullptr; }

TMySqlSession& TMySqlResultSet::ReadingSession() {
  TMySqlSession* session = GetSession();
  if (!session) throw EMySqlException(kCrServerGoneError);
  if (result_id_ != 0 && session->GetOpenResult() != result_id_) throw EMySqlException(kCrCommandsOutOfSync);
  return *session;
}

void TMySqlResultSet::EndOfRows(const uint8_t* end_packet, int length) {
  GetSession()->Apply(ParseEndPacket(end_packet, static_cast<size_t>(length)));
  ended_ = true;
  current_row_ = nullptr;
  current_row_length_ = 0;
  eof_ = true;
}

int TMySqlResultSet::ReceiveRow(TMySqlNet& net, TBytes* into) {
  try {
    if (into) return net.ReceiveBuffer(*into);
    net.Receive();
    return net.GetLength();
  } catch (const EMySqlException& e) {
    // An error in place of a row ends the result: nothing more follows it.
    GetSession()->Apply(ErrorPacket{e.ErrorCode(), e.Message()});
    ended_ = true;
    eof_ = true;
    current_row_ = nullptr;
    current_row_length_ = 0;
    throw;
  }
}

void TMySqlResultSet::ReadRows() {
  TMySqlNet& net = ReadingSession().GetNet();
  rows_ = std::make_unique<TRows>();
  row_index_ = 0;
  eof_ = false;
  for (;;) {
    TBytes row;
    const int length = ReceiveRow(net, &row);
    if (IsEndPacket(row.data(), static_cast<size_t>(length), kStoreEndLimit)) {
      EndOfRows(row.data(), length);
      break;
    }
    rows_->Add(std::move(row));
  }
  eof_ = rows_->GetCount() == 0;
}

bool TMySqlResultSet::ReadRow() {
  ClearGCHandleData();
  if (eof_) return false;
  TMySqlNet& net = ReadingSession().GetNet();
  const int length = ReceiveRow(net, nullptr);
  const uint8_t* data = net.GetData();
  if (length < 1) ThrowMalformed("empty row packet");
  if (IsEndPacket(data, static_cast<size_t>(length), kUseEndLimit)) {
    EndOfRows(data, length);
    return false;
  }
  current_row_ = data;
  current_row_length_ = length;
  ++rows_read_;
  return true;
}

void TMySqlResultSet::Decode(TMySqlBinds*& binds) {
  if (result_binds_) {
    if (types_.size() < static_cast<size_t>(field_count_)) ThrowMalformed("row without its column descriptions");
    DecodeBinaryRow(current_row_, current_row_length_, types_.data(), field_count_, *result_binds_);
    binds = result_binds_.get();
    return;
  }
  if (!binds) throw EMySqlException(kCrNullPointer);
  DecodeTextRow(current_row_, current_row_length_, field_count_, *binds);
}

// Every row of a fetch comes through here: the steps it takes are inlined.
[[gnu::flatten]] bool TMySqlResultSet::Read(TMySqlBinds*& binds) {
  if (eof_) return false;
  if (rows_) {
    if (row_index_ >= rows_->GetCount()) {
      eof_ = true;
      return false;
    }
    const TBytes& row = rows_->Get(row_index_);
    current_row_ = row.data();
    current_row_length_ = static_cast<int>(row.size());
    Decode(binds);
    ++row_index_;
    eof_ = row_index_ >= rows_->GetCount();
    return true;
  }
  if (!ReadRow()) return false;
  Decode(binds);
  return true;
}

void TMySqlResultSet::Seek(int index) {
  if (!rows_) throw NotSupportedException("Seek is not supported for an unbuffered result");
  if (index < 0 || index >= rows_->GetCount()) throw ArgumentException("Row index out of range");
  row_index_ = index;
  eof_ = false;
}

int64_t TMySqlResultSet::GetRowCount() const { return rows_ ? rows_->GetCount() : rows_read_; }

void TMySqlResultSet::ReadFieldsInfo(int count, TMySqlFieldInfos& infos) {
  const int available = rows_ ? rows_->GetCount() : 0;
  if (count != available) ThrowMalformed("column definitions do not match the column count");
  TMySqlSession* session = GetSession();
  if (!session) throw EMySqlException(kCrServerGoneError);
  const bool long_flag = (session->GetServerCapabilities() & kClientLongFlag) != 0;
  infos.clear();
  infos.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const TBytes& row = rows_->Get(i);
    infos.push_back(ParseColumnDefinition(row.data(), row.size(), field_count_ >= 7, long_flag));
  }
}

void TMySqlResultSet::SetresultBind(std::unique_ptr<TMySqlBinds> binds) {
  DAC_ASSERT(!binds || binds->Count() >= field_count_, "fewer result binds than fields");
  result_binds_ = std::move(binds);
}

void TMySqlResultSet::Clear() {
  ClearGCHandleData();
  current_row_ = nullptr;
  current_row_length_ = 0;
  result_binds_.reset();
  fields_info_.clear();
  if (rows_) {
    rows_->Clear();
    rows_.reset();
  }
  // Drained only while this result's rows are still on the connection.
  TMySqlSession* session = GetSession();
  const bool drain = session && !ended_ && result_id_ != 0 && session->GetOpenResult() == result_id_;
  if (session) session->Apply(ResultReleased{this});
  link_.reset();
  eof_ = true;
  own_binds_.reset();
  if (drain) session->FreeQuery();
}

void* TMySqlResultSet::GetGCHandleData() {
  DAC_ASSERT(current_row_ != nullptr, "no current row");
  if (!pinned_) pinned_ = AllocGCHandle(const_cast<uint8_t*>(current_row_), true);
  return pinned_;
}

void TMySqlResultSet::ClearGCHandleData() {
  if (pinned_) FreeGCHandle(pinned_);
  pinned_ = nullptr;
}

}  // namespace dac
