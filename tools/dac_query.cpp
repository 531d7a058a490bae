// dac-query [OPTION]... (-e SQL | -f FILE): runs SQL through the library's
// client API and prints every result set as the mariadb client does with
// -N -B: one line per row, values separated by TAB. With --prepare the text
// is prepared and executed once without parameters, its binary rows printed
// as the server would print them as text. --api picks the library's own
// protocol (direct, the default), the MariaDB client library (client) or an
// embedded server started in this process with the --server-arg lines
// (embedded; give no host), or the library's components (components:
// TMyConnection and TMyQuery statement by statement, the script cut as the
// mariadb client cuts it, over the direct protocol or, with --over client,
// the client library; each value printed as the server's text of it). A
// prepared procedure call prints every result it gives, as the mariadb
// client prints the call run as text. At the first error: one line on
// standard error and exit status 1; a usage error: exit status 2.
#include <algorithm>
#include <cstdio>
#include <optional>
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
#include "tools/query_options.h"
#include "tools/query_text.h"
#include "tools/script_statements.h"

namespace tools {
namespace {

// The first failure, as the API reported it.
struct QueryError {
  uint32_t code;
  std::string sqlstate;
  std::string message;
};

struct Timeouts {
  std::optional<uint32_t> connect;
  std::optional<uint32_t> read;
};

Timeouts TimeoutsOf(const QueryOptions& options) {
  return {SecondsOf(options, "connect-timeout"), SecondsOf(options, "read-timeout")};
}

void Print(const std::string& line) { std::fwrite(line.data(), 1, line.size(), stdout); }

class QueryRun {
 public:
  QueryRun(dac::TMySQLAPI& api, const QueryOptions& options) : api_(api), options_(options) {}
  ~QueryRun() { api_.mysql_close(con_); }
  QueryRun(const QueryRun&) = delete;
  QueryRun& operator=(const QueryRun&) = delete;

