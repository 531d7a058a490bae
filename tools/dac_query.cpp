// dac-query [OPTIONS] (-e SQL | -f FILE): runs SQL through the library's
// client API and prints every result set as the mariadb client does with
// -N -B: one line per row, values separated by TAB. With --prepare the text
// is prepared and executed once without parameters, its binary rows printed
// as the server would print them as text. --api picks the library's own
// protocol (direct, the default), the MariaDB client library (client) or an
// embedded server started in this process with the --server-arg lines
// (embedded; give no host), or the library's components (components:
// TMyConnection and TMyQuery statement by statement, over the direct
// protocol or, with --over client, the client library; each value printed
// as the server's text of it). A prepared procedure call prints every
// result it gives, as the mariadb client prints the call run as text.
// --connect-timeout and --read-timeout bound the waits for a server, in
// seconds. At the first error: one line on standard error and exit status
// 1; a usage error: exit status 2.
#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "dac/core/server/param_desc.h"
#include "dac/framework/classes/string_list.h"
#include "dac/mysql/client/api/mysql_api_client.h"
#include "dac/mysql/client/api/mysql_api_direct.h"
#include "dac/mysql/client/api/mysql_api_embedded.h"
#include "dac/mysql/client/wire/protocol.h"
#include "platform/files.h"
#include "tools/component_query.h"
#include "tools/query_text.h"

namespace tools {
namespace {

const char kUsage[] =
    "usage: dac-query [--api direct|client|embedded|components] [--over direct|client] [--host HOST] "
    "[--port PORT] [--user USER] "
    "[--password PASSWORD] [--db DATABASE] [--socket PATH] [--protocol tcp|socket|pipe|ssl] [--ca FILE] "
    "[--cert FILE] [--key FILE] [--cipher LIST] [--compress] [--local-infile] [--prepare] [--charset NAME] "
    "[--connect-timeout SECONDS] [--read-timeout SECONDS] [--server-arg ARGUMENT]... (-e SQL | -f FILE)\n";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The first failure, as the API reported it.
struct QueryError {
  uint32_t code;
  std::string sqlstate;
  std::string message;
};

struct Options {
  std::map<std::string, std::string> values;  // by option name, without the dashes
  bool compress = false;
  bool local_infile = false;
  bool prepare = false;
  std::vector<std::string> server_args;  // for the embedded server, in order

