#include "dac/mysql/client/wire/statement_protocol.h"

#include <cstring>
#include <iterator>
#include <vector>

#include "dac/core/server/param_desc.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/client/wire/packet_reader.h"
#include "dac/mysql/client/wire/param_types.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data_types.h"

namespace dac {

namespace {

// Small values gather here and go into the packet a few hundred bytes at a
// time, rather than a call to the stream per value.
class StagedBytes {
 public:
  explicit StagedBytes(PacketWriter& out) : out_(out) {}
  ~StagedBytes() = default;
  StagedBytes(const StagedBytes&) = delete;
  StagedBytes& operator=(const StagedBytes&) = delete;

  // Room for count bytes; a count beyond the staging area goes to the packet.
  uint8_t* Room(size_t count) {
    if (used_ + count > sizeof staged_) {
      Flush();
      if (count > sizeof staged_) return out_.Extend(count);
    }
    uint8_t* at = staged_ + used_;
    used_ += count;
    return at;
  }
  void Byte(uint8_t value) { *Room(1) = value; }
  // The low Size bytes, least significant first.
  template <size_t Size>
  void Little(uint64_t value) {
    uint8_t* at = Room(Size);
    for (size_t i = 0; i < Size; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
  }
  void FieldLength(uint64_t value) {
    if (value < 251) {
      Byte(static_cast<uint8_t>(value));
    } else if (value < 0x10000) {
      Byte(252);
      Little<2>(value);
    } else if (value < 0x1000000) {
      Byte(253);
      Little<3>(value);
    } else {
      Byte(254);
      Little<8>(value);
    }
  }
  void Bytes(const void* bytes, size_t count) {
    if (count == 0) return;
    if (used_ + count <= sizeof staged_) {
      std::memcpy(staged_ + used_, bytes, count);
      used_ += count;
      return;
    }
    Flush();
    out_.WriteBytes(static_cast<const uint8_t*>(bytes), count);
  }
  void Flush() {
    if (used_ == 0) return;
    std::memcpy(out_.Extend(used_), staged_, used_);
    used_ = 0;
  }

 private:
  PacketWriter& out_;
  uint8_t staged_[512];
  size_t used_ = 0;
};

// The index of the first item with a placeholder: a leading function result has none.
int FirstPlaceholder(const TParamDescs& params) {
  return params.Count() > 0 && params.Items(0)->GetParamType() == pdResult ? 1 : 0;
}

// The items with a placeholder, looked up once.
class Placeholders {
 public:
  Placeholders(const TParamDescs& params, int first) : count_(params.Count() - first) {
    if (count_ > static_cast<int>(std::size(few_))) {
      many_.resize(static_cast<size_t>(count_));
      items_ = many_.data();
    }
    for (int i = 0; i < count_; ++i) items_[i] = params.Items(first + i);
  }
  Placeholders(const Placeholders&) = delete;
  Placeholders& operator=(const Placeholders&) = delete;

  int Count() const { return count_; }
  const TParamDesc& operator[](int index) const { return *items_[index]; }

