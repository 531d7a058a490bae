#include "tools/component_query.h"

#include <memory>

#include "dac/core/macros.h"
#include "dac/core/server/da_errors.h"
#include "dac/framework/classes/component.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/fields.h"
#include "dac/mysql/components/my_connection_component.h"
#include "dac/mysql/components/my_connection_options.h"
#include "dac/mysql/components/my_dataset.h"
#include "dac/mysql/components/my_dataset_options.h"
#include "dac/mysql/components/my_start_up.h"
#include "dac/mysql/provider/my_error.h"
#include "tools/query_text.h"

namespace tools {

namespace {

// Components are freed through their own Free.
struct ComponentFree {
  void operator()(dac::TComponent* component) const { component->Free(); }
};
template <typename T>
using Owned = std::unique_ptr<T, ComponentFree>;

Owned<dac::TMyConnection> Connected(const ComponentSettings& s) {
  Owned<dac::TMyConnection> connection(dac::MakeComponent<dac::TMyConnection>(nullptr));
  connection->SetLoginPrompt(false);
  connection->SetServer(s.host.empty() ? "localhost" : s.host);
  if (s.port != 0) connection->SetPort(static_cast<int32_t>(s.port));
  connection->SetUsername(s.user);
  connection->SetPassword(s.password);
  connection->SetDatabase(s.database);
  if (s.connect_timeout > 0) connection->SetConnectionTimeout(s.connect_timeout);
  dac::TMyConnectionOptions& options = connection->GetOptions();
  options.SetDirect(!s.client_library);
  options.SetCompress(s.compress);
  // Text as its bytes both ways, in the session's character set: the SQL
  // text is the caller's bytes, which UseUnicode would take for the code
  // page and convert once more.
  options.SetCharset(s.charset.empty() ? "utf8mb4" : s.charset);
  // Decimals to their last digit.
  options.SetNumericType(dac::ntFmtBCD);
  if (s.socket) {
    // A server named by a path is reached through that socket.
    options.SetProtocol(dac::TMyProtocol::mpSocket);
    if (!s.socket_path.empty()) connection->SetServer(s.socket_path);
  } else if (s.tls) {
    options.SetProtocol(dac::TMyProtocol::mpSSL);
    connection->SSLOptions().SetCACert(s.ca);
    connection->SSLOptions().SetCert(s.cert);
    connection->SSLOptions().SetKey(s.key);
    connection->SSLOptions().SetChipherList(s.cipher);
  }
  connection->Connect();
  return connection;
}

Owned<dac::TMyQuery> ExactQuery(dac::TMyConnection& connection) {
  Owned<dac::TMyQuery> query(dac::MakeComponent<dac::TMyQuery>(nullptr));
  query->SetConnection(&connection);
  query->SetReadOnly(true);
  // The text goes as it is: a ":name" or "&name" in it is the server's to read.
  query->SetParamCheck(false);
  dac::TMyDataSetOptions& options = query->MyOptions();
  options.SetNullForZeroDate(false);
  options.SetEnableBoolean(false);
  // Rows on demand, so that OpenNext can reach the further results; on the
  // one connection, so that every statement sees the session the others left.
  query->SetFetchAll(false);
  options.SetCreateConnection(false);
  return query;
}

// A macro reference in the text stands for itself.
void KeepMacroText(dac::TMyQuery& query) {
  dac::TMacros& macros = query.Macros();
  for (int i = 0; i < macros.Count(); ++i) macros.Items(i)->SetValue("&" + macros.Items(i)->Name());
}

void PrintRows(dac::TMyQuery& query, const std::function<void(const std::string&)>& print) {
  dac::TFields& fields = query.Fields();
  for (query.First(); !query.GetEOF(); query.Next()) {
    BatchRow row;
    for (int i = 0; i < fields.Count(); ++i) row.push_back(FieldServerText(query, *fields.Fields(i)));
    print(BatchLine(row));
  }
}

void RunStatement(dac::TMyQuery& query, const std::string& sql, bool prepare,
                  const std::function<void(const std::string&)>& print) {
  query.Close();
  query.UnPrepare();
  query.SQL().SetText(sql);
  KeepMacroText(query);
  if (prepare) query.Prepare();
  query.Execute();
  for (bool more = query.GetActive(); more; more = !prepare && query.OpenNext())
    if (query.GetActive()) PrintRows(query, print);
  query.Close();
}

// The provider started for as long as the run lasts.
struct ProviderRun {
  ProviderRun() { dac::MySQLStartUp(); }
  ~ProviderRun() { dac::MySQLShutdown(); }
  ProviderRun(const ProviderRun&) = delete;
  ProviderRun& operator=(const ProviderRun&) = delete;
};

}  // namespace

std::optional<ComponentFailure> RunThroughComponents(const ComponentSettings& settings,
                                                     const std::vector<std::string>& statements,
                                                     const std::function<void(const std::string&)>& print) {
  const ProviderRun provider;
  try {
    Owned<dac::TMyConnection> connection = Connected(settings);
    Owned<dac::TMyQuery> query = ExactQuery(*connection);
    for (const std::string& statement : statements) RunStatement(*query, statement, settings.prepare, print);
  } catch (const dac::EMyError& e) {
    return ComponentFailure{static_cast<uint32_t>(e.ErrorCode()), e.Message(), e.SqlState()};
  } catch (const dac::EDAError& e) {
    return ComponentFailure{static_cast<uint32_t>(e.ErrorCode()), e.Message(), ""};
  } catch (const dac::Exception& e) {
    return ComponentFailure{2000, e.Message(), ""};
  } catch (const std::exception& e) {
    return ComponentFailure{2000, e.what(), ""};
  }
  return std::nullopt;
}

}  // namespace tools