  const char* Get(const std::string& name) const {
    const auto found = values.find(name);
    return found == values.end() ? nullptr : found->second.c_str();
  }
};

bool ThroughComponents(const Options& options) {
  return options.Get("api") && std::string(options.Get("api")) == "components";
}

// What the components mode takes: --over, and none of the socket, pipe,
// LOAD DATA and embedded-server settings.
void CheckComponentOptions(const Options& options) {
  const char* over = options.Get("over");
  if (over && !ThroughComponents(options)) throw UsageError("--over goes with --api components");
  if (over && std::string(over) != "direct" && std::string(over) != "client")
    throw UsageError("unknown API to go over: " + std::string(over));
  if (!ThroughComponents(options)) return;
  const char* protocol = options.Get("protocol");
  if (options.Get("socket") || options.local_infile || !options.server_args.empty() ||
      (protocol && std::string(protocol) != "tcp" && std::string(protocol) != "ssl"))
    throw UsageError("--api components goes over TCP or TLS only");
  if (options.Get("read-timeout")) throw UsageError("--read-timeout goes with --api direct, client or embedded");
}

Options ParseOptions(int argc, char** argv) {
  static const std::vector<std::string> kWithValue = {"api",    "host", "port", "user",   "password", "db",
                                                      "socket", "protocol", "ca", "cert", "key", "cipher",
                                                      "charset", "e",  "f", "over", "connect-timeout",
                                                      "read-timeout"};
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    std::optional<std::string> inline_value;
    if (argument.starts_with("--")) {
      argument.erase(0, 2);
      if (const size_t equals = argument.find('='); equals != std::string::npos) {
        inline_value = argument.substr(equals + 1);
        argument.erase(equals);
      }
    } else if (argument == "-e" || argument == "-f") {
      argument.erase(0, 1);
    } else {
      throw UsageError("unexpected argument: " + argument);
    }
    const bool server_arg = argument == "server-arg";
    if (server_arg || std::find(kWithValue.begin(), kWithValue.end(), argument) != kWithValue.end()) {
      if (!inline_value && i + 1 >= argc) throw UsageError("missing value of " + std::string(argv[i]));
      std::string value = inline_value ? *inline_value : argv[++i];
      if (server_arg)
        options.server_args.push_back(std::move(value));
      else
        options.values[argument] = std::move(value);
    } else if (argument == "compress" && !inline_value) {
      options.compress = true;
    } else if (argument == "local-infile" && !inline_value) {
      options.local_infile = true;
    } else if (argument == "prepare" && !inline_value) {
      options.prepare = true;
    } else {
      throw UsageError("unknown option: " + std::string(argv[i]));
    }
  }
  if ((options.Get("e") != nullptr) == (options.Get("f") != nullptr)) throw UsageError("give one of -e and -f");
  const char* api = options.Get("api");
  if (api && std::string(api) != "direct" && std::string(api) != "client" && std::string(api) != "embedded" &&
      std::string(api) != "components")
    throw UsageError("unknown API: " + std::string(api));
  CheckComponentOptions(options);
  return options;
}

uint32_t PortOf(const Options& options) {
  const char* port = options.Get("port");
  if (!port) return 0;
  const std::string text = port;
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos ||
      std::stoul(text) > 65535)
    throw UsageError("not a port: " + text);
  return static_cast<uint32_t>(std::stoul(text));
}

// A time-out option's seconds; none when it is not given.
std::optional<uint32_t> SecondsOf(const Options& options, const std::string& name) {
  const char* value = options.Get(name);
  if (!value) return std::nullopt;
  const std::string text = value;
  if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos)
    throw UsageError("not a number of seconds: --" + name + "=" + text);
  return static_cast<uint32_t>(std::stoul(text));
}

struct Timeouts {
  std::optional<uint32_t> connect;
  std::optional<uint32_t> read;
};

Timeouts TimeoutsOf(const Options& options) {
  return {SecondsOf(options, "connect-timeout"), SecondsOf(options, "read-timeout")};
}

std::optional<uint32_t> ProtocolOf(const Options& options) {
  const char* name = options.Get("protocol");
  if (!name) return std::nullopt;
  static const std::map<std::string, uint32_t> kProtocols = {{"tcp", dac::MYSQL_PROTOCOL_TCP},
                                                             {"socket", dac::MYSQL_PROTOCOL_SOCKET},
                                                             {"pipe", dac::MYSQL_PROTOCOL_PIPE},
                                                             {"ssl", dac::MYSQL_PROTOCOL_SSL}};
  const auto found = kProtocols.find(name);
  if (found == kProtocols.end()) throw UsageError("unknown protocol: " + std::string(name));
  return found->second;
}

class QueryRun {
 public:
  QueryRun(dac::TMySQLAPI& api, const Options& options) : api_(api), options_(options) {}
  ~QueryRun() { api_.mysql_close(con_); }
  QueryRun(const QueryRun&) = delete;
  QueryRun& operator=(const QueryRun&) = delete;