  void Connect(uint32_t port, std::optional<uint32_t> protocol, const Timeouts& timeouts) {
    api_.CheckMySQLLib();
    con_ = api_.mysql_init(nullptr);
    SetTimeouts(timeouts);
    const uint32_t local_infile = options_.local_infile ? 1 : 0;
    api_.mysql_options(con_, dac::MYSQL_OPT_LOCAL_INFILE, &local_infile);
    // The protocol before the TLS settings: the direct API takes a protocol
    // set afterwards for the way in and would drop TLS for it.
    if (protocol && protocol != dac::MYSQL_PROTOCOL_SSL) api_.mysql_options(con_, dac::MYSQL_OPT_PROTOCOL, &*protocol);
    const bool tls_files = options_.Get("ca") || options_.Get("cert") || options_.Get("key") || options_.Get("cipher");
    if (protocol == dac::MYSQL_PROTOCOL_SSL || tls_files)
      api_.mysql_ssl_set(con_, options_.Get("key"), options_.Get("cert"), options_.Get("ca"), nullptr,
                         options_.Get("cipher"));
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

  dac::TMySQLAPI& api_;
  const QueryOptions& options_;
  dac::PMySqlCon con_ = nullptr;
};

// The API the options name; the embedded server gets the --server-arg lines.
dac::TMySQLAPI& ApiOf(const QueryOptions& options) {
  const std::string name = options.Get("api") ? options.Get("api") : "direct";
  if (name == "client") return dac::MyAPIClient();
  if (name != "embedded") return dac::MyAPIDirect();
  dac::TStringList lines;
  for (const std::string& line : options.server_args) lines.Add(line);
  dac::MyAPIEmbedded().SetParams(lines);
  return dac::MyAPIEmbedded();
}

int UsageFailure(const std::string& message) {
  std::fprintf(stderr, "dac-query: %s\nTry 'dac-query --help' for more information.\n", message.c_str());
  return 2;
}

// Everything written reached standard output, or the run fails: rows lost
// to a full disk are no success.
bool OutputWritten() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  std::fprintf(stderr, "dac-query: cannot write to standard output\n");
  return false;
}

// The exit status of a run, its error line written.
int Finish(const std::optional<QueryError>& failure) {
  if (!OutputWritten()) return 1;
  if (!failure) return 0;
  std::fprintf(stderr, "%s\n", ErrorLine(failure->code, failure->sqlstate, failure->message).c_str());
  return 1;
}

ComponentSettings ComponentSettingsOf(const QueryOptions& options) {
  const auto text = [&](const char* name) { return std::string(options.Get(name) ? options.Get(name) : ""); };
  const std::optional<uint32_t> protocol = ProtocolOf(options);
  ComponentSettings settings;
  settings.host = text("host");
  settings.port = PortOf(options);
  settings.user = text("user");
  settings.password = text("password");
  settings.database = text("db");
  settings.charset = text("charset");
  settings.client_library = text("over") == "client";
  settings.compress = options.compress;
  settings.prepare = options.prepare;
  if (const auto seconds = SecondsOf(options, "connect-timeout"))
    settings.connect_timeout = static_cast<int32_t>(std::min<uint32_t>(*seconds, INT32_MAX));
  settings.socket = protocol == dac::MYSQL_PROTOCOL_SOCKET;
  settings.socket_path = text("socket");
  settings.ca = text("ca");
  settings.cert = text("cert");
  settings.key = text("key");
  settings.cipher = text("cipher");
  settings.tls = protocol == dac::MYSQL_PROTOCOL_SSL || !settings.ca.empty() || !settings.cert.empty() ||
                 !settings.key.empty() || !settings.cipher.empty();
  return settings;
}

// Every statement through TMyConnection and TMyQuery; a script that cannot
// be cut runs none of them.
int RunComponents(const QueryOptions& options, const std::string& sql) {
  const ComponentSettings settings = ComponentSettingsOf(options);
  std::vector<std::string> statements;
  try {
    statements = SplitScript(sql);
  } catch (const ScriptError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  const auto failure = RunThroughComponents(settings, statements, Print);
  if (!failure) return Finish(std::nullopt);
  return Finish(QueryError{failure->code, failure->sqlstate, failure->message});
}

// The text through the API the options name.
std::optional<QueryError> RunThroughApi(const QueryOptions& options, const std::string& sql) {
  try {
    dac::TMySQLAPI& api = ApiOf(options);
    // An embedded server ends once its connection has closed.
    struct EmbeddedEnd {
      ~EmbeddedEnd() { dac::MyAPIEmbedded().FreeMySQLLib(); }
    } end;
    QueryRun run(api, options);
    run.Connect(PortOf(options), ProtocolOf(options), TimeoutsOf(options));
    if (options.prepare)
      run.Prepared(sql);
    else
      run.Query(sql);
  } catch (const QueryError& e) {
    return e;
  } catch (const std::exception& e) {
    return QueryError{2000, "HY000", e.what()};
  }
  return std::nullopt;
}

int Run(int argc, char** argv) {
  QueryOptions options;
  try {
    options = ParseQueryOptions(argc, argv);
  } catch (const UsageError& e) {
    return UsageFailure(e.what());
  }
  if (options.help) {
    Print(QueryUsage());
    return OutputWritten() ? 0 : 1;
  }
  std::string sql;
  if (options.Get("f")) {
    try {
      sql = plat::ReadWholeFile(options.Get("f"));
    } catch (const plat::FileError& e) {
      std::fprintf(stderr, "dac-query: cannot read %s: %s\n", e.path().c_str(), e.reason().c_str());
      return 2;
    }
  } else {
    sql = options.Get("e");
  }
  if (options.ThroughComponents()) return RunComponents(options, sql);
  return Finish(RunThroughApi(options, sql));
}

}  // namespace
}  // namespace tools

// Under LeakSanitizer: its scan of thread-local storage crashes on the
// embedded server library's; without that scan leaks can only be
// over-reported, never hidden.
extern "C" const char* __lsan_default_options() { return "use_tls=0"; }

int main(int argc, char** argv) { return tools::Run(argc, argv); }
