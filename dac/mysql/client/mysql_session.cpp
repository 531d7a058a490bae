#include "dac/mysql/client/mysql_session.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "dac/framework/exceptions.h"
#include "dac/mysql/client/client_errors.h"
#include "dac/mysql/client/io_handler.h"
#include "dac/mysql/client/local_infile.h"
#include "dac/mysql/client/mysql_result_set.h"
#include "dac/mysql/client/mysql_vio_pipe.h"
#include "dac/mysql/client/mysql_vio_tcp.h"
#include "dac/mysql/client/password_scramble.h"
#include "dac/mysql/client/sha1.h"

namespace dac {

DAC_DEFINE_CLASS(TMySqlSession, TObject, TMetaClassOf<TMySqlSession>)

namespace {

constexpr uint8_t kProtocolVersion = 10;
// Flags always asked for: long password, long flag, local files, protocol
// 4.1, transactions, secure connection, multi statements and results.
constexpr uint32_t kDefaultClientFlags = 0x3A285;
// A result has at most this many columns (the binary protocol counts them in 2 bytes).
constexpr int64_t kMaxColumns = 0xFFFF;
constexpr int kCharsetLatin1 = 8;

// The upload chunk: BufferLength - 16 rounded up to a multiple of 4096.
constexpr int kLocalFileChunk = ((BufferLength - 16 + 4095) / 4096) * 4096;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A closed descriptor whatever happens.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

TMySqlSession::TMySqlSession() : net_(std::make_unique<TMySqlNet>()), scramble_(SHA1HashSize, 0) {}

TMySqlSession::~TMySqlSession() {
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
  switch (protocol_) {
    case MYSQL_PROTOCOL_DEFAULT:
    case MYSQL_PROTOCOL_TCP:
      host_info_ = host + " via TCP/IP";
      return std::make_unique<TMySqlVioTcp>(host, port);
    case MYSQL_PROTOCOL_SSL:
      host_info_ = host + " via SSL";
      return std::make_unique<TMySqlVioTcp>(host, port);
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
  PacketReader reader = net_->Reader();
  const uint8_t version = reader.ReadByte();
  if (version != kProtocolVersion)
    throw EMySqlException(kCrVersionError, ErrorArgs{version, kProtocolVersion}, std::string());
  server_version_ = reader.ReadString();
  thread_id_ = reader.ReadUInt32();
  scramble_.assign(SHA1HashSize, 0);
  scramble_present_ = false;
  reader.ReadBytes(scramble_.data(), 8);
  const size_t p = reader.Position();
  reader.Skip(1);  // filler
  const size_t length = reader.Length();
  server_capabilities_ = 0;
  if (length >= p + 3) server_capabilities_ = reader.ReadUInt16();
  if (length >= p + 6) {
    server_language_ = reader.ReadByte();
    server_status_ = reader.ReadUInt16();
  }
  // 13 filler bytes (extended capabilities and the like, not read), then
  // the remaining 12 scramble bytes.
  if (length >= p + 31) {
    reader.SetPosition(p + 19);
    reader.ReadBytes(scramble_.data() + 8, 12);
    scramble_present_ = true;
  }
}

uint32_t TMySqlSession::NegotiateFlags(uint32_t client_flags) const {
  uint32_t flags = client_flags_ | client_flags | kDefaultClientFlags;
  if (client_flags & kClientMultiStatements) flags |= kClientMultiResults;
  if (protocol_ == MYSQL_PROTOCOL_SSL) flags |= kClientSsl;
  flags |= kClientConnectWithDb;
  const uint32_t offered_only = kClientCompress | kClientProtocol41 | kClientSsl;
  flags &= ~offered_only | (server_capabilities_ & offered_only);
  if ((server_capabilities_ & kClientSsl) && (protocol_ == MYSQL_PROTOCOL_SSL || (flags & kClientSsl)))
    flags |= kClientSsl;
  else
    flags &= ~kClientSsl;
  return flags;
}

namespace {

// The part of the handshake response before the user name.
void WriteResponseHead(TMySqlNet& net, uint32_t flags) {
  if (flags & kClientProtocol41) {
    net.WriteInt32(static_cast<int32_t>(flags));
    net.WriteInt32(MaxAllowedPacket);
    net.WriteByte(kCharsetLatin1);
    net.Fill(0, 23);
  } else {
    net.WriteInt16(static_cast<int32_t>(flags));
    net.WriteInt24(MaxAllowedPacket & 0xFFFFFF);
  }
}

}  // namespace

void TMySqlSession::SwitchToTls(uint32_t flags) {
  // The TLS request is the head of the response alone; the whole response
  // follows over the secured transport.
  WriteResponseHead(*net_, flags);
  net_->Send();
  net_->GetVio()->SetIsSecure(true);
}

void TMySqlSession::WriteHandshakeResponse(uint32_t flags, const std::string& user, const std::string& password,
                                           const std::string& database) {
  if (flags & kClientSsl) SwitchToTls(flags);
  WriteResponseHead(*net_, flags);
  net_->WriteString(user);
  if (server_capabilities_ & kClientSecureConnection) {
    if (password.empty()) {
      net_->WriteByte(0);
    } else if (scramble_present_) {
      net_->WriteByte(SHA1HashSize);
      scramble41(password);
    } else {
      // A pre-4.1 server with secure connection: it answers with 0xFE and
      // takes the old scramble then.
      net_->Fill('x', 8);
      net_->WriteByte(0);
    }
  } else if (!password.empty()) {
    scramble(password);
  } else {
    net_->WriteByte(0);
  }
  if (server_capabilities_ & kClientConnectWithDb) {
    // The response ends with the database name, without its 0 byte; an
    // empty name keeps it, since a server finds nothing after the password
    // a bad handshake.
    net_->WriteBytes(reinterpret_cast<const uint8_t*>(database.data()), 0, static_cast<int>(database.size()));
    if (database.empty()) net_->WriteByte(0);
    database_ = database;
  }
  net_->Send();
}

void TMySqlSession::scramble(const std::string& password) {
  net_->WriteBytes(Scramble323(password, scramble_.data(), 8));
  net_->WriteByte(0);
}

void TMySqlSession::scramble41(const std::string& password) {
  net_->WriteBytes(Scramble41(password, scramble_.data()));
}

void TMySqlSession::Authenticate(const std::string& password) {
  net_->Receive();
  if (server_capabilities_ & kClientSecureConnection) {
    const int length = net_->GetLength();
    const uint8_t* reply = net_->GetData();
    if (length == 1 && reply[0] == 0xFE) {
      // The server wants the pre-4.1 scramble.
      net_->Clear();
      scramble(password);
      net_->Send();
      net_->Receive();
    } else if (length == 24 && reply[0] != 0) {
      // The 4.1.0 pre-release exchange: 4 salt bytes and 20 encrypted bytes.
      uint8_t salt[24];
      std::memcpy(salt, reply, sizeof salt);
      TBytes stage1;
      if (password.size() >= 41 && password[0] == '*') {
        // The stored hash form: "*" and 40 hex digits of the stage-1 digest.
        stage1.resize(SHA1HashSize);
        for (int i = 0; i < SHA1HashSize; ++i) {
          const int hi = HexDigit(password[1 + 2 * i]), lo = HexDigit(password[2 + 2 * i]);
          if (hi < 0 || lo < 0) throw EMySqlException(kCrServerHandshakeErr);
          stage1[static_cast<size_t>(i)] = static_cast<uint8_t>(hi * 16 + lo);
        }
      } else {
        stage1 = PasswordHashStage1(password);
      }
      const TBytes stage2 = PasswordHashStage2(stage1, salt);
      TBytes answer = PasswordCrypt(salt + 4, stage2.data(), SHA1HashSize);
      MyCrypt(answer.data(), stage1.data(), SHA1HashSize);
      net_->Clear();
      net_->WriteBytes(answer);
      net_->Send();
      net_->Receive();
    }
  }
  // Only an OK packet is a login; an error packet has raised already.
  if (net_->GetLength() < 1 || net_->GetData()[0] != 0) throw EMySqlException(kCrServerHandshakeErr);
  net_->SetPosition(1);
  ReadOkPacket();
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
    if (protocol_ == MYSQL_PROTOCOL_SSL && !(flags & kClientSsl))
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

void TMySqlSession::Close() {
  if (closed_) return;
  closed_ = true;
  status_ = msReady;
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
  if (status_ != msReady) throw EMySqlException(kCrCommandsOutOfSync);
  info_.clear();
  affected_rows_ = 0;
  net_->NewCommand();
  net_->WriteByte(command);
}

void TMySqlSession::SimpleCommand(TServerCommand command, const uint8_t* argument, bool skip_reply, int length) {
  // A closed connection fails rather than answering nothing.
  if (!net_->GetVio()) throw EMySqlException(kCrServerGoneError);
  net_->GetVio()->SetTimeout(read_write_timeout_);
  WriteCommand(command);
  if (argument && length > 0) net_->WriteBytes(argument, 0, length);
  local_files_.clear();
  if (command == scQuery && argument && length > 0)
    local_files_ = LocalInfileNames(argument, static_cast<size_t>(length));
  net_->Send();
  if (!skip_reply) net_->Receive();
}

void TMySqlSession::ReadOkPacket() {
  affected_rows_ = net_->ReadFieldLength();
  insert_id_ = net_->ReadFieldLength();
  if ((Getprotocol41() || (server_capabilities_ & kClientTransactions)) && net_->Remaining() >= 2)
    server_status_ = net_->ReadUInt16();
  if (Getprotocol41() && net_->Remaining() >= 2) warning_count_ = net_->ReadUInt16();
  info_ = net_->ReadString();
  field_count_ = 0;
  fields_info_.clear();
}

void TMySqlSession::ReadResultSetHeader(int64_t field_count) {
  if (field_count < 1 || field_count > kMaxColumns) ThrowMalformed("column count out of range");
  if (!(server_status_ & kServerStatusAutocommit)) server_status_ |= kServerStatusInTrans;
  if (net_->Remaining() > 0) extra_info_ = net_->ReadFieldLength();
  const int count = static_cast<int>(field_count);
  TMySqlResultSet definitions(this, TMySqlFieldInfos(), Getprotocol41() ? 7 : 5, nullptr);
  definitions.ReadRows(count);
  TMySqlFieldInfos fields;
  definitions.ReadFieldsInfo(count, fields);
  fields_info_ = std::move(fields);
  field_count_ = count;
  status_ = msGetResult;
  warning_count_ = 0;
}

void TMySqlSession::ReadQueryResult() {
  server_status_ = kServerStatusAutocommit;
  net_->Receive();
  for (;;) {
    const int64_t field_count = net_->ReadFieldLength();
    if (field_count == 0) {
      ReadOkPacket();
      return;
    }
    if (field_count != NullLength) {
      ReadResultSetHeader(field_count);
      return;
    }
    // A LOAD DATA LOCAL request: the file name is the rest of the packet.
    SendLocalFile(net_->ReadString(net_->Remaining()));
    net_->Receive();
  }
}

void TMySqlSession::FreeQuery() {
  if (status_ == msReady) return;
  try {
    uint8_t head[9];
    for (;;) {
      const int64_t length = net_->SkipPacket(head, sizeof head);
      if (length > 0 && length < 9 && head[0] == 0xFE) {
        if (length > 1) {
          if (length < 5) ThrowMalformed("short end packet");
          warning_count_ = static_cast<uint32_t>(head[1] | (head[2] << 8));
          server_status_ = static_cast<uint32_t>(head[3] | (head[4] << 8));
        }
        break;
      }
    }
  } catch (...) {
    status_ = msReady;
    stored_proc_ = false;
    throw;
  }
  status_ = msReady;
  if (stored_proc_) {
    stored_proc_ = false;
    // A procedure call ends with its own status packet, which the server
    // announces by the more-results flag.
    if (MoreResults()) {
      server_status_ = kServerStatusAutocommit;
      net_->Receive();
      const int64_t field_count = net_->ReadFieldLength();
      if (field_count == 0)
        ReadOkPacket();
      else if (field_count != NullLength)
        ReadResultSetHeader(field_count);
      else
        ThrowMalformed("unexpected file request");
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
    if (net_->GetLength() > 0 && net_->ReadFieldLength() == 0) ReadOkPacket();
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

  FileDescriptor file(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.get() < 0) RefuseLocalFile(Format("cannot open the file (%s)", std::strerror(errno)), name);
  struct stat info;
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) RefuseLocalFile("not a regular file", name);

  TBytes chunk(static_cast<size_t>(kLocalFileChunk));
  net_->Clear();
  for (;;) {
    ssize_t n;
    do {
      n = ::read(file.get(), chunk.data(), chunk.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) RefuseLocalFile(Format("cannot read the file (%s)", std::strerror(errno)), name);
    if (n == 0) break;
    net_->WriteBytes(chunk.data(), 0, static_cast<int>(n));
    net_->Send();
  }
  net_->SendEmpty();
}

}  // namespace dac
