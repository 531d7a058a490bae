#include "dac/mysql/client/mysql_result_set.h"

#include "dac/framework/exceptions.h"
#include "dac/mysql/client/client_errors.h"
#include "dac/mysql/client/mysql_session.h"
#include "dac/mysql/client/packet_reader.h"
#include "dac/mysql/client/row_decoder.h"
#include "dac/store/buffer_routines.h"

namespace dac {

DAC_DEFINE_CLASS(TRows, TObject, TMetaClassOf<TRows>)
DAC_DEFINE_CLASS(TMySqlResultSet, TObject, TMetaClass)

namespace {

// End packets: 0xFE and shorter than this (store mode: 8, use mode and draining: 9).
constexpr int kStoreEndLimit = 8;
constexpr int kUseEndLimit = 9;

}  // namespace

TMySqlResultSet::TMySqlResultSet(TMySqlSession* session) : session_(session) {
  DAC_ASSERT(session_ != nullptr, "result set without a session");
  field_count_ = session_->GetFieldCount();
  fields_info_ = session_->GetFieldsInfo();
  own_binds_ = std::make_unique<TMySqlBinds>(field_count_);
  session_result_ = true;
}

TMySqlResultSet::TMySqlResultSet(TMySqlSession* session, TMySqlFieldInfos fields, int field_count,
                                 std::unique_ptr<TMySqlBinds> result_binds)
    : field_count_(field_count), result_binds_(std::move(result_binds)), fields_info_(std::move(fields)),
      session_(session) {
  DAC_ASSERT(session_ != nullptr, "result set without a session");
  own_binds_ = std::make_unique<TMySqlBinds>(field_count_);
}

TMySqlResultSet::~TMySqlResultSet() {
  try {
    Clear();
  } catch (...) {
    // A destructor never throws; a failed drain shows on the next command.
  }
}

void TMySqlResultSet::EndOfRows(const uint8_t* end_packet, int length) {
  if (length > 1) {
    if (length < 5) ThrowMalformed("short end packet");
    PacketReader reader(end_packet, static_cast<size_t>(length), 1);
    session_->SetWarningCount(reader.ReadUInt16());
    session_->SetServerStatus(reader.ReadUInt16());
  }
  if (session_result_) session_->SetStatus(msReady);
  ended_ = true;
  current_row_ = nullptr;
  current_row_length_ = 0;
  eof_ = true;
}

void TMySqlResultSet::ReadRows(int max_rows) {
  DAC_ASSERT(session_ != nullptr, "result set already cleared");
  rows_ = std::make_unique<TRows>();
  row_index_ = 0;
  eof_ = false;
  TMySqlNet& net = session_->GetNet();
  for (;;) {
    TBytes row;
    const int length = net.ReceiveBuffer(row);
    if (length < kStoreEndLimit && row[0] == 0xFE) {
      EndOfRows(row.data(), length);
      break;
    }
    if (max_rows >= 0 && rows_->GetCount() >= max_rows) ThrowMalformed("more rows than announced");
    rows_->Add(std::move(row));
  }
  eof_ = rows_->GetCount() == 0;
}

bool TMySqlResultSet::ReadRow() {
  ClearGCHandleData();
  if (eof_) return false;
  TMySqlNet& net = session_->GetNet();
  net.Receive();
  const int length = net.GetLength();
  const uint8_t* data = net.GetData();
  if (length < 1) ThrowMalformed("empty row packet");
  if (length < kUseEndLimit && data[0] == 0xFE) {
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
    DecodeBinaryRow(current_row_, current_row_length_, fields_info_, field_count_, *result_binds_);
    binds = result_binds_.get();
    return;
  }
  if (!binds) throw EMySqlException(kCrNullPointer);
  DecodeTextRow(current_row_, current_row_length_, field_count_, *binds);
}

bool TMySqlResultSet::Read(TMySqlBinds*& binds) {
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

namespace {

std::string ValueText(const uint8_t* row, const TMySqlBind& bind) {
  if (bind.is_null) return std::string();
  return std::string(reinterpret_cast<const char*>(row + bind.offset), static_cast<size_t>(bind.length));
}

// A fixed-size value of the older layout; its width must be exact.
PacketReader FixedValue(const uint8_t* row, const TMySqlBind& bind, int min_length) {
  if (bind.is_null || bind.length < min_length) ThrowMalformed("short column definition");
  return PacketReader(row + bind.offset, static_cast<size_t>(bind.length));
}

}  // namespace

void TMySqlResultSet::ReadFieldsInfo(int count, TMySqlFieldInfos& infos) {
  const int available = rows_ ? rows_->GetCount() : 0;
  if (count != available) ThrowMalformed("column definitions do not match the column count");
  infos.clear();
  infos.reserve(static_cast<size_t>(count));
  const bool protocol41 = field_count_ >= 7;
  TMySqlBinds binds(field_count_);
  const bool long_flag = (session_->GetServerCapabilities() & kClientLongFlag) != 0;
  for (int i = 0; i < count; ++i) {
    const TBytes& row = rows_->Get(i);
    DecodeTextRow(row.data(), static_cast<int>(row.size()), field_count_, binds);
    const uint8_t* data = row.data();
    if (protocol41) {
      PacketReader fixed = FixedValue(data, binds[6], 10);
      const int32_t charsetnr = fixed.ReadUInt16();
      const int32_t length = static_cast<int32_t>(fixed.ReadUInt32());
      const uint8_t type = fixed.ReadByte();
      const uint32_t flags = fixed.ReadUInt16();
      const int32_t decimals = fixed.ReadByte();
      infos.push_back(MySqlFieldInfo(ValueText(data, binds[4]), ValueText(data, binds[5]), ValueText(data, binds[2]),
                                     ValueText(data, binds[3]), ValueText(data, binds[1]), std::string(), length,
                                     decimals, 0, flags, charsetnr, type));
    } else {
      const std::string table = ValueText(data, binds[0]);
      const int32_t length = static_cast<int32_t>(FixedValue(data, binds[2], 3).ReadInt24());
      const uint8_t type = FixedValue(data, binds[3], 1).ReadByte();
      PacketReader flags_value = FixedValue(data, binds[4], long_flag ? 3 : 2);
      const uint32_t flags = long_flag ? flags_value.ReadUInt16() : flags_value.ReadByte();
      const int32_t decimals = flags_value.ReadByte();
      infos.push_back(MySqlFieldInfo(ValueText(data, binds[1]), std::string(), table, table, std::string(),
                                     std::string(), length, decimals, 0, flags, 0, type));
    }
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
  if (session_ && session_result_ && !ended_ && session_->GetStatus() != msReady) {
    TMySqlSession* session = session_;
    session_ = nullptr;
    eof_ = true;
    session->FreeQuery();
  }
  session_ = nullptr;
  eof_ = true;
  own_binds_.reset();
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