  void Connect(uint32_t port, std::optional<uint32_t> protocol, const Timeouts& timeouts) {
    api_.CheckMySQLLib();
    con_ = api_.mysql_init(nullptr);
    SetTimeouts(timeouts);
    const uint32_t local_infile = options_.local_infile ? 1 : 0;
    api_.mysql_options(con_, dac::MYSQL_OPT_LOCAL_INFILE, &local_infile);
    const bool tls_files = options_.Get("ca") || options_.Get("cert") || options_.Get("key") || options_.Get("cipher");
    if (protocol == dac::MYSQL_PROTOCOL_SSL || tls_files)
      api_.mysql_ssl_set(con_, options_.Get("key"), options_.Get("cert"), options_.Get("ca"), nullptr,
                         options_.Get("cipher"));
    if (protocol && protocol != dac::MYSQL_PROTOCOL_SSL) api_.mysql_options(con_, dac::MYSQL_OPT_PROTOCOL, &*protocol);
    const uint32_t flags = dac::kClientMultiStatements | (options_.compress ? dac::kClientCompress : 0);
    api_.mysql_real_connect(con_, options_.Get("host"), options_.Get("user"), options_.Get("password"),
                            options_.Get("db"), port, options_.Get("socket"), flags);
    Check();
    const char* charset = options_.Get("charset");
    Query("SET NAMES " + std::string(charset ? charset : "utf8mb4"));
  }

  // Every result of the text, in order.
  void Query(const std::string& sql) {
    api_.mysql_real_query(con_, sql, static_cast<uint32_t>(sql.size()));
    Check();
    for (;;) {
      if (api_.mysql_field_count(con_) > 0) PrintResult();
      if (!api_.mysql_more_results(con_)) break;
      api_.mysql_next_result(con_);
      Check();
    }
  }

  // The text prepared and executed once, the rows of every result it gives
  // from the binary protocol.
  void Prepared(const std::string& sql) {
    dac::PMySqlStmt stmt = api_.mysql_stmt_init(con_);
    struct Closer {
      dac::TMySQLAPI& api;
      dac::PMySqlStmt stmt;
      ~Closer() { api.mysql_stmt_close(stmt); }
    } closer{api_, stmt};
    api_.mysql_stmt_prepare(stmt, sql, static_cast<uint32_t>(sql.size()));
    CheckStatement(stmt);
    api_._mysql_stmt_execute(stmt, dac::TParamDescs(), false);
    CheckStatement(stmt);
    for (;;) {
      PrintStatementResult(stmt);
      if (api_.mysql_stmt_next_result(stmt) < 0) break;
      CheckStatement(stmt);
    }
  }

 private:
  void SetTimeouts(const Timeouts& timeouts) {
    if (timeouts.connect) api_.mysql_options(con_, dac::MYSQL_OPT_CONNECT_TIMEOUT, &*timeouts.connect);
    if (timeouts.read) api_.mysql_options(con_, dac::MYSQL_OPT_READ_TIMEOUT, &*timeouts.read);
  }

  void PrintStatementResult(dac::PMySqlStmt stmt) {
    if (api_.mysql_stmt_field_count(stmt) == 0) return;
    StatementRows rows(api_, stmt);
    BatchRow row;
    while (rows.Next(row) == 0) Print(BatchLine(row));
    CheckStatement(stmt);
  }

  void PrintResult() {
    dac::PMySqlRes result = api_.mysql_use_result(con_);
    Check();
    if (!result) return;
    const uint32_t count = api_.mysql_num_fields(result);
    while (dac::PMySqlRow row = api_.mysql_fetch_row(result)) Print(BatchLine(TextRow(api_, row, count)));
    api_.mysql_free_result(result);
    Check();
  }

  void Check() {
    if (const uint32_t code = api_.mysql_errno(con_))
      throw QueryError{code, api_.mysql_sqlstate(con_), api_.mysql_error(con_)};
  }
  void CheckStatement(dac::PMySqlStmt stmt) {
    if (const uint32_t code = api_.mysql_stmt_errno(stmt))
      throw QueryError{code, api_.mysql_stmt_sqlstate(stmt), api_.mysql_stmt_error(stmt)};
  }
  static void Print(const std::string& line) { std::fwrite(line.data(), 1, line.size(), stdout); }

  dac::TMySQLAPI& api_;
  const Options& options_;
  dac::PMySqlCon con_ = nullptr;
};

