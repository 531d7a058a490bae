// The client library's API: the library loaded and its functions bound.
// Its connections, rows and statements are mysql_api_client_connection.cpp,
// _rows.cpp and _statement.cpp; what they share, mysql_api_client_handles.h.
#include "dac/mysql/client/api/mysql_api_client_handles.h"

#include <mutex>
#include <type_traits>

#include "dac/mysql/client/wire/protocol.h"
#include "dac/store/record/data_types.h"

namespace dac {

DAC_DEFINE_CLASS(TMySQLAPIClient, TMySQLAPI, TMetaClass)

// The interface's records and numbers are the header's where the library reads them.
static_assert(sizeof(bool) == sizeof(my_bool));
static_assert(std::is_same_v<decltype(MYSQL_BIND::length), decltype(::MYSQL_BIND::length)>);
static_assert(std::is_same_v<decltype(MYSQL_BIND::buffer), decltype(::MYSQL_BIND::buffer)>);
static_assert(std::is_same_v<decltype(MYSQL_BIND::buffer_length), decltype(::MYSQL_BIND::buffer_length)>);
static_assert(std::is_same_v<TMySqlLengths::value_type, std::remove_pointer_t<decltype(::MYSQL_BIND::length)>>);
static_assert(MYSQL_OPT_CONNECT_TIMEOUT == static_cast<int>(::MYSQL_OPT_CONNECT_TIMEOUT));
static_assert(MYSQL_OPT_LOCAL_INFILE == static_cast<int>(::MYSQL_OPT_LOCAL_INFILE));
static_assert(MYSQL_OPT_PROTOCOL == static_cast<int>(::MYSQL_OPT_PROTOCOL));
static_assert(MYSQL_SECURE_AUTH == static_cast<int>(::MYSQL_SECURE_AUTH));
static_assert(MYSQL_PROTOCOL_SOCKET == static_cast<int>(::MYSQL_PROTOCOL_SOCKET));
static_assert(mftNewDecimal == static_cast<int>(::MYSQL_TYPE_NEWDECIMAL) &&
              mftString == static_cast<int>(::MYSQL_TYPE_STRING) &&
              mftDateTime == static_cast<int>(::MYSQL_TYPE_DATETIME));
static_assert(kMySqlNoData == MYSQL_NO_DATA && kMySqlDataTruncated == MYSQL_DATA_TRUNCATED);
static_assert(kServerStatusNoBackslashEscapes == SERVER_STATUS_NO_BACKSLASH_ESCAPES &&
              kServerMoreResultsExists == SERVER_MORE_RESULTS_EXIST);

using namespace client_library;

TMySQLAPIClient& MyAPIClient() {
  static TMySQLAPIClient api;
  return api;
}

TMySQLAPIClient::TMySQLAPIClient() : functions_(std::make_unique<Functions>()) {}

TMySQLAPIClient::~TMySQLAPIClient() { Unbind(); }

const TMySQLAPIClient::Functions& TMySQLAPIClient::Bound() const { return *functions_; }

// ---- the library ----

std::string TMySQLAPIClient::DefaultLibraryName() const { return "libmariadb.so.3"; }

std::string TMySQLAPIClient::GetLibraryName() const {
  const std::string configured = GetMySQLClientLibrary();
  return configured.empty() ? DefaultLibraryName() : configured;
}

std::string TMySQLAPIClient::NotLinkedMessage() const {
  return "MySQL API function is not linked. You should update MySQL client library (" + GetLibraryName() + ").";
}

bool TMySQLAPIClient::LoadedMySQLLib() { return library_.IsOpen(); }

bool TMySQLAPIClient::LoadAndBind() {
  const bool loaded = library_.Open(GetLibraryName());
  load_error_ = library_.LoadError();
  if (!loaded) return false;
  Functions& f = *functions_;
#define DAC_BIND_FUNCTION(name) f.name = reinterpret_cast<decltype(f.name)>(library_.Symbol(#name));
  DAC_CLIENT_FUNCTIONS(DAC_BIND_FUNCTION)
  f.mysql_stmt_prepare_result = library_.Symbol("mysql_stmt_prepare_result");
  DAC_CLIENT_FUNCTIONS_AFTER_PREPARE_RESULT(DAC_BIND_FUNCTION)
  DAC_CLIENT_FUNCTIONS_OPTIONAL(DAC_BIND_FUNCTION)
#undef DAC_BIND_FUNCTION
  return true;
}

void TMySQLAPIClient::Unbind() {
  *functions_ = Functions();
  library_.Close();
}

void TMySQLAPIClient::LoadMySQLLib() {
  const std::lock_guard<std::recursive_mutex> guard(load_lock_);
  if (!LoadedMySQLLib()) LoadAndBind();
}

void TMySQLAPIClient::FreeMySQLLib() {
  const std::lock_guard<std::recursive_mutex> guard(load_lock_);
  Unbind();
}

void TMySQLAPIClient::CheckMySQLLib() {
  const std::lock_guard<std::recursive_mutex> guard(load_lock_);
  LoadMySQLLib();
  if (!LoadedMySQLLib())
    throw EOSError("MySQL client library couldn't be loaded. Please place " + GetLibraryName() +
                       " file to system folder (included to PATH) or to the folder with executable unit of main "
                       "program.",
                   static_cast<uint32_t>(load_error_));
  std::string version = mysql_get_client_info();
  // Written only when it changes: other threads read it while connecting.
  if (version != client_version_) client_version_ = std::move(version);
  if (struct_ver_ != cv411) struct_ver_ = cv411;
}

}  // namespace dac
