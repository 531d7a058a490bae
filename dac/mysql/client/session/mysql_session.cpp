#include "dac/mysql/client/session/mysql_session.h"

#include <algorithm>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/session/local_infile.h"
#include "dac/mysql/client/transport/io_handler.h"
#include "dac/mysql/client/transport/mysql_vio_pipe.h"
#include "dac/mysql/client/transport/mysql_vio_tcp.h"
#include "dac/mysql/client/transport/mysql_vio_tcp_ssl.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "dac/mysql/client/wire/password_scramble.h"
#include "dac/mysql/client/wire/sha1.h"
#include "platform/file.h"
#include "platform/files.h"

namespace dac {

DAC_DEFINE_CLASS(TMySqlSession, TObject, TMetaClassOf<TMySqlSession>)

namespace {

// Flags always asked for: long password, long flag, local files, protocol
// 4.1, transactions, secure connection, multi statements and results.
constexpr uint32_t kDefaultClientFlags = 0x3A285;

// The upload chunk: BufferLength - 16 rounded up to a multiple of 4096.
constexpr int kLocalFileChunk = ((BufferLength - 16 + 4095) / 4096) * 4096;

}  // namespace

TMySqlSession::TMySqlSession()
    : net_(std::make_unique<TMySqlNet>()), scramble_(SHA1HashSize, 0), link_(std::make_shared<SessionLink>()) {
  link_->session = this;
}

TMySqlSession::~TMySqlSession() {
  // Result sets that outlive the session see it gone and do no I/O.
  link_->session = nullptr;
  try {
    Close();
  } catch (...) {
    // A destructor never throws.
  }
}

void TMySqlSession::SetSslSettings(const std::string& key, const std::string& cert, const std::string& ca,
                                   const std::string& ca_path, const std::string& cipher) {
  ssl_key_ = key;
  ssl_cert_ = cert;
  ssl_ca_ = ca;
  ssl_ca_path_ = ca_path;
  ssl_cipher_ = cipher;
  tls_requested_ = true;
}

uint8_t TMySqlSession::EffectiveProtocol() const {
  const bool tcp = protocol_ == MYSQL_PROTOCOL_DEFAULT || protocol_ == MYSQL_PROTOCOL_TCP;
  return tls_requested_ && tcp ? static_cast<uint8_t>(MYSQL_PROTOCOL_SSL) : protocol_;
}

bool TMySqlSession::Getprotocol41() const {
  return (server_capabilities_ & kClientProtocol41) != 0 && (client_flags_ & kClientProtocol41) != 0;
}

// ---- connecting ----

std::unique_ptr<TMySqlVio> TMySqlSession::CreateTransport(const std::string& unix_socket) {
  const int port = port_ == 0 ? 3306 : port_;
  const std::string host = host_.empty() ? "localhost" : host_;
  if (io_handler_) {
    host_info_ = io_handler_->ClassName() + " via " + host;
    return std::make_unique<TMySqlVioHandler>(host, port, io_handler_, ssl_key_, ssl_cert_, ssl_ca_);
  }
  const uint8_t protocol = EffectiveProtocol();
  if (tls_requested_ && protocol != MYSQL_PROTOCOL_SSL)
    throw EMySqlException(kCrSslConnectionError, "TLS is not spoken over the local server's socket");
  switch (protocol) {
    case MYSQL_PROTOCOL_DEFAULT:
    case MYSQL_PROTOCOL_TCP:
      host_info_ = host + " via TCP/IP";
      return std::make_unique<TMySqlVioTcp>(host, port);
    case MYSQL_PROTOCOL_SSL:
      host_info_ = host + " via SSL";
      return std::make_unique<TMySqlVioTcpSSL>(host, port,
                                               TlsSettings{ssl_key_, ssl_cert_, ssl_ca_, ssl_ca_path_, ssl_cipher_});
    case MYSQL_PROTOCOL_SOCKET:
      host_info_ = GetError(kCrLocalhostConnection);
      return std::make_unique<TMySqlVioPipe>(host, port, unix_socket);
    case MYSQL_PROTOCOL_PIPE:
      host_info_ = host + " via pipes";
      return std::make_unique<TMySqlVioPipe>(host, port, unix_socket);
    default:
      throw EMySqlException(kCrWrongProtocol);
  }
}

void TMySqlSession::ReadGreeting() {
  net_->Receive();
  ServerGreeting greeting = ParseGreeting(net_->GetData(), static_cast<size_t>(net_->GetLength()));
  server_version_ = std::move(greeting.server_version);
  thread_id_ = greeting.thread_id;
  scramble_ = std::move(greeting.scramble);
  scramble_present_ = greeting.scramble_complete;
  server_capabilities_ = greeting.capabilities;
  if (greeting.has_status) {
    server_language_ = greeting.charset;
    server_status_ = greeting.status;
  }
}

uint32_t TMySqlSession::NegotiateFlags(uint32_t client_flags) const {
  uint32_t flags = client_flags_ | client_flags | kDefaultClientFlags;
  if (client_flags & kClientMultiStatements) flags |= kClientMultiResults;
  if (EffectiveProtocol() == MYSQL_PROTOCOL_SSL) flags |= kClientSsl;
  flags |= kClientConnectWithDb;
  const uint32_t offered_only = kClientCompress | kClientProtocol41 | kClientSsl;
  flags &= ~offered_only | (server_capabilities_ & offered_only);
  if ((server_capabilities_ & kClientSsl) && (EffectiveProtocol() == MYSQL_PROTOCOL_SSL || (flags & kClientSsl)))
    flags |= kClientSsl;
  else
    flags &= ~kClientSsl;
  return flags;
}

void TMySqlSession::RefuseOldScramble() const {
  throw EMySqlException(kCrServerHandshakeErr,
                        "the server wants the pre-4.1 password scramble, which secure authentication "
                        "(MYSQL_SECURE_AUTH) refuses");
}

void TMySqlSession::WriteHandshakeResponse(uint32_t flags, const std::string& user, const std::string& password,
                                           const std::string& database) {
  // Refused before anything goes out, so no weak scramble ever leaves.
  if (secure_auth_ && LoginNeedsOldScramble(server_capabilities_, scramble_present_, password)) RefuseOldScramble();
  const int32_t max_packet = MaxAllowedPacket.load();
  if (flags & kClientSsl) {
    // The TLS request is the head of the response alone; the whole response
    // follows over the secured transport.
    PacketWriter head = net_->Writer();
    BuildHandshakeHead(head, flags, max_packet);
    net_->Send();
    net_->GetVio()->SetIsSecure(true);
  }
  HandshakeResponse response;
  response.flags = flags;
  response.max_packet = max_packet;
  response.user = user;
  response.auth = HandshakeAuthField(server_capabilities_, scramble_, scramble_present_, password);
  response.with_database = (server_capabilities_ & kClientConnectWithDb) != 0;
  response.database = database;
  PacketWriter out = net_->Writer();
  BuildHandshakeResponse(out, response);
  if (response.with_database) database_ = database;
  net_->Send();
}

void TMySqlSession::scramble(const std::string& password) {
  PacketWriter out = net_->Writer();
  BuildOldScrambleAnswer(out, password, scramble_);
}

void TMySqlSession::scramble41(const std::string& password) {
  net_->Writer().WriteBytes(Scramble41(password, scramble_.data()));
}

void TMySqlSession::Authenticate(const std::string& password) {
  const bool secure = (server_capabilities_ & kClientSecureConnection) != 0;
  auto receive = [&] {
    net_->Receive();
    return ParseAuthReply(net_->GetData(), static_cast<size_t>(net_->GetLength()), secure);
  };
  AuthReplyPacket reply = receive();
  if (reply.kind == AuthReply::kOldScrambleRequest) {
    if (secure_auth_) RefuseOldScramble();
    net_->Clear();
    scramble(password);
    net_->Send();
    reply = receive();
  } else if (reply.kind == AuthReply::kPreRelease41) {
    net_->Clear();
    net_->Writer().WriteBytes(PreRelease41Answer(password, reply.data.data()));
    net_->Send();
    reply = receive();
  }
  // Only an OK packet is a login; an error packet has raised already.
  if (reply.kind != AuthReply::kOk) throw EMySqlException(kCrServerHandshakeErr);
  ApplyReceivedOk();
}

void TMySqlSession::Connect(const std::string& host, const std::string& user, const std::string& password,
                            const std::string& database, int port, const std::string& unix_socket,
                            uint32_t client_flags) {
  if (!host.empty()) host_ = host;
  if (port != 0) port_ = port;
  const std::string the_user = user.empty() ? user_ : user;
  const std::string the_password = password.empty() ? password_ : password;
  const std::string the_database = database.empty() ? database_ : database;
  server_status_ = kServerStatusAutocommit;
  status_ = msReady;
  CutOffDependents();
  try {
    net_->SetCompress(false);
    net_->SetVio(CreateTransport(unix_socket));
    closed_ = false;
    net_->GetVio()->SetTimeout(connect_timeout_);
    net_->GetVio()->Connect();
    net_->NewCommand();
    ReadGreeting();
    net_->Clear();
    const uint32_t flags = NegotiateFlags(client_flags);
    // TLS asked for, by protocol or flag, never quietly becomes plain text.
    const bool tls_wanted = EffectiveProtocol() == MYSQL_PROTOCOL_SSL || ((client_flags_ | client_flags) & kClientSsl);
    if (tls_wanted && !(flags & kClientSsl))
      throw EMySqlException(kCrSslConnectionError, "The server does not offer TLS");
    WriteHandshakeResponse(flags, the_user, the_password, the_database);
    client_flags_ = flags;
    Authenticate(the_password);
    net_->SetCompress((flags & kClientCompress) != 0);
  } catch (...) {
    net_->Close();
    closed_ = true;
    throw;
  }
  user_ = the_user;
  password_ = the_password;
}

void TMySqlSession::CutOffDependents() {
  result_set_ = nullptr;
  link_->session = nullptr;
  link_ = std::make_shared<SessionLink>();
  link_->session = this;
}

void TMySqlSession::Close() {
  if (closed_) return;
  closed_ = true;
  CutOffDependents();
  // Nothing more is read: quit goes out whatever was pending.
  status_ = msReady;
  server_status_ &= ~kServerMoreResultsExists;
  try {
    if (net_->GetVio()) {
      WriteCommand(scQuit);
      net_->Send();
    }
  } catch (const EMySqlException&) {
    // The connection is going away either way.
  }
  net_->Close();
}

// ---- commands ----

void TMySqlSession::WriteCommand(TServerCommand command) {
  // A closed connection fails rather than answering nothing.
  if (!net_->GetVio()) throw EMySqlException(kCrServerGoneError);
  if (status_ != msReady || MoreResults()) throw EMySqlException(kCrCommandsOutOfSync);
  net_->GetVio()->SetTimeout(read_write_timeout_);
  ++command_count_;
  info_.clear();
  affected_rows_ = 0;
  net_->NewCommand();
  PacketWriter out = net_->Writer();
  BuildCommand(out, command, nullptr, 0);
}

void TMySqlSession::SimpleCommand(TServerCommand command, const uint8_t* argument, bool skip_reply, int length) {
  WriteCommand(command);
  const size_t size = argument && length > 0 ? static_cast<size_t>(length) : 0;
  net_->Writer().WriteBytes(argument, size);
  local_files_.clear();
  if (command == scQuery && size > 0) local_files_ = LocalInfileNames(argument, size);
  net_->Send();
  if (!skip_reply) net_->Receive();
}

// ---- the protocol state ----

// Before a reply: an error reply reports no status, and the escaping mode
// it leaves is the one the session had.
void TMySqlSession::ResetServerStatus() {
  server_status_ = kServerStatusAutocommit | (server_status_ & kServerStatusNoBackslashEscapes);
}

void TMySqlSession::Apply(const OkPacket& ok) {
  // Counts past 2^63 keep their bits; mysql_affected_rows reads them unsigned.
  affected_rows_ = static_cast<int64_t>(ok.affected_rows);
  insert_id_ = ok.insert_id;
  if (ok.has_status) server_status_ = ok.server_status;
  if (ok.has_warnings) warning_count_ = ok.warning_count;
  info_ = ok.info;
  field_count_ = 0;
  fields_info_.clear();
}

void TMySqlSession::Apply(const ResultSetHeader& header, TMySqlFieldInfos fields, const EndPacket& definitions_end) {
  if (!(server_status_ & kServerStatusAutocommit)) server_status_ |= kServerStatusInTrans;
  if (header.has_extra) extra_info_ = header.extra;
  if (definitions_end.has_status) server_status_ = definitions_end.server_status;
  fields_info_ = std::move(fields);
  field_count_ = header.field_count;
  status_ = msGetResult;
  warning_count_ = 0;
  ++result_id_;
}

void TMySqlSession::Apply(const EndPacket& end) {
  if (end.has_status) {
    warning_count_ = end.warning_count;
    server_status_ = end.server_status;
  }
  status_ = msReady;
}

void TMySqlSession::Apply(const ErrorPacket&) {
  server_status_ &= ~kServerMoreResultsExists;
  stored_proc_ = false;
  status_ = msReady;
}

void TMySqlSession::Apply(const ResultTaken& taken) {
  if (taken.fields_to) {
    *taken.fields_to = std::move(fields_info_);
    fields_info_.clear();
    field_count_ = 0;
  }
  result_set_ = taken.tracked;
  status_ = msUseResult;
}

void TMySqlSession::Apply(const ResultReleased& released) {
  if (result_set_ == released.result_set) result_set_ = nullptr;
}

void TMySqlSession::Apply(const NextResultRequested&) { affected_rows_ = -1; }

// ---- replies ----

void TMySqlSession::ApplyReceivedOk() {
  Apply(ParseOkPacket(net_->GetData(), static_cast<size_t>(net_->GetLength()), Getprotocol41(),
                      (server_capabilities_ & kClientTransactions) != 0));
}

TMySqlFieldInfos TMySqlSession::ReadColumnDefinitions(int count, EndPacket& end) {
  const bool protocol41 = Getprotocol41();
  const bool long_flag = (server_capabilities_ & kClientLongFlag) != 0;
  TMySqlFieldInfos fields;
  fields.reserve(static_cast<size_t>(count));
  TBytes packet;
  for (;;) {
    const size_t length = static_cast<size_t>(net_->ReceiveBuffer(packet));
    if (IsEndPacket(packet.data(), length, kStoreEndLimit)) {
      end = ParseEndPacket(packet.data(), length);
      break;
    }
    if (fields.size() >= static_cast<size_t>(count)) ThrowMalformed("more column definitions than columns");
    fields.push_back(ParseColumnDefinition(packet.data(), length, protocol41, long_flag));
  }
  if (fields.size() != static_cast<size_t>(count)) ThrowMalformed("column definitions do not match the column count");
  return fields;
}

QueryReply TMySqlSession::ApplyReply(bool allow_local_file) {
  const uint8_t* data = net_->GetData();
  const size_t length = static_cast<size_t>(net_->GetLength());
  const QueryReply kind = ClassifyQueryReply(data, length);
  switch (kind) {
    case QueryReply::kOk:
      ApplyReceivedOk();
      break;
    case QueryReply::kResultSet: {
      const ResultSetHeader header = ParseResultSetHeader(data, length);
      EndPacket end;
      TMySqlFieldInfos fields = ReadColumnDefinitions(header.field_count, end);
      Apply(header, std::move(fields), end);
      break;
    }
    case QueryReply::kLocalFile:
      if (!allow_local_file) ThrowMalformed("unexpected file request");
      SendLocalFile(ParseLocalFileRequest(data, length));
      break;
  }
  return kind;
}

void TMySqlSession::ReadQueryResult() {
  ResetServerStatus();
  net_->Receive();
  // After a file is sent, the server's reply to the statement follows.
  while (ApplyReply(true) == QueryReply::kLocalFile) net_->Receive();
}

void TMySqlSession::FreeQuery() {
  if (status_ == msReady) return;
  try {
    uint8_t head[kUseEndLimit];
    for (;;) {
      const int64_t length = net_->SkipPacket(head, sizeof head);
      if (length > 0 && IsEndPacket(head, static_cast<size_t>(length), kUseEndLimit)) {
        Apply(ParseEndPacket(head, static_cast<size_t>(length)));
        break;
      }
    }
  } catch (...) {
    status_ = msReady;
    stored_proc_ = false;
    throw;
  }
  if (stored_proc_) {
    stored_proc_ = false;
    // A procedure call ends with its own status packet, which the server
    // announces by the more-results flag.
    if (MoreResults()) {
      ResetServerStatus();
      net_->Receive();
      ApplyReply(false);
    }
  }
}

void TMySqlSession::SelectDb(const std::string& name) {
  SimpleCommand(scInitDb, reinterpret_cast<const uint8_t*>(name.data()), false, static_cast<int>(name.size()));
  database_ = name;
}

std::string TMySqlSession::Statistics() {
  SimpleCommand(scStatistics, nullptr, false, 0);
  return std::string(reinterpret_cast<const char*>(net_->GetData()), static_cast<size_t>(net_->GetLength()));
}

void TMySqlSession::Ping() { SimpleCommand(scPing, nullptr, false, 0); }

// ---- LOAD DATA LOCAL ----

void TMySqlSession::RefuseLocalFile(const std::string& reason, const std::string& name) {
  // The server waits for the file: end it empty and take its reply.
  net_->Clear();
  net_->SendEmpty();
  try {
    net_->Receive();
    const uint8_t* data = net_->GetData();
    const size_t length = static_cast<size_t>(net_->GetLength());
    if (length > 0 && ClassifyQueryReply(data, length) == QueryReply::kOk)
      ApplyReceivedOk();
  } catch (const EMySqlException& e) {
    if (e.ErrorCode() >= kCrMinError) throw;
    // The server's own complaint about the empty file says less than ours.
  }
  throw EMySqlException(kCrUnknownError, "LOAD DATA LOCAL INFILE: " + reason + ": '" + name + "'");
}

void TMySqlSession::SendLocalFile(const std::string& name) {
  if (!local_infile_) RefuseLocalFile("local files are switched off for this connection", name);
  const auto named = std::find(local_files_.begin(), local_files_.end(), name);
  if (name.empty() || named == local_files_.end() || name.find('\0') != std::string::npos)
    RefuseLocalFile("the server asked for a file the statement did not name", name);
  local_files_.erase(named);

  plat::File file;
  try {
    file = plat::File::OpenToRead(name);
  } catch (const plat::NotRegularFileError&) {
    RefuseLocalFile("not a regular file", name);
  } catch (const plat::FileError& e) {
    RefuseLocalFile("cannot open the file (" + e.reason() + ")", name);
  }
  TBytes chunk(static_cast<size_t>(kLocalFileChunk));
  net_->Clear();
  for (;;) {
    size_t n = 0;
    try {
      n = static_cast<size_t>(file.Read(chunk.data(), static_cast<int64_t>(chunk.size())));
    } catch (const plat::FileError& e) {
      RefuseLocalFile("cannot read the file (" + e.reason() + ")", name);
    }
    if (n == 0) break;
    net_->Writer().WriteBytes(chunk.data(), n);
    net_->Send();
  }
  net_->SendEmpty();
}

}  // namespace dac
