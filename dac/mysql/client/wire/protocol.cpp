#include "dac/mysql/client/wire/protocol.h"

#include "dac/mysql/client/wire/client_errors.h"
#include "dac/mysql/client/wire/packet_reader.h"
#include "dac/mysql/client/wire/password_scramble.h"

namespace dac {

namespace {

constexpr uint8_t kCharsetLatin1 = 8;

// One length-coded text; NULL reads as empty.
std::string LengthCodedText(PacketReader& reader) {
  const int64_t length = reader.ReadValueLength();
  return length == NullLength ? std::string() : reader.ReadString(static_cast<size_t>(length));
}

// One length-coded value of at least min_length bytes, as a reader of its own.
PacketReader FixedValue(PacketReader& reader, size_t min_length) {
  const int64_t length = reader.ReadValueLength();
  if (length == NullLength || static_cast<uint64_t>(length) < min_length) ThrowMalformed("short column definition");
  PacketReader value(reader.Data() + reader.Position(), static_cast<size_t>(length));
  reader.Skip(static_cast<size_t>(length));
  return value;
}

TBytes Rest(PacketReader& reader) {
  TBytes rest(reader.Remaining());
  reader.ReadBytes(rest.data(), rest.size());
  return rest;
}

}  // namespace

ServerGreeting ParseGreeting(const uint8_t* data, size_t length) {
  PacketReader reader(data, length);
  const uint8_t version = reader.ReadByte();
  if (version != kProtocolVersion)
    throw EMySqlException(kCrVersionError, ErrorArgs{version, kProtocolVersion}, std::string());
  ServerGreeting greeting;
  greeting.server_version = reader.ReadString();
  greeting.thread_id = reader.ReadUInt32();
  reader.ReadBytes(greeting.scramble.data(), 8);
  const size_t p = reader.Position();
  reader.Skip(1);  // filler
  // What may follow the filler: nothing (the oldest servers), the
  // capabilities, or those with the character set, the status and 13 filler
  // bytes (before 4.1), then the other 12 salt bytes (4.1 and later). A
  // greeting that ends anywhere else was cut short.
  const size_t rest = length - p;
  if (rest == 2 || (rest > 3 && rest < 19)) ThrowMalformed("greeting cut short");
  if (rest >= 3) greeting.capabilities = reader.ReadUInt16();
  if (rest >= 19) {
    greeting.charset = reader.ReadByte();
    greeting.status = reader.ReadUInt16();
    greeting.has_status = true;
  }
  // A server that checks the 4.1 scramble sends the whole salt for it.
  if (rest > 19 && rest < 31) ThrowMalformed("greeting cut short in its salt");
  if (rest == 19 && (greeting.capabilities & kClientSecureConnection))
    ThrowMalformed("greeting without the rest of its salt");
  if (rest >= 31) {
    reader.SetPosition(p + 19);
    reader.ReadBytes(greeting.scramble.data() + 8, kScrambleLength - 8);
    greeting.scramble_complete = true;
  }
  return greeting;
}

OkPacket ParseOkPacket(const uint8_t* data, size_t length, bool protocol41, bool transactions) {
  PacketReader reader(data, length);
  if (reader.ReadByte() != 0) ThrowMalformed("not an OK packet");
  OkPacket ok;
  ok.affected_rows = reader.ReadFieldNumber();
  ok.insert_id = reader.ReadFieldNumber();
  if ((protocol41 || transactions) && reader.Remaining() >= 2) {
    ok.server_status = reader.ReadUInt16();
    ok.has_status = true;
  }
  if (protocol41 && reader.Remaining() >= 2) {
    ok.warning_count = reader.ReadUInt16();
    ok.has_warnings = true;
  }
  // Servers send the message length-coded; text that cannot be one is taken as it stands.
  const size_t coded = reader.AtEnd() ? 0 : data[reader.Position()];
  if (!reader.AtEnd() && coded < 251 && coded < reader.Remaining()) {
    reader.Skip(1);
    ok.info = reader.ReadString(coded);
  } else {
    ok.info = reader.ReadString();
  }
  return ok;
}

EndPacket ParseEndPacket(const uint8_t* data, size_t length) {
  if (length < 1 || data[0] != 0xFE) ThrowMalformed("not an end packet");
  EndPacket end;
  if (length > 1) {
    if (length < 5) ThrowMalformed("short end packet");
    PacketReader reader(data, length, 1);
    end.warning_count = reader.ReadUInt16();
    end.server_status = reader.ReadUInt16();
    end.has_status = true;
  }
  return end;
}

ErrorPacket ParseErrorPacket(const uint8_t* data, size_t length) {
  PacketReader reader(data, length);
  if (reader.ReadByte() != 0xFF) ThrowMalformed("not an error packet");
  ErrorPacket error;
  error.code = static_cast<int16_t>(reader.ReadUInt16());
  if (error.code <= 0) ThrowMalformed("error packet without an error code");
  error.message = reader.ReadString();
  return error;
}

void RaiseErrorPacket(const uint8_t* data, size_t length) {
  const ErrorPacket error = ParseErrorPacket(data, length);
  throw EMySqlException(error.code, error.message);
}

QueryReply ClassifyQueryReply(const uint8_t* data, size_t length) {
  if (length < 1) ThrowMalformed("empty reply");
  if (data[0] == 0) return QueryReply::kOk;
  if (data[0] == 0xFB) return QueryReply::kLocalFile;
  return QueryReply::kResultSet;
}

ResultSetHeader ParseResultSetHeader(const uint8_t* data, size_t length) {
  PacketReader reader(data, length);
  const int64_t count = reader.ReadFieldLength();
  if (count < 1 || count > kMaxColumns) ThrowMalformed("column count out of range");
  ResultSetHeader header;
  header.field_count = static_cast<int>(count);
  if (reader.Remaining() > 0) {
    header.extra = reader.ReadFieldLength();
    header.has_extra = true;
  }
  return header;
}

std::string ParseLocalFileRequest(const uint8_t* data, size_t length) {
  PacketReader reader(data, length);
  if (reader.ReadByte() != 0xFB) ThrowMalformed("not a file request");
  return reader.ReadString(reader.Remaining());
}

TMySqlFieldInfo ParseColumnDefinition(const uint8_t* data, size_t length, bool protocol41, bool long_flag) {
  PacketReader reader(data, length);
  if (protocol41) {
    LengthCodedText(reader);  // catalog
    std::string db = LengthCodedText(reader);
    std::string table = LengthCodedText(reader);
    std::string org_table = LengthCodedText(reader);
    std::string name = LengthCodedText(reader);
    std::string org_name = LengthCodedText(reader);
    PacketReader fixed = FixedValue(reader, 10);
    const int32_t charsetnr = fixed.ReadUInt16();
    const int32_t column_length = static_cast<int32_t>(fixed.ReadUInt32());
    const uint8_t type = fixed.ReadByte();
    const uint32_t flags = fixed.ReadUInt16();
    const int32_t decimals = fixed.ReadByte();
    return MySqlFieldInfo(std::move(name), std::move(org_name), std::move(table), std::move(org_table), std::move(db),
                          std::string(), column_length, decimals, 0, flags, charsetnr, type);
  }
  std::string table = LengthCodedText(reader);
  std::string name = LengthCodedText(reader);
  const int32_t column_length = static_cast<int32_t>(FixedValue(reader, 3).ReadInt24());
  const uint8_t type = FixedValue(reader, 1).ReadByte();
  PacketReader flags_value = FixedValue(reader, long_flag ? 3 : 2);
  const uint32_t flags = long_flag ? flags_value.ReadUInt16() : flags_value.ReadByte();
  const int32_t decimals = flags_value.ReadByte();
  return MySqlFieldInfo(std::move(name), std::string(), table, table, std::string(), std::string(), column_length,
                        decimals, 0, flags, 0, type);
}

AuthReplyPacket ParseAuthReply(const uint8_t* data, size_t length, bool secure_connection) {
  AuthReplyPacket reply;
  if (length < 1) return reply;
  PacketReader reader(data, length);
  const uint8_t first = reader.ReadByte();
  if (first == 0) {
    reply.kind = AuthReply::kOk;
  } else if (secure_connection && length == 1 && first == 0xFE) {
    reply.kind = AuthReply::kOldScrambleRequest;
  } else if (secure_connection && length == 24) {
    reply.kind = AuthReply::kPreRelease41;
    reply.data.assign(data, data + length);
  } else if (first == 0xFE) {
    reply.kind = AuthReply::kAuthSwitch;
    reply.method = reader.ReadString();
    reply.data = Rest(reader);
  } else if (first == 0x01) {
    reply.kind = AuthReply::kMoreData;
    reply.data = Rest(reader);
  }
  return reply;
}

void BuildHandshakeHead(PacketWriter& out, uint32_t flags, int32_t max_packet) {
  if (flags & kClientProtocol41) {
    out.WriteInt32(static_cast<int32_t>(flags));
    out.WriteInt32(max_packet);
    out.WriteByte(kCharsetLatin1);
    out.Fill(0, 23);
  } else {
    out.WriteInt16(static_cast<int32_t>(flags));
    out.WriteInt24(max_packet & 0xFFFFFF);
  }
}

void BuildHandshakeResponse(PacketWriter& out, const HandshakeResponse& response) {
  BuildHandshakeHead(out, response.flags, response.max_packet);
  out.WriteString(response.user);
  out.WriteBytes(response.auth);
  if (!response.with_database) return;
  // The response ends with the name, without its 0 byte; an empty name
  // keeps it, since a server finds nothing after the password a bad handshake.
  out.WriteBytes(response.database);
  if (response.database.empty()) out.WriteByte(0);
}

TBytes HandshakeAuthField(uint32_t server_capabilities, const TBytes& salt, bool salt_complete,
                          const std::string& password) {
  if (password.empty()) return TBytes{0};
  TBytes field;
  if (!(server_capabilities & kClientSecureConnection)) {
    field = Scramble323(password, salt.data(), 8);
  } else if (salt_complete) {
    field.push_back(static_cast<uint8_t>(kScrambleLength));
    const TBytes answer = Scramble41(password, salt.data());
    field.insert(field.end(), answer.begin(), answer.end());
    return field;
  } else {
    // A pre-4.1 server with secure connection answers this with 0xFE and
    // takes the old scramble then.
    field.assign(8, 'x');
  }
  field.push_back(0);
  return field;
}

bool LoginNeedsOldScramble(uint32_t server_capabilities, bool salt_complete, const std::string& password) {
  return !password.empty() && (!(server_capabilities & kClientSecureConnection) || !salt_complete);
}

void BuildOldScrambleAnswer(PacketWriter& out, const std::string& password, const TBytes& salt) {
  out.WriteBytes(Scramble323(password, salt.data(), 8));
  out.WriteByte(0);
}

void BuildCommand(PacketWriter& out, TServerCommand command, const uint8_t* argument, size_t length) {
  out.WriteByte(command);
  if (argument) out.WriteBytes(argument, length);
}

}  // namespace dac