 private:
  int count_;
  const TParamDesc* few_[32];
  std::vector<const TParamDesc*> many_;
  const TParamDesc** items_ = few_;
};

void FillTypes(const Placeholders& params, TBytes& types) {
  types.resize(static_cast<size_t>(params.Count()) * 2);
  uint8_t* at = types.data();
  for (int i = 0; i < params.Count(); ++i) {
    const uint16_t data_type = params[i].GetDataType();
    *at++ = ConvertInternalTypeMySQLFormat(data_type);
    *at++ = IsUnsignedParamType(data_type) ? kParamUnsignedFlag : 0;
  }
}

void WriteDate(StagedBytes& out, DateTime value) {
  const MYSQL_TIME t = DateTimeToMYSQL_TIME(value);
  uint8_t* at = out.Room(5);
  at[0] = 4;
  at[1] = static_cast<uint8_t>(t.year);
  at[2] = static_cast<uint8_t>(t.year >> 8);
  at[3] = static_cast<uint8_t>(t.month);
  at[4] = static_cast<uint8_t>(t.day);
}

void WriteDateTime(StagedBytes& out, DateTime value) {
  const MYSQL_TIME t = DateTimeToMYSQL_TIME(value);
  uint8_t* at = out.Room(12);
  at[0] = 11;
  at[1] = static_cast<uint8_t>(t.year);
  at[2] = static_cast<uint8_t>(t.year >> 8);
  at[3] = static_cast<uint8_t>(t.month);
  at[4] = static_cast<uint8_t>(t.day);
  at[5] = static_cast<uint8_t>(t.hour);
  at[6] = static_cast<uint8_t>(t.minute);
  at[7] = static_cast<uint8_t>(t.second);
  for (int i = 0; i < 4; ++i) at[8 + i] = static_cast<uint8_t>(t.second_part >> (8 * i));
}

// A time is a signed span of days: its sign, whole days and the rest, so
// that -01:30 and 36:00 arrive as they are.
void WriteTime(StagedBytes& out, double value) {
  const MYSQL_TIME t = TimeSpanToMYSQL_TIME(value);
  out.Byte(12);
  out.Byte(t.neg ? 1 : 0);
  out.Little<4>(t.day);
  out.Byte(static_cast<uint8_t>(t.hour));
  out.Byte(static_cast<uint8_t>(t.minute));
  out.Byte(static_cast<uint8_t>(t.second));
  out.Little<4>(t.second_part);
}

void WriteLengthCoded(StagedBytes& out, const std::string& bytes) {
  out.FieldLength(bytes.size());
  out.Bytes(bytes.data(), bytes.size());
}

// Text and byte values, a blob's pieces as they are.
void WriteBytesValue(StagedBytes& out, const TParamDesc& param, bool use_unicode) {
  const BytesParamValue value = BytesParamValueOf(param, use_unicode);
  if (!value.pieces) {
    WriteLengthCoded(out, value.bytes);
    return;
  }
  out.FieldLength(value.pieces->GetDataSize());
  for (PPieceHeader piece = value.pieces->FirstPiece(); piece; piece = NextPiece(piece))
    out.Bytes(PieceData(piece), piece->used);
}

void WriteValue(StagedBytes& out, const TParamDesc& param, bool use_unicode) {
  switch (param.GetDataType()) {
    case dtInt8:
      return out.Byte(static_cast<uint8_t>(param.GetValue().AsInt8()));
    case dtBoolean:
      return out.Byte(param.GetValue().AsBoolean() ? 1 : 0);
    case dtSmallint:
      return out.Little<2>(static_cast<uint16_t>(param.GetValue().AsInt16()));
    case dtWord:
      return out.Little<4>(param.GetValue().AsUInt16());
    case dtInteger:
      return out.Little<4>(static_cast<uint32_t>(param.GetValue().AsInt32()));
    case dtUInt32:
      return out.Little<4>(param.GetValue().AsUInt32());
    case dtLargeint:
      return out.Little<8>(static_cast<uint64_t>(param.GetValue().AsInt64()));
    case dtFloat: {
      const double number = param.GetValue().AsDouble();
      uint64_t bits;
      std::memcpy(&bits, &number, sizeof bits);
      return out.Little<8>(bits);
    }
    case dtDate:
      return WriteDate(out, param.GetValue().AsDateTime());
    case dtTime:
      return WriteTime(out, param.GetValue().AsDateTime());
    case dtDateTime:
      return WriteDateTime(out, param.GetValue().AsDateTime());
    case dtBCD:
    case dtFmtBCD:
      return WriteLengthCoded(out, BCDParamDescToStr(param));
    default:
      return WriteBytesValue(out, param, use_unicode);
  }
}

}  // namespace

PrepareOk ParsePrepareOk(const uint8_t* data, size_t length) {
  PacketReader reader(data, length);
  if (reader.ReadByte() != 0) ThrowMalformed("not a prepare reply");
  PrepareOk ok;
  ok.statement_id = reader.ReadUInt32();
  ok.column_count = reader.ReadUInt16();
  ok.param_count = reader.ReadUInt16();
  if (reader.Remaining() >= 3) {
    reader.Skip(1);
    ok.warning_count = reader.ReadUInt16();
  }
  return ok;
}

void BuildExecute(PacketWriter& out, const ExecuteRequest& request, TBytes& types) {
  static const TBytes kNoTypes;
  const TBytes& sent_last = request.types_sent_last ? *request.types_sent_last : kNoTypes;
  const int count = request.params ? request.params->Count() - FirstPlaceholder(*request.params) : 0;
  const bool with_params = request.param_count > 0 && count == request.param_count;
  StagedBytes staged(out);
  staged.Little<4>(request.statement_id);
  staged.Byte(0);
  staged.Little<4>(1);
  if (!with_params) {
    types = sent_last;
    staged.Flush();
    return;
  }
  const Placeholders params(*request.params, FirstPlaceholder(*request.params));
  // Checked before anything is written: a type without an encoding sends nothing.
  FillTypes(params, types);
  // The NULL flags are asked for once, and kept for the values below.
  const size_t bitmap_size = (static_cast<size_t>(count) + 7) / 8;
  uint8_t few[64];
  std::vector<uint8_t> many;
  uint8_t* nulls = few;
  if (bitmap_size > sizeof few) {
    many.resize(bitmap_size);
    nulls = many.data();
  }
  std::memset(nulls, 0, bitmap_size);
  for (int i = 0; i < count; ++i)
    if (params[i].GetNull()) nulls[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
  staged.Bytes(nulls, bitmap_size);
  const bool changed = types != sent_last;
  staged.Byte(changed ? 1 : 0);
  if (changed) staged.Bytes(types.data(), types.size());
  for (int i = 0; i < count; ++i)
    if (!(nulls[i / 8] & (1u << (i % 8)))) WriteValue(staged, params[i], request.use_unicode);
  staged.Flush();
}

TBytes BuildExecute(PacketWriter& out, const ExecuteRequest& request) {
  TBytes types;
  BuildExecute(out, request, types);
  return types;
}

}  // namespace dac
