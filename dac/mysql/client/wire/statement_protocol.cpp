#include "dac/mysql/client/wire/statement_protocol.h"

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

using Params = std::vector<const TParamDesc*>;

// The items that have a placeholder: all but a leading function result.
Params PlaceholderParams(const TParamDescs* params) {
  Params out;
  if (!params) return out;
  const int first = params->Count() > 0 && params->Items(0)->GetParamType() == pdResult ? 1 : 0;
  for (int i = first; i < params->Count(); ++i) out.push_back(params->Items(i));
  return out;
}

TBytes ParamTypes(const Params& params) {
  TBytes types;
  types.reserve(params.size() * 2);
  for (const TParamDesc* param : params) {
    types.push_back(ConvertInternalTypeMySQLFormat(param->GetDataType()));
    types.push_back(IsUnsignedParamType(param->GetDataType()) ? kParamUnsignedFlag : 0);
  }
  return types;
}

void WriteDate(PacketWriter& out, DateTime value) {
  const MYSQL_TIME t = DateTimeToMYSQL_TIME(value);
  out.WriteByte(4);
  out.WriteInt16(static_cast<int32_t>(t.year));
  out.WriteByte(static_cast<uint8_t>(t.month));
  out.WriteByte(static_cast<uint8_t>(t.day));
}

void WriteDateTime(PacketWriter& out, DateTime value) {
  const MYSQL_TIME t = DateTimeToMYSQL_TIME(value);
  out.WriteByte(11);
  out.WriteInt16(static_cast<int32_t>(t.year));
  for (uint32_t part : {t.month, t.day, t.hour, t.minute, t.second}) out.WriteByte(static_cast<uint8_t>(part));
  out.WriteInt32(static_cast<int32_t>(t.second_part));
}

// A time is a signed span of days: its sign, whole days and the rest, so
// that -01:30 and 36:00 arrive as they are.
void WriteTime(PacketWriter& out, double value) {
  const MYSQL_TIME t = TimeSpanToMYSQL_TIME(value);
  out.WriteByte(12);
  out.WriteBool(t.neg);
  out.WriteInt32(static_cast<int32_t>(t.day));
  for (uint32_t part : {t.hour, t.minute, t.second}) out.WriteByte(static_cast<uint8_t>(part));
  out.WriteInt32(static_cast<int32_t>(t.second_part));
}

void WriteLengthCoded(PacketWriter& out, const std::string& bytes) {
  out.WriteFieldLength(bytes.size());
  out.WriteBytes(bytes);
}

// Text and byte values, a blob's pieces as they are.
void WriteBytesValue(PacketWriter& out, const TParamDesc& param, bool use_unicode) {
  const BytesParamValue value = BytesParamValueOf(param, use_unicode);
  if (!value.pieces) {
    WriteLengthCoded(out, value.bytes);
    return;
  }
  out.WriteFieldLength(value.pieces->GetDataSize());
  for (PPieceHeader piece = value.pieces->FirstPiece(); piece; piece = NextPiece(piece))
    out.WriteBytes(PieceData(piece), piece->used);
}

void WriteValue(PacketWriter& out, const TParamDesc& param, bool use_unicode) {
  const Variant value = param.GetValue();
  switch (param.GetDataType()) {
    case dtInt8:
      out.WriteByte(static_cast<uint8_t>(value.AsInt8()));
      break;
    case dtBoolean:
      out.WriteBool(value.AsBoolean());
      break;
    case dtSmallint:
      out.WriteInt16(value.AsInt16());
      break;
    case dtWord:
      out.WriteInt32(static_cast<int32_t>(value.AsUInt16()));
      break;
    case dtInteger:
      out.WriteInt32(value.AsInt32());
      break;
    case dtUInt32:
      out.WriteInt32(static_cast<int32_t>(value.AsUInt32()));
      break;
    case dtLargeint:
      out.WriteInt64(value.AsInt64());
      break;
    case dtFloat:
      out.WriteDouble(value.AsDouble());
      break;
    case dtDate:
      WriteDate(out, value.AsDateTime());
      break;
    case dtTime:
      WriteTime(out, value.AsDateTime());
      break;
    case dtDateTime:
      WriteDateTime(out, value.AsDateTime());
      break;
    case dtBCD:
    case dtFmtBCD:
      WriteLengthCoded(out, BCDParamDescToStr(param));
      break;
    default:
      WriteBytesValue(out, param, use_unicode);
      break;
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

TBytes BuildExecute(PacketWriter& out, const ExecuteRequest& request) {
  const Params params = PlaceholderParams(request.params);
  const bool with_params = request.param_count > 0 && params.size() == static_cast<size_t>(request.param_count);
  // Checked before anything is written: a type without an encoding sends nothing.
  const TBytes types = with_params ? ParamTypes(params) : request.types_sent_last;
  out.WriteInt32(static_cast<int32_t>(request.statement_id));
  out.WriteByte(0);
  out.WriteInt32(1);
  if (!with_params) return types;

  TBytes bitmap((params.size() + 7) / 8, 0);
  for (size_t i = 0; i < params.size(); ++i)
    if (params[i]->GetNull()) bitmap[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
  out.WriteBytes(bitmap);
  const bool changed = types != request.types_sent_last;
  out.WriteBool(changed);
  if (changed) out.WriteBytes(types);
  for (const TParamDesc* param : params)
    if (!param->GetNull()) WriteValue(out, *param, request.use_unicode);
  return types;
}

}  // namespace dac
