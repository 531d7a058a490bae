// The client API over the MariaDB embedded server (GetMySQLClientLibrary,
// else libmariadbd.so.19): the client library's functions, and loading also
// starts the server inside the process with the parameter lines given by
// SetParams. One server per process, shared by every connection through
// MyAPIEmbedded; connect with no host to reach it.
//
// The data folder (the last --datadir line, else the last --basedir line's
// folder followed by "/data", a relative one taken from the working folder)
// is locked for the life of the server, so a second process on it is
// refused after waiting 2000 ms; a folder that does not exist is not
// locked. The server is given that folder as its --datadir, absolute, so
// that it opens the folder that is locked (it would take a relative one from
// its base folder, and without --datadir a folder of its own). The library reads configuration files in the groups
// "embedded", "server" and the program's name unless the first parameter is
// --no-defaults.
//
// The library cannot start a second time in one process, neither after it
// was ended nor after a failed start: a connect with changed parameters
// while the server runs raises an error and leaves the server running, and
// any start after the first one fails with a message saying so. The server
// is ended only by FreeMySQLLib, which the owner calls before the process
// exits; the destructor leaves a running server to the process's end.
#pragma once

#include <string>
#include <vector>

#include "dac/framework/classes/string_list.h"
#include "dac/mysql/client/api/mysql_api_client.h"
#include "platform/folder_lock.h"

namespace dac {

class TMySQLAPIEmbedded : public TMySQLAPIClient {
  DAC_DECLARE_CLASS();

 public:
  TMySQLAPIEmbedded() = default;

  // The server's parameter lines, one parameter a line, for the next start.
  void SetParams(const TStringList& params) override;

  // Loads and binds the library, then starts the server, under one lock.
  // Exception "Cannot run second Embedded server instance for single data
  // folder. ..." when another process holds the data folder; Exception "A
  // call to an mysql_server_init failed" (with the library's reason and
  // GetMySQLEmbServerInitMessage on lines of their own) when the start
  // fails, which leaves no server, no lock and no binding.
  void LoadMySQLLib() override;
  // Ends a running server, releases the data folder and drops the binding;
  // nothing while connections to the server are open (ending it then would
  // abort the process: it ends with the process instead).
  void FreeMySQLLib() override;
  std::string NotLinkedMessage() const override;

  bool ServerStarted() const { return server_started_; }

 protected:
  std::string DefaultLibraryName() const override;
  // The embedded server frees the rows of a procedure call's results twice
  // (at close, or at the next command after an error in a later result)
  // when they were fetched one by one: they are buffered first.
  bool BuffersStatementResults() const override { return true; }
  // A connection to the server in the process runs over no transport. One
  // to a server elsewhere cannot say whether it runs over TLS: it counts as
  // such only when the server was verified, which also stops the library
  // from logging in in clear.
  bool TlsInUse(void* library_mysql, bool verified) override;

 private:
  void Start(const std::vector<std::string>& lines);
  [[noreturn]] void FailStart(const std::string& reason);

  TStringList params_;
  std::string last_params_;  // the cleaned lines the running server started with
  bool server_started_ = false;
  plat::FolderLock data_folder_lock_;
};

// The process-wide embedded-server API, made on first use.
TMySQLAPIEmbedded& MyAPIEmbedded();

// The parameter lines without the empty ones, the blank ones and those whose
// text begins with "#" after trimming.
std::vector<std::string> CleanServerParams(const TStringList& params);
// The data folder the lines name, made absolute: the last --datadir value,
// else the last --basedir value followed by "/data"; "" when neither is given.
std::string EmbeddedDataFolder(const std::vector<std::string>& lines);
// The lines the server starts with: those given, with the data folder (when
// there is one) as the only --datadir line, at the end.
std::vector<std::string> EmbeddedServerLines(const std::vector<std::string>& lines, const std::string& folder);
// The data folder's name as a named system lock would carry it: the path
// trimmed, lower-cased, with "/", ":" and "\" as blanks. Assertion failure
// for an empty result.
std::string EmbeddedLockName(const std::string& folder);

}  // namespace dac