// The API the options name; the embedded server gets the --server-arg lines.
dac::TMySQLAPI& ApiOf(const Options& options) {
  const std::string name = options.Get("api") ? options.Get("api") : "direct";
  if (name == "client") return dac::MyAPIClient();
  if (name != "embedded") return dac::MyAPIDirect();
  dac::TStringList lines;
  for (const std::string& line : options.server_args) lines.Add(line);
  dac::MyAPIEmbedded().SetParams(lines);
  return dac::MyAPIEmbedded();
}

std::string SqlOf(const Options& options) {
  if (!options.Get("f")) return options.Get("e");
  try {
    return plat::ReadWholeFile(options.Get("f"));
  } catch (const plat::FileError& e) {
    throw QueryError{2000, "HY000", "Cannot read " + e.path() + ": " + e.reason()};
  }
}

// Every statement through TMyConnection and TMyQuery.
std::optional<QueryError> RunComponents(const Options& options, uint32_t port, std::optional<uint32_t> protocol,
                                        const std::string& sql) {
  const auto text = [&](const char* name) { return std::string(options.Get(name) ? options.Get(name) : ""); };
  ComponentSettings settings;
  settings.host = text("host");
  settings.port = port;
  settings.user = text("user");
  settings.password = text("password");
  settings.database = text("db");
  settings.charset = text("charset");
  settings.client_library = text("over") == "client";
  settings.compress = options.compress;
  settings.prepare = options.prepare;
  if (const auto seconds = TimeoutsOf(options).connect)
    settings.connect_timeout = static_cast<int32_t>(std::min<uint32_t>(*seconds, INT32_MAX));
  settings.ca = text("ca");
  settings.cert = text("cert");
  settings.key = text("key");
  settings.cipher = text("cipher");
  settings.tls = protocol == dac::MYSQL_PROTOCOL_SSL || !settings.ca.empty() || !settings.cert.empty() ||
                 !settings.key.empty() || !settings.cipher.empty();
  const auto failure = RunThroughComponents(settings, sql, [](const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
  });
  if (!failure) return std::nullopt;
  return QueryError{failure->code, failure->sqlstate, failure->message};
}

// The exit status of a run through the components, its error line written.
int Finish(const std::optional<QueryError>& failure) {
  std::fflush(stdout);
  if (!failure) return 0;
  std::fprintf(stderr, "%s\n", ErrorLine(failure->code, failure->sqlstate, failure->message).c_str());
  return 1;
}

int Run(int argc, char** argv) {
  Options options;
  uint32_t port = 0;
  std::optional<uint32_t> protocol;
  Timeouts timeouts;
  try {
    options = ParseOptions(argc, argv);
    port = PortOf(options);
    protocol = ProtocolOf(options);
    timeouts = TimeoutsOf(options);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "dac-query: %s\n%s", e.what(), kUsage);
    return 2;
  }
  std::optional<QueryError> failure;
  try {
    const std::string sql = SqlOf(options);
    if (ThroughComponents(options)) return Finish(RunComponents(options, port, protocol, sql));
    dac::TMySQLAPI& api = ApiOf(options);
    // An embedded server ends once its connection has closed.
    struct EmbeddedEnd {
      ~EmbeddedEnd() { dac::MyAPIEmbedded().FreeMySQLLib(); }
    } end;
    QueryRun run(api, options);
    run.Connect(port, protocol, timeouts);
    if (options.prepare)
      run.Prepared(sql);
    else
      run.Query(sql);
  } catch (const QueryError& e) {
    failure = e;
  } catch (const std::exception& e) {
    failure = QueryError{2000, "HY000", e.what()};
  }
  std::fflush(stdout);
  if (!failure) return 0;
  std::fprintf(stderr, "%s\n", ErrorLine(failure->code, failure->sqlstate, failure->message).c_str());
  return 1;
}

}  // namespace
}  // namespace tools

// Under LeakSanitizer: its scan of thread-local storage crashes on the
// embedded server library's; without that scan leaks can only be
// over-reported, never hidden.
extern "C" const char* __lsan_default_options() { return "use_tls=0"; }

int main(int argc, char** argv) { return tools::Run(argc, argv); }
